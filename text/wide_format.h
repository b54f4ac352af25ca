#pragma once
// printf-style formatting of wide text that behaves the same on every
// platform.  The C library's swprintf reads "%s" as a narrow string on
// glibc and as a wide one on Windows; the launcher's messages are written
// Windows-style ("%s" takes wide text), so they are formatted here instead.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kestrel {

/// One argument of FormatWide: wide text, an integer or a character.
class FormatArg {
 public:
  FormatArg(std::wstring_view text) : kind_(kText), text_(text) {}
  FormatArg(const std::wstring& text) : kind_(kText), text_(text) {}
  FormatArg(const wchar_t* text) : kind_(kText), text_(text ? text : L"(null)") {}
  FormatArg(wchar_t c) : kind_(kChar), number_(static_cast<std::int64_t>(c)) {}
  FormatArg(int n) : kind_(kNumber), number_(n) {}
  FormatArg(long n) : kind_(kNumber), number_(n) {}
  FormatArg(long long n) : kind_(kNumber), number_(n) {}
  FormatArg(unsigned n) : kind_(kNumber), number_(n) {}
  FormatArg(unsigned long n) : kind_(kNumber), number_(static_cast<std::int64_t>(n)) {}
  FormatArg(unsigned long long n) : kind_(kNumber), number_(static_cast<std::int64_t>(n)) {}

  enum Kind { kText, kChar, kNumber };
  Kind kind() const { return kind_; }
  std::wstring_view text() const { return text_; }
  std::int64_t number() const { return number_; }

 private:
  Kind kind_;
  std::wstring_view text_;
  std::int64_t number_ = 0;
};

/// Formats `format` with the conversions %s (wide text), %c, %d/%i, %u,
/// %x/%X and %%, each with optional "-", "0", a width and (for %s) a
/// precision.  "l", "h" and "w" are accepted and ignored; numbers are 32-bit
/// as on Windows unless "ll" is given.  A conversion without an argument, or with one of the wrong
/// kind, is written as "(?)" rather than read from nowhere.
std::wstring FormatWide(std::wstring_view format, std::initializer_list<FormatArg> args);

}  // namespace kestrel
