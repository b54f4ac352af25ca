#pragma once
// One registry hive in memory: keys whose names match without regard to
// case and keep the case they were made with, and values in the order they
// were first set.  Shared by the machine model's registry store and the
// fake.

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrel {

struct RegistryValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  bool operator==(const RegistryValue&) const = default;
};

class RegistryKey {
 public:
  explicit RegistryKey(std::wstring name = {}) : name_(std::move(name)) {}

  const std::wstring& name() const { return name_; }
  /// Values in the order they were first set.
  const std::list<std::pair<std::wstring, RegistryValue>>& values() const { return values_; }
  /// Subkeys by folded name (so in a stable, case-blind order).
  const std::map<std::wstring, std::unique_ptr<RegistryKey>>& subkeys() const { return subkeys_; }

  const RegistryValue* FindValue(std::wstring_view name) const;
  void SetValue(std::wstring_view name, RegistryValue value);
  bool DeleteValue(std::wstring_view name);

  RegistryKey* FindSubkey(std::wstring_view name) const;
  RegistryKey* CreateSubkey(std::wstring_view name);
  bool DeleteSubkey(std::wstring_view name);

 private:
  std::wstring name_;
  // A list, so that removing a value costs the same however many there are.
  using Values = std::list<std::pair<std::wstring, RegistryValue>>;
  Values values_;
  std::unordered_map<std::wstring, Values::iterator> valueIndex_;  // folded name -> entry
  std::map<std::wstring, std::unique_ptr<RegistryKey>> subkeys_;
};

class RegistryTree {
 public:
  const RegistryKey& root() const { return root_; }

  /// The key at a path such as "SOFTWARE\Foo" ("" is the root), or null.
  const RegistryKey* FindKey(std::wstring_view path) const;
  /// The key at a path, made with its missing parents.
  RegistryKey* CreateKey(std::wstring_view path);
  /// Removes a key with everything below it; false when it is not there.
  /// The root itself is only emptied.
  bool DeleteKey(std::wstring_view path);

  const RegistryValue* FindValue(std::wstring_view path, std::wstring_view name) const;
  void SetValue(std::wstring_view path, std::wstring_view name, RegistryValue value);
  bool DeleteValue(std::wstring_view path, std::wstring_view name);

  bool operator==(const RegistryTree& other) const;

 private:
  RegistryKey root_;
};

/// The components of a key path; empty components ("a\\b", a leading or
/// trailing backslash) are left out.
std::vector<std::wstring_view> SplitKeyPath(std::wstring_view path);

}  // namespace kestrel
