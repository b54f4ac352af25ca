#include "actions/after_actions.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace kestrel {
namespace {

std::vector<std::wstring> Ops(const FakePlatform& fake) {
  std::vector<std::wstring> ops;
  for (const FakeCall& c : fake.Effects()) ops.push_back(c.op + (c.op == L"Sleep" ? L" " + c.args[0] : L""));
  return ops;
}

TEST(AfterActions, PauseThenFollowUpInItsOwnFolder) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = L"D:\\Games\\Foo\\";
  fake.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini",
              L"[action_after]\nsleep=3000\nRunAfterExe=tools\\after.exe\nRunAfterParam=-x\n");
  EXPECT_TRUE(RunAfterActions(fake, context));
  EXPECT_EQ(fake.Effects(), (std::vector<FakeCall>{
                                {L"Sleep", {L"3000"}},
                                {L"ShellExecuteW", {L"open", L"D:\\Games\\Foo\\tools\\after.exe", L"-x",
                                                    L"D:\\Games\\Foo\\tools", L"1"}},
                            }));
}

TEST(AfterActions, PauseWithoutFollowUpStillDelaysTheKills) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = L"D:\\Games\\Foo";
  fake.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini", L"[action_after]\nsleep=2000\nkillProNames=a.exe||b.exe\n");
  fake.AddProcess(L"b.exe");
  EXPECT_FALSE(RunAfterActions(fake, context));
  EXPECT_TRUE(KillConfiguredProcesses(fake, context));
  std::vector<std::wstring> ops = Ops(fake);
  // Three items (the middle one empty), each followed by its pause.
  EXPECT_EQ(ops.front(), L"Sleep 2000");
  EXPECT_EQ(std::count(ops.begin(), ops.end(), L"Sleep 50"), 3);
  EXPECT_EQ(fake.CallsOf(L"TerminateProcess").size(), 1u);
  EXPECT_EQ(fake.sleptMs(), 2150u);
}

TEST(AfterActions, NothingConfigured) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = L"D:\\Games\\Foo";
  EXPECT_FALSE(RunAfterActions(fake, context));
  EXPECT_FALSE(KillConfiguredProcesses(fake, context));
  EXPECT_TRUE(fake.Effects().empty());
}

}  // namespace
}  // namespace kestrel
