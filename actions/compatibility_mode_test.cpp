#include "actions/compatibility_mode.h"

#include <gtest/gtest.h>

#include "tests/support/fake_registry.h"

namespace kestrel {
namespace {

TEST(SetCompatibilityMode, WritesTheLayersOfAnExistingGame) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = L"D:\\Games\\Foo";
  context.game.mainExe = L"game.exe";
  fake.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini", L"[game_base]\nCompatibilityMode=WINXPSP3 RUNASADMIN\n");
  fake.AddFile(L"D:\\Games\\Foo\\game.exe");
  EXPECT_TRUE(SetCompatibilityMode(fake, context));
  EXPECT_EQ(testing::RegBytes(fake, RegRoot::kCurrentUser, kCompatibilityLayersKey, L"D:\\Games\\Foo\\game.exe"),
            L"57 00 49 00 4e 00 58 00 50 00 53 00 50 00 33 00 20 00 52 00 55 00 4e 00 41 00 53 00 41 00 44 00 "
            L"4d 00 49 00 4e 00 00 00");
  EXPECT_EQ(fake.Logs(), std::vector<std::wstring>{L"SetCompatibilityMode Succeed: mode=WINXPSP3 RUNASADMIN, code=0"});
}

TEST(SetCompatibilityMode, NothingWrittenWithoutConfigModeOrGame) {
  struct Case {
    const wchar_t* ini;  // null: no Config.ini
    bool gameExists;
    bool result;
  };
  const Case cases[] = {
      {nullptr, true, false},
      {L"[game_base]\nCompatibilityMode=\n", true, false},
      {L"[game_base]\nCompatibilityMode=WINXPSP3\n", false, true},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    LaunchContext context;
    context.baseDir = L"D:\\Games\\Foo\\";
    context.game.mainExe = L"game.exe";
    if (c.ini) fake.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini", c.ini);
    if (c.gameExists) fake.AddFile(L"D:\\Games\\Foo\\game.exe");
    EXPECT_EQ(SetCompatibilityMode(fake, context), c.result);
    EXPECT_TRUE(fake.Effects().empty());
  }
}

}  // namespace
}  // namespace kestrel
