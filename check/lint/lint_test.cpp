#include "check/lint/lint.h"

#include <gtest/gtest.h>

#include "check/lint/lint_test_support.h"

namespace kestrel::check {
namespace {

using lint_test::LintIni;

// Files no operator writes on purpose: whatever the linter says of them
// points at a line of the file (or at the file as a whole).
TEST(Lint, HostileFilesGiveFindingsOnTheirOwnLines) {
  const std::wstring cases[] = {
      std::wstring(L"a=1\n[]\nb=2\n[]\nc=3\n"),
      std::wstring(L"[1\0x]\ncheckType=1\n[2]\n[\n]\n=\n==\n", 30),
      std::wstring(L"[dlg_config]\nbtnCount=-5\nbtn0Exe=\0\nbtn99999999999Ver=x\n", 56),
      std::wstring(L"\r\r\n\n[game_base]\rmainExe\r[platform_Game1]\r=\r[platform_Game1]\rAppName=\r"),
      std::wstring(L"[action_first]\ndelFileOrDirs=|||..|.\\.|\\\\server\\share|C:\\\n"),
      std::wstring(L"[dlg_config]\nbtnCount=0x7fffffff\n[1]\ncheckType=2\ninstFile=") + std::wstring(300, L'x'),
  };
  for (const std::wstring& ini : cases) {
    SCOPED_TRACE(testing::PrintToString(WideToUtf8(ini)));
    int lines = ini.ends_with(L'\n') || ini.ends_with(L'\r') ? 0 : 1;
    for (std::size_t i = 0; i < ini.size(); ++i)
      if (ini[i] == L'\n' || (ini[i] == L'\r' && (i + 1 == ini.size() || ini[i + 1] != L'\n'))) ++lines;
    FakePlatform fake;
    for (const Finding& f : LintIni(fake, ini)) {
      EXPECT_GE(f.line, 0) << f.rule << ": " << f.message;
      EXPECT_LE(f.line, lines) << f.rule << ": " << f.message;
      EXPECT_FALSE(f.message.empty());
    }
  }
}

}  // namespace
}  // namespace kestrel::check
