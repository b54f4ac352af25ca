// The chooser's time to first frame and its hover repaint, on a display
// (run under xvfb-run -a):
//   kestrel_chooser_bench GAME_DIR [RUNS]
// Each run starts a fresh process (this program again) that does what the
// launcher does for a chooser (the platform, the skin from GAME_DIR's
// res.dat, the configuration, the window module) and reports the time from
// before its start to the first frame on screen.  xdotool then moves the
// pointer over the version buttons, and each hover repaint is timed.

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "chooser/launch_chooser_sources.h"
#include "chooser/linux/chooser_module.h"
#include "platform/platform.h"
#include "text/utf.h"

namespace {

long long NowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int Child(const char* gameDir, long long startMicros) {
  std::unique_ptr<kestrel::Platform> os = kestrel::CreateSystemPlatform();
  kestrel::LaunchContext context;
  context.baseDir = os->NativePathToWindows(kestrel::Utf8ToWide(gameDir));
  const std::string module =
      std::filesystem::canonical("/proc/self/exe").parent_path() / kKestrelChooserModuleName;
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto run = handle ? reinterpret_cast<KestrelRunChooserWindowFn>(dlsym(handle, kKestrelRunChooserWindowSymbol))
                    : nullptr;
  if (!run) return 2;
  kestrel::LaunchChooserSources sources(*os, context);
  std::vector<long long> repaints;
  std::thread driver;
  kestrel::ChooserWindowHooks hooks;
  hooks.firstPresent = [&](unsigned long window) {
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    // Processor time shows the launcher's own cost on a busy machine.
    std::printf("first frame %.1f ms after the process was started (%.1f ms of processor time)\n",
                (NowMicros() - startMicros) / 1000.0, cpu.tv_sec * 1000.0 + cpu.tv_nsec / 1e6);
    driver = std::thread([window] {
      const std::string id = std::to_string(window);
      std::string moves = "xdotool";
      for (int i = 0; i < 10; ++i) moves += " mousemove --window " + id + " 200 120 sleep 0.05 mousemove --window " +
                                            id + " 200 170 sleep 0.05";
      (void)std::system(moves.c_str());
      (void)std::system(("xdotool windowfocus --sync " + id + " key Escape").c_str());
    });
  };
  hooks.buttonRepainted = [&](long long micros) { repaints.push_back(micros); };
  run(os.get(), &sources, &hooks);
  if (driver.joinable()) driver.join();
  if (!repaints.empty()) {
    std::sort(repaints.begin(), repaints.end());
    std::printf("hover repaints: %zu, median %lld us, max %lld us\n", repaints.size(), repaints[repaints.size() / 2],
                repaints.back());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "--child") return Child(argv[2], std::atoll(argv[3]));
  if (argc < 2) {
    std::fprintf(stderr, "usage: kestrel_chooser_bench GAME_DIR [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  for (int i = 0; i < runs; ++i) {
    const std::string start = std::to_string(NowMicros());
    const pid_t child = fork();
    if (child == 0) {
      execl("/proc/self/exe", argv[0], "--child", argv[1], start.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
  }
  return 0;
}
