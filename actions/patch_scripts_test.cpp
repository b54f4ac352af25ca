#include "actions/patch_scripts.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace kestrel {
namespace {

TEST(RunPatchScripts, BatchHiddenThenScriptShown) {
  struct Case {
    bool bat, vbs;
  };
  for (Case c : {Case{true, true}, Case{true, false}, Case{false, true}, Case{false, false}}) {
    FakePlatform fake;
    LaunchContext context;
    context.baseDir = L"D:\\My Games\\Foo";
    const std::wstring dir = L"D:\\My Games\\Foo\\GamePatch";
    if (c.bat) fake.AddFile(dir + L"\\run.bat");
    if (c.vbs) fake.AddFile(dir + L"\\run.vbs");
    fake.startErrors[L"wscript"] = 0;
    EXPECT_TRUE(RunPatchScripts(fake, context));
    std::vector<FakeCall> expected;
    if (c.bat) {
      expected.push_back({L"ShellExecuteW", {L"open", dir + L"\\run.bat", L"", dir, L"0"}});
      expected.push_back({L"OutputDebugStringW", {L"MSG: Excute bat file=" + dir + L"\\run.bat, workdir=" + dir + L", code=0"}});
    }
    if (c.vbs) {
      const std::wstring line = L"wscript \"" + dir + L"\\run.vbs\"";
      expected.push_back({L"CreateProcessW", {line, L"0x20", L"5", L""}});
      expected.push_back({L"OutputDebugStringW", {L"MSG: Excute vbs cmdline=" + line + L", code=0"}});
      expected.push_back({L"CloseHandle", {L"process1"}});
    }
    EXPECT_EQ(fake.Effects(), expected) << "bat=" << c.bat << " vbs=" << c.vbs;
  }
}

TEST(RunPatchScripts, ScriptPathTooLongIsNotCut) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = L"D:\\" + std::wstring(230, L'a');  // the script fits 259, the command line does not
  fake.AddFile(context.baseDir + L"\\GamePatch\\run.vbs");
  RunPatchScripts(fake, context);
  EXPECT_TRUE(fake.CallsOf(L"CreateProcessW").empty());
  ASSERT_EQ(fake.Logs().size(), 1u);
  EXPECT_NE(fake.Logs()[0].find(L"code=206"), std::wstring::npos);
}

}  // namespace
}  // namespace kestrel
