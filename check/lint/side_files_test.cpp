#include <gtest/gtest.h>

#include "check/lint/lint_test_support.h"

namespace kestrel::check {
namespace {

using lint_test::kBase;
using lint_test::kPatch;
using lint_test::LintIni;
using lint_test::Of;

const std::wstring kIni =
    L"[action_first]\nsubstFlag=1\nvirtualDriveFile=disc.iso\nregDlls=a.dll||b.dll\nrunFirstExe=tool.exe\n"
    L"runFirstExe2=http://example.com/\n"
    L"[action_after]\nRunAfterExe=after.exe\n"
    L"[dlg_config]\nbtnCount=1\nbtn1Exe=switch.exe\n"
    L"[1]\ncheckType=3\ninstFile=redist\\vc.exe\n[2]\ncheckType=3\n";

TEST(MissingFile, EverySideFileNamedAndNotThere) {
  FakePlatform fake;
  fake.AddFile(kPatch + L"run.bat.txt");
  fake.AddFile(kPatch + L"Run.bat");
  const Findings findings = LintIni(fake, kIni, L"game.exe");
  EXPECT_EQ(Of(findings, "missing-file"),
            (std::vector<std::string>{
                "W 5: the program of runFirstExe C:\\Games\\Foo\\tool.exe is not there: the value is handed to the "
                "shell as it stands, without its parameters",
                "W 8: the follow-up program C:\\Games\\Foo\\after.exe is not there: nothing is started after the game",
                "E 11: the program of version button 1 C:\\Games\\Foo\\switch.exe is not there: the button switches "
                "no version and records none",
                "W 0: GamePatch holds run.bat.txt, which the launcher never runs: it runs only run.bat and run.vbs",
                "E 2: the drive-substitution program C:\\Games\\Foo\\GamePatch\\subst.exe is not there: no drive is "
                "mapped, the launcher waits 20 seconds for it and then runs the game through a drive letter that "
                "names nothing",
                "E 3: the virtual-drive program C:\\Games\\Foo\\GamePatch\\Virtual Drive Manager\\Virtual Drive "
                "Manager.exe is not there: no image is mounted",
                "E 3: the disc image C:\\Games\\Foo\\GamePatch\\disc.iso is not there: no image is mounted",
                "E 4: the regDlls item C:\\Games\\Foo\\a.dll is not there: it is passed over, nothing registers it",
                "E 4: the regDlls item C:\\Games\\Foo\\b.dll is not there: it is passed over, nothing registers it",
                "E 14: the installer of [1], C:\\Games\\Foo\\redist\\vc.exe is not there: when its check finds the "
                "package missing, nothing installs it",
                "E 15: [2] names no instFile: when its check finds the package missing, the launcher tries to start "
                "the game's folder and installs nothing",
                "E 10: btnCount shows the chooser, but its skin C:\\Games\\Foo\\GamePatch\\res.dat is not there: the "
                "chooser is not shown and the game starts directly",
            }));
}

TEST(MissingFile, NothingWhenEverythingIsThere) {
  FakePlatform fake;
  for (const std::wstring& file :
       {kPatch + L"subst.exe", kPatch + L"Virtual Drive Manager\\Virtual Drive Manager.exe", kPatch + L"disc.iso",
        kBase + L"a.dll", kBase + L"B.DLL", kBase + L"tool.exe", kBase + L"after.exe", kBase + L"switch.exe",
        kBase + L"redist\\vc.exe", kBase + L"vc.exe", kBase + L"game.exe", kPatch + L"run.bat", kPatch + L"run.vbs",
        kPatch + L"res.dat"})
    fake.AddFile(file);
  EXPECT_EQ(Of(LintIni(fake, kIni + L"instFile=vc.exe\n", L"game.exe"), "missing-file"), std::vector<std::string>{});
}

TEST(MissingFile, RunProgramsResolveAsTheLauncherResolvesThem) {
  FakePlatform fake;
  fake.SetKnownFolder(26, L"C:\\Users\\p\\AppData\\Roaming");
  fake.AddFile(L"C:\\Users\\p\\AppData\\Roaming\\Vendor\\up.exe");
  EXPECT_EQ(
      Of(LintIni(fake,
                 L"[action_first]\nrunFirstExe=[APPDATA]\\Vendor\\up.exe\nrunFirstExe2=[ABCDEFG]\\"
                 L"Vendor\\gone.exe\n"),
         "missing-file"),
      (std::vector<std::string>{"W 3: the program of runFirstExe2 C:\\Users\\p\\AppData\\Roaming\\Vendor\\gone.exe "
                                "is not there: the value is handed to the shell as it stands, without its "
                                "parameters"}));
}

TEST(MissingFile, TheGameItselfAndPathsTooLong) {
  FakePlatform fake;
  const Findings findings = LintIni(fake, L"[action_first]\nregDlls=" + std::wstring(250, L'd') + L"\n", L"game.exe");
  EXPECT_EQ(Of(findings, "missing-file"),
            (std::vector<std::string>{
                "E 0: the game C:\\Games\\Foo\\game.exe is not there: the launch starts nothing",
                "E 2: the regDlls item path is 263 characters long, more than the launcher's 259: it is passed over "
                "(C:\\Games\\Foo\\ddddddddddddddddddddddddddddddddddddddddddddddd...)"}));
}

}  // namespace
}  // namespace kestrel::check
