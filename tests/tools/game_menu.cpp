// A stand-in for a café's game menu, and for a game that reads what the
// launcher imported for it.  On Windows it is a 32-bit program, as the
// menus and games are, so what it writes and reads under
// HKEY_LOCAL_MACHINE\SOFTWARE is the 32-bit view of the registry; on Linux
// it works on the machine model of KESTREL_ROOT.  Both go through the
// launcher's own platform, so each build keeps its own registry rules.
//
//   kestrel_game_menu install GID DIR PACKAGE
//       records game GID as installed in DIR (a game-info record of kind 1)
//       and PACKAGE as an installed program (its uninstall entry)
//   kestrel_game_menu read KEY NAME
//       as a game: waits up to 20 s for the string value NAME of
//       HKEY_LOCAL_MACHINE\KEY, then appends "value=<data>" and "done" to
//       the record file (KESTREL_RECORD, else record.txt beside itself)
//
// Exit codes: 0 done, 1 a write or the record failed, 2 a usage error.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "text/utf.h"

namespace kestrel {
namespace {

constexpr wchar_t kGameInfo[] = L"SOFTWARE\\{3798BE84-4E13-4b81-B8CF-5063730FF905}\\GInfo";
constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool SetString(Platform& os, const std::wstring& key, const std::wstring& name, const std::wstring& value) {
  std::string bytes = WideToUtf16Le(value);
  bytes.append(2, '\0');
  return os.SHSetValueW(RegRoot::kLocalMachine, key, name, win::kRegSz,
                        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) == 0;
}

std::wstring GetString(Platform& os, const std::wstring& key, const std::wstring& name) {
  std::vector<std::uint8_t> data(4096);
  std::uint32_t type = 0, size = static_cast<std::uint32_t>(data.size());
  if (os.SHGetValueW(RegRoot::kLocalMachine, key, name, &type, data, &size) != 0 || type != win::kRegSz)
    return std::wstring();
  std::wstring text = Utf16LeToWide(std::string(reinterpret_cast<const char*>(data.data()), size));
  return text.substr(0, text.find(L'\0'));
}

bool AppendRecord(const std::filesystem::path& self, const std::string& text) {
  std::filesystem::path file = self.parent_path() / "record.txt";
  if (const char* record = std::getenv("KESTREL_RECORD"); record && *record) {
    std::string name = record;
    file = std::filesystem::path(std::u8string(name.begin(), name.end()));
  }
#ifdef _WIN32
  FILE* out = _wfopen(file.c_str(), L"ab");
#else
  FILE* out = std::fopen(file.c_str(), "ab");
#endif
  if (!out) return false;
  bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  return std::fclose(out) == 0 && written;
}

int Run(const std::vector<std::wstring>& args) {
  std::unique_ptr<Platform> os = CreateSystemPlatform();
  os->InitializeFramework();
  if (args.size() == 5 && args[1] == L"install") {
    const std::wstring& gid = args[2];
    bool ok = SetString(*os, kGameInfo, gid, gid + L"|x|" + args[3] + L"|1") &&
              SetString(*os, kUninstall + args[4], L"DisplayName", args[4]);
    return ok ? 0 : 1;
  }
  if (args.size() == 4 && args[1] == L"read") {
    std::wstring value;
    for (int i = 0; i < 200 && value.empty(); ++i) {
      value = GetString(*os, args[2], args[3]);
      if (value.empty()) os->Sleep(100);
    }
    return AppendRecord(std::filesystem::path(args[0]), "value=" + WideToUtf8(value) + "\ndone\n") ? 0 : 1;
  }
  std::fprintf(stderr, "usage: kestrel_game_menu install GID DIR PACKAGE | read KEY NAME\n");
  return 2;
}

}  // namespace
}  // namespace kestrel

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return kestrel::Run(std::vector<std::wstring>(argv, argv + argc)); }
#else
int main(int argc, char** argv) {
  std::vector<std::wstring> args;
  for (int i = 0; i < argc; ++i) args.push_back(kestrel::Utf8ToWide(argv[i]));
  return kestrel::Run(args);
}
#endif
