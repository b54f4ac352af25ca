#include <gtest/gtest.h>

#include "check/lint/lint_test_support.h"

namespace kestrel::check {
namespace {

using lint_test::LintIni;
using lint_test::Of;

TEST(UnknownKey, TyposGetTheNearestKeyAndCaseIsNoTypo) {
  FakePlatform fake;
  const Findings findings = LintIni(fake,
                                    L"[game_base]\nmainexe=game.exe\nmianExe=x.exe\nPARAM=-w\nmyNote=1\n;x=1\n"
                                    L"[dlg_config]\nbtnCount=1\nbtn1Captoin=One\n[1]\ncheckType=3\ninstFiel=a.exe\n"
                                    L"[mine]\nk=v\n");
  EXPECT_EQ(
      Of(findings, "unknown-key"),
      (std::vector<std::string>{"W 3: mianExe in [game_base] is read by no action; did you mean mainExe?",
                                "W 5: myNote in [game_base] is read by no action",
                                "W 9: btn1Captoin in [dlg_config] is read by no action; did you mean btn1Caption?",
                                "W 12: instFiel in [1] is read by no action; did you mean instFile?"}));
  EXPECT_TRUE(Of(findings, "unknown-section").empty());  // [mine] is near no known section
}

TEST(UnknownSection, MisspeltSectionsAndRepeats) {
  FakePlatform fake;
  const Findings findings =
      LintIni(fake,
              L"stray=1\n[action_frist]\nregDlls=a.dll\n[game_base]\nmainExe=a.exe\nmainExe=b.exe\n"
              L"[GAME_BASE]\nparam=-w\n");
  EXPECT_EQ(Of(findings, "unknown-section"),
            (std::vector<std::string>{"W 1: the lines before the first section header are read by no action",
                                      "W 2: [action_frist] is read by no action; did you mean [action_first]?"}));
  EXPECT_EQ(Of(findings, "duplicate-key"),
            (std::vector<std::string>{
                "W 6: mainExe appears again in [game_base]: the launcher reads only the first, on line 5"}));
  EXPECT_EQ(Of(findings, "duplicate-section"),
            (std::vector<std::string>{"W 7: [GAME_BASE] appears again: the launcher reads only the first, on line 4, "
                                      "so the keys here are never read"}));
}

TEST(UnknownSection, AnEmptySectionNameIsTheLinesBeforeTheFirstHeader) {
  FakePlatform fake;
  EXPECT_EQ(Of(LintIni(fake, L"a=1\n[x]\n[]\nb=2\n"), "duplicate-section"),
            (std::vector<std::string>{"W 3: [] appears again: the launcher reads only the first, on line 1, so the "
                                      "keys here are never read"}));
}

TEST(UnknownKey, AMisspeltAppNameAndLinesCountedAsEditorsCountThem) {
  FakePlatform fake;
  // A lone CR ends a line as CRLF and LF do; a zero inside a value ends the
  // value but not the line.
  const Findings findings = LintIni(fake, std::wstring(L"[game_base]\r\nparam=a\0b=c\rmianExe=x\n\n[platform_Game1]\n"
                                                       L"AppNmae=A\nAppName=B\nApp=1\n",
                                                       79));
  EXPECT_EQ(Of(findings, "unknown-key"),
            (std::vector<std::string>{"W 3: mianExe in [game_base] is read by no action; did you mean mainExe?",
                                      "W 6: AppNmae in [platform_Game1] is written to the platform file as a key of "
                                      "its own; did you mean AppName?"}));
}

}  // namespace
}  // namespace kestrel::check
