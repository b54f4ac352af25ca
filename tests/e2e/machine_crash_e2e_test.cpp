// A writer of profile files and of the registry store killed at random
// moments, many times over: every file it leaves must read whole and equal
// a state before or after one of its writes, never a torn mixture.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <thread>

#include "platform/model/reg_file.h"
#include "platform/model/wine_registry_file.h"
#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

extern char** environ;

namespace kestrel::e2e {
namespace {

// The profile file with the counter at `n`; everything else must survive
// every write byte for byte.
std::string ProfileState(const std::string& n) {
  return "\xFF\xFE" + WideToUtf16Le(Utf8ToWide("; operator's note\r\n[s]\r\ncounter=" + n +
                                               "\r\n\r\n[t]\r\nk=\xE6\xB8\xB8\r\n"));
}

// The counter of a profile file; -1 when the file is not one of the states.
long ProfileCounter(const std::string& bytes) {
  std::wstring text = Utf16LeToWide(bytes.substr(bytes.size() >= 2 ? 2 : 0));
  std::size_t at = text.find(L"counter=");
  if (at == std::wstring::npos) return -1;
  std::size_t end = text.find(L'\r', at);
  std::string n = WideToUtf8(text.substr(at + 8, end - at - 8));
  if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos) return -1;
  return bytes == ProfileState(n) ? std::stol(n) : -1;
}

// The counter in Wine's user.reg; -1 when it does not read whole
// or does not re-export to the same bytes.
long RegistryCounter(const std::string& bytes) {
  RegistryTree tree;
  WineRegistryFile file;
  if (!ReadWineRegistry(bytes, file)) return -1;
  LoadWineKey(file, tree, L"", true);
  WineRegistryFile copy = file;
  if (file.problems || WriteWineRegistry(tree, copy, 1) != bytes) return -1;
  const RegistryValue* value = tree.FindValue(L"Software\\KestrelCrash", L"counter");
  if (!value || value->type != 1 || value->data.size() < 4) return -1;
  std::string raw(value->data.begin(), value->data.end() - 2);
  return std::stol(WideToUtf8(Utf16LeToWide(raw)));
}

TEST(MachineCrash, AKilledWriterLeavesOldOrNewFilesOnly) {
  TempMachine m;
  m.MakeDir("game/GamePatch");
  m.MakeDir("root");
  m.Write("game/GamePatch/Config.ini", ProfileState("0"));
  std::string ini = WideToUtf8(m.Windows("game/GamePatch/Config.ini"));
  std::string root = m.Host("root");

  std::mt19937 random(20261208);
  long profile = 0, registry = -1, next = 1;
  int progressed = 0;
  const int kRuns = 100;
  for (int run = 0; run < kRuns; ++run) {
    std::string first = std::to_string(next);
    std::vector<char*> argv{const_cast<char*>(KESTREL_MACHINE_WRITER), root.data(), ini.data(), first.data(),
                            nullptr};
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, KESTREL_MACHINE_WRITER, nullptr, nullptr, argv.data(), environ), 0);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 150000));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself in run " << run;

    long nowProfile = ProfileCounter(ReadFile(m.Host("game/GamePatch/Config.ini")));
    ASSERT_GE(nowProfile, 0) << "torn profile file after run " << run;
    ASSERT_GE(nowProfile, profile) << "a change was lost in run " << run;
    std::string store = ReadFile(root + "/user.reg");
    long nowRegistry = store.empty() ? -1 : RegistryCounter(store);
    ASSERT_TRUE(store.empty() || nowRegistry >= 0) << "torn registry file after run " << run;
    ASSERT_GE(nowRegistry, registry) << "a registry change was lost in run " << run;
    progressed += nowProfile > profile;
    profile = nowProfile;
    registry = nowRegistry;
    next = std::max(profile, registry) + 1;
  }
  // Temporary files are unnamed until the moment of the rename, so a kill
  // leaves one behind only in that instant.
  std::string count = m.Host("leftovers");
  std::string cmd = "ls -a '" + m.Host("game/GamePatch") + "' '" + root + "' | grep -c 'kestrel-.*tmp' > '" + count + "'";
  (void)!std::system(cmd.c_str());
  std::cout << "profile writes " << profile << ", registry writes " << registry << ", runs that progressed "
            << progressed << "/" << kRuns << ", temporary files left " << ReadFile(count);
  // The kills must have caught the writer at work, not only before it began.
  EXPECT_GT(progressed, kRuns / 5);
  EXPECT_GT(registry, 0);
}

}  // namespace
}  // namespace kestrel::e2e
