#include "app/command_line.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"
#include "text/utf.h"

namespace kestrel {
namespace {

struct Parsed {
  bool goOn;
  LaunchContext context;
  std::vector<std::wstring> logs;
};

Parsed Parse(const std::wstring& text, FakePlatform& fake) {
  Parsed p;
  p.goOn = ParseCommandLine(fake, text, p.context);
  p.logs = fake.Logs();
  return p;
}

TEST(ParseCommandLine, GameForms) {
  struct Case {
    std::wstring text;
    std::wstring baseDir, mainExe, param;
    bool logged;
  };
  const Case cases[] = {
      {L"D:\\Games\\Foo|game.exe|-window", L"D:\\Games\\Foo\\", L"game.exe", L"-window", true},
      {L"D:\\Games\\Foo\\|game.exe", L"D:\\Games\\Foo\\", L"game.exe", L"", true},
      {L"|D:\\Games\\Foo\\game.exe|-window", L"D:\\Games\\Foo", L"game.exe", L"-window", false},
      {L"|game.exe|-w", L"", L"game.exe", L"-w", false},
      {L"D:\\Games\\Foo\\game.exe", L"D:\\Games\\Foo\\game.exe", L"", L"", true},  // one path: directory form
      {L"\"D:\\Games\\Foo|game.exe|-window\"", L"D:\\Games\\Foo\\", L"game.exe", L"-window", true},
      {L"D:\\Games\\Foo|game.exe|-a \"b\"", L"D:\\Games\\Foo\\", L"game.exe", L"-a \"b\"", true},
      {L"\"D:\\Games\\Foo\"|game.exe", L"\"D:\\Games\\Foo\"\\", L"game.exe", L"", true},  // inner quotes stay
      {L"\"", L"", L"", L"", true},
      {L"D:\\A|b.exe|c|ignored|more", L"D:\\A\\", L"b.exe", L"c", true},
      {L"||-w", L"", L"", L"-w", true},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    Parsed p = Parse(c.text, fake);
    SCOPED_TRACE(WideToUtf8(c.text));
    EXPECT_TRUE(p.goOn);
    EXPECT_EQ(p.context.baseDir, c.baseDir);
    EXPECT_EQ(p.context.game.mainExe, c.mainExe);
    EXPECT_EQ(p.context.game.param, c.param);
    EXPECT_EQ(p.logs, c.logged ? std::vector<std::wstring>{L"MSG: Init base value from cmdLine succeed"}
                               : std::vector<std::wstring>{});
    EXPECT_TRUE(fake.CallsOf(L"ShellExecuteW").empty());
  }
}

// Paths stay whole (each action refuses one that does not fit, rather than
// cutting it into another file's name); the parameters are a value, cut.
TEST(ParseCommandLine, LongPathsStayWholeParametersAreCut) {
  FakePlatform fake;
  Parsed p = Parse(std::wstring(300, L'd') + L"|" + std::wstring(300, L'e') + L"|" + std::wstring(5000, L'p'), fake);
  EXPECT_EQ(p.context.baseDir, std::wstring(300, L'd'));  // the backslash comes when a path is joined
  EXPECT_EQ(p.context.game.mainExe, std::wstring(300, L'e'));
  EXPECT_EQ(p.context.game.param, std::wstring(259, L'p'));
}

TEST(ParseCommandLine, SetWallPaperCommand) {
  struct Case {
    std::wstring text;
    std::wstring style;
    std::wstring logged;  // F2 as it stood
  };
  const Case cases[] = {
      {L"setwallpaper|D:\\pic.bmp|2", L"2", L"2"},
      {L"SetWallPaper|D:\\pic.bmp", L"0", L""},
      {L"SETWALLPAPER|D:\\pic.bmp| -1x", L"-1", L" -1x"},
      {L"SetWallPaper|D:\\pic.bmp|tiled", L"0", L"tiled"},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    Parsed p = Parse(c.text, fake);
    SCOPED_TRACE(WideToUtf8(c.text));
    EXPECT_FALSE(p.goOn);
    EXPECT_EQ(fake.Effects(), (std::vector<FakeCall>{
                                  {L"CreateActiveDesktop", {}},
                                  {L"ActiveDesktop.SetWallpaper", {L"D:\\pic.bmp"}},
                                  {L"ActiveDesktop.SetWallpaperOptions", {c.style}},
                                  {L"ActiveDesktop.ApplyChanges", {L"7"}},
                                  {L"ActiveDesktop.Release", {}},
                                  {L"OutputDebugStringW",
                                   {L"MSG: Excute SetWallPaper, file=D:\\pic.bmp, wpStyle=" + c.logged}},
                              }));
  }
}

TEST(ParseCommandLine, WallpaperFailureStopsAtTheFirstStepAndStillLogs) {
  FakePlatform fake;
  fake.failingDesktopStep = L"SetWallpaper";
  EXPECT_FALSE(Parse(L"SetWallPaper|D:\\missing.bmp|1", fake).goOn);
  EXPECT_TRUE(fake.CallsOf(L"ActiveDesktop.SetWallpaperOptions").empty());
  EXPECT_EQ(fake.Logs(), std::vector<std::wstring>{L"MSG: Excute SetWallPaper, file=D:\\missing.bmp, wpStyle=1"});

  FakePlatform none;
  none.failingDesktopStep = L"Create";
  EXPECT_FALSE(Parse(L"SetWallPaper|D:\\pic.bmp", none).goOn);
  EXPECT_EQ(none.Logs(), std::vector<std::wstring>{L"MSG: Excute SetWallPaper, file=D:\\pic.bmp, wpStyle="});
}

TEST(ParseCommandLine, HandOverToKestrelExe) {
  FakePlatform fake;
  fake.AddFile(L"D:\\Games\\Foo\\KESTREL.EXE");
  Parsed p = Parse(L"D:\\Games\\Foo|KESTREL.EXE|ignored", fake);
  EXPECT_FALSE(p.goOn);
  EXPECT_EQ(fake.Effects(),
            (std::vector<FakeCall>{
                {L"ShellExecuteW", {L"open", L"D:\\Games\\Foo\\KESTREL.EXE", L"", L"D:\\Games\\Foo", L"1"}},
                {L"OutputDebugStringW",
                 {L"MSG: Excute from cmdline, file=D:\\Games\\Foo\\KESTREL.EXE, worddir=D:\\Games\\Foo, code=0"}},
            }));

  FakePlatform missing;  // the failure shows only in the code
  Parse(L"D:\\Nowhere\\|Kestrel.exe", missing);
  EXPECT_EQ(missing.Logs(), std::vector<std::wstring>{L"MSG: Excute from cmdline, file=D:\\Nowhere\\\\Kestrel.exe, "
                                                      L"worddir=D:\\Nowhere\\, code=2"});
}

TEST(CommandLineTail, SkipsTheProgramNameLikeTheRuntime) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"KestrelEx.exe D:\\Foo|game.exe", L"D:\\Foo|game.exe"},
      {L"\"C:\\Program Files\\K\\KestrelEx.exe\"   \"D:\\My Games\\Foo|g.exe\"", L"\"D:\\My Games\\Foo|g.exe\""},
      {L"KestrelEx.exe", L""},
      {L"KestrelEx.exe   ", L""},
      {L"\"C:\\a b\\KestrelEx.exe", L""},
      {L"", L""},
  };
  for (const auto& [line, tail] : cases) EXPECT_EQ(CommandLineTail(line), tail) << WideToUtf8(line);
}

}  // namespace
}  // namespace kestrel
