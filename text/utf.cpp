#include "text/utf.h"

#include <cstdint>
#include <type_traits>

namespace kestrel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;


// Decodes one UTF-8 sequence at `i`; returns false for an invalid one (and
// then consumes one byte).
bool DecodeUtf8(std::string_view s, std::size_t& i, char32_t& cp) {
  auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  if (c < 0x80) {
    cp = c;
    ++i;
    return true;
  }
  int extra;
  char32_t min;
  if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; min = 0x80; }
  else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; min = 0x800; }
  else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; min = 0x10000; }
  else { ++i; return false; }
  if (i + extra >= s.size()) {
    ++i;
    return false;
  }
  for (int k = 1; k <= extra; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) {
      ++i;
      return false;
    }
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return false;
  }
  i += extra + 1;
  return true;
}

// Reads one code point of wide text, joining surrogate pairs.
char32_t NextCodePoint(std::wstring_view text, std::size_t& i) {
  char32_t c = static_cast<char32_t>(text[i++]);
  if constexpr (sizeof(wchar_t) == 2) c &= 0xFFFF;
  if (c >= 0xD800 && c <= 0xDBFF && i < text.size()) {
    char32_t d = static_cast<char32_t>(text[i]) & 0xFFFF;
    if (d >= 0xDC00 && d <= 0xDFFF) {
      ++i;
      return 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
    }
  }
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return kReplacement;
  return c;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view bytes) {
  // Written through a pointer: a character never needs more wide units
  // than its UTF-8 bytes, and ASCII (most of any file) takes the short way.
  std::wstring out(bytes.size(), L'\0');
  wchar_t* to = out.data();
  std::size_t i = 0;
  while (i < bytes.size()) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      *to++ = static_cast<wchar_t>(c);
      ++i;
      continue;
    }
    char32_t cp;
    if (!DecodeUtf8(bytes, i, cp)) cp = kReplacement;
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
      cp -= 0x10000;
      *to++ = static_cast<wchar_t>(0xD800 + (cp >> 10));
      *to++ = static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *to++ = static_cast<wchar_t>(cp);
    }
  }
  out.resize(static_cast<std::size_t>(to - out.data()));
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    char32_t cp;
    if (!DecodeUtf8(bytes, i, cp)) return false;
  }
  return true;
}

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  AppendUtf8(out, text);
  return out;
}

void AppendUtf8(std::string& out, std::wstring_view text) {
  // Leading ASCII, most of any path, is copied unit for byte, four at a
  // time while all four are ASCII.
  using Unit = std::make_unsigned_t<wchar_t>;
  const std::size_t at = out.size();
  out.resize(at + text.size());
  char* to = out.data() + at;
  std::size_t i = 0;
  for (; i + 4 <= text.size(); i += 4) {
    const Unit a = text[i], b = text[i + 1], c = text[i + 2], d = text[i + 3];
    if ((a | b | c | d) >= 0x80) break;
    to[i] = static_cast<char>(a);
    to[i + 1] = static_cast<char>(b);
    to[i + 2] = static_cast<char>(c);
    to[i + 3] = static_cast<char>(d);
  }
  for (; i < text.size() && static_cast<Unit>(text[i]) < 0x80; ++i) to[i] = static_cast<char>(text[i]);
  out.resize(at + i);
  if (i == text.size()) return;
  out.reserve(out.size() + text.size() - i);
  while (i < text.size()) {
    char32_t cp = NextCodePoint(text, i);
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
}

std::wstring Utf16LeToWide(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    if constexpr (sizeof(wchar_t) == 2) {
      out += static_cast<wchar_t>(unit);
    } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
      char32_t low = static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        out += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
      } else {
        out += static_cast<wchar_t>(kReplacement);
      }
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      out += static_cast<wchar_t>(kReplacement);
    } else {
      out += static_cast<wchar_t>(unit);
    }
  }
  return out;
}

std::string WideToUtf16Le(std::wstring_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  auto put = [&](std::uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>((unit >> 8) & 0xFF);
  };
  for (wchar_t w : text) {
    std::uint32_t c = static_cast<std::uint32_t>(w);
    if (sizeof(wchar_t) == 4 && c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      put(0xD800 + (c >> 10));
      put(0xDC00 + (c & 0x3FF));
    } else {
      put(c > 0x10FFFF ? 0xFFFD : c);
    }
  }
  return out;
}

}  // namespace kestrel
