// The launcher's own cost: a direct launch of a game through KestrelEx,
// with a full Config.ini, against starting the same game program directly.
// Both are run side by side, alternating, on a temporary machine root.
//
//   build/bin/kestrel_launch_bench [runs]
//
// Prints the median wall time of each, their difference and ratio, and the
// launcher's peak resident memory.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs a program to its end; returns its wall time in milliseconds and
// adds its peak resident set (KiB) to `maxRssKb`.
double Run(const std::vector<std::string>& args, const std::vector<std::string>& env, long& maxRssKb) {
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
    std::perror("posix_spawn");
    std::exit(1);
  }
  int status;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  maxRssKb = std::max(maxRssKb, usage.ru_maxrss);
  return std::chrono::duration<double, std::milli>(end - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

const char kConfig[] =
    "[game_base]\r\nmainExe=game.exe\r\nparam=-window\r\nCompatibilityMode=\r\nassocToGid=\r\ncurrntVer=\r\n"
    "[action_first]\r\nsubstFlag=0\r\nrunFirstUrl=\r\nrunFirstExe=\r\nrunFirstExe2=\r\nsetBits=0\r\n"
    "assocGids=\r\nvirtualDriveFile=\r\ndelFileOrDirs=\r\nregDlls=\r\n"
    "[set_platform]\r\nPlatformConfigFile=\r\n"
    "[personalization]\r\n"
    "[action_after]\r\nsleep=0\r\nRunAfterExe=\r\nkillProNames=\r\n"
    "[dlg_config]\r\nbtnCount=0\r\ntitle=Sample\r\n";

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  char dir[] = "/tmp/kestrel-bench-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::string tmp = dir;
  std::string game = tmp + "/Foo/game.exe";
  mkdir((tmp + "/Foo").c_str(), 0755);
  mkdir((tmp + "/Foo/GamePatch").c_str(), 0755);
  std::ofstream(game, std::ios::binary) << ReadFile(KESTREL_RECORDER);
  chmod(game.c_str(), 0755);
  std::string config = kConfig;
  for (int i = 0; i < 40; ++i)  // padding the real configs carry: other games' sections
    config += "[other_" + std::to_string(i) + "]\r\nkey=value\r\nlist=a|b|c\r\n";
  std::ofstream(tmp + "/Foo/GamePatch/Config.ini", std::ios::binary) << config;

  std::vector<std::string> env{"KESTREL_ROOT=" + tmp + "/root", "KESTREL_RECORD=/dev/null"};
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("KESTREL_", 0) != 0) env.push_back(*e);
  std::string windowsDir = "Z:" + tmp + "/Foo";
  std::replace(windowsDir.begin(), windowsDir.end(), '/', '\\');

  std::vector<double> launcher, direct;
  long launcherRss = 0, directRss = 0;
  Run({KESTREL_EXE, windowsDir + "|game.exe|-window"}, env, launcherRss);  // creates the machine root
  for (int i = 0; i < runs; ++i) {
    launcher.push_back(Run({KESTREL_EXE, windowsDir + "|game.exe|-window"}, env, launcherRss));
    direct.push_back(Run({game, "-window"}, env, directRss));
  }
  double l = Median(launcher), d = Median(direct);
  std::printf("runs: %d\n", runs);
  std::printf("direct start of the game:  %.3f ms (median)\n", d);
  std::printf("launch through KestrelEx:  %.3f ms (median)\n", l);
  std::printf("launcher adds:             %.3f ms (ratio %.2f)\n", l - d, l / d);
  std::printf("launcher peak resident:    %ld KiB\n", launcherRss);
  std::string cmd = "rm -rf '" + tmp + "'";
  return std::system(cmd.c_str()) == 0 ? 0 : 1;
}
