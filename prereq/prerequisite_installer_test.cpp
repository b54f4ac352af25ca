#include "prereq/prerequisite_installer.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"
#include "text/utf.h"

namespace kestrel {
namespace {

const std::wstring kBase = L"D:\\My Games\\Foo";
const std::wstring kConfig = L"D:\\My Games\\Foo\\GamePatch\\Config.ini";

std::wstring Section(int n, int checkType, const std::wstring& checkPath, const std::wstring& instFile,
                     const std::wstring& extra = L"") {
  return L"[" + std::to_wstring(n) + L"]\ncheckType=" + std::to_wstring(checkType) + L"\ncheckPath=" + checkPath +
         L"\ninstName=lib" + std::to_wstring(n) + L"\ninstFile=" + instFile + L"\n" + extra;
}

std::vector<std::int32_t> States(const PrerequisiteInstaller& installer) {
  std::vector<std::int32_t> states;
  for (const PrerequisiteEntry& e : installer.entries()) states.push_back(e.state);
  return states;
}

TEST(PrerequisiteInstaller, ListEndsAtTheFirstGapAndAfter29) {
  struct Case {
    const char* what;
    std::wstring ini;
    std::size_t entries;
  };
  std::wstring all;
  for (int n = 1; n <= 35; ++n) all += Section(n, 3, L"C:\\x", L"a.exe");
  const Case cases[] = {
      {"1, 2 and 4", Section(1, 3, L"a", L"a") + Section(2, 3, L"a", L"a") + Section(4, 3, L"a", L"a"), 2},
      {"checkType 7", Section(1, 7, L"a", L"a"), 0},
      {"checkType 0 first", Section(1, 0, L"a", L"a") + Section(2, 3, L"a", L"a"), 0},
      {"35 sections", all, 29},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    fake.AddIni(kConfig, c.ini);
    PrerequisiteInstaller installer(fake);
    EXPECT_TRUE(installer.LoadEntries(kConfig, kBase));
    EXPECT_EQ(installer.entries().size(), c.entries) << c.what;
  }
}

TEST(PrerequisiteInstaller, NoConfigurationFile) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = kBase;
  RunPrerequisiteInstaller(fake, context);
  EXPECT_EQ(fake.Logs(), std::vector<std::wstring>{
                             L"MSG: Install the runtime fails, the configuration file does not exist, code=2"});
  EXPECT_EQ(fake.Effects().size(), 1u);
}

TEST(PrerequisiteInstaller, Checks) {
  FakePlatform fake;
  fake.AddFile(L"C:\\windows\\system32\\msvcr100.dll");
  fake.SetFileVersion(L"C:\\windows\\system32\\msvcr100.dll", FixedFileInfo{0, 0, (10u << 16) | 0, (40219u << 16) | 1});
  fake.AddRegKey(RegRoot::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\B");
  fake.AddFile(L"C:\\eleventh");
  std::wstring eleven;
  for (int i = 0; i < 10; ++i) eleven += L"C:\\no" + std::to_wstring(i) + L"|";
  eleven += L"C:\\eleventh";
  const std::wstring dll = L"C:\\windows\\system32\\msvcr100.dll";
  fake.AddIni(kConfig, Section(1, 1, dll, L"a.exe", L"checkVerion=10.0.40219.1\n") +
                           Section(2, 1, dll, L"a.exe", L"checkVerion=10.0.40219.01\n") +
                           Section(3, 1, L"C:\\missing.dll", L"a.exe", L"checkVerion=1.0.0.0\n") +
                           Section(4, 2, L"A|B", L"a.exe") + Section(5, 2, L"", L"a.exe") +
                           Section(6, 2, L"A", L"a.exe") + Section(7, 3, eleven, L"a.exe") +
                           Section(8, 3, L"C:\\no|C:\\eleventh", L"a.exe"));
  PrerequisiteInstaller installer(fake);
  ASSERT_TRUE(installer.LoadEntries(kConfig, kBase));
  installer.CheckAll();
  EXPECT_EQ(States(installer), (std::vector<std::int32_t>{Present, Missing, Missing, Present, Unchecked, Missing,
                                                          Missing, Present}));
  EXPECT_EQ(fake.Logs(), (std::vector<std::wstring>{L"MSG: lib=lib1, module already installed.",
                                                    L"MSG: lib=lib4, module already installed.",
                                                    L"MSG: lib=lib8, module already installed."}));
  // The uninstall keys are tried in order, each opened for reading.
  std::vector<FakeCall> opens = fake.CallsOf(L"RegOpenKeyExW");
  ASSERT_EQ(opens.size(), 3u);
  EXPECT_EQ(opens[0].args[1], L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\A");
  EXPECT_EQ(opens[0].args[2], L"0x20019");
}

TEST(PrerequisiteInstaller, InstallsTheMissingOnesOneAtATime) {
  FakePlatform fake;
  const std::wstring patch = kBase + L"\\GamePatch\\";
  fake.AddFile(patch + L"vc\\vcredist.exe");
  fake.AddFile(patch + L"dx\\DXSETUP.MSI");
  fake.AddFile(patch + L"net\\DotNetFX.exe");
  fake.AddFile(L"C:\\present");
  fake.AddIni(kConfig, Section(1, 3, L"C:\\present", L"GamePatch\\never.exe") +
                           Section(2, 3, L"C:\\absent", L"GamePatch\\vc\\vcredist.exe", L"instParam=/q /norestart\n") +
                           Section(3, 2, L"", L"GamePatch\\dx\\DXSETUP.MSI", L"instParam=/passive\n") +
                           Section(4, 3, L"C:\\absent", L"GamePatch\\missing.exe") +
                           Section(5, 3, L"C:\\absent", L"GamePatch\\net\\DotNetFX.exe"));
  LaunchContext context;
  context.baseDir = kBase;
  RunPrerequisiteInstaller(fake, context);

  std::vector<FakeCall> effects;
  for (const FakeCall& c : fake.Effects())
    if (c.op != L"CloseHandle") effects.push_back(c);
  EXPECT_EQ(effects,
            (std::vector<FakeCall>{
                {L"OutputDebugStringW", {L"MSG: lib=lib1, module already installed."}},
                // COM in a single-threaded apartment for the shell's starts,
                // for as long as installers run.
                {L"CoInitializeEx", {L"0x6"}},
                {L"CreateProcessW", {L"\"" + patch + L"vc\\vcredist.exe\" /q /norestart", L"0x20", L"5", patch + L"vc"}},
                {L"WaitForSingleObject", {L"process1", L"INFINITE"}},
                {L"OutputDebugStringW", {L"MSG: Install: name=lib2, file=" + patch +
                                         L"vc\\vcredist.exe, param=/q /norestart, code=0"}},
                {L"ShellExecuteExW", {L"0x40", L"", patch + L"dx\\DXSETUP.MSI", L"/passive", L"", L"0"}},
                {L"WaitForSingleObject", {L"process2", L"INFINITE"}},
                {L"OutputDebugStringW", {L"MSG: Install: name=lib3, file=" + patch + L"dx\\DXSETUP.MSI, param=/passive, code=0"}},
                {L"OutputDebugStringW", {L"MSG: Install: name=lib4, file=" + patch + L"missing.exe, param=, code=2"}},
                {L"ShellExecuteExW", {L"0x40", L"", patch + L"net\\DotNetFX.exe", L"", L"", L"0"}},
                {L"WaitForSingleObject", {L"process3", L"INFINITE"}},
                {L"OutputDebugStringW", {L"MSG: Install: name=lib5, file=" + patch + L"net\\DotNetFX.exe, param=, code=0"}},
                {L"CoUninitialize", {}},
            }));
}

TEST(PrerequisiteInstaller, FailedStartIsNotWaitedFor) {
  FakePlatform fake;
  const std::wstring installer = kBase + L"\\setup.exe";
  fake.AddFile(installer);
  fake.startErrors[L"\"" + installer + L"\""] = 193;
  fake.startErrors[installer] = 193;
  fake.AddIni(kConfig, Section(1, 3, L"", L"setup.exe"));
  PrerequisiteInstaller run(fake);
  ASSERT_TRUE(run.LoadEntries(kConfig, kBase));
  run.CheckAll();
  run.InstallMissing();
  EXPECT_TRUE(fake.CallsOf(L"WaitForSingleObject").empty());
  EXPECT_EQ(States(run), std::vector<std::int32_t>{Present});
  EXPECT_EQ(fake.Logs().back(), L"MSG: Install: name=lib1, file=" + installer + L", param=, code=193");
}

TEST(PrerequisiteInstaller, OverlongInstallerPathCountsAsMissing) {
  FakePlatform fake;
  std::wstring base = L"D:\\" + std::wstring(250, L'a');
  fake.AddIni(base + L"\\GamePatch\\Config.ini", Section(1, 3, L"", L"GamePatch\\setup.exe"));
  PrerequisiteInstaller run(fake);
  ASSERT_TRUE(run.LoadEntries(base + L"\\GamePatch\\Config.ini", base));
  run.CheckAll();
  run.InstallMissing();
  EXPECT_EQ(States(run), std::vector<std::int32_t>{InstallerMissing});
  EXPECT_TRUE(fake.CallsOf(L"CreateProcessW").empty());
}

}  // namespace
}  // namespace kestrel
