// The fake machine's programs, processes, display and file versions, which
// the tests of the actions rely on.

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"
#include "platform/model/version_resource.h"

namespace kestrel {
namespace {

TEST(FakeProcesses, StartsAreRecordedAndWaitable) {
  FakePlatform os;
  os.AddFile(L"D:\\Games\\Foo\\setup.exe");
  std::vector<std::wstring> ran;
  os.onStart = [&](const FakeCall& call) {
    ran.push_back(call.op);
    return call.op == L"CreateProcessW" ? 3u : 0u;
  };
  Handle h = kNoHandle;
  ASSERT_TRUE(os.CreateProcessW(L"D:\\Games\\Foo\\setup /q", win::kNormalPriorityClass, win::kSwShow,
                                L"D:\\Games\\Foo", &h));
  EXPECT_EQ(os.WaitForSingleObject(h, win::kInfinite), win::kWaitObject0);
  EXPECT_EQ(os.ExitCode(h), 3u);
  EXPECT_TRUE(os.CloseHandle(h));
  EXPECT_TRUE(os.CreateProcessW(L"regsvr32 /s \"D:\\x.dll\"", win::kNormalPriorityClass, win::kSwShow, L"", nullptr));
  EXPECT_FALSE(os.CreateProcessW(L"D:\\Games\\missing.exe", win::kNormalPriorityClass, win::kSwShow, L"", &h));
  EXPECT_EQ(os.GetLastError(), win::kFileNotFound);
  EXPECT_EQ(h, kNoHandle) << "not the closed process's handle";
  Handle shell = kNoHandle;
  EXPECT_TRUE(os.ShellExecuteExW(win::kSeeMaskNoCloseProcess, L"", L"D:\\Games\\Foo\\setup.exe", L"", L"",
                                 win::kSwHide, &shell));
  EXPECT_NE(shell, kNoHandle);
  EXPECT_EQ(ran, (std::vector<std::wstring>{L"CreateProcessW", L"CreateProcessW", L"ShellExecuteExW"}));
  EXPECT_EQ(os.CallsOf(L"CreateProcessW").front(),
            (FakeCall{L"CreateProcessW", {L"D:\\Games\\Foo\\setup /q", L"0x20", L"5", L"D:\\Games\\Foo"}}));
  EXPECT_EQ(os.CallsOf(L"ShellExecuteExW").front().args.front(), L"0x40");
}

TEST(FakeProcesses, SnapshotListsByIdAndTerminateEndsOne) {
  FakePlatform os;
  std::uint32_t first = os.AddProcess(L"game.exe");
  os.AddProcess(L"explorer.exe");
  std::uint32_t second = os.AddProcess(L"game.exe");
  Handle snapshot = os.CreateToolhelp32Snapshot(win::kTh32csSnapProcess, 0);
  std::vector<std::uint32_t> ids;
  ProcessEntry entry;
  for (bool more = os.Process32FirstW(snapshot, entry); more; more = os.Process32NextW(snapshot, entry))
    if (entry.exeFile == L"game.exe") ids.push_back(entry.processId);
  EXPECT_EQ(os.GetLastError(), win::kNoMoreFiles);
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{first, second}));
  os.CloseHandle(snapshot);
  Handle h = os.OpenProcess(win::kProcessTerminate, false, first);
  EXPECT_TRUE(os.TerminateProcess(h, 0));
  EXPECT_FALSE(os.TerminateProcess(h, 0));  // already ended
  os.CloseHandle(h);
  EXPECT_EQ(os.processes().size(), 2u);
  EXPECT_EQ(os.processes().count(first), 0u);
  EXPECT_EQ(os.OpenProcess(win::kProcessTerminate, false, first), kNoHandle);
  os.failSnapshot = true;
  EXPECT_EQ(os.CreateToolhelp32Snapshot(win::kTh32csSnapProcess, 0), kInvalidHandleValue);
}

TEST(FakeProcesses, DisplayAndVersions) {
  FakePlatform os;
  DisplayMode request{16, 0, 0, 0, 0x5C0000};
  EXPECT_EQ(os.ChangeDisplaySettingsW(&request, win::kCdsUpdateRegistry), win::kDispChangeSuccessful);
  EXPECT_EQ(os.display.bitsPerPel, 16u);
  EXPECT_EQ(os.storedDisplay.bitsPerPel, 16u);
  EXPECT_EQ(os.display.pelsWidth, 1920u);

  os.AddFile(L"C:\\Windows\\System32\\msvcr100.dll", "MZ");
  os.SetFileVersion(L"C:\\Windows\\System32\\msvcr100.dll", MakeFileVersion(10, 0, 40219, 1));
  std::uint32_t size = os.GetFileVersionInfoSizeW(L"c:\\windows\\system32\\MSVCR100.dll");
  std::vector<std::uint8_t> block;
  ASSERT_TRUE(os.GetFileVersionInfoW(L"c:\\windows\\system32\\MSVCR100.dll", size, block));
  FixedFileInfo info;
  ASSERT_TRUE(os.VerQueryValueW(block, L"\\", info));
  EXPECT_EQ(info.fileVersionLS, (40219u << 16) | 1u);
  // A version given between the size and the data call is the one read.
  size = os.GetFileVersionInfoSizeW(L"C:\\Windows\\System32\\msvcr100.dll");
  os.SetFileVersion(L"C:\\Windows\\System32\\msvcr100.dll", MakeFileVersion(10, 0, 40219, 2));
  ASSERT_TRUE(os.GetFileVersionInfoW(L"C:\\Windows\\System32\\msvcr100.dll", size, block));
  ASSERT_TRUE(os.VerQueryValueW(block, L"\\", info));
  EXPECT_EQ(info.fileVersionLS, (40219u << 16) | 2u);
  os.AddFile(L"C:\\plain.dll", "no PE here");
  EXPECT_EQ(os.GetFileVersionInfoSizeW(L"C:\\plain.dll"), 0u);
  EXPECT_EQ(os.GetLastError(), win::kBadFormat);
}

}  // namespace
}  // namespace kestrel
