#pragma once
// A fake machine whose ANSI code page is GBK for the characters of the skin
// names (ASCII passes through): lets tests build archives the way skin
// makers' Chinese machines do, on any platform and without iconv.

#include <string>
#include <string_view>

#include "platform/fake/fake_platform.h"

namespace kestrel::testing {

class GbkTestPlatform : public FakePlatform {
 public:
  std::string WideToAnsi(std::wstring_view text) override {
    std::string out;
    for (wchar_t c : text) {
      if (c < 0x80) {
        out += static_cast<char>(c);
        continue;
      }
      const Pair* p = Find(c);
      out += p ? std::string(p->gbk, 2) : std::string("?");
    }
    return out;
  }
  std::wstring AnsiToWide(std::string_view bytes) override {
    std::wstring out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const auto b = static_cast<unsigned char>(bytes[i]);
      if (b < 0x80) {
        out += static_cast<wchar_t>(b);
        continue;
      }
      const Pair* p = i + 1 < bytes.size() ? Find(bytes.substr(i, 2)) : nullptr;
      out += p ? p->wide : L'\xFFFD';
      if (i + 1 < bytes.size()) ++i;  // a lead byte takes its trail byte along
    }
    return out;
  }

 private:
  struct Pair {
    wchar_t wide;
    const char* gbk;
  };
  static constexpr Pair kTable[] = {
      {L'背', "\xB1\xB3"}, {L'景', "\xBE\xB0"}, {L'多', "\xB6\xE0"}, {L'版', "\xB0\xE6"}, {L'本', "\xB1\xBE"},
      {L'按', "\xB0\xB4"}, {L'钮', "\xC5\xA5"}, {L'最', "\xD7\xEE"}, {L'小', "\xD0\xA1"}, {L'化', "\xBB\xAF"},
      {L'大', "\xB4\xF3"}, {L'关', "\xB9\xD8"}, {L'闭', "\xB1\xD5"},
  };
  static const Pair* Find(wchar_t c) {
    for (const Pair& p : kTable)
      if (p.wide == c) return &p;
    return nullptr;
  }
  static const Pair* Find(std::string_view two) {
    for (const Pair& p : kTable)
      if (two == std::string_view(p.gbk, 2)) return &p;
    return nullptr;
  }
};

}  // namespace kestrel::testing
