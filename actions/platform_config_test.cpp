#include "actions/platform_config.h"

#include <gtest/gtest.h>

#include "actions/game_directory.h"
#include "tests/support/fake_registry.h"

namespace kestrel {
namespace {

using testing::PutRegString;

class SetPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.baseDir = L"D:\\Games\\Foo";
    fake.AddDirectory(L"D:\\Games\\Foo\\PLAT");
    fake.AddDirectory(L"C:\\Users\\p\\AppData\\Roaming\\Vendor");
    fake.SetKnownFolder(26, L"C:\\Users\\p\\AppData\\Roaming");
    PutRegString(fake, RegRoot::kLocalMachine, kGameInfoKey, L"10001", L"G||E:\\G|1");
    PutRegString(fake, RegRoot::kLocalMachine, kGameInfoKey, L"10009", L"G|||0");
  }
  void Config(const std::wstring& text) {
    fake.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini", text);
    fake.ClearRecord();
  }
  std::vector<std::vector<std::wstring>> Writes() {
    std::vector<std::vector<std::wstring>> out;
    for (const FakeCall& call : fake.CallsOf(L"WritePrivateProfileStringW")) out.push_back(call.args);
    return out;
  }
  FakePlatform fake;
  LaunchContext context;
};

TEST_F(SetPlatformTest, WritesEveryNumberedSectionUntilTheFirstGap) {
  Config(L"[set_platform]\nPlatformConfigFile=[gamedir]\\plat\\set.ini\n"
         L"[platform_Game1]\nLoose=1\nAppName=Paths\nExe=[10001]\\bin\\run.exe\nVer=3\nGone=[10009]\\x\n"
         L"Dead=[77777]\\x\nShort=[1000]\\x\nPair=a=b=c\nBare\nappname=Other\nNext=[10001]\n"
         L"[platform_Game2]\nFresh=yes\n"
         L"[platform_Game4]\nNever=read\n");
  EXPECT_TRUE(SetPlatform(fake, context));
  const std::wstring target = L"D:\\Games\\Foo\\PLAT\\SET.INI";
  EXPECT_EQ(Writes(), (std::vector<std::vector<std::wstring>>{
                          {L"", L"Loose", L"1", target},
                          {L"Paths", L"Exe", L"E:\\G\\bin\\run.exe", target},
                          {L"Paths", L"Ver", L"3", target},
                          {L"Paths", L"Short", L"[1000]\\x", target},
                          {L"Paths", L"Pair", L"a", target},
                          {L"Paths", L"Bare", L"", target},
                          {L"Other", L"Next", L"E:\\G\\", target},
                          {L"", L"Fresh", L"yes", target},
                      }));
  std::vector<FakeCall> sections = fake.CallsOf(L"GetPrivateProfileSectionW");
  ASSERT_EQ(sections.size(), 3u);
  EXPECT_EQ(sections[2].args[0], L"platform_Game3");
  EXPECT_EQ(sections[2].args[1], L"1024");
  EXPECT_TRUE(fake.Logs().empty());
}

TEST_F(SetPlatformTest, TargetsAndTheirAbsence) {
  struct Case {
    std::wstring file;
    std::wstring target;  ///< empty: nothing written
    std::wstring log;
  };
  const Case cases[] = {
      {L"x:\\junk[appdata]\\vendor\\p.ini", L"C:\\Users\\p\\AppData\\Roaming\\VENDOR\\P.INI", L""},
      {L"[APPDATA]\\a[gamedir]\\p.ini", L"D:\\Games\\Foo\\P.INI", L""},  // [GAMEDIR] wins
      {L"C:\\plat\\set.ini", L"",
       L"MSG: set_platform passed over, file=C:\\PLAT\\SET.INI names neither [GAMEDIR] nor [APPDATA]"},
      {L"[GAMEDIR]\\" + std::wstring(249, L'x'), L"",
       L"MSG: set_platform passed over, path too long (262 characters): D:\\Games\\Foo\\" + std::wstring(249, L'X')},
  };
  for (const Case& c : cases) {
    Config(L"[set_platform]\nPlatformConfigFile=" + c.file + L"\n[platform_Game1]\nK=v\n");
    EXPECT_TRUE(SetPlatform(fake, context)) << c.file;
    std::vector<std::vector<std::wstring>> writes = Writes();
    if (c.target.empty()) {
      EXPECT_TRUE(writes.empty()) << c.file;
    } else {
      ASSERT_EQ(writes.size(), 1u) << c.file;
      EXPECT_EQ(writes[0][3], c.target);
    }
    EXPECT_EQ(fake.Logs(), c.log.empty() ? std::vector<std::wstring>{} : std::vector<std::wstring>{c.log});
  }

  FakePlatform noAppData;
  noAppData.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini",
                   L"[set_platform]\nPlatformConfigFile=[APPDATA]\\p.ini\n[platform_Game1]\nK=v\n");
  EXPECT_TRUE(SetPlatform(noAppData, context));
  EXPECT_TRUE(noAppData.CallsOf(L"WritePrivateProfileStringW").empty());
  EXPECT_EQ(noAppData.Logs().size(), 1u);

  Config(L"[set_platform]\nPlatformConfigFile=\n[platform_Game1]\nK=v\n");
  EXPECT_FALSE(SetPlatform(fake, context));
  LaunchContext nowhere;
  nowhere.baseDir = L"D:\\None";
  EXPECT_FALSE(SetPlatform(fake, nowhere));
  EXPECT_TRUE(Writes().empty());
}

TEST_F(SetPlatformTest, TheWriterReallyChangesOnlyItsKeys) {
  fake.AddIni(L"D:\\Games\\Foo\\PLAT\\SET.INI", L"[Paths]\nExe=old\nOther=kept\n");
  Config(L"[set_platform]\nPlatformConfigFile=[GAMEDIR]\\plat\\set.ini\n[platform_Game1]\nAppName=Paths\nExe=new\n"
         L"Long=" + std::wstring(300, L'v') + L"\n");
  SetPlatform(fake, context);
  EXPECT_EQ(*fake.FileBytes(L"D:\\Games\\Foo\\PLAT\\SET.INI"), "[Paths]\nExe=new\nOther=kept\n");
  EXPECT_EQ(fake.Logs(), std::vector<std::wstring>{L"MSG: set_platform passed over a line too long, section=Paths, key=Long"});
}

}  // namespace
}  // namespace kestrel
