#include "platform/model/registry_tree.h"

#include <iterator>

#include "text/nocase.h"

namespace kestrel {

std::vector<std::wstring_view> SplitKeyPath(std::wstring_view path) {
  std::vector<std::wstring_view> parts;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t next = path.find(L'\\', pos);
    if (next == std::wstring_view::npos) next = path.size();
    if (next > pos) parts.push_back(path.substr(pos, next - pos));
    pos = next + 1;
  }
  return parts;
}

const RegistryValue* RegistryKey::FindValue(std::wstring_view name) const {
  auto it = valueIndex_.find(ToUpperNoCase(name));
  return it == valueIndex_.end() ? nullptr : &it->second->second;
}

void RegistryKey::SetValue(std::wstring_view name, RegistryValue value) {
  std::wstring folded = ToUpperNoCase(name);
  auto it = valueIndex_.find(folded);
  if (it != valueIndex_.end()) {
    it->second->second = std::move(value);
    return;
  }
  values_.emplace_back(std::wstring(name), std::move(value));
  valueIndex_.emplace(std::move(folded), std::prev(values_.end()));
}

bool RegistryKey::DeleteValue(std::wstring_view name) {
  auto it = valueIndex_.find(ToUpperNoCase(name));
  if (it == valueIndex_.end()) return false;
  values_.erase(it->second);
  valueIndex_.erase(it);
  return true;
}

RegistryKey* RegistryKey::FindSubkey(std::wstring_view name) const {
  auto it = subkeys_.find(ToUpperNoCase(name));
  return it == subkeys_.end() ? nullptr : it->second.get();
}

RegistryKey* RegistryKey::CreateSubkey(std::wstring_view name) {
  auto& slot = subkeys_[ToUpperNoCase(name)];
  if (!slot) slot = std::make_unique<RegistryKey>(std::wstring(name));
  return slot.get();
}

bool RegistryKey::DeleteSubkey(std::wstring_view name) { return subkeys_.erase(ToUpperNoCase(name)) != 0; }

const RegistryKey* RegistryTree::FindKey(std::wstring_view path) const {
  const RegistryKey* key = &root_;
  for (std::wstring_view part : SplitKeyPath(path)) {
    key = key->FindSubkey(part);
    if (!key) return nullptr;
  }
  return key;
}

RegistryKey* RegistryTree::CreateKey(std::wstring_view path) {
  RegistryKey* key = &root_;
  for (std::wstring_view part : SplitKeyPath(path)) key = key->CreateSubkey(part);
  return key;
}

bool RegistryTree::DeleteKey(std::wstring_view path) {
  std::vector<std::wstring_view> parts = SplitKeyPath(path);
  if (parts.empty()) {
    root_ = RegistryKey();
    return true;
  }
  RegistryKey* parent = &root_;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    parent = parent->FindSubkey(parts[i]);
    if (!parent) return false;
  }
  return parent->DeleteSubkey(parts.back());
}

const RegistryValue* RegistryTree::FindValue(std::wstring_view path, std::wstring_view name) const {
  const RegistryKey* key = FindKey(path);
  return key ? key->FindValue(name) : nullptr;
}

void RegistryTree::SetValue(std::wstring_view path, std::wstring_view name, RegistryValue value) {
  CreateKey(path)->SetValue(name, std::move(value));
}

bool RegistryTree::DeleteValue(std::wstring_view path, std::wstring_view name) {
  const RegistryKey* key = FindKey(path);
  return key && const_cast<RegistryKey*>(key)->DeleteValue(name);
}

namespace {
// The same values, in whatever order they were set: the order is not part
// of what a key holds (Wine's registry keeps them sorted by name).
bool SameValues(const RegistryKey& a, const RegistryKey& b) {
  if (a.values().size() != b.values().size()) return false;
  std::map<std::wstring, const RegistryValues::value_type*> others;
  for (const auto& entry : b.values()) others.emplace(ToUpperNoCase(entry.first), &entry);
  for (const auto& entry : a.values()) {
    auto other = others.find(ToUpperNoCase(entry.first));
    if (other == others.end() || *other->second != entry) return false;
  }
  return true;
}

bool SameKey(const RegistryKey& a, const RegistryKey& b) {
  if (a.name() != b.name() || !SameValues(a, b) || a.subkeys().size() != b.subkeys().size()) return false;
  auto ia = a.subkeys().begin();
  for (auto ib = b.subkeys().begin(); ib != b.subkeys().end(); ++ia, ++ib)
    if (ia->first != ib->first || !SameKey(*ia->second, *ib->second)) return false;
  return true;
}
}  // namespace

bool RegistryTree::operator==(const RegistryTree& other) const { return SameKey(root_, other.root_); }

}  // namespace kestrel
