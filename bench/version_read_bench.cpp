// A prerequisite check's version read on the Linux machine model: the
// logic's GetFileVersionInfoSizeW then GetFileVersionInfoW, where the data
// call takes the block the size call found, against the same pair reading
// the file twice (a data call with no block kept, then a size call: the
// two full reads every pair made before the size call kept its block).
// Both run interleaved in one process, on a copy of the test DLL padded
// to the size of a C runtime DLL.
//
//   ./build/bin/kestrel_version_read_bench [ROUNDS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/linux/linux_platform.h"
#include "prereq/file_version.h"
#include "text/utf.h"

using namespace kestrel;
using Clock = std::chrono::steady_clock;

namespace {

double Us(Clock::time_point from) { return std::chrono::duration<double, std::micro>(Clock::now() - from).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 2000;
  if (rounds < 1) return 2;
  char dir[] = "/tmp/kestrel-version-bench-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::string tmp = dir;
  std::ifstream in(KESTREL_TESTDATA "/pe/version64.dll", std::ios::binary);
  std::stringstream dll;
  dll << in.rdbuf();
  std::string bytes = dll.str();
  bytes.resize(800 * 1024, '\0');  // an overlay after the image, as large as msvcr100.dll
  std::ofstream(tmp + "/MSVCR100.dll", std::ios::binary) << bytes;

  LinuxPlatform os{MachineRoot(tmp + "/root")};
  os.InitializeFramework();
  std::wstring file = os.NativePathToWindows(Utf8ToWide(tmp)) + L"\\msvcr100.dll";  // found without regard to case
  std::uint32_t high = 0, low = 0;
  if (!QueryFileVersion(os, file, high, low)) {
    std::fprintf(stderr, "no version read from %s\n", WideToUtf8(file).c_str());
    return 1;
  }
  std::uint32_t size = os.GetFileVersionInfoSizeW(file);

  std::vector<double> kept, twice;
  std::vector<std::uint8_t> block;
  FixedFileInfo info;
  bool ok = true;
  for (int i = 0; i < rounds; ++i) {
    auto start = Clock::now();
    ok &= QueryFileVersion(os, file, high, low);
    kept.push_back(Us(start));

    start = Clock::now();
    ok &= os.PathFileExistsW(file);
    ok &= os.GetFileVersionInfoW(file, size, block);  // nothing kept: a full read
    ok &= os.GetFileVersionInfoSizeW(file) == size;   // the second full read
    ok &= os.VerQueryValueW(block, L"\\", info);
    twice.push_back(Us(start));
  }
  std::string cmd = "rm -rf '" + tmp + "'";
  if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", tmp.c_str());
  if (!ok) {
    std::fprintf(stderr, "a version read failed\n");
    return 1;
  }
  double a = Median(kept), b = Median(twice);
  std::printf("version read, median of %d interleaved rounds (version %u.%u.%u.%u):\n", rounds, high >> 16,
              high & 0xFFFF, low >> 16, low & 0xFFFF);
  std::printf("  block kept by the size call  %8.2f us\n", a);
  std::printf("  file read twice              %8.2f us\n", b);
  std::printf("  ratio kept / twice           %8.2f\n", a / b);
  return 0;
}
