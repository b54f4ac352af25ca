// The fake's registry: two hives of values and the keys opened on them.

#include "platform/fake/fake_platform.h"

#include "platform/model/expand_environment.h"
#include "platform/model/registry_api.h"
#include "text/nocase.h"
#include "text/wide_format.h"

namespace kestrel {

void FakePlatform::AddRegKey(RegRoot root, const std::wstring& subKey) { Hive(root).CreateKey(subKey); }

const FakePlatform::RegValue* FakePlatform::FindRegValue(RegRoot root, const std::wstring& subKey,
                                                         const std::wstring& valueName) const {
  const RegistryTree& hive = root == RegRoot::kLocalMachine ? localMachine_ : currentUser_;
  return hive.FindValue(subKey, valueName);
}

long FakePlatform::SHGetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                               std::uint32_t* type, std::span<std::uint8_t> data, std::uint32_t* dataSize) {
  Record(L"SHGetValueW", {RegRootName(root), subKey, valueName, std::to_wstring(data.size())});
  const RegValue* value = FindRegValue(root, subKey, valueName);
  if (!value) return win::kFileNotFound;
  auto expand = [this](std::wstring_view text) {
    return ExpandEnvironmentVariables(text, [this](std::wstring_view name) -> const std::wstring* {
      for (const auto& [n, v] : environment)
        if (EqualsNoCase(name, n)) return &v;
      return nullptr;
    });
  };
  return CopyRegistryValue(*value, expand, type, data, dataSize);
}

long FakePlatform::SHSetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                               std::uint32_t type, std::span<const std::uint8_t> data) {
  Record(L"SHSetValueW", {RegRootName(root), subKey, valueName, std::to_wstring(type), Hex(data)});
  Hive(root).SetValue(subKey, valueName, RegValue{type, std::vector<std::uint8_t>(data.begin(), data.end())});
  return win::kSuccess;
}

long FakePlatform::RegOpenKeyExW(RegRoot root, const std::wstring& subKey, std::uint32_t samDesired, Handle* key) {
  Record(L"RegOpenKeyExW", {RegRootName(root), subKey, FormatWide(L"0x%x", {samDesired})});
  if (!Hive(root).FindKey(subKey)) return win::kFileNotFound;
  Handle h = NewHandle(L"key");
  openKeys_[h] = {root, subKey};
  if (key) *key = h;
  return win::kSuccess;
}

long FakePlatform::RegCloseKey(Handle key) {
  auto it = openKeys_.find(key);
  Record(L"RegCloseKey", {it == openKeys_.end() ? L"invalid" : handles_[key]});
  if (it == openKeys_.end()) return win::kInvalidHandle;
  openKeys_.erase(it);
  return win::kSuccess;
}

}  // namespace kestrel
