// A version button's action: what runs, what is waited for, and what is
// written to Config.ini, in every branch.

#include "chooser/version_action.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace kestrel {
namespace {

const std::wstring kConfig = L"D:\\Games\\Foo\\GamePatch\\Config.ini";
const std::wstring kIni = L"; operator's note\r\n[game_base]\r\nmainExe = game.exe\r\ncurrntVer=1.0\r\n\r\n[dlg_config]\r\nbtnCount=2\r\n";

class VersionActionTest : public ::testing::Test {
 protected:
  VersionActionTest() {
    context_.baseDir = L"D:\\Games\\Foo";
    context_.game.mainExe = L"game.exe";
    fake_.AddIni(kConfig, kIni);
    fake_.AddFile(L"D:\\Games\\Foo\\switch.exe");
    fake_.onStart = [this](const FakeCall&) {
      // What the version program sees: the old version still recorded.
      versionWhenRun_ = fake_.GetPrivateProfileStringW(L"game_base", L"currntVer", L"", 260, kConfig);
      return 0u;
    };
  }
  std::string ConfigBytes() const { return *fake_.FileBytes(kConfig); }

  FakePlatform fake_;
  LaunchContext context_;
  std::wstring versionWhenRun_;
};

TEST_F(VersionActionTest, ADifferentVersionRunsTheProgramWaitsAndThenRecordsIt) {
  RunVersionAction(fake_, context_, {L"Two", L"switch.exe", L"-to 2", L"2.0", kCloseAfterRun});
  EXPECT_EQ(fake_.Effects(),
            (std::vector<FakeCall>{
                {L"CreateProcessW", {L"\"D:\\Games\\Foo\\switch.exe\" -to 2", L"0x20", L"1", L"D:\\Games\\Foo"}},
                {L"WaitForSingleObject", {L"process1", L"INFINITE"}},
                {L"CloseHandle", {L"process1"}},
                {L"WritePrivateProfileStringW", {L"game_base", L"currntVer", L"2.0", kConfig}},
            }));
  EXPECT_EQ(versionWhenRun_, L"1.0");
  // One line changes; every other byte stays.
  std::string expected(kIni.begin(), kIni.end());
  expected.replace(expected.find("currntVer=1.0"), 13, "currntVer=2.0");
  EXPECT_EQ(ConfigBytes(), expected);
}

TEST_F(VersionActionTest, TheCommandLineQuotesTheProgramAndKeepsTheSpaceWithoutParameters) {
  context_.baseDir = L"D:\\Games\\Foo\\";
  RunVersionAction(fake_, context_, {L"Two", L"switch.exe", L"", L"2.0", kCloseAfterRun});
  ASSERT_EQ(fake_.CallsOf(L"CreateProcessW").size(), 1u);
  EXPECT_EQ(fake_.CallsOf(L"CreateProcessW")[0].args[0], L"\"D:\\Games\\Foo\\switch.exe\" ");
}

TEST_F(VersionActionTest, TheSameVersionInAnotherCaseRunsAndWritesNothing) {
  fake_.AddIni(kConfig, L"[game_base]\nmainExe=game.exe\ncurrntVer=Classic-Ä\n");
  RunVersionAction(fake_, context_, {L"C", L"switch.exe", L"", L"CLASSIC-ä", kCloseAfterRun});
  EXPECT_TRUE(fake_.Effects().empty());
}

TEST_F(VersionActionTest, WithoutAMainExecutableTheProgramIsOpenedThroughTheShell) {
  context_.game.mainExe.clear();
  RunVersionAction(fake_, context_, {L"Two", L"switch.exe", L"-go", L"1.0", kCloseAfterRun});
  EXPECT_EQ(fake_.Effects(),
            (std::vector<FakeCall>{
                {L"ShellExecuteW", {L"open", L"D:\\Games\\Foo\\switch.exe", L"-go", L"D:\\Games\\Foo", L"1"}},
                {L"OutputDebugStringW",
                 {L"MSG: btnevent excute file=D:\\Games\\Foo\\switch.exe, param=-go, workdir=D:\\Games\\Foo, code=0"}},
            }));
}

TEST_F(VersionActionTest, AProgramThatDoesNotStartOrFitRecordsNoVersion) {
  struct Case {
    const char* name;
    std::wstring baseDir, exeName, parameters;
    std::wstring log;
    bool started;  // a start was attempted
  };
  const std::wstring deep = L"D:\\" + std::wstring(250, L'd');
  const Case cases[] = {
      {"missing program", L"D:\\Games\\Foo", L"missing.exe", L"",
       L"MSG: btnevent failed, file=D:\\Games\\Foo\\missing.exe, param=, workdir=D:\\Games\\Foo, code=2", true},
      {"no program named: the base directory itself", L"D:\\Games\\Foo", L"", L"",
       L"MSG: btnevent failed, file=D:\\Games\\Foo\\, param=, workdir=D:\\Games\\Foo, code=2", true},
      {"a path over 259 characters", deep, L"switch.exe", L"",
       L"MSG: btnevent failed, file=" + deep + L"\\switch.exe, param=, workdir=" + deep + L", code=206", false},
      {"a command line over 519 characters", L"D:\\Games\\Foo", L"switch.exe", std::wstring(500, L'p'),
       L"MSG: btnevent failed, file=D:\\Games\\Foo\\switch.exe, param=" + std::wstring(500, L'p') +
           L", workdir=D:\\Games\\Foo, code=206",
       false},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    fake.AddIni(kConfig, kIni);
    fake.AddIni(c.baseDir + L"\\GamePatch\\Config.ini", kIni);
    fake.AddFile(L"D:\\Games\\Foo\\switch.exe");
    context_.baseDir = c.baseDir;
    RunVersionAction(fake, context_, {L"Two", c.exeName, c.parameters, L"2.0", kCloseAfterRun});
    EXPECT_EQ(fake.CallsOf(L"CreateProcessW").size(), c.started ? 1u : 0u) << c.name;
    EXPECT_TRUE(fake.CallsOf(L"WritePrivateProfileStringW").empty()) << c.name;
    EXPECT_TRUE(fake.CallsOf(L"WaitForSingleObject").empty()) << c.name;
    EXPECT_EQ(fake.Logs(), std::vector<std::wstring>{c.log}) << c.name;
  }
}

}  // namespace
}  // namespace kestrel
