#include <gtest/gtest.h>

#include "check/lint/lint_test_support.h"

namespace kestrel::check {
namespace {

using lint_test::LintIni;
using lint_test::Of;

TEST(VersionForm, OnlyTheTextAFileVersionPrintsAsCanMatch) {
  struct Case {
    std::wstring version;
    bool reported;
  };
  const Case cases[] = {
      {L"10.0.40219.1", false}, {L"0.0.0.0", false},       {L"65535.65535.65535.65535", false},
      {L"1.0", true},           {L"10.0.40219.01", true},   {L"1.2.3.65536", true},
      {L"1.2.3.4.5", true},     {L"1.2.3.", true},          {L"1..2.3", true},
      {L"v1.2.3.4", true},      {L"1,2,3,4", true},         {L"", true},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    const std::wstring ini = L"[1]\ncheckType=1\ncheckPath=C:\\x.dll\ncheckVerion=" + c.version + L"\n";
    const std::vector<std::string> found = Of(LintIni(fake, ini), "version-form");
    ASSERT_EQ(found.size(), c.reported ? 1u : 0u) << WideToUtf8(c.version);
    if (c.reported) {
      EXPECT_EQ(found[0].substr(0, 4), "W 4:") << found[0];
    }
  }
}

TEST(VersionForm, OnlyFileVersionEntriesTheLauncherReads) {
  FakePlatform fake;
  // [2] is a registry check (its checkVerion is not used); [4] is past the
  // end of the list, which stops at the missing [3].
  const std::wstring ini =
      L"[1]\ncheckType=1\n[2]\ncheckType=2\ncheckVerion=1.0\n[4]\ncheckType=1\ncheckVerion=1.0\n";
  EXPECT_EQ(Of(LintIni(fake, ini), "version-form"),
            (std::vector<std::string>{"W 1: [1] checkVerion is empty: a file's version reads as four numbers joined "
                                      "by dots, without leading zeros (such as 10.0.40219.1), and is compared as "
                                      "text, so this never matches and the installer runs at every launch"}));
}

}  // namespace
}  // namespace kestrel::check
