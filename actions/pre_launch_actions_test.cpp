#include "actions/pre_launch_actions.h"

#include <gtest/gtest.h>

#include "actions/game_directory.h"
#include "tests/support/fake_registry.h"
#include "util/utf.h"

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

TEST(RunPreLaunchActions, NothingConfiguredDoesNothing) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = L"D:\\Games\\Foo";
  EXPECT_TRUE(RunPreLaunchActions(fake, context));
  EXPECT_TRUE(fake.Effects().empty());
}

}  // namespace
}  // namespace kestrel
