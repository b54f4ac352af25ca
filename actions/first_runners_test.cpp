#include "actions/first_runners.h"

#include <gtest/gtest.h>

#include "actions/game_directory.h"
#include "actions/run_path.h"
#include "tests/support/fake_registry.h"
#include "text/utf.h"

namespace kestrel {
namespace {

using testing::PutRegString;

class RunnersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.baseDir = L"D:\\Games\\Foo\\";
    fake_.SetKnownFolder(26, L"C:\\Users\\p\\AppData\\Roaming");
    PutRegString(fake_, RegRoot::kLocalMachine, kGameInfoKey, L"12345", L"x||E:\\Other|1");
    PutRegString(fake_, RegRoot::kLocalMachine, kGameInfoKey, L"00000", L"x|||0");
  }
  void Config(const std::wstring& actionFirst) {
    fake_.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini", L"[action_first]\n" + actionFirst);
  }
  FakePlatform fake_;
  LaunchContext context_;
};

TEST_F(RunnersTest, ResolveRunPathForms) {
  struct Case {
    std::wstring value, path;
  };
  const Case cases[] = {
      {L"tools\\tool.exe", L"D:\\Games\\Foo\\tools\\tool.exe"},
      {L"[APPDATA]\\Vendor\\up.exe", L"C:\\Users\\p\\AppData\\Roaming\\Vendor\\up.exe"},
      {L"[ABCDEFG]\\up.exe", L"C:\\Users\\p\\AppData\\Roaming\\up.exe"},
      {L"[APPDATA]", L"C:\\Users\\p\\AppData\\Roaming\\"},
      {L"[12345]\\bin\\a.exe", L"E:\\Other\\bin\\a.exe"},
      {L"[12345]bin.exe", L"E:\\Other\\in.exe"},  // the character after "]" is always skipped
      {L"[12345]", L"E:\\Other\\"},
      {L"[00000]\\a.exe", L""},  // an id without a directory
      {L"[99999]\\a.exe", L""},  // an id without a record
      {L"[", L"D:\\Games\\Foo\\["},
      {L"[]", L"D:\\Games\\Foo\\[]"},
      {L"[1234]x", L"D:\\Games\\Foo\\[1234]x"},
      {L"x[12345]\\a", L"D:\\Games\\Foo\\x[12345]\\a"},
      {L"]12345]\\a", L"D:\\Games\\Foo\\]12345]\\a"},
  };
  for (const Case& c : cases) {
    fake_.ClearRecord();
    EXPECT_EQ(ResolveRunPath(fake_, c.value, context_).value_or(L"(refused)"), c.path) << WideToUtf8(c.value);
    EXPECT_EQ(fake_.Logs(), std::vector<std::wstring>{L"MSG: runpre=" + c.path + L", code=0"});
  }
}

TEST_F(RunnersTest, AppDataFormWithoutTheFolderNamesNothing) {
  FakePlatform bare;
  EXPECT_EQ(ResolveRunPath(bare, L"[APPDATA]\\up.exe", context_).value_or(L"(refused)"), L"");
}

TEST_F(RunnersTest, RunFirstExeStartsInBaseDirOrHandsTheRawValueOver) {
  Config(L"runFirstExe=tools\\tool.exe\nrunFirstParam=-q\nrunFirstExe2=http://example.invalid/x\nrunFirstParam2=-ignored\n");
  fake_.AddFile(L"D:\\Games\\Foo\\tools\\tool.exe");
  EXPECT_TRUE(RunFirstExe(fake_, context_));
  EXPECT_TRUE(RunFirstExe2(fake_, context_));
  EXPECT_EQ(fake_.Effects(),
            (std::vector<FakeCall>{
                {L"OutputDebugStringW", {L"MSG: runpre=D:\\Games\\Foo\\tools\\tool.exe, code=0"}},
                {L"ShellExecuteW", {L"open", L"D:\\Games\\Foo\\tools\\tool.exe", L"-q", L"D:\\Games\\Foo\\", L"1"}},
                {L"OutputDebugStringW", {L"MSG: runpre file=D:\\Games\\Foo\\tools\\tool.exe, param=-q, "
                                         L"workdir=D:\\Games\\Foo\\, code=0"}},
                {L"OutputDebugStringW", {L"MSG: runpre=D:\\Games\\Foo\\http://example.invalid/x, code=0"}},
                {L"ShellExecuteW", {L"open", L"http://example.invalid/x", L"", L"", L"1"}},
                {L"OutputDebugStringW", {L"MSG: runpre url=http://example.invalid/x, code=0"}},
            }));
}

TEST_F(RunnersTest, EmptyValuesDoNothing) {
  Config(L"runFirstExe=\nrunFirstParam=-q\n");
  EXPECT_FALSE(RunFirstExe(fake_, context_));
  EXPECT_FALSE(RunFirstExe2(fake_, context_));
  EXPECT_FALSE(RunFirstUrl(fake_, context_));
  EXPECT_TRUE(fake_.Effects().empty());
}

TEST_F(RunnersTest, RunFirstUrlGoesToTheShellUnchanged) {
  Config(L"runFirstUrl=https://example.invalid/news?a=1|b\n");
  EXPECT_TRUE(RunFirstUrl(fake_, context_));
  EXPECT_EQ(fake_.Effects(), (std::vector<FakeCall>{
                                 {L"ShellExecuteW", {L"open", L"https://example.invalid/news?a=1|b", L"", L"", L"1"}},
                                 {L"OutputDebugStringW", {L"MSG: runurl=https://example.invalid/news?a=1|b, code=0"}},
                             }));
}

}  // namespace
}  // namespace kestrel
