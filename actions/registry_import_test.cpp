#include "actions/registry_import.h"

#include <gtest/gtest.h>

#include "actions/game_directory.h"
#include "tests/support/fake_registry.h"
#include "text/utf.h"

namespace kestrel {
namespace {

using testing::PutRegString;

const std::wstring kConfig = L"D:\\Games\\Foo\\GamePatch\\Config.ini";

class RegistryImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.baseDir = L"D:\\Games\\Foo\\";
    fake_.AddDirectory(L"D:\\Games\\Foo\\GamePatch");
  }
  std::string Converted(const std::wstring& name) {
    const std::string* bytes = fake_.FileBytes(L"D:\\Games\\Foo\\GamePatch\\" + name);
    return bytes ? *bytes : "(none)";
  }
  FakePlatform fake_;
  LaunchContext context_;
};

TEST_F(RegistryImportTest, TemplateConversion) {
  const std::string bom = "\xFF\xFE";
  struct Case {
    const char* what;
    std::string source;
    std::string converted;
  };
  const std::wstring dir = L"D:\\\\Games\\\\Foo\\\\";
  const Case cases[] = {
      {"two placeholders, with a byte-order mark",
       bom + WideToUtf16Le(L"@=\"|gamepath|\"\r\n\"p\"=\"|gamepath|bin\"\r\n"),
       bom + WideToUtf16Le(L"@=\"" + dir + L"\"\r\n\"p\"=\"" + dir + L"bin\"\r\n")},
      {"no placeholder", WideToUtf16Le(L"REGEDIT4\r\n"), WideToUtf16Le(L"REGEDIT4\r\n")},
      {"case matters", WideToUtf16Le(L"|GamePath|"), WideToUtf16Le(L"|GamePath|")},
      {"odd trailing byte kept", WideToUtf16Le(L"|gamepath|") + "Z", WideToUtf16Le(dir) + "Z"},
      {"empty template", "", ""},
      {"a placeholder split across characters is none", std::string("x") + WideToUtf16Le(L"|gamepath|") + "y",
       std::string("x") + WideToUtf16Le(L"|gamepath|") + "y"},
  };
  for (const Case& c : cases) {
    fake_.AddFile(L"D:\\Games\\Foo\\GamePatch\\reg.cfg", c.source);
    fake_.ClearRecord();
    EXPECT_TRUE(ConvertRegTemplate(fake_, L"reg", L"D:\\Games\\Foo\\", context_));
    EXPECT_EQ(Converted(L"reg.reg"), c.converted) << c.what;
    EXPECT_EQ(fake_.Logs(), std::vector<std::wstring>{L"MSG: Convert succeed, file=D:\\Games\\Foo\\GamePatch\\reg.reg, code=0"})
        << c.what;
  }
}

TEST_F(RegistryImportTest, SizeGrowsByTheEscapedDirectory) {
  // "D:\Games\Foo\" escaped is 16 characters: each placeholder adds 6.
  std::string source = "\xFF\xFE" + WideToUtf16Le(L"|gamepath||gamepath|");
  fake_.AddFile(L"D:\\Games\\Foo\\GamePatch\\reg.cfg", source);
  ConvertRegTemplate(fake_, L"reg", L"D:\\Games\\Foo\\", context_);
  EXPECT_EQ(Converted(L"reg.reg").size(), source.size() + 2 * 2 * (16 - 10));
}

TEST_F(RegistryImportTest, NothingWrittenOutsideGamePatch) {
  fake_.AddFile(L"E:\\Other\\GamePatch\\reg.cfg", WideToUtf16Le(L"x"));
  // A zero would end the name early on the way to the disk: "x\0..\evil".
  const std::wstring zero(L"x\0\\..\\..\\evil", 13);
  for (const std::wstring& name : {std::wstring(L"..\\..\\evil"), std::wstring(L"a/b"), std::wstring(L"C:evil"),
                                   std::wstring(L".."), std::wstring(), zero}) {
    fake_.ClearRecord();
    ConvertRegTemplate(fake_, name, L"E:\\Other", context_);
    EXPECT_TRUE(fake_.CallsOf(L"WriteFileBytes").empty()) << WideToUtf8(name);
    ASSERT_EQ(fake_.Logs().size(), 1u);
    EXPECT_EQ(fake_.Logs()[0].substr(0, 23), L"MSG: Convert failed, fi");
  }
  context_.baseDir = L"D:\\" + std::wstring(240, L'a');  // ...\GamePatch\12345.reg would not fit
  fake_.ClearRecord();
  ConvertRegTemplate(fake_, L"12345", L"E:\\Other", context_);
  EXPECT_TRUE(fake_.CallsOf(L"WriteFileBytes").empty());
}

TEST_F(RegistryImportTest, MissingOrUnreadableTemplate) {
  EXPECT_TRUE(ConvertRegTemplate(fake_, L"reg", L"D:\\Games\\Foo", context_));
  EXPECT_TRUE(fake_.Effects().empty());  // no template: no message

  fake_.AddDirectory(L"D:\\Games\\Foo\\GamePatch\\reg.cfg");  // there, but not readable as a file
  fake_.AddFile(L"D:\\Games\\Foo\\GamePatch\\reg.reg", "earlier");
  ConvertRegTemplate(fake_, L"reg", L"D:\\Games\\Foo", context_);
  EXPECT_EQ(Converted(L"reg.reg"), "earlier");
  ASSERT_EQ(fake_.Logs().size(), 1u);
  EXPECT_EQ(fake_.Logs()[0].rfind(L"MSG: Convert failed, file=D:\\Games\\Foo\\GamePatch\\reg.cfg, code=", 0), 0u)
      << WideToUtf8(fake_.Logs()[0]);
}

TEST_F(RegistryImportTest, AssocGidsLoopEnds) {
  PutRegString(fake_, RegRoot::kLocalMachine, kGameInfoKey, L"200", L"x||E:\\Two|1");
  PutRegString(fake_, RegRoot::kLocalMachine, kGameInfoKey, L"300", L"x||E:\\Three|1");
  PutRegString(fake_, RegRoot::kLocalMachine, kGameInfoKey, L"400", L"x|||0");
  fake_.AddFile(L"E:\\Two\\GamePatch\\reg.cfg", WideToUtf16Le(L"|gamepath|"));
  fake_.AddFile(L"E:\\Three\\GamePatch\\reg.cfg", WideToUtf16Le(L"3"));
  struct Case {
    const wchar_t* list;
    std::vector<std::wstring> logs;
  };
  // Reading the list from Config.ini clears the last error, as Windows'
  // profile reads do, so the first message has code 0; after a record
  // without a directory, the failed look for "GamePatch\reg.cfg" leaves 2.
  const std::wstring two = L"MSG: Assis gid' directory=E:\\Two\\, code=0";
  const std::wstring twoAfterEmpty = L"MSG: Assis gid' directory=E:\\Two\\, code=2";
  const std::wstring twoDone = L"MSG: Convert succeed, file=D:\\Games\\Foo\\GamePatch\\200.reg, code=0";
  const std::wstring three = L"MSG: Assis gid' directory=E:\\Three\\, code=0";
  const std::wstring threeDone = L"MSG: Convert succeed, file=D:\\Games\\Foo\\GamePatch\\300.reg, code=0";
  const std::wstring unknown = L"MSG: Assis gid' directory=, code=0";
  const Case cases[] = {
      {L"200|300", {two, twoDone, three, threeDone}},
      {L"100|200", {unknown}},              // an unknown id ends the list
      {L"200||300", {two, twoDone}},        // so does an empty field
      {L"|200", {}},
      {L"400|200", {unknown, twoAfterEmpty, twoDone}},  // a record without a directory goes on
      {L"", {}},
  };
  for (const Case& c : cases) {
    fake_.AddIni(kConfig, std::wstring(L"[action_first]\nassocGids=") + c.list + L"\n");
    fake_.ClearRecord();
    EXPECT_TRUE(RunAssocGids(fake_, context_));
    EXPECT_EQ(fake_.Logs(), c.logs) << WideToUtf8(c.list);
  }
  EXPECT_EQ(Converted(L"200.reg"), WideToUtf16Le(L"E:\\\\Two\\\\"));
}

TEST_F(RegistryImportTest, AssocGidsStopsAfter260Ids) {
  PutRegString(fake_, RegRoot::kLocalMachine, kGameInfoKey, L"1", L"x|||0");
  std::wstring list;
  for (int i = 0; i < 200; ++i) list += L"1|";  // 259 characters hold at most 130 ids
  fake_.AddIni(kConfig, L"[action_first]\nassocGids=" + list + L"\n");
  RunAssocGids(fake_, context_);
  EXPECT_EQ(fake_.Logs().size(), 130u);
}

TEST_F(RegistryImportTest, ImportRegFilesStartsTheEditorForEachFile) {
  fake_.SetKnownFolder(37, L"C:\\windows\\system32");
  fake_.startErrors[L"Regedit.exe"] = 0;  // found on the search path
  fake_.AddFile(L"D:\\Games\\Foo\\GamePatch\\reg.reg");
  fake_.AddFile(L"D:\\Games\\Foo\\GamePatch\\12345.REG");
  fake_.AddFile(L"D:\\Games\\Foo\\GamePatch\\notes.txt");
  fake_.AddDirectory(L"D:\\Games\\Foo\\GamePatch\\folder.reg");
  EXPECT_TRUE(ImportRegFiles(fake_, context_));
  const std::wstring dir = L"D:\\Games\\Foo\\GamePatch\\";
  EXPECT_EQ(fake_.Effects(),
            (std::vector<FakeCall>{
                {L"ShellExecuteW", {L"open", L"Regedit.exe", L"/s \"" + dir + L"12345.REG\"", L"C:\\windows\\system32", L"0"}},
                {L"OutputDebugStringW", {L"MSG: regedit succeed, file=" + dir + L"12345.REG, code=0"}},
                {L"Sleep", {L"50"}},
                {L"ShellExecuteW", {L"open", L"Regedit.exe", L"/s \"" + dir + L"reg.reg\"", L"C:\\windows\\system32", L"0"}},
                {L"OutputDebugStringW", {L"MSG: regedit succeed, file=" + dir + L"reg.reg, code=0"}},
                {L"Sleep", {L"50"}},
            }));
}

TEST_F(RegistryImportTest, ImportWithoutFilesDoesNothing) {
  EXPECT_TRUE(ImportRegFiles(fake_, context_));
  EXPECT_TRUE(fake_.Effects().empty());
}

}  // namespace
}  // namespace kestrel
