// A game menu and a game of another program than the launcher share its
// view of HKEY_LOCAL_MACHINE\SOFTWARE: the menu records a game and an
// installed runtime, the launcher moves onto that game's folder through its
// game id, takes the runtime as present and imports the game's registry
// template, and the game reads the imported value back.  On Windows the
// menu, the launcher and the game are 32-bit programs (under Wine in a
// 64-bit prefix, where that view is SOFTWARE\Wow6432Node); on Linux all
// three work on the machine model.  Both builds log the same lines.

#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

constexpr wchar_t kGameInfo[] = L"SOFTWARE\\{3798BE84-4E13-4b81-B8CF-5063730FF905}\\GInfo";
constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Utf16File(const std::wstring& text) { return "\xFF\xFE" + WideToUtf16Le(text); }

TEST(RegistryViewE2E, AMenusRecordsLeadToTheGameAndItsRuntimeAndTheGameReadsItsImport) {
  TempMachine m;
  m.MakeDir("Menu");
  m.MakeDir("My Games/Foo/GamePatch");
  m.MakeDir("Other Game/Bar/GamePatch");
  m.MakeDir("Other Game/Bar/redist");
  m.Install(KESTREL_GAME_MENU, "Menu/" + ProgramFile("menu"));
  m.Install(KESTREL_GAME_MENU, "My Games/Foo/game.exe");
  m.Install(KESTREL_RECORDER, "Other Game/Bar/redist/setup.exe");  // would record a line if it ran
  const std::wstring foo = m.Windows("My Games/Foo");
  const std::wstring bar = m.Windows("Other Game/Bar") + L"\\";

  // Names of this run's own, so nothing an earlier run left can pass.
  const std::string unique = UniqueName("kx", "");
  const std::wstring gid = L"7" + Utf8ToWide(unique).substr(2, 4);  // five characters, as the menus' ids
  const std::wstring package = L"KestrelE2E-" + Utf8ToWide(unique);
  const std::wstring key = L"SOFTWARE\\KestrelE2E\\" + Utf8ToWide(unique);
  m.RemoveMachineValueWhenDone(kGameInfo, gid);
  m.RemoveMachineKeyWhenDone(kUninstall + package);
  m.RemoveMachineKeyWhenDone(key);

  // The menu records the folder without a closing backslash (which the
  // launcher adds); on Windows one before the closing quote of the argument
  // would escape it.
  ASSERT_EQ(m.Run(m.Host("Menu/" + ProgramFile("menu")),
                  {"install", WideToUtf8(gid), WideToUtf8(m.Windows("Other Game/Bar")), WideToUtf8(package)}),
            0);

  // Foo is a version of the game installed in Bar: the launch moves there
  // and takes Bar's Config.ini, runtime list and template.
  m.Write("My Games/Foo/GamePatch/Config.ini", "[game_base]\r\nassocToGid=" + WideToUtf8(gid) + "\r\n");
  m.Write("Other Game/Bar/GamePatch/Config.ini",
          "[1]\r\ncheckType=2\r\ncheckPath=KestrelE2E-absent|" + WideToUtf8(package) +
              "\r\ninstName=Menu runtime\r\ninstFile=redist\\setup.exe\r\n");
  m.Write("Other Game/Bar/GamePatch/reg.cfg",
          Utf16File(L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" + key +
                    L"]\r\n\"Dir\"=\"|gamepath|\"\r\n"));

  const std::string game = "read " + WideToUtf8(key) + " Dir";
  ASSERT_EQ(m.Run(KESTREL_EXE, {WideToUtf8(foo) + "|game.exe|" + game}), 0);

  // The game waits for the import, which the launcher does not wait for.
  std::vector<std::string> record;
  for (int i = 0; i < 4 && record.empty(); ++i) record = m.WaitForRecord(1);
  EXPECT_EQ(record, (std::vector<std::string>{"value=" + WideToUtf8(bar), "done"}));

  const std::string barDir = WideToUtf8(bar);
  EXPECT_EQ(m.LogLines(), (std::vector<std::string>{
                              "MSG: Init base value from cmdLine succeed",
                              // The copy onto Bar ends its folder listing with "no more files".
                              "MSG: assis to gid succeed, dir=" + barDir + ", exe=game.exe, code=18",
                              "MSG: Convert succeed, file=" + barDir + "GamePatch\\reg.reg, code=0",
                              "MSG: regedit succeed, file=" + barDir + "GamePatch\\reg.reg, code=0",
                              "MSG: lib=Menu runtime, module already installed.",
                              "MSG: Execute: file=" + barDir + "game.exe, param=" + game + ", workdir=" +
                                  WideToUtf8(m.Windows("Other Game/Bar")) + ", code=0",
                          }));
}

}  // namespace
}  // namespace kestrel::e2e
