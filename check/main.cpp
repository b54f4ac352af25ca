// KestrelCheck: what a launch would do on this machine, and what is wrong
// with its GamePatch, without changing anything.
//
//   KestrelCheck <game folder or the launcher's command line> [--json]
//   KestrelCheck --version
//
// Exit codes: 0 nothing found, 1 warnings only, 2 errors, 3 usage.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "check/check_lint.h"
#include "check/launch_plan.h"
#include "check/report.h"
#include "kestrel_version.h"
#include "platform/model/command_line_args.h"
#include "platform/platform.h"
#include "text/path_buffer.h"
#include "text/utf.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr int kUsage = 3;

#ifdef _WIN32
constexpr wchar_t kLauncherName[] = L"KestrelEx.exe";
#else
constexpr wchar_t kLauncherName[] = L"KestrelEx";
#endif

#ifdef _WIN32
std::filesystem::path HostPath(const std::wstring& text) { return std::filesystem::path(text); }
std::wstring WidePath(const std::filesystem::path& path) { return path.wstring(); }
#else
// Paths are bytes here; the launcher's text is UTF-8.
std::filesystem::path HostPath(const std::wstring& text) { return std::filesystem::path(kestrel::WideToUtf8(text)); }
std::wstring WidePath(const std::filesystem::path& path) { return kestrel::Utf8ToWide(path.string()); }
#endif

int Usage() {
  std::cerr << "usage: KestrelCheck <game folder or the launcher's command line> [--json]\n"
               "       KestrelCheck --version\n"
               "  prints what the launch would do and what is wrong with its GamePatch; changes nothing\n"
               "  exit codes: 0 nothing found, 1 warnings only, 2 errors, 3 usage\n";
  return kUsage;
}

}  // namespace

int main() {
  using namespace kestrel;
  std::unique_ptr<Platform> os = CreateSystemPlatform();
#ifdef _WIN32
  os->InitializeFramework();  // GDI+ decodes the chooser's skin
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  // The launcher's command line is taken as the launcher itself would get
  // it: the rest of this program's own line, quotes and all, without the
  // --json that belongs to KestrelCheck.
  const std::wstring line = os->GetCommandLineW();
  std::vector<std::wstring> args = SplitCommandLineArgs(line);
  if (!args.empty()) args.erase(args.begin());
  if (args.size() == 1 && args[0] == L"--version") {
    std::cout << "KestrelCheck " << kKestrelVersion << '\n';
    return 0;
  }
  std::wstring launch = CommandLineTail(line);
  while (!launch.empty() && launch.back() == L' ') launch.pop_back();
  bool json = false;
  if (launch == L"--json") {
    return Usage();
  } else if (launch.ends_with(L" --json")) {
    json = true;
    launch.resize(launch.size() - 7);
  } else if (launch.starts_with(L"--json ")) {
    json = true;
    launch.erase(0, 7);
  }
  while (!launch.empty() && launch.back() == L' ') launch.pop_back();
  if (launch.empty() || launch.starts_with(L"--")) return Usage();

  // A game folder, possibly quoted, possibly relative to the current one.
  std::wstring folder = launch;
  if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') folder = folder.substr(1, folder.size() - 2);
  if (folder.find(L'|') == std::wstring::npos && folder.find(L'"') == std::wstring::npos) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(HostPath(folder), error);
    if (!error && std::filesystem::is_directory(absolute, error)) launch = WidePath(absolute);
  }

  // The launcher is taken to lie beside KestrelCheck, as it is shipped.
  std::wstring own = os->GetModuleFileNameW();
  PathRemoveFileSpec(own);
  check::LaunchTarget target = check::TargetFor(*os, launch, own + L"\\" + kLauncherName);
  check::CheckResult result = check::CheckLaunch(*os, target);
  check::AppendLintFindings(*os, result.initialContext, result.findings);

  std::string out = json ? check::JsonReport(result.plan, result.findings)
                         : check::TextReport(WideToUtf8(target.commandLine), result.plan, result.findings);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return check::ExitCodeFor(result.findings);
}
