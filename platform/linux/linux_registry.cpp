// Known folders and the registry of the Linux machine model.

#include <cstring>

#include "platform/linux/known_folders.h"
#include "platform/linux/linux_platform.h"
#include "platform/model/registry_api.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel {

namespace {

constexpr std::wstring_view kLayersKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

}  // namespace

std::wstring WineVersionOfLayers(std::wstring_view layers) {
  static constexpr std::pair<std::wstring_view, std::wstring_view> kVersions[] = {
      {L"WIN95", L"win95"},         {L"WIN98", L"win98"},       {L"WINME", L"winme"},
      {L"NT4SP5", L"nt40"},         {L"WIN2000", L"win2k"},     {L"WINXP", L"winxp"},
      {L"WINXPSP2", L"winxp"},      {L"WINXPSP3", L"winxp"},    {L"WINSRV03SP1", L"win2003"},
      {L"WINSRV08SP1", L"win2008"}, {L"VISTARTM", L"vista"},    {L"VISTASP1", L"vista"},
      {L"VISTASP2", L"vista"},      {L"WIN7RTM", L"win7"},      {L"WIN7SP1", L"win7"},
      {L"WIN8RTM", L"win8"},        {L"WIN81RTM", L"win81"},    {L"WIN10RTM", L"win10"},
  };
  // Several layers are written with spaces between them ("~ WINXPSP3
  // HIGHDPIAWARE"); the first that names a Windows version counts.
  std::size_t pos = 0;
  while (pos < layers.size()) {
    std::size_t end = layers.find(L' ', pos);
    if (end == std::wstring_view::npos) end = layers.size();
    std::wstring_view layer = layers.substr(pos, end - pos);
    for (const auto& [name, version] : kVersions)
      if (EqualsNoCase(layer, name)) return std::wstring(version);
    pos = end + 1;
  }
  return {};
}

const std::wstring& LinuxPlatform::User() {
  std::call_once(userOnce_, [this] { user_ = MachineUserName(); });
  return user_;
}

std::wstring LinuxPlatform::SHGetSpecialFolderPathW(int csidl) {
  std::wstring path = KnownFolderPath(csidl, [this] { return User(); });
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
  registry_.Read(root, [&](const RegistryStore::KeyLookup& find) {
    const RegistryKey* key = find(subKey);
    keyFound = key != nullptr;
    if (const RegistryValue* v = key ? key->FindValue(valueName) : nullptr) {
      value = *v;
      found = true;
    }
  });
  if (!keyFound || !found) return win::kFileNotFound;
  return CopyRegistryValue(
      value, [this](std::wstring_view text) { return ExpandMachineEnvironment(text, User()); }, type, data, dataSize);
}

long LinuxPlatform::SHSetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                                std::uint32_t type, std::span<const std::uint8_t> data) {
  root_.Ensure();
  // Wine does not read compatibility layers; its own per-program Windows
  // version stands in for them.
  std::wstring appDefaults, version;
  if (root == RegRoot::kCurrentUser && type == win::kRegSz && EqualsNoCase(subKey, kLayersKey) &&
      !valueName.empty()) {
    std::string raw(data.begin(), data.end());
    std::wstring layers = Utf16LeToWide(raw.substr(0, raw.size() & ~std::size_t{1}));
    layers = layers.substr(0, layers.find(L'\0'));
    version = WineVersionOfLayers(layers);
    std::wstring exe = valueName.substr(valueName.find_last_of(L"\\/") + 1);
    if (version.empty())
      OutputDebugStringW(L"MSG: Compatibility mode \"" + layers + L"\" has no Wine Windows version; " + exe +
                         L" runs with the prefix's own");
    else
      appDefaults = L"Software\\Wine\\AppDefaults\\" + exe;
  }
  return static_cast<long>(registry_.Write(root, [&](const RegistryStore::KeyAccess& open) {
    open(subKey, true)->SetValue(valueName, RegistryValue{type, std::vector<std::uint8_t>(data.begin(), data.end())});
    if (!appDefaults.empty()) {
      std::string text = WideToUtf16Le(version);
      text.append(2, '\0');
      open(appDefaults, true)->SetValue(L"Version",
                                         RegistryValue{win::kRegSz, std::vector<std::uint8_t>(text.begin(), text.end())});
    }
    return true;
  }));
}

long LinuxPlatform::RegOpenKeyExW(RegRoot root, const std::wstring& subKey, std::uint32_t /*samDesired*/,
                                  Handle* key) {
  bool found = false;
  registry_.Read(root, [&](const RegistryStore::KeyLookup& find) { found = find(subKey) != nullptr; });
  if (!found) return win::kFileNotFound;
  Handle h = NewHandle();
  {
    std::lock_guard<std::mutex> guard(lock_);
    openKeys_[h] = {root, subKey};
  }
  if (key) *key = h;
  return win::kSuccess;
}

long LinuxPlatform::RegCloseKey(Handle key) {
  std::lock_guard<std::mutex> guard(lock_);
  return openKeys_.erase(key) ? win::kSuccess : win::kInvalidHandle;
}

}  // namespace kestrel
