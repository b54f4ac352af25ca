// Known folders and the registry of the Linux machine model.

#include <cstring>

#include "platform/linux/known_folders.h"
#include "platform/linux/linux_platform.h"
#include "util/utf.h"

namespace kestrel {

namespace {

long CopyValue(const RegistryValue& value, std::uint32_t* type, std::span<std::uint8_t> data,
               std::uint32_t* dataSize, bool sizeQuery) {
  if (type) *type = value.type;
  if (dataSize) *dataSize = static_cast<std::uint32_t>(value.data.size());
  if (sizeQuery && data.empty()) return win::kSuccess;
  if (value.data.size() > data.size()) return win::kMoreData;
  std::copy(value.data.begin(), value.data.end(), data.begin());
  return win::kSuccess;
}

}  // namespace

std::wstring LinuxPlatform::SHGetSpecialFolderPathW(int csidl) {
  std::wstring path = KnownFolderPath(csidl, user_);
  if (path.empty()) {
    SetLastError(win::kFileNotFound);
    return path;
  }
  // The folders of the machine are made the first time they are asked for.
  root_.Ensure();
  std::string host;
  if (!Resolve(path, host) || !MakeHostDirs(host)) {
    SetLastError(win::kPathNotFound);
    return std::wstring();
  }
  return path;
}

long LinuxPlatform::SHGetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                                std::uint32_t* type, std::span<std::uint8_t> data, std::uint32_t* dataSize) {
  bool keyFound = false;
  RegistryValue value;
  bool found = false;
  registry_.Read(root, [&](const RegistryTree& tree) {
    const RegistryKey* key = tree.FindKey(subKey);
    keyFound = key != nullptr;
    if (const RegistryValue* v = key ? key->FindValue(valueName) : nullptr) {
      value = *v;
      found = true;
    }
  });
  if (!keyFound || !found) return win::kFileNotFound;
  if (value.type == win::kRegExpandSz) {
    // Expanded and handed back as REG_SZ; the size is the larger of the two
    // forms, as the shell reports it.
    std::size_t rawSize = value.data.size();
    std::string raw(value.data.begin(), value.data.end());
    std::wstring text = Utf16LeToWide(raw);
    text = text.substr(0, text.find(L'\0'));
    std::string expanded = WideToUtf16Le(ExpandMachineEnvironment(text, user_));
    expanded.append(2, '\0');
    value = {win::kRegSz, std::vector<std::uint8_t>(expanded.begin(), expanded.end())};
    long rc = CopyValue(value, type, data, dataSize, false);
    if (dataSize) *dataSize = static_cast<std::uint32_t>(std::max(rawSize, value.data.size()));
    return rc;
  }
  return CopyValue(value, type, data, dataSize, false);
}

long LinuxPlatform::SHSetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                                std::uint32_t type, std::span<const std::uint8_t> data) {
  root_.Ensure();
  return static_cast<long>(registry_.Write(root, [&](RegistryTree& tree) {
    tree.SetValue(subKey, valueName, RegistryValue{type, std::vector<std::uint8_t>(data.begin(), data.end())});
    return true;
  }));
}

long LinuxPlatform::RegOpenKeyExW(RegRoot root, const std::wstring& subKey, std::uint32_t /*samDesired*/,
                                  Handle* key) {
  bool found = false;
  registry_.Read(root, [&](const RegistryTree& tree) { found = tree.FindKey(subKey) != nullptr; });
  if (!found) return win::kFileNotFound;
  Handle h = NewHandle();
  {
    std::lock_guard<std::mutex> guard(lock_);
    openKeys_[h] = {root, subKey};
  }
  if (key) *key = h;
  return win::kSuccess;
}

long LinuxPlatform::RegQueryValueExW(Handle key, const std::wstring& valueName, std::uint32_t* type,
                                     std::span<std::uint8_t> data, std::uint32_t* dataSize) {
  std::pair<RegRoot, std::wstring> open;
  {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = openKeys_.find(key);
    if (it == openKeys_.end()) return win::kInvalidHandle;
    open = it->second;
  }
  long rc = win::kFileNotFound;
  registry_.Read(open.first, [&](const RegistryTree& tree) {
    // A key removed since it was opened has no values left.
    if (const RegistryValue* v = tree.FindValue(open.second, valueName)) rc = CopyValue(*v, type, data, dataSize, true);
  });
  return rc;
}

long LinuxPlatform::RegCloseKey(Handle key) {
  std::lock_guard<std::mutex> guard(lock_);
  return openKeys_.erase(key) ? win::kSuccess : win::kInvalidHandle;
}

}  // namespace kestrel
