#include "platform/model/command_line_args.h"

#include <gtest/gtest.h>

#include "text/utf.h"

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

// CreateProcessW's documented example: an unquoted name with blanks is
// tried at each blank in turn.
TEST(ProgramCandidates, TriesEachBlankAndHonoursQuotes) {
  using C = ProgramCandidate;
  EXPECT_EQ(ProgramCandidates(LR"(c:\program files\sub dir\program name)"),
            (std::vector<C>{{LR"(c:\program)", LR"(files\sub dir\program name)"},
                            {LR"(c:\program files\sub)", LR"(dir\program name)"},
                            {LR"(c:\program files\sub dir\program)", L"name"},
                            {LR"(c:\program files\sub dir\program name)", L""}}));
  EXPECT_EQ(ProgramCandidates(LR"(  "C:\My Game\setup.exe"   /q "x y")"),
            (std::vector<C>{{LR"(C:\My Game\setup.exe)", LR"(/q "x y")"}}));
  EXPECT_EQ(ProgramCandidates(LR"(wscript "D:\g\GamePatch\run.vbs")"),
            (std::vector<C>{{L"wscript", LR"("D:\g\GamePatch\run.vbs")"},
                            {LR"(wscript "D:\g\GamePatch\run.vbs")", L""}}));
  // An opening quote without its closing one runs to the end.
  EXPECT_EQ(ProgramCandidates(LR"("C:\a b\game.exe -x)"), (std::vector<C>{{LR"(C:\a b\game.exe -x)", L""}}));
  EXPECT_EQ(ProgramCandidates(L"setup.exe "), (std::vector<C>{{L"setup.exe", L""}}));
  EXPECT_TRUE(ProgramCandidates(L" \t ").empty());
}

TEST(QuoteCommandLineArg, SplitsBackToTheSameArgument) {
  const std::wstring args[] = {L"plain", L"", L"a b", LR"(a"b)", LR"(C:\dir\)", LR"(C:\my dir\)", LR"(\\"x\)",
                               L"\t", LR"(""")", LR"(a\\b c)"};
  for (const std::wstring& a : args) {
    std::wstring line = L"x " + QuoteCommandLineArg(a) + L" y";
    EXPECT_EQ(SplitCommandLineArgs(line), (std::vector<std::wstring>{L"x", a, L"y"})) << WideToUtf8(line);
  }
  EXPECT_EQ(QuoteCommandLineArg(L"-window"), L"-window");
  EXPECT_EQ(QuoteCommandLineArg(LR"(C:\my dir\)"), LR"("C:\my dir\\")");
}

TEST(JoinCommandLine, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(JoinCommandLine({L"/opt/KestrelEx", L"D:\\My Games\\Foo|game.exe|-w", L"", L"x"}),
            L"/opt/KestrelEx \"D:\\My Games\\Foo|game.exe|-w\" \"\" x");
}

}  // namespace
}  // namespace kestrel
