#include "text/utf.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(Utf, RoundTripsAcrossPlanes) {
  const std::wstring text = L"D:\\游戏\\Foo \u00e9 \U0001F3AE";
  EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
  EXPECT_EQ(Utf16LeToWide(WideToUtf16Le(text)), text);
  // The game controller is a surrogate pair in UTF-16: four bytes.
  EXPECT_EQ(WideToUtf16Le(L"\U0001F3AE"), std::string("\x3C\xD8\xAE\xDF", 4));
  EXPECT_EQ(WideToUtf8(L"\U0001F3AE"), "\xF0\x9F\x8E\xAE");
  // Appended after what is there, past the length ASCII is copied in.
  const std::wstring longer = std::wstring(100, L'a') + text;
  std::string out = "x";
  AppendUtf8(out, longer);
  EXPECT_EQ(out, "x" + std::string(100, 'a') + WideToUtf8(text));
}

TEST(Utf, RejectsMalformedUtf8) {
  const std::pair<std::string, bool> cases[] = {
      {"plain", true},
      {"\xE6\xB8\xB8\xE6\x88\x8F", true},  // 游戏
      {"\xC0\xAF", false},                 // overlong "/"
      {"\xED\xA0\x80", false},             // a surrogate
      {"\xE6\xB8", false},                 // cut short
      {"\xD3\xCE\xCF\xB7", false},         // 游戏 in GBK
      {"\xF4\x90\x80\x80", false},         // above U+10FFFF
  };
  for (const auto& [bytes, valid] : cases) EXPECT_EQ(IsValidUtf8(bytes), valid) << bytes;
  EXPECT_EQ(Utf8ToWide("a\xC0z"), L"a\uFFFDz");
}

TEST(Utf, OddUtf16ByteIsDropped) {
  EXPECT_EQ(Utf16LeToWide(std::string("A\0B", 3)), L"A");
}

}  // namespace
}  // namespace kestrel
