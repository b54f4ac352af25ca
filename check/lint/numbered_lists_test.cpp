#include <gtest/gtest.h>

#include "check/lint/lint_test_support.h"

namespace kestrel::check {
namespace {

using lint_test::Has;
using lint_test::LintIni;
using lint_test::Of;

TEST(SectionGap, PrerequisitesAfterTheFirstGapAreNeverRead) {
  struct Case {
    const char* name;
    std::wstring ini;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"1, 2, 3 in order", L"[1]\ncheckType=3\n[2]\ncheckType=1\n[3]\ncheckType=2\n", {}},
      {"3 missing",
       L"[1]\ncheckType=3\n[2]\ncheckType=3\n[4]\ncheckType=3\n[5]\ncheckType=3\n",
       {"E 5: section [4] is never read: the prerequisite list ends at [3] (there is no section [3]); 1 more "
        "sections after it are not read either"}},
      {"a bad checkType ends the list, itself included",
       L"[1]\ncheckType=7\n[2]\ncheckType=1\n",
       {"E 1: section [1] ends the prerequisite list: its checkType is 7, not 1, 2 or 3, so it and every later "
        "section are never read",
        "E 3: section [2] is never read: the prerequisite list ends at [1] (its checkType is 7, not 1, 2 or 3)"}},
      {"a leading zero",
       L"[1]\ncheckType=1\n[02]\ncheckType=1\n",
       {"E 3: section [02] is never read: its number has a leading zero, and the launcher asks for [1], [2], ..."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    EXPECT_EQ(Of(LintIni(fake, c.ini), "section-gap"), c.expected);
  }
}

TEST(SectionGap, OnlyTwentyNinePrerequisitesAreRead) {
  std::wstring ini;
  for (int n = 1; n <= 30; ++n) ini += L"[" + std::to_wstring(n) + L"]\ncheckType=3\n";
  FakePlatform fake;
  EXPECT_EQ(Of(LintIni(fake, ini), "section-gap"),
            (std::vector<std::string>{
                "E 59: section [30] is never read: the launcher reads no prerequisite section after [29]"}));
}

TEST(SectionGap, PlatformSections) {
  const std::wstring head = L"[set_platform]\nPlatformConfigFile=[GAMEDIR]\\p.ini\n";
  FakePlatform whole, gap, unnamed;
  EXPECT_EQ(Of(LintIni(whole, head + L"[platform_Game1]\nAppName=A\n[PLATFORM_GAME2]\nk=v\n"), "section-gap"),
            std::vector<std::string>{});
  EXPECT_TRUE(
      Has(LintIni(gap, head + L"[platform_Game1]\nk=v\n[platform_Game2]\n;only a note\n[platform_Game3]\nk=v\n"),
          "section-gap", 7, "the platform list ends at [platform_Game2] ([platform_Game2] is empty)"));
  // Without a target file none of them is read.
  EXPECT_EQ(Of(LintIni(unnamed, L"[platform_Game1]\nk=v\n"), "section-gap"),
            (std::vector<std::string>{"W 1: the platform_Game sections are never read: [set_platform] has no "
                                      "PlatformConfigFile naming the file they go to"}));
}

TEST(ButtonGap, KeysBeyondTheCountAndButtonsWithoutKeys) {
  struct Case {
    const char* name;
    std::wstring ini;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"all read", L"[dlg_config]\nbtnCount=2\nbtn1Caption=a\nBTN2exe=b.exe\n", {}},
      {"beyond the count",
       L"[dlg_config]\nbtnCount=1\nbtn1Caption=a\nbtn2Caption=b\nbtn2Exe=b.exe\n",
       {"E 4: the keys of button 2 (first btn2Caption) are never read: btnCount is 1, so the launcher reads buttons "
        "1 to 1"}},
      {"no count",
       L"[dlg_config]\nbtn1Caption=a\n",
       {"E 2: the keys of button 1 (first btn1Caption) are never read: btnCount is 0, so the chooser is not shown "
        "and no button key is read"}},
      {"a hole",
       L"[dlg_config]\nbtnCount=3\nbtn1Caption=a\nbtn3Caption=c\n",
       {"E 2: button 2 has no btn2... keys: the chooser shows it with no label and no program"}},
      {"a leading zero",
       L"[dlg_config]\nbtnCount=1\nbtn1Caption=a\nbtn01Exe=a.exe\n",
       {"E 4: the keys of button 01 (first btn01Exe) are never read: the launcher asks for btn1..., btn2..., without "
        "leading zeros"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    EXPECT_EQ(Of(LintIni(fake, c.ini), "button-gap"), c.expected);
  }
}

TEST(Lint, NoConfigNoFindingsAndAnUnreadableOneIsAnError) {
  FakePlatform fake;
  LaunchContext context;
  context.baseDir = lint_test::kBase;
  EXPECT_TRUE(Lint(fake, context).empty());
  fake.AddDirectory(lint_test::kConfig);  // a folder where the file should be
  const Findings findings = Lint(fake, context);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].rule, "config-unreadable");
  EXPECT_EQ(findings[0].file, lint_test::kConfig);
}

}  // namespace
}  // namespace kestrel::check
