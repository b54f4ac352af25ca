// The chooser's configuration: what "dlg_config" gives, and what it gives
// when keys are missing, odd or absurd.

#include "chooser/chooser_config.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace kestrel {
namespace {

const std::wstring kConfig = L"D:\\Games\\Foo\\GamePatch\\Config.ini";

struct Loaded {
  bool ok = false;
  ChooserConfig config;
};

Loaded Load(FakePlatform& fake) {
  LaunchContext context;
  context.baseDir = L"D:\\Games\\Foo";
  Loaded loaded;
  loaded.ok = LoadChooserConfig(fake, context, loaded.config);
  return loaded;
}

TEST(LoadChooserConfig, EntriesFollowTheKeyNumbersAndMissingKeysGiveDefaults) {
  FakePlatform fake;
  fake.AddIni(kConfig,
              L"[DLG_CONFIG]\r\nbtnCount=3\r\ndlgCaption=选择版本\r\n"
              L"BTN1CAPTION=Classic\r\nbtn1Exe=switch.exe\r\nbtn1Param=classic \"x y\"\r\nbtn1Ver=1.0\r\n"
              L"btn3Caption=Third\r\nbtn3CloseDlg=1\r\nbtn0Caption=never read\r\nbtn4Caption=past the count\r\n");
  const Loaded loaded = Load(fake);
  ASSERT_TRUE(loaded.ok);
  EXPECT_EQ(loaded.config.title, L"选择版本");
  ASSERT_EQ(loaded.config.entries.size(), 3u);
  const VersionEntry& first = *loaded.config.entries[0];
  EXPECT_EQ(first.caption, L"Classic");
  EXPECT_EQ(first.exeName, L"switch.exe");
  EXPECT_EQ(first.parameters, L"classic \"x y\"");
  EXPECT_EQ(first.version, L"1.0");
  EXPECT_EQ(first.closeMode, kCloseAfterRun);
  // Keys numbered 2 are all missing: the entry is kept, empty.
  const VersionEntry& second = *loaded.config.entries[1];
  EXPECT_EQ(second.caption + second.exeName + second.parameters + second.version, L"");
  EXPECT_EQ(second.closeMode, kCloseAfterRun);
  EXPECT_EQ(loaded.config.entries[2]->caption, L"Third");
  EXPECT_EQ(loaded.config.entries[2]->closeMode, kKeepOpen);
}

TEST(LoadChooserConfig, OnlyAPositiveCloseKeyKeepsTheWindowOpen) {
  const std::pair<const wchar_t*, std::int32_t> cases[] = {
      {L"btn1CloseDlg=1", kKeepOpen},   {L"btn1CloseDlg=7", kKeepOpen},    {L"btn1CloseDlg=0", kCloseAfterRun},
      {L"btn1CloseDlg=-3", kCloseAfterRun}, {L"btn1CloseDlg=yes", kCloseAfterRun}, {L"", kCloseAfterRun},
  };
  for (const auto& [line, mode] : cases) {
    FakePlatform fake;
    fake.AddIni(kConfig, std::wstring(L"[dlg_config]\nbtnCount=1\n") + line + L"\n");
    const Loaded loaded = Load(fake);
    ASSERT_EQ(loaded.config.entries.size(), 1u) << line;
    EXPECT_EQ(loaded.config.entries[0]->closeMode, mode) << line;
  }
}

TEST(LoadChooserConfig, NoButtonsForACountOfZeroOrLessAndNoNumberedKeyIsRead) {
  for (const wchar_t* count : {L"0", L"-1", L"two", L""}) {
    FakePlatform fake;
    fake.AddIni(kConfig, std::wstring(L"[dlg_config]\nbtnCount=") + count + L"\nbtn1Caption=x\n");
    const Loaded loaded = Load(fake);
    EXPECT_TRUE(loaded.ok) << count;
    EXPECT_TRUE(loaded.config.entries.empty()) << count;
    for (const FakeCall& call : fake.calls()) {
      if (call.args.size() > 1) {
        EXPECT_EQ(call.args[1].rfind(L"btn1", 0), std::wstring::npos) << count;
      }
    }
  }
}

TEST(LoadChooserConfig, AMissingFileFailsWithNothingRead) {
  FakePlatform fake;
  const Loaded loaded = Load(fake);
  EXPECT_FALSE(loaded.ok);
  EXPECT_TRUE(loaded.config.title.empty());
  EXPECT_TRUE(fake.CallsOf(L"GetPrivateProfileStringW").empty());
  EXPECT_TRUE(fake.CallsOf(L"GetPrivateProfileIntW").empty());
}

TEST(LoadChooserConfig, ValuesAreCutToTheBufferAndAnAbsurdCountIsBounded) {
  FakePlatform fake;
  const std::wstring longCaption(300, L'c');
  fake.AddIni(kConfig, L"[dlg_config]\nbtnCount=2147483647\nbtn1Caption=" + longCaption + L"\n");
  const Loaded loaded = Load(fake);
  // Only as many buttons as the window's command range can tell apart.
  EXPECT_EQ(loaded.config.entries.size(), static_cast<std::size_t>(kMostVersionEntries));
  EXPECT_EQ(loaded.config.entries[0]->caption, std::wstring(259, L'c'));
}

}  // namespace
}  // namespace kestrel
