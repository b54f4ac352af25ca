// The table of known keys against the reads the launcher really makes: the
// whole launch, chooser and version button included, runs on the fake
// machine over a Config.ini that sets every key, and each key it asks for
// must be in the table (with the way it is read), and each key of the
// table must be asked for.

#include "check/lint/known_keys.h"

#include <gtest/gtest.h>

#include <set>

#include "app/kestrel_app.h"
#include "chooser/chooser_config.h"
#include "chooser/version_action.h"
#include "platform/fake/fake_platform.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel::check {
namespace {

/// "section/key (text|number)" with button and section numbers as "%d",
/// folded to lower case.
std::string Entry(std::wstring section, std::wstring key, KeyKind kind) {
  auto numbered = [](std::wstring& name) {
    std::wstring out;
    bool inDigits = false;
    for (std::size_t i = 0; i < name.size(); ++i) {
      const bool digit = name[i] >= L'0' && name[i] <= L'9';
      if (name.compare(i, 2, L"%d") == 0) {
        out += L"%d";
        ++i;
      } else if (digit && !inDigits) {
        out += L"%d";
      } else if (!digit) {
        out += FoldCase(name[i]);
      }
      inDigits = digit;
    }
    name = out;
  };
  numbered(section);
  numbered(key);
  return WideToUtf8(section) + "/" + WideToUtf8(key) + (kind == KeyKind::kText ? " (text)" : " (number)");
}

TEST(KnownKeys, AreExactlyTheKeysTheLauncherReads) {
  const std::wstring config = L"C:\\Kestrel\\GamePatch\\Config.ini";
  FakePlatform fake;
  fake.commandLine = L"C:\\Kestrel\\KestrelEx.exe";
  fake.AddIni(
      config,
      L"[game_base]\nmainExe=game.exe\nparam=-w\nCompatibilityMode=WINXPSP3\nassocToGid=12345\ncurrntVer=1\n"
      L"[action_first]\nrunFirstUrl=http://x\nrunFirstExe=a.exe\nrunFirstParam=-a\nrunFirstExe2=b.exe\n"
      L"runFirstParam2=-b\nsetBits=16\nsubstFlag=0\nvirtualDriveFile=d.iso\nassocGids=23456\n"
      L"delFileOrDirs=x.log\nregDlls=a.dll\n"
      L"[set_platform]\nPlatformConfigFile=[GAMEDIR]\\p.ini\n[platform_Game1]\nAppName=A\nk=v\n"
      L"[personalization]\noverwrite=1\n"
      L"[action_after]\nsleep=1\nRunAfterExe=after.exe\nRunAfterParam=-x\nkillProNames=x.exe\n"
      L"[dlg_config]\nbtnCount=1\ndlgCaption=Pick\nbtn1Caption=One\nbtn1Exe=one.exe\nbtn1Param=-1\n"
      L"btn1Ver=2\nbtn1CloseDlg=0\n"
      L"[1]\ncheckType=1\ncheckPath=C:\\x.dll\ncheckVerion=1.0.0.0\ninstName=X\ninstFile=x.exe\ninstParam=/q\n");
  fake.AddFile(L"C:\\Kestrel\\game.exe");
  fake.AddDirectory(L"C:\\Kestrel\\GamePatch\\CSIDL_APPDATA");
  fake.SetKnownFolder(26, L"C:\\users\\p\\AppData\\Roaming");
  fake.onChooser = [&](LaunchContext& context) {
    ChooserConfig chooser;
    LoadChooserConfig(fake, context, chooser);
    for (const auto& entry : chooser.entries) RunVersionAction(fake, context, *entry);
    return 1;
  };
  CKestrelExApp app(fake);
  app.InitInstance();

  std::set<std::string> read;
  for (const FakeCall& call : fake.calls()) {
    if (call.op == L"GetPrivateProfileStringW" && EqualsNoCase(call.args[4], config))
      read.insert(Entry(call.args[0], call.args[1], KeyKind::kText));
    if (call.op == L"GetPrivateProfileIntW" && EqualsNoCase(call.args[3], config))
      read.insert(Entry(call.args[0], call.args[1], KeyKind::kNumber));
  }
  std::set<std::string> table;
  for (const KnownSection& section : KnownSections())
    for (const KnownKey& key : section.keys) table.insert(Entry(section.name, key.name, key.kind));
  EXPECT_EQ(read, table);
}

TEST(KnownKeys, PatternsStandForDecimalNumbers) {
  EXPECT_TRUE(MatchesPattern(L"btn%dExe", L"BTN12exe"));
  EXPECT_FALSE(MatchesPattern(L"btn%dExe", L"btnExe"));
  EXPECT_FALSE(MatchesPattern(L"btn%dExe", L"btn1xExe"));
  EXPECT_TRUE(MatchesPattern(L"%d", L"29"));
  EXPECT_FALSE(MatchesPattern(L"%d", L"game_base"));
}

}  // namespace
}  // namespace kestrel::check
