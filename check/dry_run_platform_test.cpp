#include "check/dry_run_platform.h"

#include <gtest/gtest.h>

#include <set>

#include "app/kestrel_app.h"
#include "check/launch_plan.h"
#include "check/report.h"
#include "platform/fake/fake_platform.h"
#include "text/utf.h"

namespace kestrel::check {
namespace {

// A game that deletes, imports a registry file, kills a process and
// starts: every kind of effect the launcher has on a plain PC.
void SetUpGame(FakePlatform& fake) {
  fake.commandLine = L"C:\\Kestrel\\KestrelEx.exe C:\\Games\\Foo|game.exe|-w";
  fake.AddIni(L"C:\\Games\\Foo\\GamePatch\\Config.ini",
              L"[action_first]\ndelFileOrDirs=old.log|save\n[action_after]\nkillProNames=updater.exe\n");
  fake.AddFile(L"C:\\Games\\Foo\\game.exe");
  fake.AddFile(L"C:\\Games\\Foo\\old.log", "log");
  fake.AddDirectory(L"C:\\Games\\Foo\\save");
  fake.AddFile(L"C:\\Games\\Foo\\save\\slot.sav", "slot");
  fake.AddFile(L"C:\\Games\\Foo\\GamePatch\\game.reg",
               "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Foo]\r\n\"Lang\"=\"zh\"\r\n");
  fake.AddProcess(L"updater.exe");
  fake.SetKnownFolder(37, L"C:\\Windows\\System32");  // regedit's folder
  fake.AddFile(L"C:\\Windows\\System32\\Regedit.exe");
}

Plan PlanOf(FakePlatform& fake, DryRunPlatform::Mode mode) {
  DryRunPlatform os(fake, mode);
  CKestrelExApp app(os);
  AnnotateLaunch(os, app);
  app.InitInstance();
  Plan plan = os.TakePlan();
  MarkGameStart(plan, app.context());
  return plan;
}

std::vector<std::string> Steps(const Plan& plan) {
  std::vector<std::string> steps;
  for (const PlanStep& step : plan) {
    std::string json = JsonStep(0, step);
    steps.push_back(json.substr(0, json.find(",\"notes\":")));
  }
  return steps;
}

TEST(DryRun, ChangesNothingAndPlansEveryEffect) {
  FakePlatform fake;
  SetUpGame(fake);
  fake.ClearRecord();
  Plan plan = PlanOf(fake, DryRunPlatform::Mode::kDryRun);

  const std::set<std::wstring> changes = {
      L"DeleteFileW",   L"RemoveDirectoryW", L"CopyFileW",     L"WriteFileBytes", L"WritePrivateProfileStringW",
      L"ShellExecuteW", L"ShellExecuteExW",  L"CreateProcessW", L"TerminateProcess", L"SHSetValueW",
      L"CreateMutexW",  L"CreateDirectoryW", L"SetFileAttributesW", L"OutputDebugStringW", L"BeginThread"};
  for (const FakeCall& call : fake.Effects()) EXPECT_FALSE(changes.contains(call.op)) << call;
  EXPECT_NE(fake.FileBytes(L"C:\\Games\\Foo\\old.log"), nullptr);
  EXPECT_EQ(fake.processes().size(), 1u);

  std::vector<std::string> actions;
  for (const PlanStep& step : plan)
    if (step.action != "log") actions.push_back(step.action + " " + (step.fields.empty() ? "" : step.fields[0].second));
  EXPECT_EQ(actions, (std::vector<std::string>{
                         "start shell open",
                         "registry-import C:\\Games\\Foo\\GamePatch\\game.reg",
                         "delete-file C:\\Games\\Foo\\old.log",
                         "set-attributes C:\\Games\\Foo\\save\\slot.sav",
                         "delete-file C:\\Games\\Foo\\save\\slot.sav",
                         "remove-folder C:\\Games\\Foo\\save",
                         "prerequisites 0",
                         "game shell open",
                         "kill updater.exe",
                     }));
  // The import names the values it sets.
  for (const PlanStep& step : plan) {
    if (step.action == "registry-import") {
      EXPECT_EQ(step.notes, std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Foo: Lang (REG_SZ) = zh"});
    }
  }
}

TEST(DryRun, PlanEqualsTheRecordedLaunch) {
  FakePlatform checked, launched;
  SetUpGame(checked);
  SetUpGame(launched);
  Plan plan = PlanOf(checked, DryRunPlatform::Mode::kDryRun);
  Plan done = PlanOf(launched, DryRunPlatform::Mode::kRecord);
  EXPECT_EQ(Steps(plan), Steps(done));
  // The recording mode did act.
  EXPECT_EQ(launched.FileBytes(L"C:\\Games\\Foo\\old.log"), nullptr);
  EXPECT_TRUE(launched.processes().empty());
}

TEST(DryRun, LaterReadsSeeWhatEarlierStepsWouldHaveDone) {
  FakePlatform fake;
  fake.AddDirectory(L"C:\\Games");
  fake.AddFile(L"C:\\Games\\gone.txt", "x");
  fake.AddIni(L"C:\\Games\\a.ini", L"[s]\r\nk=old\r\n");
  DryRunPlatform os(fake, DryRunPlatform::Mode::kDryRun);

  EXPECT_TRUE(os.WriteFileBytes(L"C:\\Games\\new.reg", "bytes"));
  EXPECT_TRUE(os.DeleteFileW(L"C:\\Games\\gone.txt"));
  EXPECT_FALSE(os.DeleteFileW(L"C:\\Games\\gone.txt"));  // already gone in the plan
  std::string bytes;
  EXPECT_TRUE(os.ReadFileBytes(L"c:\\games\\NEW.reg", bytes));
  EXPECT_EQ(bytes, "bytes");
  EXPECT_FALSE(os.PathFileExistsW(L"C:\\Games\\gone.txt"));
  EXPECT_FALSE(os.CreateDirectoryW(L"C:\\Games\\x\\y"));  // no parent
  EXPECT_FALSE(os.CopyFileW(L"C:\\Games\\new.reg", L"C:\\Games\\a.ini", true));  // kept: it exists
  EXPECT_FALSE(os.DeleteFileW(L"C:\\Games"));  // a folder
  EXPECT_EQ(os.GetLastError(), win::kAccessDenied);
  EXPECT_FALSE(os.RemoveDirectoryW(L"C:\\Games\\a.ini"));  // not a folder
  EXPECT_EQ(os.GetLastError(), win::kDirectory);
  EXPECT_TRUE(os.PathFileExistsW(L"C:\\Games\\a.ini"));
  // The default verb is named "shell", with no verb after it.
  EXPECT_GT(os.ShellExecuteW(L"", L"C:\\Games\\a.ini", L"", L"C:\\Games", 1), 32);
  EXPECT_EQ(*os.plan().back().Field("how"), "shell");

  std::set<std::wstring> listed;
  FindDataW found;
  Handle find = os.FindFirstFileW(L"C:\\Games\\*", found);
  ASSERT_NE(find, kInvalidHandleValue);
  do
    if (found.fileName != L"." && found.fileName != L"..") listed.insert(found.fileName);
  while (os.FindNextFileW(find, found));
  os.FindClose(find);
  EXPECT_EQ(listed, (std::set<std::wstring>{L"a.ini", L"new.reg"}));

  EXPECT_TRUE(os.WritePrivateProfileStringW(L"s", std::wstring(L"k"), std::wstring(L"newer"), L"C:\\Games\\a.ini"));
  EXPECT_EQ(*os.plan().back().Field("change"), "bytes 7..10 of 12 replaced by 5 bytes");
  EXPECT_EQ(*fake.FileBytes(L"C:\\Games\\a.ini"), "[s]\r\nk=old\r\n");
  EXPECT_EQ(fake.FileBytes(L"C:\\Games\\new.reg"), nullptr);
}

TEST(DryRun, AMissingGameIsAnErrorAndExitCodesFollowSeverity) {
  FakePlatform fake;
  fake.AddIni(L"C:\\Games\\Foo\\GamePatch\\Config.ini", L"[game_base]\n");
  CheckResult result = CheckLaunch(fake, {L"KestrelEx.exe C:\\Games\\Foo|game.exe", L"C:\\Kestrel\\KestrelEx.exe"});
  ASSERT_EQ(result.findings.size(), 1u);
  EXPECT_EQ(result.findings[0].rule, "start-fails");
  EXPECT_EQ(ExitCodeFor(result.findings), 2);
  EXPECT_EQ(ExitCodeFor({{Severity::kWarning, "w", L"", 0, "m"}}), 1);
  EXPECT_EQ(ExitCodeFor({}), 0);
}

}  // namespace
}  // namespace kestrel::check
