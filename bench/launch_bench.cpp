// The launcher's own cost: the sample game launched through KestrelEx, with
// its Config.ini grown to 20 sections and the chooser turned off, against
// starting the same game program directly.  Both run side by side,
// alternating, on a temporary machine root and a copy of the sample.
//
//   build/bin/kestrel_launch_bench [runs] [OTHER_KESTRELEX]
//
// With OTHER_KESTRELEX (another build of the launcher, say that of an
// earlier commit) it runs too, in the same rotation, for a before and after
// measured side by side.
// Each run lasts until the game has ended: the launcher leaves the game
// running when it ends, so both sides are timed until the last holder of
// their standard output (the game, which inherits it) closes it.  Prints
// the median wall time of each, their difference and ratio, and the
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

void WriteFile(const std::string& path, const std::string& bytes, mode_t mode) {
  std::ofstream(path, std::ios::binary) << bytes;
  chmod(path.c_str(), mode);
}

// Runs a program (in `folder` unless empty) until it and every process holding its standard output
// have ended; returns the wall time in milliseconds, adds the program's own
// processor time (user and system, with the children it waited for) to
// `cpuMs` and raises `maxRssKb` to its peak resident set (KiB).
double Run(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& folder,
           std::vector<double>& cpuMs, long& maxRssKb) {
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    std::perror("pipe2");
    std::exit(1);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
    std::perror("posix_spawn");
    std::exit(1);
  }
  close(out[1]);
  char buffer[4096];
  while (read(out[0], buffer, sizeof buffer) > 0) {
  }
  int status;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  auto end = std::chrono::steady_clock::now();
  close(out[0]);
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "kestrel_launch_bench: %s failed\n", args[0].c_str());
    std::exit(1);
  }
  maxRssKb = std::max(maxRssKb, usage.ru_maxrss);
  cpuMs.push_back((usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                  (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
  return std::chrono::duration<double, std::milli>(end - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

/// The sample's Config.ini without its chooser, grown to 20 sections with
/// the padding real configurations carry (other games' sections).
std::string BenchConfig(std::string config) {
  const std::string buttons = "btnCount=2";
  std::size_t at = config.find(buttons);
  if (at == std::string::npos) {
    std::fprintf(stderr, "kestrel_launch_bench: the sample's Config.ini has no %s\n", buttons.c_str());
    std::exit(1);
  }
  config.replace(at, buttons.size(), "btnCount=0");
  int sections = static_cast<int>(std::count(config.begin(), config.end(), '['));
  for (int i = 0; sections < 20; ++i, ++sections)
    config += "\n[other_" + std::to_string(i) + "]\nkey=value\nlist=a|b|c\n";
  return config;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  const std::string other = argc > 2 ? argv[2] : "";
  char dir[] = "/tmp/kestrel-bench-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const std::string tmp = dir, sample = KESTREL_SAMPLE_GAME;
  const std::string game = tmp + "/SampleGame/game.exe";
  mkdir((tmp + "/SampleGame").c_str(), 0755);
  mkdir((tmp + "/SampleGame/GamePatch").c_str(), 0755);
  WriteFile(game, ReadFile(sample + "/game.exe"), 0755);
  WriteFile(tmp + "/SampleGame/GamePatch/Config.ini", BenchConfig(ReadFile(sample + "/GamePatch/Config.ini")), 0644);
  WriteFile(tmp + "/SampleGame/GamePatch/res.dat", ReadFile(sample + "/GamePatch/res.dat"), 0644);

  std::vector<std::string> env{"KESTREL_ROOT=" + tmp + "/root"};
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("KESTREL_", 0) != 0) env.push_back(*e);
  std::string windowsDir = "Z:" + tmp + "/SampleGame";
  std::replace(windowsDir.begin(), windowsDir.end(), '/', '\\');
  const std::vector<std::string> launch{KESTREL_EXE, windowsDir + "|game.exe|-window"};
  const std::vector<std::string> directly{game, "-window"};

  std::vector<double> launcher, direct, otherLauncher, launcherCpu, directCpu, otherCpu;
  long launcherRss = 0, directRss = 0, otherRss = 0;
  const std::vector<std::string> otherLaunch{other, launch[1]};
  // The game is started in its own folder either way.
  const std::string folder = tmp + "/SampleGame";
  Run(launch, env, "", otherCpu, launcherRss);  // creates the machine root
  for (int i = 0; i < runs; ++i) {
    launcher.push_back(Run(launch, env, "", launcherCpu, launcherRss));
    direct.push_back(Run(directly, env, folder, directCpu, directRss));
    if (!other.empty()) otherLauncher.push_back(Run(otherLaunch, env, "", otherCpu, otherRss));
  }
  otherCpu.erase(otherCpu.begin());
  double l = Median(launcher), d = Median(direct);
  std::printf("runs: %d, interleaved\n", runs);
  std::printf("direct start of the game:  %.3f ms (median)\n", d);
  std::printf("launch through KestrelEx:  %.3f ms (median)\n", l);
  std::printf("launcher adds:             %.3f ms (ratio %.2f)\n", l - d, l / d);
  std::printf("processor time: game %.3f ms, launcher without the game %.3f ms (medians)\n", Median(directCpu),
              Median(launcherCpu));
  std::printf("launcher peak resident:    %ld KiB\n", launcherRss);
  if (!other.empty()) {
    double o = Median(otherLauncher);
    std::printf("other launcher (%s):\n", other.c_str());
    std::printf("  launch through it:       %.3f ms (median)\n", o);
    std::printf("  it adds:                 %.3f ms (ratio %.2f)\n", o - d, o / d);
    std::printf("  processor time, without the game: %.3f ms (median)\n", Median(otherCpu));
    std::printf("  peak resident:           %ld KiB\n", otherRss);
  }
  std::string cmd = "rm -rf '" + tmp + "'";
  return std::system(cmd.c_str()) == 0 ? 0 : 1;
}
