// Every action that builds a path for a 260-character buffer refuses one
// that does not fit, rather than cutting it: the file at the cut path is
// there, and must not be started, registered or mapped.

#include <gtest/gtest.h>

#include <functional>

#include "actions/after_actions.h"
#include "actions/compatibility_mode.h"
#include "actions/drive_substitution.h"
#include "actions/first_runners.h"
#include "actions/patch_scripts.h"
#include "actions/virtual_drive.h"
#include "app/game_launch.h"
#include "platform/fake/fake_platform.h"
#include "text/utf.h"

namespace kestrel {
namespace {

std::wstring Base(std::size_t length) { return L"D:\\" + std::wstring(length - 3, L'g'); }

TEST(LongPaths, EveryActionRefusesAPathThatWouldBeCut) {
  const std::wstring tail = L"bin\\" + std::wstring(22, L't') + L"game.exe";  // 34 characters
  struct Case {
    const wchar_t* action;
    std::size_t baseLength;
    std::wstring built;   ///< the whole path the action builds, beyond 259 characters
    std::wstring config;  ///< Config.ini's text
    std::function<void(FakePlatform&, LaunchContext&)> run;
  };
  const Case cases[] = {
      {L"Execute", 240, tail, L"", [](FakePlatform& os, LaunchContext& c) { LaunchGame(os, c); }},
      {L"RunAfterExe", 230, tail, L"[action_after]\nRunAfterExe=" + tail + L"\n",
       [](FakePlatform& os, LaunchContext& c) { RunAfterActions(os, c); }},
      {L"runpre", 230, tail, L"[action_first]\nrunFirstExe=" + tail + L"\n",
       [](FakePlatform& os, LaunchContext& c) { RunFirstExe(os, c); }},
      {L"SetCompatibilityMode", 230, tail, L"[game_base]\nCompatibilityMode=WINXPSP3\n",
       [](FakePlatform& os, LaunchContext& c) { SetCompatibilityMode(os, c); }},
      {L"Excute bat", 245, L"GamePatch\\run.bat", L"", [](FakePlatform& os, LaunchContext& c) { RunPatchScripts(os, c); }},
      {L"Excute vbs", 245, L"GamePatch\\run.vbs", L"", [](FakePlatform& os, LaunchContext& c) { RunPatchScripts(os, c); }},
      {L"Virtual Drive Manager", 215, L"GamePatch\\Virtual Drive Manager\\Virtual Drive Manager.exe",
       L"[action_first]\nvirtualDriveFile=disc.iso\n", [](FakePlatform& os, LaunchContext& c) { VirtualDriveFile(os, c); }},
      {L"subst", 240, L"GamePatch\\subst.exe", L"[action_first]\nsubstFlag=1\n",
       [](FakePlatform& os, LaunchContext& c) { SubstFlag(os, c); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.action));
    FakePlatform fake;
    LaunchContext context;
    context.baseDir = Base(c.baseLength);
    context.game.mainExe = tail;
    const std::wstring whole = context.baseDir + L"\\" + c.built;
    ASSERT_GE(whole.size(), 260u);
    fake.AddFile(whole.substr(0, 259));  // what a cut path would name
    fake.AddFile(context.baseDir + L"\\GamePatch\\disc.iso");
    if (!c.config.empty()) fake.AddIni(context.baseDir + L"\\GamePatch\\Config.ini", c.config);
    c.run(fake, context);
    for (const wchar_t* start : {L"ShellExecuteW", L"ShellExecuteExW", L"CreateProcessW", L"SHSetValueW"})
      EXPECT_TRUE(fake.CallsOf(start).empty()) << WideToUtf8(start);
    const std::wstring line = std::wstring(L"MSG: ") + c.action + L" passed over, path too long (" +
                              std::to_wstring(whole.size()) + L" characters): " + whole;
    bool logged = false;
    for (const std::wstring& log : fake.Logs()) logged = logged || log == line;
    EXPECT_TRUE(logged) << WideToUtf8(line);
  }
}

}  // namespace
}  // namespace kestrel
