#include <gtest/gtest.h>

#include "check/lint/lint_test_support.h"

namespace kestrel::check {
namespace {

using lint_test::Has;
using lint_test::LintIni;
using lint_test::Of;

TEST(ValueCut, TextValuesOver259Characters) {
  const std::wstring fits(259, L'a'), over = std::wstring(255, L'a') + L"\\b.exe";
  FakePlatform fake;
  const Findings findings = LintIni(fake, L"[action_first]\nregDlls=" + fits + L"\nrunFirstExe=" + over +
                                              L"\nrunFirstParam=\"" + fits + L"\"\nsetBits=" + over + L"\n");
  // 261 characters: the reader keeps 259 of them.  In quotes, 259 lose one
  // more: the reader drops the last character it copied as the closing quote.
  EXPECT_EQ(Of(findings, "value-cut"),
            (std::vector<std::string>{"E 3: the value of runFirstExe is 261 characters long; the launcher reads only "
                                      "the first 259, ending \"aaaaaaaaaaaaaaaa\\b.e\"",
                                      "E 4: the value of runFirstParam is 259 characters long; the launcher reads "
                                      "only the first 258, ending \"aaaaaaaaaaaaaaaaaaaa\""}));
}

TEST(ValueCut, AZeroEndsTheValue) {
  FakePlatform fake;
  const Findings findings =
      LintIni(fake, std::wstring(L"[action_first]\nregDlls=a.dll\0|b.dll\nsetBits=16\n[game_base]\nparam=-w\n", 68));
  EXPECT_EQ(Of(findings, "value-cut"),
            (std::vector<std::string>{
                "E 2: the value of regDlls holds a zero character: the launcher reads only \"a.dll\", the text before "
                "it"}));
}

TEST(ValueCut, PlatformLinesAndSections) {
  const std::wstring head = L"[set_platform]\nPlatformConfigFile=[GAMEDIR]\\p.ini\n[platform_Game1]\nAppName=A\n";
  FakePlatform fine, equals, longLine, longSection;
  EXPECT_TRUE(Of(LintIni(fine, head + L"Exe=[12345]\\a.exe\n"), "value-cut").empty());
  EXPECT_TRUE(Has(LintIni(equals, head + L"Args=-a=1\n"), "value-cut", 5,
                  "the value of Args holds a second \"=\": the launcher takes only \"-a\""));
  EXPECT_TRUE(Has(LintIni(longLine, head + L"Path=" + std::wstring(260, L'p') + L"\n"), "value-cut", 5,
                  "the line of Path is passed over"));
  std::wstring lines;
  for (int i = 0; i < 12; ++i) lines += L"Key" + std::to_wstring(i) + L"=" + std::wstring(90, L'v') + L"\n";
  // Each line takes 96 characters of the 1,024: the eleventh does not fit.
  EXPECT_TRUE(Has(LintIni(longSection, head + lines), "value-cut", 15,
                  "[platform_Game1] is longer than the 1024 characters the launcher reads of it"));
}

}  // namespace
}  // namespace kestrel::check
