// The registry work of a launch on a real Wine prefix (system.reg of some
// megabytes, user.reg of some kilobytes), each run in a fresh platform as a
// launch would be:
//
//   1. importing a one-value template into HKEY_CURRENT_USER, and one into
//      HKEY_LOCAL_MACHINE\Software (the 32-bit view), with no wineserver
//      running: parse, change, write back;
//   2. reads after the one parse (SHGetValueW), per read;
//   3. the index, a load of every key and the writer alone on system.reg.
//
//   ./build/bin/kestrel_wine_registry_bench PREFIX [RUNS]
//
// PREFIX is a prepared Wine prefix (`kestrel-system wineboot` or Wine's own
// wineboot); it is copied to a temporary folder and never changed.

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/linux/atomic_file.h"
#include "platform/linux/linux_platform.h"
#include "platform/model/wine_registry_file.h"
#include "text/utf.h"

using namespace kestrel;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

/// Processor time of this process in ms: what the work costs without the
/// other programs of a busy machine (and without waiting for the disk).
double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kestrel_wine_registry_bench PREFIX [RUNS]\n");
    return 2;
  }
  int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 11;
  std::string system = ReadAll(std::string(argv[1]) + "/system.reg");
  std::string user = ReadAll(std::string(argv[1]) + "/user.reg");
  if (system.empty() || user.empty()) {
    std::fprintf(stderr, "%s has no system.reg and user.reg\n", argv[1]);
    return 1;
  }
  char dir[] = "/tmp/kestrel-wine-bench-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::string root = std::string(dir) + "/root";
  mkdir(root.c_str(), 0755);

  auto importOnce = [&](const std::wstring& key) {
    WriteAll(root + "/system.reg", system);
    WriteAll(root + "/user.reg", user);
    LinuxPlatform os{MachineRoot(root)};
    std::wstring reg = L"Windows Registry Editor Version 5.00\r\n\r\n[" + key + L"]\r\n\"Dir\"=\"C:\\\\Games\\\\Foo\\\\\"\r\n";
    std::string bytes = "\xFF\xFE" + WideToUtf16Le(reg);
    std::uint32_t error = 0;
    double cpu = CpuMs();
    auto start = Clock::now();
    RegFileImport result = os.registry().Import(bytes, error);
    double ms = Ms(start);
    if (error || result.applied != 2) std::fprintf(stderr, "import failed: error %u\n", error);
    return std::make_pair(ms, CpuMs() - cpu);
  };
  std::vector<double> user1, machine1, user1Cpu, machine1Cpu;
  for (int i = 0; i < runs; ++i) {
    auto [wall, cpu] = importOnce(L"HKEY_CURRENT_USER\\Software\\KxBench");
    user1.push_back(wall);
    user1Cpu.push_back(cpu);
    std::tie(wall, cpu) = importOnce(L"HKEY_LOCAL_MACHINE\\Software\\KxBench");
    machine1.push_back(wall);
    machine1Cpu.push_back(cpu);
  }

  // Reads after the parse.
  WriteAll(root + "/system.reg", system);
  LinuxPlatform os{MachineRoot(root)};
  std::uint8_t data[512];
  std::uint32_t type = 0, size = sizeof data;
  auto start = Clock::now();
  os.SHGetValueW(RegRoot::kLocalMachine, L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"ProductName", &type,
                 data, &size);
  double firstReadMs = Ms(start);
  const int reads = 20000;
  int found = 0;
  start = Clock::now();
  for (int i = 0; i < reads; ++i) {
    size = sizeof data;
    found += os.SHGetValueW(RegRoot::kLocalMachine, L"Software\\Microsoft\\Windows NT\\CurrentVersion",
                            L"ProductName", &type, data, &size) == 0;
  }
  double readUs = Ms(start) * 1000 / reads;

  // The parser and the writer alone: indexing, loading every key, writing
  // back a file with every key loaded.
  std::vector<double> index, loadAll, write;
  for (int i = 0; i < runs; ++i) {
    RegistryTree tree;
    WineRegistryFile file;
    start = Clock::now();
    ReadWineRegistry(system, file);
    index.push_back(Ms(start));
    start = Clock::now();
    LoadWineKey(file, tree, L"", true);
    loadAll.push_back(Ms(start));
    start = Clock::now();
    std::string out = WriteWineRegistry(tree, file, 1);
    write.push_back(Ms(start));
    if (out != system) std::fprintf(stderr, "system.reg does not round-trip\n");
  }

  // The disk's part: replacing a file of system.reg's size, flushed.
  std::vector<double> replace;
  for (int i = 0; i < runs; ++i) {
    start = Clock::now();
    ReplaceFileAtomically(root + "/copy.reg", system, 0644);
    replace.push_back(Ms(start));
  }

  std::printf("prefix: system.reg %.1f MB, user.reg %.1f KB; medians of %d runs\n", system.size() / 1e6,
              user.size() / 1e3, runs);
  std::printf("one-value template into HKCU (read user.reg, write it): %.2f ms (processor %.2f ms)\n", Median(user1),
              Median(user1Cpu));
  std::printf("one-value template into HKLM\\Software (read system.reg, write it): %.2f ms (processor %.2f ms)\n",
              Median(machine1), Median(machine1Cpu));
  std::printf("first HKLM read (parses system.reg): %.2f ms; later reads: %.2f us each (%d of %d found)\n",
              firstReadMs, readUs, found, reads);
  std::printf("replacing a file of system.reg's size (flushed to disk): %.2f ms; of user.reg's: ", Median(replace));
  replace.clear();
  for (int i = 0; i < runs; ++i) {
    start = Clock::now();
    ReplaceFileAtomically(root + "/copy.reg", user, 0644);
    replace.push_back(Ms(start));
  }
  std::printf("%.2f ms\n", Median(replace));
  std::printf("system.reg alone: index %.2f ms, load every key %.2f ms, write with every key loaded %.2f ms\n",
              Median(index), Median(loadAll), Median(write));
  std::string cleanup = std::string("rm -rf '") + dir + "'";
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
