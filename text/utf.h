#pragma once
// Conversions between the launcher's wide text and byte encodings.  wchar_t
// is UTF-16 on Windows and UTF-32 on Linux; these functions hide that, so a
// caller that needs UTF-16LE bytes (registry files, .reg templates) or
// UTF-8 (log files, Linux paths) gets the same bytes on both builds.

#include <string>
#include <string_view>

namespace kestrel {

/// UTF-8 to wide text.  Invalid sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view bytes);
/// Wide text to UTF-8.  Unpaired surrogates become U+FFFD.
std::string WideToUtf8(std::wstring_view text);
/// The same, appended to `out`.
void AppendUtf8(std::string& out, std::wstring_view text);
/// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);

/// UTF-16LE bytes to wide text; an odd trailing byte is ignored.
std::wstring Utf16LeToWide(std::string_view bytes);
/// Wide text to UTF-16LE bytes (no byte-order mark, no terminator).
std::string WideToUtf16Le(std::wstring_view text);

}  // namespace kestrel
