// Speed of the Linux machine model where a launch spends its time:
//
//   1. 1,000 key reads from a Config.ini of 200 sections (the profile cache
//      parses the file once), against parsing the file for every read;
//   2. the import of a .reg file of 1,000 values into the registry store as
//      one atomic replacement, against 1,000 single SHSetValueW writes;
//   3. reading one key from a 50 MB profile file (bad input, bounded time).
//
//   ./build/bin/kestrel_machine_bench

#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "platform/linux/linux_platform.h"
#include "platform/model/profile_text.h"
#include "platform/model/reg_file.h"
#include "text/utf.h"

using namespace kestrel;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main() {
  char dir[] = "/tmp/kestrel-bench-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::string tmp = dir;
  LinuxPlatform os{MachineRoot(tmp + "/root")};
  os.InitializeFramework();
  std::wstring base = os.NativePathToWindows(Utf8ToWide(tmp));

  // --- 1. profile reads ---------------------------------------------------
  std::string ini;
  for (int s = 1; s <= 200; ++s) {
    ini += "[section" + std::to_string(s) + "]\r\n";
    for (int k = 1; k <= 10; ++k) ini += "key" + std::to_string(k) + "=value " + std::to_string(s * 100 + k) + "\r\n";
  }
  WriteFile(tmp + "/Config.ini", ini);
  std::wstring config = base + L"\\Config.ini";
  std::mt19937 random(1);
  std::vector<std::pair<std::wstring, std::wstring>> keys;
  for (int i = 0; i < 1000; ++i)
    keys.emplace_back(L"section" + std::to_wstring(random() % 200 + 1), L"key" + std::to_wstring(random() % 10 + 1));

  auto start = Clock::now();
  os.GetPrivateProfileStringW(L"section1", L"key1", L"", 260, config);
  double firstMs = Ms(start);
  start = Clock::now();
  std::size_t found = 0;
  for (const auto& [section, key] : keys) found += !os.GetPrivateProfileStringW(section, key, L"", 260, config).empty();
  double cachedMs = Ms(start);
  start = Clock::now();
  for (const auto& [section, key] : keys) {
    ProfileText text(DecodeTextFile(ini, [](std::string_view b) { return Utf8ToWide(b); }));
    found += !ProfileGetString(&text, section, key, L"", 260).empty();
  }
  double reparseMs = Ms(start);
  // The floor on this machine: each read must at least look whether the
  // file changed, one stat() of it.
  struct stat st {};
  std::string host = tmp + "/Config.ini";
  start = Clock::now();
  for (int i = 0; i < 1000; ++i) found += stat(host.c_str(), &st) == 0;
  double statMs = Ms(start);
  std::printf("profile: 1000 reads from 200 sections: %.3f ms (first read with parse %.3f ms); "
              "parsing for every read: %.1f ms, %.0fx slower; 1000 bare stat() calls: %.3f ms [%zu]\n",
              cachedMs, firstMs, reparseMs, reparseMs / cachedMs, statMs, found);

  // --- 2. registry import ----------------------------------------------------
  std::wstring reg = L"Windows Registry Editor Version 5.00\r\n\r\n";
  for (int k = 0; k < 10; ++k) {
    reg += L"[HKEY_CURRENT_USER\\Software\\Bench\\Key" + std::to_wstring(k) + L"]\r\n";
    for (int v = 0; v < 100; ++v)
      reg += L"\"Value" + std::to_wstring(v) + L"\"=\"C:\\\\Games\\\\Foo\\\\" + std::to_wstring(k * 100 + v) + L"\"\r\n";
  }
  std::string regBytes = "\xFF\xFE" + WideToUtf16Le(reg);
  std::string store = tmp + "/root/user.reg";
  struct stat before{}, after{};
  stat(store.c_str(), &before);
  std::uint32_t error = 0;
  start = Clock::now();
  RegFileImport result = os.registry().Import(regBytes, error);
  double importMs = Ms(start);
  stat(store.c_str(), &after);
  std::string data = WideToUtf16Le(L"x");
  data.append(2, '\0');
  start = Clock::now();
  for (int i = 0; i < 1000; ++i)
    os.SHSetValueW(RegRoot::kCurrentUser, L"Software\\Bench\\Single", L"Value" + std::to_wstring(i), win::kRegSz,
                   std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
  double singleMs = Ms(start);
  std::printf("registry: import of 1000 values: %.1f ms (%zu applied, %zu problems, error %u, store file %s); "
              "1000 single SHSetValueW: %.1f ms, %.0fx slower\n",
              importMs, result.applied, result.problems.size(), error,
              after.st_ino != before.st_ino ? "replaced once" : "NOT replaced", singleMs, singleMs / importMs);

  // A file that sets 20,000 values and then removes them: each removal
  // costs the same however many values the key holds.
  {
    std::string churn = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Bench\\Churn]\r\n";
    for (int i = 0; i < 20000; ++i) churn += "\"v" + std::to_string(i) + "\"=dword:1\r\n";
    for (int i = 0; i < 20000; ++i) churn += "\"v" + std::to_string(i) + "\"=-\r\n";
    RegistryTree machine, user;
    start = Clock::now();
    RegFileImport churned = ImportRegFile(churn, StandardHives(machine, user), [](std::string_view b) {
      return std::wstring(b.begin(), b.end());
    });
    std::printf("registry: 20000 values set then removed in one file: %.1f ms (%zu applied)\n", Ms(start),
                churned.applied);
  }

  // --- 3. a 50 MB profile file -----------------------------------------------
  std::string big;
  big.reserve(50u << 20);
  for (int i = 0; big.size() < (50u << 20); ++i) big += "[s" + std::to_string(i) + "]\r\nk=" + std::string(40, 'x') + "\r\n";
  big += "[last]\r\nk=found\r\n";
  WriteFile(tmp + "/big.ini", big);
  start = Clock::now();
  std::wstring last = os.GetPrivateProfileStringW(L"last", L"k", L"", 260, base + L"\\big.ini");
  double bigMs = Ms(start);
  // The floor: the decoded text alone is four bytes a character, and
  // memory touched for the first time costs what it costs on this machine.
  start = Clock::now();
  std::wstring touched(big.size(), L' ');
  double touchMs = Ms(start);
  std::printf("bad input: one key from a %zu MB profile file: %.0f ms (%s); first touch of the %zu MB its decoded "
              "text needs: %.0f ms\n",
              big.size() >> 20, bigMs, WideToUtf8(last).c_str(), (touched.size() * sizeof(wchar_t)) >> 20, touchMs);
  std::printf("peak memory: %ld MB\n", PeakRssKb() / 1024);

  std::string cmd = "rm -rf '" + tmp + "'";
  return std::system(cmd.c_str());
}
