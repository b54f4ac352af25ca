#include "text/wide_format.h"

#include <gtest/gtest.h>

#include "text/utf.h"

namespace kestrel {
namespace {

TEST(FormatWide, ConversionsAsOnWindows) {
  struct Case {
    const wchar_t* format;
    std::wstring expected;
    std::wstring actual;
  };
  const std::wstring path = L"D:\\Games\\Foo";
  const Case cases[] = {
      {L"MSG: file=%s, code=%d", L"MSG: file=D:\\Games\\Foo, code=2", FormatWide(L"MSG: file=%s, code=%d", {path, 2})},
      {L"%c:\\x", L"X:\\x", FormatWide(L"%c:\\x", {L'X'})},
      {L"%d of DWORD -1", L"-1", FormatWide(L"%d", {0xFFFFFFFFu})},
      {L"%u", L"4294967295", FormatWide(L"%u", {-1})},
      {L"%lld", L"-5000000000", FormatWide(L"%lld", {-5000000000LL})},
      {L"%02x", L"0a", FormatWide(L"%02x", {10})},
      {L"%5d|%-5d|%05d", L"   42|42   |-0042", FormatWide(L"%5d|%-5d|%05d", {42, 42, -42})},
      {L"%.3s", L"abc", FormatWide(L"%.3s", {L"abcdef"})},
      {L"100%%", L"100%", FormatWide(L"100%%", {})},
      {L"%ls", L"wide", FormatWide(L"%ls", {L"wide"})},
      {L"missing argument", L"a=(?)", FormatWide(L"a=%s", {})},
      {L"wrong kind", L"(?) (?)", FormatWide(L"%s %d", {7, L"x"})},
      {L"unknown conversion", L"%q", FormatWide(L"%q", {1})},
      {L"trailing %", L"x%", FormatWide(L"x%", {})},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << WideToUtf8(c.format);
}

TEST(FormatWide, NonAsciiTextPassesThrough) {
  EXPECT_EQ(FormatWide(L"dir=%s", {L"D:\\游戏\\Foo"}), L"dir=D:\\游戏\\Foo");
}

}  // namespace
}  // namespace kestrel
