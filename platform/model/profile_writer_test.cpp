#include "platform/model/profile_writer.h"

#include <gtest/gtest.h>

#include "platform/model/profile_text.h"
#include "text/utf.h"

namespace kestrel {
namespace {

// A two-byte stand-in for an ANSI code page: "游" is 0xD3 0xCE, "戏" is
// 0xCF 0xB7, other characters above ASCII do not exist ("?").
AnsiCodec FakeGbk() {
  return AnsiCodec{
      [](std::string_view b) {
        std::wstring out;
        for (std::size_t i = 0; i < b.size(); ++i) {
          if (b.substr(i, 2) == "\xD3\xCE") out += L'游', ++i;
          else if (b.substr(i, 2) == "\xCF\xB7") out += L'戏', ++i;
          else if (static_cast<unsigned char>(b[i]) >= 0x80) out += L'\uFFFD';
          else out += static_cast<wchar_t>(b[i]);
        }
        return out;
      },
      [](std::wstring_view t) {
        std::string out;
        for (wchar_t c : t) {
          if (c == L'游') out += "\xD3\xCE";
          else if (c == L'戏') out += "\xCF\xB7";
          else out += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return out;
      }};
}

std::string Write(std::string_view bytes, const wchar_t* section, std::optional<std::wstring> key,
                  std::optional<std::wstring> value) {
  return ProfileWrite(bytes, section, key, value, FakeGbk()).value_or("(refused)");
}

TEST(ProfileWriter, ChangesOneKeyAndKeepsEveryOtherByte) {
  const std::string file =
      "; operator's note\r\n[game_base]\r\n  mainExe = old.exe  ; not a comment\r\nparam=-x\r\n\r\n"
      "[Other]\r\nmainExe=keep\r\n";
  struct Case {
    const char* what;
    const wchar_t* section;
    std::optional<std::wstring> key, value;
    std::string expected;
  };
  const Case cases[] = {
      {"replace, spacing before the value kept", L"GAME_BASE", L"MAINEXE", L"new.exe",
       "; operator's note\r\n[game_base]\r\n  mainExe = new.exe\r\nparam=-x\r\n\r\n[Other]\r\nmainExe=keep\r\n"},
      {"new key after the section's last line", L"game_base", L"currntVer", L"2",
       "; operator's note\r\n[game_base]\r\n  mainExe = old.exe  ; not a comment\r\nparam=-x\r\ncurrntVer=2\r\n\r\n"
       "[Other]\r\nmainExe=keep\r\n"},
      {"new section at the end", L"new", L"k", L"v", file + "[new]\r\nk=v\r\n"},
      {"remove a key", L"game_base", L"param", std::nullopt,
       "; operator's note\r\n[game_base]\r\n  mainExe = old.exe  ; not a comment\r\n\r\n[Other]\r\nmainExe=keep\r\n"},
      {"remove a section", L"game_base", std::nullopt, std::nullopt,
       "; operator's note\r\n[Other]\r\nmainExe=keep\r\n"},
      {"remove what is not there", L"none", L"k", std::nullopt, file},
      {"empty value", L"Other", L"mainExe", L"", file.substr(0, file.size() - 6) + "\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Write(file, c.section, c.key, c.value), c.expected) << c.what;
}

TEST(ProfileWriter, TakesTheFilesEncodingAndLineEnds) {
  struct Case {
    const char* what;
    std::string before, after;
  };
  const std::wstring text = L"[s]\nk=游\n";
  const std::wstring changed = L"[s]\nk=游戏\n";
  std::string be = WideToUtf16Le(text), beChanged = WideToUtf16Le(changed);
  for (std::size_t i = 0; i + 1 < be.size(); i += 2) std::swap(be[i], be[i + 1]);
  for (std::size_t i = 0; i + 1 < beChanged.size(); i += 2) std::swap(beChanged[i], beChanged[i + 1]);
  const Case cases[] = {
      {"utf16le", "\xFF\xFE" + WideToUtf16Le(text), "\xFF\xFE" + WideToUtf16Le(changed)},
      {"utf16be", "\xFE\xFF" + be, "\xFE\xFF" + beChanged},
      {"utf8 bom", "\xEF\xBB\xBF" + WideToUtf8(text), "\xEF\xBB\xBF" + WideToUtf8(changed)},
      {"utf8", WideToUtf8(text), WideToUtf8(changed)},
      {"ansi", "[s]\nk=\xD3\xCE\n", "[s]\nk=\xD3\xCE\xCF\xB7\n"},
      {"ascii takes ansi", "[s]\nk=x\n", "[s]\nk=\xD3\xCE\xCF\xB7\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Write(c.before, L"s", L"k", L"游戏"), c.after) << c.what;
  // Text the ANSI code page lacks makes a plain-ASCII file UTF-8 rather than
  // turning into "?".
  EXPECT_EQ(Write("[s]\nk=x\n", L"s", L"k", L"é"), "[s]\nk=\xC3\xA9\n");
  // An ANSI file stays ANSI, like on Windows.
  EXPECT_EQ(Write("[s]\nk=\xD3\xCE\n", L"s", L"k", L"é"), "[s]\nk=?\n");
  // Line ends follow the file's first one; a file without a last line end
  // gets one before new text.
  EXPECT_EQ(Write("[s]\nk=1", L"s", L"n", L"2"), "[s]\nk=1\nn=2\n");
  EXPECT_EQ(Write("[s]\rk=1", L"t", L"n", L"2"), "[s]\rk=1\r[t]\rn=2\r");
  EXPECT_EQ(Write("", L"s", L"k", L"v"), "[s]\r\nk=v\r\n");
  EXPECT_EQ(Write("[s]\r\nnovalue  \r\n", L"s", L"novalue", L"v"), "[s]\r\nnovalue=v\r\n");
}

TEST(ProfileWriter, RefusesLineBreaksThatWouldAddKeys) {
  EXPECT_FALSE(ProfileWrite("", L"s", std::wstring(L"k"), std::wstring(L"x\r\n[game_base]\r\nmainExe=evil"), FakeGbk()));
  EXPECT_FALSE(ProfileWrite("", L"s\n", std::wstring(L"k"), std::wstring(L"v"), FakeGbk()));
  EXPECT_FALSE(ProfileWrite("", L"s", std::wstring(L"k\0", 2), std::wstring(L"v"), FakeGbk()));
  // "==1" reads as key "" and "[x]=1" as a section: both would change other keys.
  EXPECT_FALSE(ProfileWrite("[s]\n=old\n", L"s", std::wstring(L"="), std::wstring(L"1"), FakeGbk()));
  EXPECT_FALSE(ProfileWrite("", L"s", std::wstring(L" [x]"), std::wstring(L"1"), FakeGbk()));
}

// A UTF-16 file whose last byte is odd (a cut copy): a new section goes
// before that byte, so that it reads back and the byte is kept.
TEST(ProfileWriter, NewSectionOfAnOddUtf16FileStaysAligned) {
  const std::string file = "\xFF\xFE" + WideToUtf16Le(L"[a]\r\nx=1\r\n") + "e";
  std::string out = Write(file, L"b", std::wstring(L"k"), std::wstring(L"v"));
  EXPECT_EQ(out, "\xFF\xFE" + WideToUtf16Le(L"[a]\r\nx=1\r\n[b]\r\nk=v\r\n") + "e");
}

// A header after a vertical tab or form feed is a header to the reader, so
// it is one to the writer too (found by the fuzz target).
TEST(ProfileWriter, HeadersAfterAnyBlankAreFound) {
  EXPECT_EQ(Write("\v\f[b]\nx=1\n", L"b", std::wstring(L"y"), std::wstring(L"3")), "\v\f[b]\nx=1\ny=3\n");
}

// The writer finds the key the reader finds: names end at a zero there too.
TEST(ProfileWriter, NamesEndAtAZeroAsTheReaderReadsThem) {
  const std::string file("[game_base]\nmain\0Exe=old.exe\n[act\0x]\nk=1\n", 41);
  EXPECT_EQ(Write(file, L"game_base", std::wstring(L"main"), std::wstring(L"new.exe")),
            std::string("[game_base]\nmain\0Exe=new.exe\n[act\0x]\nk=1\n", 41));  // the name as written stays
  EXPECT_EQ(Write(file, L"act", std::wstring(L"k"), std::wstring(L"2")),
            std::string("[game_base]\nmain\0Exe=old.exe\n[act\0x]\nk=2\n", 41));
}

TEST(ProfileWriter, WhatIsWrittenReadsBack) {
  std::string file = "[a]\nx=1\n[b]\ny=2\n";
  for (int i = 0; i < 50; ++i) {
    std::wstring section = i % 3 ? L"a" : L"c" + std::to_wstring(i % 7);
    std::wstring key = L"k" + std::to_wstring(i % 5), value = L"v" + std::to_wstring(i);
    file = Write(file, section.c_str(), key, value);
    ProfileText text(DecodeTextFile(file, FakeGbk().toWide));
    EXPECT_EQ(ProfileGetString(&text, section, key, L"", 260), value);
    EXPECT_EQ(ProfileGetString(&text, L"b", L"y", L"", 260), L"2");
  }
}

}  // namespace
}  // namespace kestrel
