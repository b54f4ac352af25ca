#include "platform/linux/process_list.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <random>

#include "platform/linux/linux_test_support.h"

namespace kestrel {
namespace {

TEST(ImageName, IsWhatAUserCallsTheProgram) {
  struct Case {
    std::string exe;
    std::vector<std::string> cmdline;
    std::string comm;
    std::wstring name;
  };
  const Case cases[] = {
      {"/usr/lib/firefox/firefox", {"/usr/lib/firefox/firefox", "-P"}, "firefox", L"firefox"},
      // A script runs in its interpreter; the comm holds the script's name.
      {"/usr/bin/dash", {"/bin/sh", "/games/Foo/game_update.exe", "-x"}, "game_update.exe", L"game_update.exe"},
      // Longer than the comm's 15 characters: the full name still comes back.
      {"/usr/bin/dash", {"/bin/sh", "/g/crashreporter_helper.exe"}, "crashreporter_h", L"crashreporter_helper.exe"},
      {"/opt/g/very_long_native_game_binary", {"./very_long_native_game_binary"}, "very_long_nativ",
       L"very_long_native_game_binary"},
      // Under Wine the command line holds the Windows program.
      {"/usr/lib/wine/wine64-preloader", {"C:\\Games\\Foo\\Game.exe", "-window"}, "Game.exe", L"Game.exe"},
      // Called through a link: the name it was started by.
      {"/usr/bin/python3.11", {"python3", "x.py"}, "python3", L"python3"},
      {"/opt/x/updater (deleted)", {"/opt/x/updater"}, "updater", L"updater"},
      // Renamed itself, or nothing readable but the comm.
      {"/usr/bin/bash", {"bash"}, "worker-1", L"bash"},
      {"", {}, "kthreadd", L"kthreadd"},
      {"", {"/secret/daemon"}, "daemon", L"daemon"},
  };
  for (const Case& c : cases) EXPECT_EQ(ImageName(c.exe, c.cmdline, c.comm), c.name) << c.exe;
}

class ProcessSnapshotTest : public testing::LinuxMachineTest {
 protected:
  /// The ids of running processes named `name`, in snapshot order.
  std::vector<std::uint32_t> Running(const std::wstring& name) {
    std::vector<std::uint32_t> ids;
    Handle snapshot = os_->CreateToolhelp32Snapshot(win::kTh32csSnapProcess, 0);
    EXPECT_NE(snapshot, kNoHandle);
    ProcessEntry entry;
    std::uint32_t last = 0;
    for (bool more = os_->Process32FirstW(snapshot, entry); more; more = os_->Process32NextW(snapshot, entry)) {
      EXPECT_GT(entry.processId, last);  // stable order: by id
      last = entry.processId;
      if (entry.exeFile == name) ids.push_back(entry.processId);
    }
    EXPECT_EQ(os_->GetLastError(), win::kNoMoreFiles);
    EXPECT_TRUE(os_->CloseHandle(snapshot));
    return ids;
  }
  /// Ends the first process named `name` in snapshot order, as the
  /// launcher's "killProNames" does.
  bool KillFirst(const std::wstring& name) {
    std::vector<std::uint32_t> ids = Running(name);
    if (ids.empty()) return false;
    Handle h = os_->OpenProcess(win::kProcessTerminate, false, ids.front());
    EXPECT_NE(h, kNoHandle);
    EXPECT_TRUE(os_->TerminateProcess(h, 0));
    EXPECT_TRUE(os_->CloseHandle(h));
    return true;
  }
  std::vector<std::uint32_t> WaitForCount(const std::wstring& name, std::size_t count) {
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < 300 && (ids = Running(name)).size() != count; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ids;
  }
};

TEST_F(ProcessSnapshotTest, EachKillEndsExactlyOneOfTheProcessesWeStarted) {
  // A name no other process on this machine can have.
  std::string unique = "kestrel_kill_" + std::to_string(getpid()) + "_" + std::to_string(std::random_device{}()) + ".exe";
  std::wstring name = Utf8ToWide(unique);
  Write(unique, "#!/bin/sh\nwhile :; do sleep 1; done\n", 0755);
  ASSERT_GT(os_->ShellExecuteW(L"open", Win(unique), L"", L"", win::kSwShowNormal), 32);
  ASSERT_GT(os_->ShellExecuteW(L"open", Win(unique), L"", L"", win::kSwShowNormal), 32);
  std::vector<std::uint32_t> both = WaitForCount(name, 2);
  ASSERT_EQ(both.size(), 2u);

  EXPECT_TRUE(KillFirst(name));
  std::vector<std::uint32_t> left = WaitForCount(name, 1);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left.front(), both.back());  // the first in snapshot order went
  EXPECT_TRUE(KillFirst(name));
  EXPECT_TRUE(WaitForCount(name, 0).empty());
  EXPECT_FALSE(KillFirst(name));
}

TEST_F(ProcessSnapshotTest, BadIdsAndHandles) {
  EXPECT_EQ(os_->OpenProcess(win::kProcessTerminate, false, 0), kNoHandle);
  EXPECT_EQ(os_->GetLastError(), win::kInvalidParameter);
  EXPECT_EQ(os_->OpenProcess(win::kProcessTerminate, false, 0x7FFFFFF0), kNoHandle);
  EXPECT_EQ(os_->GetLastError(), win::kInvalidParameter);
  EXPECT_FALSE(os_->TerminateProcess(0x4242, 0));
  EXPECT_EQ(os_->GetLastError(), win::kInvalidHandle);
  ProcessEntry entry;
  EXPECT_FALSE(os_->Process32FirstW(0x4242, entry));
  EXPECT_EQ(os_->GetLastError(), win::kInvalidHandle);
  // A snapshot without the process flag holds no process.
  Handle empty = os_->CreateToolhelp32Snapshot(0, 0);
  EXPECT_FALSE(os_->Process32FirstW(empty, entry));
  EXPECT_EQ(os_->GetLastError(), win::kNoMoreFiles);
  os_->CloseHandle(empty);
  // This test's own process is listed under its program's name.
  std::vector<std::uint32_t> self = Running(L"kestrel_tests");
  EXPECT_NE(std::find(self.begin(), self.end(), static_cast<std::uint32_t>(getpid())), self.end());
}

}  // namespace
}  // namespace kestrel
