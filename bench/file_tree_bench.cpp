// The launcher's tree copy and delete (CopyDirectoryTree and
// DeleteDirectoryTree on the Linux machine model, as assocToGid and the
// personalization copy use them) against `cp -r` and `rm -rf` on the same
// trees in the same run, alternating which goes first:
//   - a tree of many small files (20,000 of 0.5 to 8 KB in 1,000 folders);
//   - a tree of a few large files (four, 1 GB in all).
//
//   build/bin/kestrel_tree_bench [--files N] [--folders N] [--large-mb N] [--runs N] [--dir PATH]
//
// --folders spreads the small files over fewer folders (--folders 1: one
// folder of N files, where finding a new name without regard to case
// costs the most).
//
// The trees are made below PATH (default: the temporary folder) and
// removed at the end.  Every timed step starts after sync(), so none pays
// for the writes of the one before; the sources stay in the page cache for
// both sides alike.  All copies come first (each run into trees of its own),
// then all deletes: on a file system without a journal, ext4 passes over
// every inode freed in the last few minutes, one by one, when it makes a new
// file, so a copy made soon after a mass delete can take ten times as long,
// whichever program makes it.  Each side runs as a process of its own: ours is a
// forked child, cp and rm are spawned; their peak resident memory is read
// from wait4.  Prints medians and the ratios theirs/ours (at or above 1:
// ours is as fast or faster).

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/linux/linux_platform.h"
#include "text/utf.h"
#include "util/file_tree.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
  int files = 20000;
  int folders = 1000;
  int largeMb = 1024;
  int runs = 3;
  std::string dir = fs::temp_directory_path().string();
};

struct Sample {
  double ms = 0;
  double cpuMs = 0;  ///< user and system time of the process
  long maxRssKb = 0;
};

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "kestrel_tree_bench: %s\n", what.c_str());
  std::exit(1);
}

/// Bytes that neither compress nor look sparse.
void FillRandom(std::vector<char>& bytes, std::uint64_t& state) {
  for (char& b : bytes) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    b = static_cast<char>(state >> 56);
  }
}

void WriteFile(const std::string& path, const std::vector<char>& bytes, std::size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Die("cannot write " + path);
  for (std::size_t done = 0; done < size;) {
    std::size_t chunk = std::min(bytes.size(), size - done);
    ssize_t put = write(fd, bytes.data(), chunk);
    if (put <= 0) Die("cannot write " + path);
    done += static_cast<std::size_t>(put);
  }
  close(fd);
}

/// `folders` folders (by default 1,000: 100 with 10 each) holding the files
/// round robin.
std::uint64_t MakeSmallTree(const std::string& root, int files, int folders) {
  std::uint64_t state = 42, total = 0;
  std::vector<char> bytes(8192);
  FillRandom(bytes, state);
  for (int i = 0; i < files; ++i) {
    int folder = i % folders;
    std::string dir = root + "/d" + std::to_string(folder / 10) + "/e" + std::to_string(folder % 10);
    if (i < folders) fs::create_directories(dir);
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    std::size_t size = 512 + static_cast<std::size_t>(state >> 33) % (8192 - 512);
    WriteFile(dir + "/f" + std::to_string(i) + ".dat", bytes, size);
    total += size;
  }
  return total;
}

std::uint64_t MakeLargeTree(const std::string& root, int megabytes) {
  fs::create_directories(root);
  std::uint64_t state = 7;
  std::vector<char> bytes(1 << 20);
  FillRandom(bytes, state);
  std::uint64_t each = static_cast<std::uint64_t>(megabytes) * (1 << 20) / 4;
  for (int i = 0; i < 4; ++i) {
    bytes[0] = static_cast<char>(i);  // no two files alike
    WriteFile(root + "/big" + std::to_string(i) + ".bin", bytes, each);
  }
  return each * 4;
}

/// Files and bytes below `root`, to check that a copy copied everything.
std::pair<std::uint64_t, std::uint64_t> Count(const std::string& root) {
  std::uint64_t files = 0, bytes = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) {
      ++files;
      bytes += entry.file_size();
    }
  return {files, bytes};
}

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

Sample Wait(pid_t pid, Clock::time_point start, const std::string& what) {
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) Die("lost " + what);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  Sample s{Ms(start, Clock::now()), ms(usage.ru_utime) + ms(usage.ru_stime), usage.ru_maxrss};
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Die(what + " failed");
  return s;
}

Sample RunTool(const std::vector<std::string>& args) {
  sync();
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  auto start = Clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) Die("cannot start " + args[0]);
  return Wait(pid, start, args[0]);
}

/// Runs `work` on a machine model of its own in a forked child.
Sample RunOurs(const std::string& machineRoot, const std::function<void(kestrel::Platform&)>& work) {
  sync();
  auto start = Clock::now();
  pid_t pid = fork();
  if (pid < 0) Die("cannot fork");
  if (pid == 0) {
    kestrel::LinuxPlatform os{kestrel::MachineRoot(machineRoot)};
    os.InitializeFramework();
    work(os);
    std::fflush(nullptr);
    _exit(0);
  }
  return Wait(pid, start, "the launcher's walk");
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Result {
  std::vector<double> oursCopy, cpCopy, oursDelete, rmDelete;
  std::vector<double> oursCopyCpu, cpCopyCpu, oursDeleteCpu, rmDeleteCpu;
  long oursRssKb = 0, cpRssKb = 0, rmRssKb = 0;
};

void Measure(const std::string& name, const std::string& source, const std::string& work, const std::string& machine,
             const Options& options, std::uint64_t files, std::uint64_t bytes) {
  auto windows = [&](const std::string& host) {
    kestrel::LinuxPlatform os{kestrel::MachineRoot(machine)};
    return os.NativePathToWindows(kestrel::Utf8ToWide(host));
  };
  const std::wstring from = windows(source);
  auto ours = [&](int run) { return work + "/ours-" + name + std::to_string(run); };
  auto theirs = [&](int run) { return work + "/theirs-" + name + std::to_string(run); };
  Result r;
  for (int run = 0; run < options.runs; ++run) {
    // The launcher copies into a folder that exists; cp -r makes its own.
    auto oursCopy = [&] {
      fs::create_directory(ours(run));
      const std::wstring to = windows(ours(run));
      Sample s = RunOurs(machine, [&](kestrel::Platform& os) { kestrel::CopyDirectoryTree(os, from, to, 0); });
      r.oursCopy.push_back(s.ms);
      r.oursCopyCpu.push_back(s.cpuMs);
      r.oursRssKb = std::max(r.oursRssKb, s.maxRssKb);
      if (Count(ours(run)) != std::make_pair(files, bytes)) Die("the launcher's copy of " + name + " is incomplete");
    };
    auto cpCopy = [&] {
      Sample s = RunTool({"cp", "-r", source, theirs(run)});
      r.cpCopy.push_back(s.ms);
      r.cpCopyCpu.push_back(s.cpuMs);
      r.cpRssKb = std::max(r.cpRssKb, s.maxRssKb);
    };
    if (run % 2 == 0) {
      oursCopy();
      cpCopy();
    } else {
      cpCopy();
      oursCopy();
    }
  }
  for (int run = 0; run < options.runs; ++run) {
    auto oursDelete = [&] {
      const std::wstring tree = windows(ours(run));
      Sample s = RunOurs(machine, [&](kestrel::Platform& os) { kestrel::DeleteDirectoryTree(os, tree); });
      r.oursDelete.push_back(s.ms);
      r.oursDeleteCpu.push_back(s.cpuMs);
      r.oursRssKb = std::max(r.oursRssKb, s.maxRssKb);
      if (fs::exists(ours(run))) Die("the launcher's delete left " + ours(run));
    };
    auto rmDelete = [&] {
      Sample s = RunTool({"rm", "-rf", theirs(run)});
      r.rmDelete.push_back(s.ms);
      r.rmDeleteCpu.push_back(s.cpuMs);
      r.rmRssKb = std::max(r.rmRssKb, s.maxRssKb);
    };
    if (run % 2 == 0) {
      oursDelete();
      rmDelete();
    } else {
      rmDelete();
      oursDelete();
    }
  }
  double oc = Median(r.oursCopy), cc = Median(r.cpCopy), od = Median(r.oursDelete), rd = Median(r.rmDelete);
  std::printf("%-6s %6llu files %7.1f MB | copy: ours %8.1f ms, cp -r %8.1f ms, cp/ours %.2f | "
              "delete: ours %8.1f ms, rm -rf %8.1f ms, rm/ours %.2f\n",
              name.c_str(), static_cast<unsigned long long>(files), bytes / 1048576.0, oc, cc, cc / oc, od, rd,
              rd / od);
  auto range = [](const std::vector<double>& v) {
    auto [low, high] = std::minmax_element(v.begin(), v.end());
    return std::to_string(static_cast<long>(*low)) + "-" + std::to_string(static_cast<long>(*high));
  };
  std::printf("%-6s spread in ms: ours copy %s, cp -r %s, ours delete %s, rm -rf %s\n", name.c_str(),
              range(r.oursCopy).c_str(), range(r.cpCopy).c_str(), range(r.oursDelete).c_str(),
              range(r.rmDelete).c_str());
  double occ = Median(r.oursCopyCpu), ccc = Median(r.cpCopyCpu), odc = Median(r.oursDeleteCpu),
         rdc = Median(r.rmDeleteCpu);
  std::printf("%-6s processor time in ms: copy ours %.1f, cp -r %.1f, cp/ours %.2f | delete ours %.1f, rm -rf %.1f, "
              "rm/ours %.2f\n",
              name.c_str(), occ, ccc, ccc / occ, odc, rdc, rdc / odc);
  std::printf("%-6s peak resident memory: ours %ld KB, cp %ld KB, rm %ld KB\n", name.c_str(), r.oursRssKb, r.cpRssKb,
              r.rmRssKb);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string flag = argv[i];
    if (flag == "--files") options.files = std::atoi(argv[i + 1]);
    else if (flag == "--folders") options.folders = std::atoi(argv[i + 1]);
    else if (flag == "--large-mb") options.largeMb = std::atoi(argv[i + 1]);
    else if (flag == "--runs") options.runs = std::atoi(argv[i + 1]);
    else if (flag == "--dir") options.dir = argv[i + 1];
    else Die("unknown flag " + flag);
  }
  if ((argc - 1) % 2 != 0 || options.files < 1 || options.folders < 1 || options.largeMb < 4 || options.runs < 1)
    Die("usage: kestrel_tree_bench [--files N] [--folders N] [--large-mb N>=4] [--runs N] [--dir PATH]");

  char pattern[4096];
  std::snprintf(pattern, sizeof pattern, "%s/kestrel-tree-bench-XXXXXX", options.dir.c_str());
  if (!mkdtemp(pattern)) Die("cannot make a folder in " + options.dir);
  const std::string work = pattern;
  const std::string machine = work + "/machine";

  std::printf("trees below %s, %d runs, medians\n", work.c_str(), options.runs);
  std::fflush(stdout);
  std::uint64_t smallBytes = MakeSmallTree(work + "/small", options.files, options.folders);
  Measure("small", work + "/small", work, machine, options, static_cast<std::uint64_t>(options.files), smallBytes);
  fs::remove_all(work + "/small");
  std::uint64_t largeBytes = MakeLargeTree(work + "/large", options.largeMb);
  Measure("large", work + "/large", work, machine, options, 4, largeBytes);
  fs::remove_all(work);
  return 0;
}
