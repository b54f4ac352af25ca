#pragma once
// WritePrivateProfileStringW for platforms without one of their own.  The
// file is edited in place at the level of its bytes: one key's line (or
// one section) changes, every other byte stays as it was (encoding,
// byte-order mark, line ends, comments, order), so an operator's file
// never comes back reformatted.
//
// New text takes the file's encoding: UTF-16 (either order) or UTF-8 with
// a byte-order mark as marked; UTF-8 without one when the file already
// holds UTF-8; the ANSI code page for other files.  A file of plain ASCII
// (or a new one) gets the ANSI code page like on Windows, unless the new
// text would not survive it or would then read back as UTF-8, in which
// case it is written as UTF-8.  New lines take the file's first line end
// ("\r\n" when it has none).

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrel {

struct AnsiCodec {
  std::function<std::wstring(std::string_view)> toWide;
  std::function<std::string(std::wstring_view)> fromWide;
};

/// The file's new bytes after setting `key` in `section` to `value` (no
/// value: the key's line is removed; no key: the whole section is
/// removed).  None when a name or the value holds a line break or a zero,
/// or the key holds "=" or starts with "[", which would change other keys
/// of the file.
std::optional<std::string> ProfileWrite(std::string_view bytes, std::wstring_view section,
                                        const std::optional<std::wstring>& key,
                                        const std::optional<std::wstring>& value, const AnsiCodec& ansi);

}  // namespace kestrel
