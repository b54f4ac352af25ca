// Speed of KestrelCheck: the whole program (process start to exit, output
// to /dev/null) and the check alone in this process (plan and lint on a
// fresh platform each run), for
//
//   1. the sample game (examples/SampleGame: the chooser and its skin);
//   2. a game whose Config.ini has 200 sections: 29 prerequisites, 160
//      platform sections written into a profile file, deletions, imports.
//
// Beside them, the start of a program that does nothing (KestrelCheck
// --version), so the ratio shows what the check itself costs.
//
//   ./build/bin/kestrel_check_bench [runs]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "check/check_lint.h"
#include "check/launch_plan.h"
#include "platform/platform.h"
#include "text/utf.h"

using namespace kestrel;
using Clock = std::chrono::steady_clock;

extern char** environ;

namespace {

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

/// Wall time of one run of the program, its output discarded.
double RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  Clock::time_point start = Clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  double ms = Ms(start);
  posix_spawn_file_actions_destroy(&actions);
  return ms;
}

std::string BigConfig() {
  std::string text = "[game_base]\r\nmainExe=game.exe\r\nparam=-window\r\n";
  text += "[action_first]\r\ndelFileOrDirs=logs|old.txt|cache\r\n";
  text += "[set_platform]\r\nPlatformConfigFile=[GAMEDIR]settings.ini\r\n";
  for (int n = 1; n <= 29; ++n)  // 29 prerequisites, each checked for a file
    text.append("[").append(std::to_string(n)).append("]\r\ncheckType=3\r\ncheckPath=C:\\runtime")
        .append(std::to_string(n)).append(".dll\r\ninstName=runtime ").append(std::to_string(n))
        .append("\r\ninstFile=redist\\setup").append(std::to_string(n)).append(".exe\r\ninstParam=/quiet\r\n");
  for (int n = 1; n <= 160; ++n)
    text.append("[platform_Game").append(std::to_string(n)).append("]\r\nAppName=Game").append(std::to_string(n))
        .append("\r\nPath=[GAMEDIR]data\r\nLevel=").append(std::to_string(n)).append("\r\n");
  text += "[action_after]\r\nkillProNames=updater.exe\r\n";
  text += "[dlg_config]\r\nbtnCount=0\r\n";
  for (int n = 0; n < 6; ++n) text += "[extra" + std::to_string(n) + "]\r\nnote=unused\r\n";
  return text;  // 3 + 29 + 160 + 2 + 6 = 200 sections
}

double CheckInProcess(const std::wstring& argument, const std::wstring& launcher) {
  Clock::time_point start = Clock::now();
  std::unique_ptr<Platform> os = CreateSystemPlatform();
  check::CheckResult result = check::CheckLaunch(*os, check::TargetFor(*os, argument, launcher));
  check::AppendLintFindings(*os, result.initialContext, result.findings);
  return Ms(start);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
  namespace fs = std::filesystem;
  const fs::path bin = fs::canonical("/proc/self/exe").parent_path();
  const std::string checker = (bin / "KestrelCheck").string();
  const fs::path sample = fs::path(KESTREL_SOURCE_DIR) / "examples" / "SampleGame";

  char dir[] = "/tmp/kestrel-check-bench-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const fs::path tmp = dir;
  setenv("KESTREL_ROOT", (tmp / "root").c_str(), 1);
  unsetenv("KESTREL_LOG");
  fs::create_directories(tmp / "Big" / "GamePatch");
  std::ofstream(tmp / "Big" / "GamePatch" / "Config.ini", std::ios::binary) << BigConfig();
  std::ofstream(tmp / "Big" / "game.exe") << "game";
  std::ofstream(tmp / "Big" / "GamePatch" / "game.reg", std::ios::binary)
      << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Big]\r\n\"Path\"=\"|gamepath|\"\r\n";
  fs::create_directories(tmp / "Big" / "logs");
  for (int n = 0; n < 50; ++n) std::ofstream(tmp / "Big" / "logs" / ("log" + std::to_string(n) + ".txt")) << n;

  std::unique_ptr<Platform> os = CreateSystemPlatform();
  const std::wstring launcher = os->NativePathToWindows(Utf8ToWide((bin / "KestrelEx").string()));
  RunProgram({checker, "--version"});  // the first start pays for the page cache

  std::printf("KestrelCheck, median of %d runs (target: under 50 ms a check)\n", runs);
  std::vector<double> bare;
  for (int i = 0; i < runs; ++i) bare.push_back(RunProgram({checker, "--version"}));
  std::printf("  program start alone (--version):     %7.2f ms\n", Median(bare));
  for (const auto& [name, folder] : {std::pair{"sample game", sample}, std::pair{"200-section Config.ini", tmp / "Big"}}) {
    std::vector<double> whole, inside;
    for (int i = 0; i < runs; ++i) whole.push_back(RunProgram({checker, folder.string()}));
    for (int i = 0; i < runs; ++i) inside.push_back(CheckInProcess(Utf8ToWide(folder.string()), launcher));
    std::printf("  %-24s program %7.2f ms (%.1fx the bare start), check alone %7.2f ms\n", name, Median(whole),
                Median(whole) / Median(bare), Median(inside));
  }
  fs::remove_all(tmp);
  return 0;
}
