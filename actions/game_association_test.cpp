#include "actions/game_association.h"

#include <gtest/gtest.h>

#include "actions/game_directory.h"
#include "tests/support/fake_registry.h"

namespace kestrel {
namespace {

using testing::PutRegString;

class AssocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.baseDir = L"D:\\Menu\\Foo";
    context.game.mainExe = L"game.exe";
    fake.AddIni(L"D:\\Menu\\Foo\\GamePatch\\Config.ini",
                L"[game_base]\nassocToGid=10001\n[action_first]\ndelFileOrDirs=cache|old.dll\n");
    fake.AddFile(L"D:\\Menu\\Foo\\game.exe", "new game");
    fake.AddFile(L"D:\\Menu\\Foo\\Kestrel.exe", "launcher");
    fake.AddFile(L"D:\\Menu\\Foo\\data\\level.pak", "new level");
    fake.AddFile(L"E:\\Games\\Foo\\game.exe", "old game");
    fake.AddFile(L"E:\\Games\\Foo\\cache\\c.bin", "c");
    fake.AddFile(L"E:\\Games\\Foo\\old.dll", "o");
    fake.AddFile(L"E:\\Games\\Foo\\keep.cfg", "k");
    fake.AddIni(L"E:\\Games\\Foo\\GamePatch\\Config.ini", L"[action_first]\nregDlls=x.dll\n");
    PutRegString(fake, RegRoot::kLocalMachine, kGameInfoKey, L"10001", L"Foo||E:\\Games\\Foo|1");
    PutRegString(fake, RegRoot::kLocalMachine, kGameInfoKey, L"10002", L"Foo||E:\\Games\\Gone|1");
    fake.ClearRecord();
  }
  FakePlatform fake;
  LaunchContext context;
};

TEST_F(AssocTest, MovesTheLaunchOntoTheOtherGamesDirectory) {
  EXPECT_TRUE(AssocToGid(fake, context));
  EXPECT_EQ(context.baseDir, L"E:\\Games\\Foo\\");
  EXPECT_FALSE(context.chooserAllowed);
  EXPECT_EQ(*fake.FileBytes(L"E:\\Games\\Foo\\game.exe"), "new game");
  EXPECT_EQ(*fake.FileBytes(L"E:\\Games\\Foo\\data\\level.pak"), "new level");
  EXPECT_EQ(*fake.FileBytes(L"E:\\Games\\Foo\\keep.cfg"), "k");
  EXPECT_FALSE(fake.PathFileExistsW(L"E:\\Games\\Foo\\cache"));
  EXPECT_FALSE(fake.PathFileExistsW(L"E:\\Games\\Foo\\old.dll"));
  EXPECT_FALSE(fake.PathFileExistsW(L"E:\\Games\\Foo\\Kestrel.exe"));
  // The other game's GamePatch stays its own.
  EXPECT_EQ(*fake.FileBytes(L"E:\\Games\\Foo\\GamePatch\\Config.ini"), "[action_first]\nregDlls=x.dll\n");
  EXPECT_EQ(fake.Logs(), (std::vector<std::wstring>{
                             L"MSG: Delete directory succeed, dir=E:\\Games\\Foo\\cache",
                             L"MSG: Delete file succeed, file=E:\\Games\\Foo\\old.dll, code=0",
                             L"MSG: assis to gid succeed, dir=E:\\Games\\Foo\\, exe=game.exe, code=18",
                         }));
  // The source is untouched.
  EXPECT_EQ(*fake.FileBytes(L"D:\\Menu\\Foo\\Kestrel.exe"), "launcher");
}

TEST_F(AssocTest, NothingChangesWithoutAnExistingDirectory) {
  struct Case {
    std::wstring config;
    bool result;
  };
  const Case cases[] = {
      {L"[game_base]\nassocToGid=99999\n", true},  // no record
      {L"[game_base]\nassocToGid=10002\n", true},  // a directory that is not there
      {L"[game_base]\nassocToGid=\n", false},
      {L"", false},
  };
  for (const Case& c : cases) {
    fake.AddIni(L"D:\\Menu\\Foo\\GamePatch\\Config.ini", c.config);
    fake.ClearRecord();
    EXPECT_EQ(AssocToGid(fake, context), c.result) << c.config;
    EXPECT_EQ(context.baseDir, L"D:\\Menu\\Foo");
    EXPECT_TRUE(context.chooserAllowed);
    EXPECT_TRUE(fake.Effects().empty()) << c.config;
  }
  LaunchContext elsewhere;
  elsewhere.baseDir = L"D:\\Nothing";
  EXPECT_FALSE(AssocToGid(fake, elsewhere));
}

}  // namespace
}  // namespace kestrel
