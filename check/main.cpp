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
#include <optional>
#include <string>
#include <vector>

#include "check/check_lint.h"
#include "check/launch_plan.h"
#include "check/report.h"
#include "kestrel_version.h"
#include "platform/platform.h"
#include "text/path_buffer.h"
#include "text/utf.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/model/command_line_args.h"
#endif

namespace {

constexpr int kUsage = 3;

#ifdef _WIN32
constexpr wchar_t kLauncherName[] = L"KestrelEx.exe";
#else
constexpr wchar_t kLauncherName[] = L"KestrelEx";
#endif

int Usage() {
  std::cerr << "usage: KestrelCheck <game folder or the launcher's command line> [--json]\n"
               "       KestrelCheck --version\n"
               "  prints what the launch would do and what is wrong with its GamePatch; changes nothing\n"
               "  exit codes: 0 nothing found, 1 warnings only, 2 errors, 3 usage\n";
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrel;
  std::unique_ptr<Platform> os = CreateSystemPlatform();
  std::vector<std::wstring> args;
#ifdef _WIN32
  (void)argc;
  (void)argv;
  os->InitializeFramework();  // GDI+ decodes the chooser's skin
  args = SplitCommandLineArgs(os->GetCommandLineW());
  if (!args.empty()) args.erase(args.begin());
  _setmode(_fileno(stdout), _O_BINARY);
#else
  for (int i = 1; i < argc; ++i) args.push_back(Utf8ToWide(argv[i]));
#endif

  if (args.size() == 1 && args[0] == L"--version") {
    std::cout << "KestrelCheck " << kKestrelVersion << '\n';
    return 0;
  }
  bool json = false;
  std::optional<std::wstring> launch;
  for (const std::wstring& arg : args) {
    if (arg == L"--json") {
      json = true;
    } else if (arg.starts_with(L"--") || launch) {
      return Usage();
    } else {
      launch = arg;
    }
  }
  if (!launch || launch->empty()) return Usage();
  // A game folder may be given relative to the current one.
  if (launch->find(L'|') == std::wstring::npos) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(*launch), error);
    if (!error && std::filesystem::is_directory(absolute, error)) launch = absolute.wstring();
  }

  // The launcher is taken to lie beside KestrelCheck, as it is shipped.
  std::wstring own = os->GetModuleFileNameW();
  PathRemoveFileSpec(own);
  check::LaunchTarget target = check::TargetFor(*os, *launch, own + L"\\" + kLauncherName);
  check::CheckResult result = check::CheckLaunch(*os, target);
  check::AppendLintFindings(*os, result.initialContext, result.findings);

  std::string out = json ? check::JsonReport(result.plan, result.findings)
                         : check::TextReport(WideToUtf8(target.commandLine), result.plan, result.findings);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return check::ExitCodeFor(result.findings);
}
