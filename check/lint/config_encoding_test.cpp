#include <gtest/gtest.h>

#include "check/lint/lint.h"
#include "check/lint/lint_test_support.h"
#include "text/utf.h"

namespace kestrel::check {
namespace {

using lint_test::Of;

TEST(ConfigEncoding, WhatWindowsReadsOtherwise) {
  const std::wstring ini = L"[game_base]\r\nmainExe=game.exe\r\nparam=-名\r\n";
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"UTF-16LE", "\xFF\xFE" + WideToUtf16Le(ini), {}},
      {"ANSI", "[game_base]\r\nmainExe=\xD3\xCE.exe\r\n", {}},
      {"ASCII UTF-8", "[game_base]\r\nmainExe=game.exe\r\n", {}},
      {"UTF-8 in notes only", "; \xE6\xB8\xB8\xE6\x88\x8F\r\n[game_base]\r\nmainExe=game.exe\r\n", {}},
      {"UTF-8",
       WideToUtf8(ini),
       {"E 3: Config.ini is UTF-8, but Windows reads it in the ANSI code page: this line reads there as "
        "\"param=-\xC3\xA5\xC2\x90\xC2\x8D\" (the Linux build reads UTF-8); save it as UTF-16LE"}},
      {"UTF-8 mark before a section",
       "\xEF\xBB\xBF[game_base]\r\nmainExe=game.exe\r\n",
       {"E 1: Config.ini begins with a UTF-8 byte-order mark, which Windows reads as text: the first section, "
        "[game_base], is not found there and none of its keys is read (the Linux build reads it); save it without "
        "the mark, or as UTF-16LE"}},
      {"UTF-8 mark before a blank line",
       "\xEF\xBB\xBF\r\n[game_base]\r\nmainExe=game.exe\r\n",
       {"W 1: Config.ini begins with a UTF-8 byte-order mark, which Windows reads as text; harmless while the first "
        "line is no section header"}},
      {"UTF-16BE",
       "\xFE\xFF" + std::string("\0[", 2),
       {"E 1: Config.ini is UTF-16 big-endian: Windows reads it as "
        "ANSI text and finds none of its sections (save it as "
        "UTF-16LE, \"Unicode\")"}},
      {"UTF-16LE without mark",
       WideToUtf16Le(ini),
       {"E 1: Config.ini looks like UTF-16 without a byte-order mark: the launcher reads it as ANSI text and finds "
        "none of its sections"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;  // its ANSI code page is Latin-1
    fake.AddFile(lint_test::kConfig, c.bytes);
    LaunchContext context;
    context.baseDir = lint_test::kBase;
    EXPECT_EQ(Of(Lint(fake, context), "config-encoding"), c.expected);
  }
}

}  // namespace
}  // namespace kestrel::check
