#include "app/game_launch.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"
#include "text/utf.h"

namespace kestrel {
namespace {

TEST(LaunchGame, StartsInTheExecutablesFolderAndHidesBatchFiles) {
  struct Case {
    std::wstring baseDir, mainExe, param;
    std::wstring file, workDir, show;
  };
  const Case cases[] = {
      {L"D:\\Games\\Foo\\", L"game.exe", L"-window", L"D:\\Games\\Foo\\game.exe", L"D:\\Games\\Foo", L"1"},
      {L"D:\\Games\\Foo", L"game.exe", L"", L"D:\\Games\\Foo\\game.exe", L"D:\\Games\\Foo", L"1"},
      {L"D:\\Games\\Foo\\", L"bin\\game.exe", L"", L"D:\\Games\\Foo\\bin\\game.exe", L"D:\\Games\\Foo\\bin", L"1"},
      {L"D:\\Games\\Foo", L"start.BAT", L"", L"D:\\Games\\Foo\\start.BAT", L"D:\\Games\\Foo", L"0"},
      {L"D:\\Games\\Foo", L"run.cmd", L"", L"D:\\Games\\Foo\\run.cmd", L"D:\\Games\\Foo", L"0"},
      {L"D:\\Games\\Foo", L"game", L"", L"D:\\Games\\Foo\\game", L"D:\\Games\\Foo", L"1"},
      {L"D:\\Games\\Ver1.bat", L"game", L"", L"D:\\Games\\Ver1.bat\\game", L"D:\\Games\\Ver1.bat", L"1"},
      {L"D:\\Games\\Ver1.2", L"game", L"", L"D:\\Games\\Ver1.2\\game", L"D:\\Games\\Ver1.2", L"1"},
      {L"X:", L"game.exe", L"", L"X:\\game.exe", L"X:", L"1"},  // a substituted drive
      {L"", L"game.exe", L"", L"game.exe", L"", L"1"},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    fake.AddFile(c.file);
    LaunchContext context;
    context.baseDir = c.baseDir;
    context.game = {c.mainExe, c.param};
    SCOPED_TRACE(WideToUtf8(c.baseDir + L" + " + c.mainExe));
    EXPECT_TRUE(LaunchGame(fake, context));
    EXPECT_EQ(fake.Effects(),
              (std::vector<FakeCall>{
                  {L"ShellExecuteW", {L"open", c.file, c.param, c.workDir, c.show}},
                  {L"OutputDebugStringW", {L"MSG: Execute: file=" + c.file + L", param=" + c.param +
                                           L", workdir=" + c.workDir + L", code=0"}},
              }));
  }
}

TEST(LaunchGame, NothingToStart) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = L"D:\\Games\\Foo";
  EXPECT_FALSE(LaunchGame(fake, context));
  EXPECT_TRUE(fake.calls().empty());
}

TEST(LaunchGame, FailureShowsOnlyInTheCode) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = L"D:\\Games\\Foo";
  context.game.mainExe = L"missing.exe";
  EXPECT_TRUE(LaunchGame(fake, context));
  EXPECT_EQ(fake.Logs(), std::vector<std::wstring>{
                             L"MSG: Execute: file=D:\\Games\\Foo\\missing.exe, param=, workdir=D:\\Games\\Foo, code=2"});
}

// A path cut to 259 characters would start another file: refused.
TEST(LaunchGame, PathOfMoreThan259CharactersIsRefused) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = L"D:\\" + std::wstring(250, L'a');
  context.game.mainExe = L"sub\\game.exe";
  fake.AddFile((context.baseDir + L"\\sub\\game.exe").substr(0, 259));
  EXPECT_TRUE(LaunchGame(fake, context));
  EXPECT_TRUE(fake.CallsOf(L"ShellExecuteW").empty());
  EXPECT_EQ(fake.Logs(), std::vector<std::wstring>{L"MSG: Execute passed over, path too long (266 characters): " +
                                                   context.baseDir + L"\\sub\\game.exe"});
}

}  // namespace
}  // namespace kestrel
