#include <gtest/gtest.h>

#include "check/lint/lint_test_support.h"

namespace kestrel::check {
namespace {

using lint_test::LintIni;
using lint_test::Of;

TEST(TooManyButtons, OnlyTwentyAct) {
  FakePlatform twenty, many, huge;
  EXPECT_TRUE(Of(LintIni(twenty, L"[dlg_config]\nbtnCount=20\n"), "too-many-buttons").empty());
  EXPECT_EQ(
      Of(LintIni(many, L"[dlg_config]\nbtnCount=21\n"), "too-many-buttons"),
      (std::vector<std::string>{"E 2: btnCount is 21: only buttons 1 to 20 act when clicked; buttons 21 to 21 are "
                                "shown but do nothing"}));
  EXPECT_EQ(Of(LintIni(huge, L"[dlg_config]\n\nbtnCount=0x7fffffff\n"), "too-many-buttons"),
            (std::vector<std::string>{"E 3: btnCount is 2147483647: only buttons 1 to 20 act when clicked; buttons 21 "
                                      "to 253 are shown but do nothing, and no more than 253 buttons are made"}));
}

}  // namespace
}  // namespace kestrel::check
