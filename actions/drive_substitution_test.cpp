#include "actions/drive_substitution.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/fake/fake_platform.h"
#include "text/utf.h"

namespace kestrel {
namespace {

const std::wstring kBase = L"D:\\Games\\Foo";
const std::wstring kSubst = L"D:\\Games\\Foo\\GamePatch\\subst.exe";
const std::wstring kProbe = L"F:\\CheckExist.kestrel";

/// The fake machine with a subst program that does what the real one
/// does: "X: /D" removes a substitution (never a real drive), "X: "path""
/// makes one, whose root shows the folder's probe file if one is there.
/// A drive made here shows up after `upAfterPauses` pauses of
/// the launcher (never when negative), like a slow machine's.  Waits on
/// the program's runs time out from run `hangFromRun` on (1-based; 0 never).
class SubstMachine : public FakePlatform {
 public:
  SubstMachine() {
    AddDirectory(L"C:\\");
    AddDirectory(L"E:\\");
    onStart = [this](const FakeCall& start) { return Subst(start.args[3]); };
  }
  int upAfterPauses = 0;
  int hangFromRun = 0;
  std::map<wchar_t, std::wstring> substitutions;

  void Sleep(std::uint32_t milliseconds) override {
    FakePlatform::Sleep(milliseconds);
    ++pauses_;
    BringUpDrives();
  }
  std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) override {
    std::uint32_t result = FakePlatform::WaitForSingleObject(handle, milliseconds);
    ++runs_;
    return hangFromRun > 0 && runs_ >= hangFromRun ? win::kWaitTimeout : result;
  }
  /// A substitution left by an earlier launch.
  void Substituted(wchar_t letter, const std::wstring& folder) {
    substitutions[letter] = folder;
    AddDirectory(std::wstring{letter, L':', L'\\'});
  }

 private:
  std::uint32_t Subst(const std::wstring& parameters) {
    wchar_t letter = parameters[0];
    if (parameters.substr(1) == L": /D") {
      if (!substitutions.erase(letter)) return 1;
      RemoveDirectoryW(std::wstring{letter, L':', L'\\'});
      return 0;
    }
    substitutions[letter] = parameters.substr(4, parameters.size() - 5);
    pending_.push_back(letter);
    BringUpDrives();
    return 0;
  }
  void BringUpDrives() {
    if (upAfterPauses < 0 || pauses_ < upAfterPauses) return;
    for (wchar_t letter : pending_) {
      std::wstring root{letter, L':', L'\\'};
      AddDirectory(root);
      // The drive shows the folder: a probe left in it is there too.
      if (FileBytes(substitutions[letter] + L"\\CheckExist.kestrel")) AddFile(root + L"CheckExist.kestrel");
    }
    pending_.clear();
  }
  int pauses_ = 0;
  int runs_ = 0;
  std::vector<wchar_t> pending_;
};

class SubstFlagTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.baseDir = kBase;
    fake_.AddIni(kBase + L"\\GamePatch\\Config.ini", L"[action_first]\nsubstFlag=1\n");
    fake_.AddFile(kSubst);
  }
  std::vector<std::wstring> SubstParameters() const {
    std::vector<std::wstring> out;
    for (const FakeCall& call : fake_.CallsOf(L"ShellExecuteExW")) out.push_back(call.args[3]);
    return out;
  }
  static std::vector<std::wstring> Removals() {
    std::vector<std::wstring> out;
    for (wchar_t c = L'C'; c <= L'Z'; ++c) out.push_back(std::wstring{c, L':'} + L" /D");
    return out;
  }
  SubstMachine fake_;
  LaunchContext context_;
};

TEST_F(SubstFlagTest, AbsentZeroOrNegativeFlagDoesNothing) {
  for (const wchar_t* config : {L"[action_first]\n", L"[action_first]\nsubstFlag=0\n",
                                L"[action_first]\nsubstFlag=-1\n", L"[action_first]\nsubstFlag=\n"}) {
    fake_.AddIni(kBase + L"\\GamePatch\\Config.ini", config);
    fake_.ClearRecord();
    EXPECT_TRUE(SubstFlag(fake_, context_));
    EXPECT_TRUE(fake_.Effects().empty()) << WideToUtf8(config);
    EXPECT_EQ(context_.baseDir, kBase);
  }
}

// The whole exchange: 24 removals from C: to Z:, each awaited before the
// next starts, the mapping, one probe, and baseDir on the bare drive.
TEST_F(SubstFlagTest, ClearsEveryLetterThenMapsTheFirstFreeOne) {
  EXPECT_TRUE(SubstFlag(fake_, context_));
  std::vector<FakeCall> expected;
  std::vector<std::wstring> runs = Removals();
  runs.push_back(L"F: \"D:\\Games\\Foo\"");
  for (std::size_t i = 0; i < runs.size(); ++i) {
    std::wstring process = L"process" + std::to_wstring(i + 1);
    expected.push_back({L"ShellExecuteExW", {L"0x40", L"", kSubst, runs[i], L"", L"0"}});
    expected.push_back({L"WaitForSingleObject", {process, L"10000"}});
    expected.push_back({L"CloseHandle", {process}});
  }
  expected.push_back({L"WriteFileBytes", {kProbe, L"0"}});
  expected.push_back({L"Sleep", {L"500"}});
  expected.push_back({L"DeleteFileW", {kProbe}});
  expected.push_back({L"OutputDebugStringW", {L"MSG: subst succeed, drive=F:, dir=D:\\Games\\Foo"}});
  EXPECT_EQ(fake_.Effects(), expected);
  EXPECT_EQ(context_.baseDir, L"F:");
  EXPECT_EQ(fake_.substitutions, (std::map<wchar_t, std::wstring>{{L'F', kBase}}));
  EXPECT_EQ(fake_.FileBytes(kProbe), nullptr);
}

TEST_F(SubstFlagTest, MappingNamesTheBaseDirectoryInQuotes) {
  // The longest base directory whose GamePatch\Config.ini fits a path buffer.
  const std::wstring longBase = L"D:\\" + std::wstring(230, L'x') + L"\\Game";
  ASSERT_EQ(longBase.size() + std::wstring(L"\\GamePatch\\Config.ini").size(), 259u);
  struct Case {
    std::wstring baseDir, folder;
  };
  const Case cases[] = {
      {L"D:\\Games\\Foo", L"D:\\Games\\Foo"},
      // A closing backslash would escape the closing quote.
      {L"D:\\Games\\Foo\\", L"D:\\Games\\Foo"},
      {L"D:\\My Games\\三国 志\\", L"D:\\My Games\\三国 志"},
      {L"D:\\", L"D:\\"},
      {longBase, longBase},  // never cut
  };
  for (const Case& c : cases) {
    SubstMachine fake;
    LaunchContext context;
    context.baseDir = c.baseDir;
    std::wstring patch = c.baseDir + (c.baseDir.back() == L'\\' ? L"" : L"\\") + L"GamePatch\\";
    fake.AddIni(patch + L"Config.ini", L"[action_first]\nsubstFlag=1\n");
    fake.AddFile(patch + L"subst.exe");
    EXPECT_TRUE(SubstFlag(fake, context));
    std::vector<FakeCall> starts = fake.CallsOf(L"ShellExecuteExW");
    ASSERT_EQ(starts.size(), 25u) << WideToUtf8(c.baseDir);
    EXPECT_EQ(starts.back().args[2], patch + L"subst.exe");
    EXPECT_EQ(starts.back().args[3], L"F: \"" + c.folder + L"\"");
    EXPECT_EQ(fake.substitutions[L'F'], c.folder);
    EXPECT_EQ(context.baseDir, L"F:");
  }
}

// A base directory of 259 characters leaves no room for GamePatch: its
// Config.ini cannot be named, so nothing is read or run.
TEST_F(SubstFlagTest, BaseDirectoryTooLongForGamePatchRunsNothing) {
  context_.baseDir = L"D:\\" + std::wstring(256, L'x');
  fake_.AddDirectory(context_.baseDir);
  EXPECT_TRUE(SubstFlag(fake_, context_));
  EXPECT_TRUE(fake_.Effects().empty());
  EXPECT_EQ(context_.baseDir.size(), 259u);
}

// Create, pause 500 ms, look: at most 40 times, ending as soon as the
// probe is there; the probe is deleted whatever happened.
TEST_F(SubstFlagTest, ProbeLoopIsBoundedAndNeverLeavesTheProbe) {
  struct Case {
    const char* name;
    int upAfterPauses;
    bool probeLeftOver;
    std::size_t writes;
    std::wstring baseDir;
  };
  const Case cases[] = {
      {"drive up at once", 0, false, 1, L"F:"},
      {"drive up after three pauses", 3, false, 4, L"F:"},
      {"drive up after the last pause", 40, false, 40, L"F:"},
      {"drive never up", -1, false, 40, kBase},
      {"probe left by a crashed launch", 0, true, 0, L"F:"},
  };
  for (const Case& c : cases) {
    SubstMachine fake;
    fake.upAfterPauses = c.upAfterPauses;
    fake.AddIni(kBase + L"\\GamePatch\\Config.ini", L"[action_first]\nsubstFlag=1\n");
    fake.AddFile(kSubst);
    if (c.probeLeftOver) fake.AddFile(kBase + L"\\CheckExist.kestrel");
    LaunchContext context;
    context.baseDir = kBase;
    EXPECT_TRUE(SubstFlag(fake, context));
    EXPECT_EQ(fake.CallsOf(L"WriteFileBytes").size(), c.writes) << c.name;
    EXPECT_EQ(fake.sleptMs(), c.writes * 500) << c.name;
    for (const FakeCall& write : fake.CallsOf(L"WriteFileBytes")) EXPECT_EQ(write.args[0], kProbe);
    EXPECT_EQ(fake.CallsOf(L"DeleteFileW"), (std::vector<FakeCall>{{L"DeleteFileW", {kProbe}}})) << c.name;
    EXPECT_EQ(fake.FileBytes(kProbe), nullptr) << c.name;
    EXPECT_EQ(context.baseDir, c.baseDir) << c.name;
  }
}

TEST_F(SubstFlagTest, DriveThatNeverAnswersKeepsBaseDir) {
  fake_.upAfterPauses = -1;
  EXPECT_TRUE(SubstFlag(fake_, context_));
  EXPECT_EQ(context_.baseDir, kBase);
  EXPECT_EQ(fake_.Logs(),
            std::vector<std::wstring>{L"MSG: subst false, drive not reachable => F:, dir=D:\\Games\\Foo, code=2"});
}

TEST_F(SubstFlagTest, EarlierSubstitutionIsRemovedAndItsLetterReused) {
  fake_.Substituted(L'F', L"D:\\Games\\Old");
  fake_.Substituted(L'H', L"D:\\Games\\Older");
  EXPECT_TRUE(SubstFlag(fake_, context_));
  std::vector<std::wstring> runs = Removals();
  runs.push_back(L"F: \"D:\\Games\\Foo\"");
  EXPECT_EQ(SubstParameters(), runs);
  EXPECT_EQ(fake_.substitutions, (std::map<wchar_t, std::wstring>{{L'F', kBase}}));
  EXPECT_EQ(context_.baseDir, L"F:");
}

TEST_F(SubstFlagTest, NoFreeLetterKeepsBaseDirAndSaysWhy) {
  for (wchar_t c = L'F'; c <= L'Z'; ++c) fake_.AddDirectory(std::wstring{c, L':', L'\\'});
  EXPECT_TRUE(SubstFlag(fake_, context_));
  EXPECT_EQ(SubstParameters(), Removals());  // no mapping run
  EXPECT_TRUE(fake_.CallsOf(L"WriteFileBytes").empty());
  EXPECT_TRUE(fake_.CallsOf(L"DeleteFileW").empty());
  EXPECT_EQ(fake_.sleptMs(), 0u);
  EXPECT_EQ(context_.baseDir, kBase);
  EXPECT_EQ(fake_.Logs(), std::vector<std::wstring>{
                              L"MSG: subst false, no free drive letter from D to Z, dir=D:\\Games\\Foo"});
}

TEST_F(SubstFlagTest, MissingProgramRunsNothingAndKeepsBaseDir) {
  fake_.DeleteFileW(kSubst);
  fake_.ClearRecord();
  EXPECT_TRUE(SubstFlag(fake_, context_));
  EXPECT_EQ(fake_.Effects(), (std::vector<FakeCall>{{L"OutputDebugStringW",
                                                     {L"MSG: subst false, EXE file not Exists => " + kSubst +
                                                      L", code=2"}}}));
  EXPECT_EQ(context_.baseDir, kBase);
}

// A program that will not start is not waited for; nothing gets mapped,
// so the probe runs its course and baseDir stays.
TEST_F(SubstFlagTest, ProgramThatCannotStartCostsOnlyTheProbeWait) {
  fake_.startErrors[kSubst] = win::kAccessDenied;
  EXPECT_TRUE(SubstFlag(fake_, context_));
  EXPECT_EQ(fake_.CallsOf(L"ShellExecuteExW").size(), 25u);
  EXPECT_TRUE(fake_.CallsOf(L"WaitForSingleObject").empty());
  EXPECT_EQ(fake_.sleptMs(), 20000u);
  EXPECT_EQ(context_.baseDir, kBase);
}

TEST_F(SubstFlagTest, HangingProgramIsGivenUpOn) {
  struct Case {
    int hangFromRun;
    std::wstring parameters;  // of the run given up on
  };
  const Case cases[] = {{1, L"C: /D"}, {10, L"L: /D"}, {25, L"F: \"D:\\Games\\Foo\""}};
  for (const Case& c : cases) {
    SubstMachine fake;
    fake.hangFromRun = c.hangFromRun;
    fake.AddIni(kBase + L"\\GamePatch\\Config.ini", L"[action_first]\nsubstFlag=1\n");
    fake.AddFile(kSubst);
    LaunchContext context;
    context.baseDir = kBase;
    EXPECT_TRUE(SubstFlag(fake, context));
    std::vector<FakeCall> waits = fake.CallsOf(L"WaitForSingleObject");
    EXPECT_EQ(waits.size(), static_cast<std::size_t>(c.hangFromRun));
    for (const FakeCall& wait : waits) EXPECT_EQ(wait.args[1], L"10000");
    EXPECT_EQ(fake.CallsOf(L"CloseHandle").size(), waits.size());
    EXPECT_TRUE(fake.CallsOf(L"WriteFileBytes").empty());
    EXPECT_EQ(context.baseDir, kBase);
    EXPECT_EQ(fake.Logs(), std::vector<std::wstring>{L"MSG: subst false, EXE not ended => " + kSubst +
                                                     L", param=" + c.parameters});
  }
}

}  // namespace
}  // namespace kestrel
