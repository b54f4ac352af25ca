#include "platform/model/profile_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "text/utf.h"

namespace kestrel {
namespace {

const wchar_t kIni[] =
    L"orphan=before any section\r\n"
    L"[game_base]\r\n"
    L"  mainExe  =  game.exe  \r\n"
    L"param=\"-window -fullscreen\"\r\n"
    L"quoted='x'\n"
    L"lone=\"\n"
    L"mixed=\"a'\n"
    L"empty=\n"
    L"novalue\n"
    L";comment=1\n"
    L"mainExe=second.exe\n"
    L"url=http://x/?a=b\n"
    L"[ spaced ]\n"
    L"k=v\n"
    L"[GAME_BASE]\n"
    L"onlyInSecond=1\n"
    L"[dlg_config]\n"
    L"btnCount=2\n"
    L"[broken\n"
    L"after=broken header\n";

TEST(ProfileText, ReadsLikeWindows) {
  ProfileText text(kIni);
  struct Case {
    const wchar_t* section;
    const wchar_t* key;
    std::wstring expected;
  };
  const Case cases[] = {
      {L"game_base", L"mainExe", L"game.exe"},  // trimmed, first key wins
      {L"GAME_BASE", L"MAINEXE", L"game.exe"},  // case folded
      {L" game_base ", L" mainExe ", L"game.exe"},
      {L"game_base", L"param", L"-window -fullscreen"},
      {L"game_base", L"quoted", L"x"},
      {L"game_base", L"lone", L"\""},
      {L"game_base", L"mixed", L"\"a'"},
      {L"game_base", L"empty", L""},
      {L"game_base", L"novalue", L"default"},
      {L"game_base", L";comment", L"1"},
      {L"game_base", L"url", L"http://x/?a=b"},
      {L"game_base", L"onlyInSecond", L"default"},  // only the first section of a name counts
      {L" spaced ", L"k", L"v"},
      {L"spaced", L"k", L"v"},  // the asked-for name is trimmed too
      {L"dlg_config", L"after", L"broken header"},
      {L"missing", L"k", L"default"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ProfileGetString(&text, c.section, c.key, L"default", 260), c.expected)
        << WideToUtf8(c.section) << "/" << WideToUtf8(c.key);
}

TEST(ProfileText, CutsValuesToTheBuffer) {
  std::wstring longValue(300, L'v');
  ProfileText text(L"[s]\nk=" + longValue + L"\nq=\"" + std::wstring(258, L'q') + L"\"\n");
  EXPECT_EQ(ProfileGetString(&text, L"s", L"k", L"", 260), std::wstring(259, L'v'));
  EXPECT_EQ(ProfileGetString(&text, L"s", L"k", L"", 4), L"vvv");
  EXPECT_EQ(ProfileGetString(&text, L"s", L"q", L"", 260), std::wstring(258, L'q'));
  EXPECT_EQ(ProfileGetString(&text, L"s", L"q", L"", 100), std::wstring(99, L'q'));
  // Windows' own quirk, as Wine shows it: a quoted "abcdef" read into 7
  // characters drops the closing quote's place twice.
  ProfileText quoted(L"[n]\nlong=\"abcdef\"\n");
  EXPECT_EQ(ProfileGetString(&quoted, L"n", L"long", L"", 6), L"abcde");
  EXPECT_EQ(ProfileGetString(&quoted, L"n", L"long", L"", 7), L"abcde");
  EXPECT_EQ(ProfileGetString(&quoted, L"n", L"long", L"", 8), L"abcdef");
  EXPECT_EQ(ProfileGetString(nullptr, L"s", L"k", L"def  ", 260), L"def");
}

// A zero inside a line ends the name or value it falls in, as Windows'
// profile API ends it; the line itself still ends at its line break.
TEST(ProfileText, ZeroEndsNamesAndValues) {
  std::wstring file = L"[game_base]\n"
                     L"delFileOrDirs=|x\n"
                     L"mainExe=game.exe|..\\..\\evil.exe\n"
                     L"ke|y=1\n"
                     L"[act|ion]\n"
                     L"k=in section with zero\n";
  std::replace(file.begin(), file.end(), L'|', L'\0');
  ProfileText text(file);
  const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> cases[] = {
      {L"game_base", L"delFileOrDirs", L""},
      {L"game_base", L"mainExe", L"game.exe"},
      {L"game_base", L"ke", L"1"},
      {L"act", L"k", L"in section with zero"},
  };
  for (const auto& [section, key, expected] : cases)
    EXPECT_EQ(ProfileGetString(&text, section, key, L"default", 260), expected) << WideToUtf8(key);
  std::wstring buffer;
  ProfileGetSection(&text, L"game_base", 260, buffer);
  EXPECT_EQ(buffer, std::wstring(L"delFileOrDirs=\0mainExe=game.exe\0ke=1\0\0", 38));
}

TEST(ProfileText, IntegersLikeWindows) {
  ProfileText text(
      L"[n]\na=42abc\nb= -7\nc=0x10\nd=abc\ne=\nf=+3\ng=4294967295\nh=99999999999\ni=0X10\n");
  const std::pair<const wchar_t*, int> cases[] = {
      {L"a", 42}, {L"b", -7}, {L"c", 16}, {L"d", 0}, {L"e", 5}, {L"f", 3},
      {L"g", -1}, {L"i", 0}, {L"missing", 5},
  };
  for (const auto& [key, value] : cases) EXPECT_EQ(ProfileGetInt(&text, L"n", key, 5), value) << WideToUtf8(key);
  ProfileGetInt(&text, L"n", L"h", 0);  // wraps like a 32-bit number, never traps
}

TEST(ProfileText, DecodesEveryEncoding) {
  auto ansi = [](std::string_view b) { return L"ansi:" + std::wstring(b.begin(), b.end()); };
  const std::wstring expected = L"[s]\nk=游戏";
  EXPECT_EQ(DecodeTextFile("\xFF\xFE" + WideToUtf16Le(expected), ansi), expected);
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF" + WideToUtf8(expected), ansi), expected);
  EXPECT_EQ(DecodeTextFile(WideToUtf8(expected), ansi), expected);
  std::string be = WideToUtf16Le(expected);
  for (std::size_t i = 0; i + 1 < be.size(); i += 2) std::swap(be[i], be[i + 1]);
  EXPECT_EQ(DecodeTextFile("\xFE\xFF" + be, ansi), expected);
  EXPECT_EQ(DecodeTextFile("k=\xD3\xCE", ansi).substr(0, 5), L"ansi:");
}

TEST(ProfileText, SurvivesGarbage) {
  std::string garbage;
  for (int i = 0; i < 100000; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
  ProfileText text(DecodeTextFile(garbage, [](std::string_view b) { return std::wstring(b.begin(), b.end()); }));
  EXPECT_EQ(ProfileGetString(&text, L"game_base", L"mainExe", L"none", 260), L"none");
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

// Results as Wine gives them for the same file and buffer sizes.
TEST(ProfileText, SectionsAreCutLikeWine) {
  ProfileText text(L"[s]\r\n;c=1\r\nk= \"v\" \r\nnovalue\r\n\r\nx=123456789\r\n[t]\r\n");
  struct Case {
    std::uint32_t size, result;
    std::wstring buffer;
  };
  const Case cases[] = {
      {2, 0, std::wstring(L"\0\0", 2)},
      {3, 1, std::wstring(L"k\0\0", 3)},
      {4, 2, std::wstring(L"k=\0\0", 4)},
      {7, 5, std::wstring(L"k=\"v\"\0\0", 7)},
      {8, 6, std::wstring(L"k=\"v\"\0\0", 7)},
      {9, 7, std::wstring(L"k=\"v\"\0n\0\0", 9)},
      {24, 22, std::wstring(L"k=\"v\"\0novalue\0x=123456\0\0", 24)},
      {100, 26, std::wstring(L"k=\"v\"\0novalue\0x=123456789\0\0", 27)},
  };
  for (const Case& c : cases) {
    std::wstring buffer;
    EXPECT_EQ(ProfileGetSection(&text, L"S", c.size, buffer), c.result) << c.size;
    EXPECT_EQ(buffer, c.buffer) << c.size;
  }
  std::wstring buffer;
  EXPECT_EQ(ProfileGetSection(&text, L"t", 100, buffer), 0u);
  EXPECT_EQ(ProfileGetSection(&text, L"none", 100, buffer), 0u);
  EXPECT_EQ(buffer, std::wstring(L"\0\0", 2));
  EXPECT_EQ(ProfileGetSection(nullptr, L"s", 100, buffer), 0u);
}

}  // namespace
}  // namespace kestrel
