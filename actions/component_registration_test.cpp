#include "actions/component_registration.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace kestrel {
namespace {

const std::wstring kConfig = L"D:\\Games\\Foo\\GamePatch\\Config.ini";

FakeCall Start(const std::wstring& path) {
  return {L"CreateProcessW", {L"regsvr32 /s \"" + path + L"\"", L"0x20", L"5", L""}};
}
FakeCall Log(const std::wstring& text) { return {L"OutputDebugStringW", {text}}; }
const FakeCall kPause{L"Sleep", {L"50"}};

class RegDllsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.baseDir = L"D:\\Games\\Foo";
    fake.AddFile(L"D:\\Games\\Foo\\a.dll");
    fake.AddFile(L"D:\\Games\\Foo\\bin\\b.ocx");
  }
  void List(const std::wstring& value) { fake.AddIni(kConfig, L"[action_first]\nregDlls=" + value + L"\n"); }
  FakePlatform fake;
  LaunchContext context;
};

TEST_F(RegDllsTest, ExistingItemsStartUnwaitedAndEveryItemCostsItsPause) {
  List(L"a.dll|missing.dll|bin\\b.ocx");
  fake.ClearRecord();
  EXPECT_TRUE(RegDlls(fake, context));
  EXPECT_EQ(fake.Effects(), (std::vector<FakeCall>{
                                Start(L"D:\\Games\\Foo\\a.dll"),
                                Log(L"MSG: regsvr32 success => D:\\Games\\Foo\\a.dll, code=0"),
                                {L"CloseHandle", {L"process1"}},
                                kPause,
                                kPause,
                                Start(L"D:\\Games\\Foo\\bin\\b.ocx"),
                                Log(L"MSG: regsvr32 success => D:\\Games\\Foo\\bin\\b.ocx, code=0"),
                                {L"CloseHandle", {L"process2"}},
                                kPause,
                            }));
  EXPECT_TRUE(fake.CallsOf(L"WaitForSingleObject").empty());
}

TEST_F(RegDllsTest, NoListNoAction) {
  EXPECT_FALSE(RegDlls(fake, context));  // no Config.ini at all
  List(L"");
  EXPECT_FALSE(RegDlls(fake, context));
  EXPECT_TRUE(fake.Effects().empty());
}

TEST_F(RegDllsTest, AFailedStartLogsItsCodeAndClosesNothing) {
  List(L"a.dll");
  fake.startErrors[L"regsvr32"] = win::kFileNotFound;  // no registration program on this PC
  fake.ClearRecord();
  EXPECT_TRUE(RegDlls(fake, context));
  EXPECT_EQ(fake.Effects(), (std::vector<FakeCall>{
                                Start(L"D:\\Games\\Foo\\a.dll"),
                                Log(L"MSG: regsvr32 success => D:\\Games\\Foo\\a.dll, code=2"),
                                kPause,
                            }));
}

// Items resolve against the base directory as it stands at this step, and
// an empty item is the base directory itself, which exists.
TEST_F(RegDllsTest, ItemsResolveAgainstTheCurrentBaseDirectory) {
  struct Case {
    std::wstring baseDir, list, config;
    std::vector<std::wstring> registered;
  };
  const Case cases[] = {
      {L"D:\\Games\\Foo\\", L"a.dll", kConfig, {L"D:\\Games\\Foo\\a.dll"}},
      {L"X:", L"a.dll|sub\\c.dll", L"X:\\GamePatch\\Config.ini", {L"X:\\a.dll", L"X:\\sub\\c.dll"}},
      {L"D:\\Games\\Foo", L"a.dll|", kConfig, {L"D:\\Games\\Foo\\a.dll", L"D:\\Games\\Foo\\"}},
      {L"D:\\Games\\Foo", L"|a.dll", kConfig, {L"D:\\Games\\Foo\\a.dll"}},  // a leading bar adds no item
  };
  for (const Case& c : cases) {
    FakePlatform machine;
    machine.AddFile(L"D:\\Games\\Foo\\a.dll");
    machine.AddFile(L"X:\\a.dll");
    machine.AddFile(L"X:\\sub\\c.dll");
    machine.AddIni(c.config, L"[action_first]\nregDlls=" + c.list + L"\n");
    LaunchContext at;
    at.baseDir = c.baseDir;
    RegDlls(machine, at);
    std::vector<std::wstring> started;
    for (const FakeCall& call : machine.CallsOf(L"CreateProcessW")) started.push_back(call.args[0]);
    std::vector<std::wstring> expected;
    for (const std::wstring& path : c.registered) expected.push_back(L"regsvr32 /s \"" + path + L"\"");
    EXPECT_EQ(started, expected) << c.baseDir << L" " << c.list;
  }
}

// A command cut to its 260-character buffer would name another file, so a
// path too long for it is passed over with a line; so is an item too long
// for a path.  The pause stays.
TEST_F(RegDllsTest, PathsTooLongForTheCommandAreNotStarted) {
  const std::wstring prefix = L"D:\\Games\\Foo\\";                 // 13 characters
  const std::wstring fits(259 - 14 - prefix.size(), L'f');         // the command just fits
  const std::wstring cut(fits.size() + 1, L'c');                   // one character too many
  const std::wstring overlong(300, L'o');
  fake.AddFile(prefix + fits);
  fake.AddFile(prefix + cut);
  for (const std::wstring& item : {fits, cut}) {
    List(item);
    RegDlls(fake, context);
  }
  ASSERT_EQ(fake.CallsOf(L"CreateProcessW").size(), 1u);
  EXPECT_EQ(fake.CallsOf(L"CreateProcessW")[0].args[0], L"regsvr32 /s \"" + prefix + fits + L"\"");
  EXPECT_EQ(fake.CallsOf(L"CreateProcessW")[0].args[0].size(), 259u);
  EXPECT_EQ(fake.Logs().back(), L"MSG: regsvr32 passed over, path too long => " + prefix + cut);
  EXPECT_EQ(fake.sleptMs(), 100u);

  EXPECT_TRUE(RegisterComponent(fake, prefix + overlong));
  EXPECT_EQ(fake.CallsOf(L"CreateProcessW").size(), 1u);

  // The list value is cut to 259 characters when read, so an item longer
  // than a path can only come from a long base directory.
  LaunchContext deep;
  deep.baseDir = L"D:\\" + std::wstring(235, L'd');  // its Config.ini path just fits
  const std::wstring item(30, L'i');
  fake.AddIni(deep.baseDir + L"\\GamePatch\\Config.ini", L"[action_first]\nregDlls=" + item + L"\n");
  fake.ClearRecord();
  RegDlls(fake, deep);
  EXPECT_TRUE(fake.CallsOf(L"CreateProcessW").empty());
  EXPECT_EQ(fake.CallsOf(L"Sleep").size(), 1u);
  EXPECT_EQ(fake.Logs(), (std::vector<std::wstring>{L"MSG: regsvr32 passed over, path too long (269 characters): " +
                                                    deep.baseDir + L"\\" + item}));
}

}  // namespace
}  // namespace kestrel
