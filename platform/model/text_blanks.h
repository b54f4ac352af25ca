#pragma once
// The characters Windows' text readers take for blanks.  There is no one
// set: each reader has its own, and this model keeps each as Windows has
// it.
//   - Profile files: the reader and the writer trim names, values and
//     lines of one set (IsProfileBlank).  Corners of the profile functions
//     use others: a default value loses trailing spaces only,
//     GetPrivateProfileIntW skips every character up to U+0020 before the
//     number, and a value the writer replaces starts after the spaces and
//     tabs that follow "=".
//   - .reg files (regedit): lines are trimmed of spaces and tabs only
//     (IsRegFileBlank), so a form feed or a no-break space there is data;
//     its numbers, and a key's name in the Windows 3.1 form, end at the C
//     runtime's white space (IsCRuntimeSpace), as wcstoul reads it.
//   - Wine's own registry files (system.reg, user.reg): space, tab, CR,
//     VT and FF bytes (IsWineRegistryBlank).

#include <string_view>

namespace kestrel {

/// Space, tab, LF, CR, VT, FF, Ctrl-Z (0x1A), the no-break space (U+00A0)
/// and the ideographic space (U+3000).
constexpr bool IsProfileBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f' || c == 0x1A ||
         c == 0xA0 || c == 0x3000;
}

/// `s` without profile blanks at either end.
constexpr std::wstring_view TrimProfileBlanks(std::wstring_view s) {
  while (!s.empty() && IsProfileBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsProfileBlank(s.back())) s.remove_suffix(1);
  return s;
}

constexpr bool IsRegFileBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

/// The white space the C runtime's wcstoul passes over: space, tab to CR,
/// the no-break space and the ideographic space.
constexpr bool IsCRuntimeSpace(wchar_t c) {
  return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0xA0 || c == 0x3000;
}

constexpr bool IsWineRegistryBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace kestrel
