// The skin archive's reader against Info-ZIP's `unzip -p` on the same
// archives, side by side, alternating:
//   - a 50 MB deflated entry (throughput);
//   - the last entry of a 5,000-entry archive (lookup cost).
// For each: the launcher's own path in this process (read res.dat whole,
// open, look up, extract in one call of the entry's size), KestrelSkin
// extract as a process, and unzip -p as a process (both to /dev/null).
//
//   build/bin/kestrel_zip_bench [runs]
//
// Prints medians, the ratios unzip/ours (above 1: ours is faster), the
// lookup time in the 5,000-entry archive, and each one's peak resident
// memory (the launcher's path holds the whole archive and the whole entry).

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
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "skin/zip_reader.h"
#include "tests/support/zip_builder.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using kestrel::testing::ZipBuilder;

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

/// Runs a program with standard output to /dev/null; returns its wall time
/// in ms and keeps the largest peak resident set (KiB) in `maxRssKb`.
double Run(const std::vector<std::string>& args, long& maxRssKb) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  auto start = Clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::perror(argv[0]);
    std::exit(1);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  auto end = Clock::now();
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", args[0].c_str());
    std::exit(1);
  }
  maxRssKb = std::max(maxRssKb, usage.ru_maxrss);
  return Ms(start, end);
}

/// Runs `work` in a child process, so that the memory it takes is measured
/// alone and never inflates this process (children spawned later would
/// inherit its peak).  Returns what `work` returns.
double InChild(double (*work)(void*), void* arg, long& maxRssKb) {
  int fds[2];
  if (pipe(fds) != 0) std::exit(1);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const double ms = work(arg);
    (void)!write(fds[1], &ms, sizeof ms);
    _exit(0);
  }
  close(fds[1]);
  double ms = -1;
  if (read(fds[0], &ms, sizeof ms) != sizeof ms) std::exit(1);
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  maxRssKb = std::max(maxRssKb, usage.ru_maxrss);
  return ms;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

/// The launcher's path: read the file whole, open, look up, extract the
/// whole entry in one call.  Returns ms; checks the size it got.
double LauncherPath(kestrel::Platform& os, const std::wstring& path, const std::wstring& name,
                    std::size_t expected) {
  auto start = Clock::now();
  std::string bytes;
  if (!os.ReadFileBytes(path, bytes)) std::exit(1);
  auto handle = kestrel::OpenArchive(os, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                     static_cast<std::uint32_t>(bytes.size()));
  int index = -1;
  kestrel::ZipEntryInfo info;
  if (kestrel::FindArchiveItem(handle, name, &index, &info) != kestrel::ResultOk) std::exit(1);
  // Like the launcher's fixed memory block: not cleared before use.
  std::unique_ptr<std::uint8_t[]> image(new std::uint8_t[info.uncompressedSize]);
  std::uint32_t produced = 0;
  kestrel::UnzipArchiveItem(handle, index, image.get(), info.uncompressedSize, &produced);
  kestrel::CloseArchive(handle);
  auto end = Clock::now();
  if (produced != expected) {
    std::fprintf(stderr, "extracted %u bytes, expected %zu\n", produced, expected);
    std::exit(1);
  }
  return Ms(start, end);
}

struct Row {
  std::vector<double> inProcess, tool, unzip;
  long toolRss = 0, unzipRss = 0, inProcessRss = 0;
};

struct LauncherArgs {
  kestrel::Platform* os;
  std::wstring path, name;
  std::size_t size;
};

double LauncherPathWork(void* p) {
  auto* a = static_cast<LauncherArgs*>(p);
  return LauncherPath(*a->os, a->path, a->name, a->size);
}

void Compare(const char* what, kestrel::Platform& os, const std::string& file, const std::string& name,
             std::size_t size, int runs) {
  const std::wstring windowsPath = os.NativePathToWindows(std::wstring(file.begin(), file.end()));
  const std::wstring wideName(name.begin(), name.end());
  Row row;
  LauncherArgs args{&os, windowsPath, wideName, size};
  for (int i = 0; i < runs; ++i) {
    row.unzip.push_back(Run({"unzip", "-p", file, name}, row.unzipRss));
    row.tool.push_back(Run({KESTREL_SKIN_EXE, "extract", file, name}, row.toolRss));
    row.inProcess.push_back(InChild(LauncherPathWork, &args, row.inProcessRss));
  }
  const double u = Median(row.unzip), t = Median(row.tool), p = Median(row.inProcess);
  std::printf("%s (%d runs, medians)\n", what, runs);
  std::printf("  unzip -p:                      %9.3f ms   peak %6ld KiB\n", u, row.unzipRss);
  std::printf("  KestrelSkin extract:           %9.3f ms   peak %6ld KiB   unzip/ours %.2f\n", t, row.toolRss, u / t);
  std::printf("  launcher path (one process):   %9.3f ms   peak %6ld KiB   unzip/ours %.2f\n", p, row.inProcessRss,
              u / p);
  if (size > (1u << 20))
    std::printf("  throughput: unzip %.0f MB/s, KestrelSkin %.0f MB/s, in process %.0f MB/s\n",
                size / 1e3 / u, size / 1e3 / t, size / 1e3 / p);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  char dir[] = "/tmp/kestrel-zip-bench-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const std::string tmp = dir;
  setenv("KESTREL_ROOT", (tmp + "/root").c_str(), 1);
  auto os = kestrel::CreateSystemPlatform();

  std::printf("building the archives...\n");
  const std::size_t bigSize = 50u << 20;
  const int count = 5000;
  const std::string last = "Skin/entry_" + std::to_string(count - 1) + ".png";
  const std::size_t lastSize = 2000 + (count - 1) % 97;
  long buildRss = 0;
  InChild(
      [](void* dir) {
        const std::string& tmp = *static_cast<std::string*>(dir);
        ZipBuilder big;
        big.Add("Skin/big.png", kestrel::testing::SampleContent(50u << 20, 11), 8);
        std::ofstream(tmp + "/big.zip", std::ios::binary) << big.Build();
        ZipBuilder many;
        for (int i = 0; i < 5000; ++i)
          many.Add("Skin/entry_" + std::to_string(i) + ".png", kestrel::testing::SampleContent(2000 + i % 97, i), 8);
        std::ofstream(tmp + "/many.zip", std::ios::binary) << many.Build();
        return 0.0;
      },
      const_cast<std::string*>(&tmp), buildRss);
  struct stat st{};
  stat((tmp + "/big.zip").c_str(), &st);
  std::printf("big.zip: one deflated entry of %zu bytes, %lld bytes compressed\n", bigSize,
              static_cast<long long>(st.st_size));
  stat((tmp + "/many.zip").c_str(), &st);
  std::printf("many.zip: %d deflated entries, %lld bytes\n\n", count, static_cast<long long>(st.st_size));

  Compare("50 MB deflated entry", *os, tmp + "/big.zip", "Skin/big.png", bigSize, runs);
  Compare("last of 5,000 entries", *os, tmp + "/many.zip", last, lastSize, std::max(runs, 21));

  // The lookup alone: a linear scan of the directory to its last entry.
  std::string bytes;
  os->ReadFileBytes(os->NativePathToWindows(std::wstring(tmp.begin(), tmp.end()) + L"/many.zip"), bytes);
  auto handle = kestrel::OpenArchive(*os, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                     static_cast<std::uint32_t>(bytes.size()));
  const std::wstring wideLast(last.begin(), last.end());
  const int lookups = 2000;
  std::vector<double> each;
  for (int i = 0; i < lookups; ++i) {
    auto a = Clock::now();
    int index = -1;
    if (kestrel::FindArchiveItem(handle, wideLast, &index, nullptr) != kestrel::ResultOk || index != count - 1)
      return 1;
    each.push_back(Ms(a, Clock::now()));
  }
  kestrel::CloseArchive(handle);
  std::printf("\nlookup of the last of 5,000 entries: median %.4f ms, worst %.4f ms (%d lookups)\n", Median(each),
              *std::max_element(each.begin(), each.end()), lookups);

  const std::string cmd = "rm -rf '" + tmp + "'";
  return std::system(cmd.c_str()) == 0 ? 0 : 1;
}
