#include "app/kestrel_app.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/fake/fake_platform.h"

namespace kestrel {
namespace {

const std::wstring kLauncher = L"C:\\Kestrel\\KestrelEx.exe";

std::vector<std::wstring> Ops(const std::vector<FakeCall>& calls) {
  std::vector<std::wstring> ops;
  for (const FakeCall& c : calls) ops.push_back(c.op);
  return ops;
}

TEST(InitInstance, EmptyCommandLineWithoutConfigLaunchesNothing) {
  FakePlatform fake;
  fake.commandLine = L"\"" + kLauncher + L"\"  ";
  CKestrelExApp app(fake);
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.context().baseDir, L"C:\\Kestrel");
  EXPECT_EQ(fake.Effects(),
            (std::vector<FakeCall>{
                {L"InitializeFramework", {}},
                {L"OutputDebugStringW",
                 {L"MSG: Init base value from config file succeed, dir=C:\\Kestrel, exe=, param=, code=2"}},
                {L"CreateMutexW", {L"KestrelEx", L"owned"}},
                {L"BeginThread", {L"thread2"}},
                {L"WaitForSingleObject", {L"thread2", L"INFINITE"}},
                // The prerequisite installer, run inside the wait.
                {L"OutputDebugStringW",
                 {L"MSG: Install the runtime fails, the configuration file does not exist, code=2"}},
            }));
}

TEST(InitInstance, ConfigBesideTheLauncherStartsItsGame) {
  FakePlatform fake;
  fake.AddIni(L"C:\\Kestrel\\GamePatch\\Config.ini", L"[game_base]\nmainExe=game.exe\nparam=-w\n");
  fake.AddFile(L"C:\\Kestrel\\game.exe");
  CKestrelExApp app(fake);
  app.InitInstance();
  EXPECT_EQ(fake.CallsOf(L"ShellExecuteW"),
            (std::vector<FakeCall>{{L"ShellExecuteW", {L"open", L"C:\\Kestrel\\game.exe", L"-w", L"C:\\Kestrel", L"1"}}}));
  EXPECT_EQ(fake.Logs().front(),
            L"MSG: Init base value from config file succeed, dir=C:\\Kestrel, exe=game.exe, param=-w, code=0");
}

TEST(InitInstance, CommandsComeBeforeTheSingleInstanceCheck) {
  FakePlatform fake;
  fake.commandLine = kLauncher + L" SetWallPaper|C:\\pic.bmp|2";
  fake.HoldMutex(L"KestrelEx");
  CKestrelExApp app(fake);
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(fake.CallsOf(L"ActiveDesktop.SetWallpaper").size(), 1u);
  EXPECT_TRUE(fake.CallsOf(L"CreateMutexW").empty());
  EXPECT_TRUE(fake.CallsOf(L"BeginThread").empty());
}

TEST(InitInstance, SecondInstanceGoesOnOnlyBesideHalyard) {
  for (bool halyard : {false, true}) {
    FakePlatform fake;
    fake.commandLine = kLauncher + L" D:\\Games\\Foo|game.exe|-window";
    fake.HoldMutex(L"KestrelEx");
    fake.AddFile(L"D:\\Games\\Foo\\game.exe");
    if (halyard) fake.AddFile(L"C:\\Kestrel\\Halyard.exe");
    CKestrelExApp app(fake);
    EXPECT_FALSE(app.InitInstance());
    SCOPED_TRACE(halyard ? "with Halyard.exe" : "without Halyard.exe");
    EXPECT_EQ(fake.CallsOf(L"PathFileExistsW").front().args,
              std::vector<std::wstring>{L"C:\\Kestrel\\Halyard.exe"});
    EXPECT_EQ(fake.CallsOf(L"BeginThread").size(), halyard ? 1u : 0u);
    EXPECT_EQ(fake.CallsOf(L"ShellExecuteW").size(), halyard ? 1u : 0u);
  }
}

TEST(InitInstance, MutexIsNamedAfterTheExecutable) {
  FakePlatform fake;
  fake.moduleFileName = L"D:\\Tools\\Other.Name.exe";
  fake.commandLine = L"x D:\\Games\\Foo|game.exe";
  CKestrelExApp app(fake);
  app.InitInstance();
  EXPECT_EQ(fake.CallsOf(L"CreateMutexW").at(0).args.at(0), L"Other.Name");
}

TEST(InitInstance, LaunchWaitsForThePrerequisiteThread) {
  FakePlatform fake;
  fake.commandLine = kLauncher + L" D:\\Games\\Foo|game.exe|-window";
  fake.AddFile(L"D:\\Games\\Foo\\game.exe");
  fake.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini", L"[1]\ncheckType=3\ncheckPath=C:\\x\ninstFile=setup.exe\n");
  fake.AddFile(L"D:\\Games\\Foo\\setup.exe");
  CKestrelExApp app(fake);
  app.InitInstance();
  // The installer runs to its end inside the wait, before the game starts.
  EXPECT_EQ(Ops(fake.Effects()),
            (std::vector<std::wstring>{L"InitializeFramework", L"OutputDebugStringW", L"CreateMutexW", L"BeginThread",
                                       L"WaitForSingleObject", L"CoInitializeEx", L"CreateProcessW",
                                       L"WaitForSingleObject", L"OutputDebugStringW", L"CloseHandle", L"CoUninitialize",
                                       L"ShellExecuteW", L"OutputDebugStringW"}));
}

TEST(ChooseLaunchMode, FromBtnCount) {
  struct Case {
    const wchar_t* ini;  // null: no Config.ini
    bool chooserAllowed;
    int mode;
  };
  const Case cases[] = {
      {L"[dlg_config]\nbtnCount=1\n", true, 2},   {L"[dlg_config]\nbtnCount=3\n", true, 2},
      {L"[dlg_config]\nbtnCount=0\n", true, 1},   {L"[dlg_config]\nbtnCount=-2\n", true, 1},
      {L"[dlg_config]\n", true, 1},               {nullptr, true, 1},
      {L"[dlg_config]\nbtnCount=1\n", false, 1},  {L"[DLG_CONFIG]\nBTNCOUNT=2x\n", true, 2},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    if (c.ini) fake.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini", c.ini);
    CKestrelExApp app(fake);
    app.context().baseDir = L"D:\\Games\\Foo\\";
    app.context().chooserAllowed = c.chooserAllowed;
    EXPECT_EQ(app.ChooseLaunchMode(), c.mode) << (c.ini ? "with config" : "no config") << " allowed=" << c.chooserAllowed;
  }
}

TEST(InitInstance, TheChooserRunsAfterThePrerequisitesAndOnlyCancelStopsTheLaunch) {
  for (int result : {-1, 1, 2}) {
    FakePlatform fake;
    fake.commandLine = kLauncher + L" D:\\Games\\Foo|game.exe";
    fake.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini",
                L"[dlg_config]\nbtnCount=2\n[action_after]\nRunAfterExe=after.exe\n");
    fake.AddFile(L"D:\\Games\\Foo\\game.exe");
    std::wstring chooserBaseDir;
    fake.onChooser = [&](LaunchContext& context) {
      chooserBaseDir = context.baseDir;
      return result;
    };
    CKestrelExApp app(fake);
    app.InitInstance();
    SCOPED_TRACE("modal result " + std::to_string(result));
    const std::vector<std::wstring> ops = Ops(fake.Effects());
    const auto chooser = std::find(ops.begin(), ops.end(), L"RunVersionChooser");
    ASSERT_NE(chooser, ops.end());
    EXPECT_EQ(std::count(ops.begin(), ops.end(), L"RunVersionChooser"), 1);
    EXPECT_LT(std::find(ops.begin(), ops.end(), L"WaitForSingleObject"), chooser);
    EXPECT_EQ(chooserBaseDir, L"D:\\Games\\Foo\\");
    // The game and the post-launch program follow every result but Cancel.
    const bool launched = result != 2;
    EXPECT_EQ(fake.CallsOf(L"ShellExecuteW").size(), launched ? 2u : 0u);
    if (launched) {
      EXPECT_GT(std::find(ops.begin(), ops.end(), L"ShellExecuteW"), chooser);
    }
  }
}

}  // namespace
}  // namespace kestrel
