#include "platform/linux/known_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "platform/model/expand_environment.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel {

namespace {

// "~" stands for the user's profile folder.
struct Folder {
  int csidl;
  const wchar_t* path;
};
constexpr Folder kFolders[] = {
    {0, L"~\\Desktop"},  // CSIDL_DESKTOP
    {2, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
    {5, L"~\\Documents"},
    {6, L"~\\Favorites"},
    {7, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"},
    {8, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Recent"},
    {9, L"~\\AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
    {11, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
    {13, L"~\\Music"},
    {14, L"~\\Videos"},
    {16, L"~\\Desktop"},
    {19, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Network Shortcuts"},
    {20, L"C:\\windows\\Fonts"},
    {21, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Templates"},
    {22, L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu"},
    {23, L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {24, L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"},
    {25, L"C:\\users\\Public\\Desktop"},
    {26, L"~\\AppData\\Roaming"},
    {27, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Printer Shortcuts"},
    {28, L"~\\AppData\\Local"},
    {31, L"~\\Favorites"},
    {32, L"~\\AppData\\Local\\Microsoft\\Windows\\INetCache"},
    {33, L"~\\AppData\\Local\\Microsoft\\Windows\\INetCookies"},
    {34, L"~\\AppData\\Local\\Microsoft\\Windows\\History"},
    {35, L"C:\\ProgramData"},
    {36, L"C:\\windows"},
    {37, L"C:\\windows\\system32"},
    {38, L"C:\\Program Files"},
    {39, L"~\\Pictures"},
    {40, L"~"},
    {41, L"C:\\windows\\syswow64"},
    {42, L"C:\\Program Files (x86)"},
    {43, L"C:\\Program Files\\Common Files"},
    {44, L"C:\\Program Files (x86)\\Common Files"},
    {45, L"C:\\ProgramData\\Microsoft\\Windows\\Templates"},
    {46, L"C:\\users\\Public\\Documents"},
    {47, L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Administrative Tools"},
    {48, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Administrative Tools"},
    {53, L"C:\\users\\Public\\Music"},
    {54, L"C:\\users\\Public\\Pictures"},
    {55, L"C:\\users\\Public\\Videos"},
    {56, L"C:\\windows\\Resources"},
    {59, L"~\\AppData\\Local\\Microsoft\\CD Burning"},
};
// CSIDL_ALTSTARTUP (29) and CSIDL_COMMON_ALTSTARTUP (30) have no folder on
// current Windows (nor in Wine), so they are left out on purpose.

std::wstring Profile(const std::wstring& user) { return L"C:\\users\\" + user; }

}  // namespace

std::wstring MachineUserName() {
  std::string name;
  if (const char* user = std::getenv("USER"); user && *user) name = user;
  if (name.empty())
    if (passwd* pw = getpwuid(getuid()); pw && pw->pw_name) name = pw->pw_name;
  std::wstring wide = Utf8ToWide(name);
  std::wstring safe;
  for (wchar_t c : wide)
    if (c >= 0x20 && std::wstring_view(L"\\/:*?\"<>|").find(c) == std::wstring_view::npos) safe += c;
  if (safe.empty() || safe == L"." || safe == L"..") safe = L"user";
  return safe;
}

std::wstring KnownFolderPath(int csidl, const std::function<std::wstring()>& user) {
  // The CSIDL_FLAG_* bits (create, don't verify, ...) are not part of the id.
  int id = csidl & 0xFF;
  for (const Folder& f : kFolders) {
    if (f.csidl != id) continue;
    std::wstring path = f.path;
    if (path[0] == L'~') path = Profile(user()) + path.substr(1);
    return path;
  }
  return std::wstring();
}

std::wstring ExpandMachineEnvironment(std::wstring_view text, const std::wstring& user) {
  const std::pair<const wchar_t*, std::wstring> vars[] = {
      {L"SystemRoot", L"C:\\windows"},
      {L"windir", L"C:\\windows"},
      {L"SystemDrive", L"C:"},
      {L"ProgramFiles", L"C:\\Program Files"},
      {L"ProgramFiles(x86)", L"C:\\Program Files (x86)"},
      {L"ProgramW6432", L"C:\\Program Files"},
      {L"CommonProgramFiles", L"C:\\Program Files\\Common Files"},
      {L"CommonProgramFiles(x86)", L"C:\\Program Files (x86)\\Common Files"},
      {L"ProgramData", L"C:\\ProgramData"},
      {L"ALLUSERSPROFILE", L"C:\\ProgramData"},
      {L"PUBLIC", L"C:\\users\\Public"},
      {L"USERPROFILE", Profile(user)},
      {L"HOMEDRIVE", L"C:"},
      {L"HOMEPATH", L"\\users\\" + user},
      {L"APPDATA", Profile(user) + L"\\AppData\\Roaming"},
      {L"LOCALAPPDATA", Profile(user) + L"\\AppData\\Local"},
      {L"TEMP", Profile(user) + L"\\AppData\\Local\\Temp"},
      {L"TMP", Profile(user) + L"\\AppData\\Local\\Temp"},
      {L"USERNAME", user},
  };
  return ExpandEnvironmentVariables(text, [&](std::wstring_view name) -> const std::wstring* {
    for (const auto& [n, v] : vars)
      if (EqualsNoCase(name, n)) return &v;
    return nullptr;
  });
}

}  // namespace kestrel
