#include "actions/pre_launch_actions.h"

#include <gtest/gtest.h>

#include <map>

#include "actions/game_directory.h"
#include "tests/support/fake_registry.h"
#include "text/utf.h"

namespace kestrel {
namespace {

// Every configured step at once: the record shows them in their fixed
// order.
TEST(RunPreLaunchActions, StepsRunInTheirFixedOrder) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = L"D:\\Games\\Foo\\";
  context.game.mainExe = L"game.exe";
  const std::wstring patch = L"D:\\Games\\Foo\\GamePatch\\";
  fake.AddIni(patch + L"Config.ini",
              L"[game_base]\nCompatibilityMode=WINXPSP3\n"
              L"[action_first]\nrunFirstUrl=http://example.invalid/\nrunFirstExe=first.exe\n"
              L"runFirstExe2=second.exe\nsetBits=16\nassocGids=\ndelFileOrDirs=old.log\nregDlls=a.dll\n");
  fake.AddFile(patch + L"run.bat");
  fake.AddFile(patch + L"run.vbs");
  fake.AddFile(patch + L"reg.cfg", WideToUtf16Le(L"|gamepath|"));
  fake.AddFile(L"D:\\Games\\Foo\\first.exe");
  fake.AddFile(L"D:\\Games\\Foo\\second.exe");
  fake.AddFile(L"D:\\Games\\Foo\\game.exe");
  fake.AddFile(L"D:\\Games\\Foo\\old.log");
  fake.AddFile(L"D:\\Games\\Foo\\a.dll");
  fake.startErrors[L"wscript"] = 0;
  fake.startErrors[L"Regedit.exe"] = 0;
  EXPECT_TRUE(RunPreLaunchActions(fake, context));

  std::vector<std::wstring> steps;
  for (const FakeCall& call : fake.Effects()) {
    if (call.op == L"ShellExecuteW") steps.push_back(call.args[1]);
    if (call.op == L"CreateProcessW") steps.push_back(call.args[0].substr(0, call.args[0].find(L' ')));
    if (call.op == L"DeleteFileW") steps.push_back(L"delete");
    if (call.op == L"ChangeDisplaySettingsW") steps.push_back(L"display");
    if (call.op == L"SHSetValueW") steps.push_back(L"compatibility");
    if (call.op == L"WriteFileBytes") steps.push_back(L"convert");
  }
  EXPECT_EQ(steps, (std::vector<std::wstring>{patch + L"run.bat", L"wscript", L"http://example.invalid/",
                                              L"D:\\Games\\Foo\\first.exe", L"D:\\Games\\Foo\\second.exe", L"display",
                                              L"compatibility", L"convert", L"Regedit.exe", L"delete",
                                              L"regsvr32"}));
}

// Once step 4 has put the game on a drive of its own, every later step
// finds its files through that drive, and step 13 takes the next letter.
TEST(RunPreLaunchActions, LaterStepsWorkThroughTheSubstitutedDrive) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = L"D:\\Games\\Foo\\";
  fake.AddDirectory(L"C:\\");
  fake.AddDirectory(L"E:\\");
  const std::map<std::wstring, std::string> game = {
      {L"GamePatch\\Config.ini", "[action_first]\nsubstFlag=1\nrunFirstExe=tool.exe\n"
                                  "virtualDriveFile=disc.iso\ndelFileOrDirs=old.log\n"},
      {L"GamePatch\\subst.exe", ""},
      {L"GamePatch\\run.bat", ""},
      {L"GamePatch\\disc.iso", ""},
      {L"GamePatch\\Virtual Drive Manager\\Virtual Drive Manager.exe", ""},
      {L"tool.exe", ""},
      {L"old.log", ""},
  };
  for (const auto& [name, bytes] : game) fake.AddFile(context.baseDir + name, bytes);
  fake.onStart = [&](const FakeCall& start) {
    // subst: the mapping shows the game's files on F:; the manager mounts G:.
    if (start.op == L"ShellExecuteExW" && start.args[3].find(L"/D") == std::wstring::npos)
      for (const auto& [name, bytes] : game) fake.AddFile(L"F:\\" + name, bytes);
    if (start.args[1] == L"F:\\GamePatch\\Virtual Drive Manager\\Virtual Drive Manager.exe")
      fake.AddDirectory(L"G:\\");
    return 0u;
  };
  EXPECT_TRUE(RunPreLaunchActions(fake, context));
  EXPECT_EQ(context.baseDir, L"F:");

  std::vector<std::wstring> after;  // what the steps after the mapping did
  bool mapped = false;
  for (const FakeCall& call : fake.Effects()) {
    if (call.op == L"ShellExecuteExW") mapped = call.args[3] == L"F: \"D:\\Games\\Foo\"";
    if (!mapped) continue;
    if (call.op == L"ShellExecuteW") after.push_back(call.args[1] + L" in " + call.args[3]);
    if (call.op == L"SHSetValueW" && call.args[2] == L"LastMounts") after.push_back(L"mount " + call.args[4].substr(0, 5));
    if (call.op == L"DeleteFileW") after.push_back(L"delete " + call.args[0]);
  }
  EXPECT_EQ(after, (std::vector<std::wstring>{
                       L"delete F:\\CheckExist.kestrel",
                       L"F:\\GamePatch\\run.bat in F:\\GamePatch",
                       L"F:\\tool.exe in F:",
                       L"mount 47 00",  // "G"
                       L"F:\\GamePatch\\Virtual Drive Manager\\Virtual Drive Manager.exe in "
                       L"F:\\GamePatch\\Virtual Drive Manager",
                       L"delete F:\\old.log",
                   }));
  EXPECT_NE(fake.FileBytes(L"D:\\Games\\Foo\\old.log"), nullptr);  // reached only through F:
}

TEST(RunPreLaunchActions, NothingConfiguredDoesNothing) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = L"D:\\Games\\Foo";
  EXPECT_TRUE(RunPreLaunchActions(fake, context));
  EXPECT_TRUE(fake.Effects().empty());
}

}  // namespace
}  // namespace kestrel
