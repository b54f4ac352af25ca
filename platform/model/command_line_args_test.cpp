#include "platform/model/command_line_args.h"

#include <gtest/gtest.h>

#include "util/utf.h"

namespace kestrel {
namespace {

// The C runtime's documented examples of argument parsing, and a few of
// the launcher's own parameter strings.
TEST(SplitCommandLineArgs, FollowsTheCRuntimeRules) {
  struct Case {
    std::wstring line;
    std::vector<std::wstring> args;
  };
  const Case cases[] = {
      {LR"("abc" d e)", {L"abc", L"d", L"e"}},
      {LR"(a\\b d"e f"g h)", {LR"(a\\b)", L"de fg", L"h"}},
      {LR"(a\\\"b c d)", {LR"(a\"b)", L"c", L"d"}},
      {LR"(a\\\\"b c" d e)", {LR"(a\\b c)", L"d", L"e"}},
      {LR"(a"b"" c d)", {LR"(ab" c d)"}},
      {L"-window", {L"-window"}},
      {L"  -w  \t /s  ", {L"-w", L"/s"}},
      {LR"(/s "D:\My Game\GamePatch\x.reg")", {L"/s", LR"(D:\My Game\GamePatch\x.reg)"}},
      {LR"("" x)", {L"", L"x"}},
      {LR"("unbalanced)", {L"unbalanced"}},
      {LR"(trailing\)", {LR"(trailing\)"}},
      {L"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLineArgs(c.line), c.args) << WideToUtf8(c.line);
}

TEST(JoinCommandLine, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(JoinCommandLine({L"/opt/KestrelEx", L"D:\\My Games\\Foo|game.exe|-w", L"", L"x"}),
            L"/opt/KestrelEx \"D:\\My Games\\Foo|game.exe|-w\" \"\" x");
}

}  // namespace
}  // namespace kestrel
