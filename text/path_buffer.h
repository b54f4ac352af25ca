#pragma once
// Paths and configuration values live in buffers of 260 characters with the
// terminator, as on Windows.  These helpers turn that into explicit rules:
// a value is cut to 259 characters, and a path operation that would not fit
// leaves the path unchanged and says so instead of overflowing.

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrel {

/// Characters of a path buffer, terminator included (MAX_PATH).
inline constexpr std::size_t kMaxPath = 260;

/// What of `text` a buffer of `bufferChars` characters holds: at most
/// bufferChars - 1 characters, cut at the end.
std::wstring FitBuffer(std::wstring_view text, std::size_t bufferChars = kMaxPath);

/// PathAddBackslashW: adds a backslash unless the path is empty or already
/// ends in one.  Returns false, leaving the path as it was, when the result
/// would not fit the buffer.
bool PathAddBackslash(std::wstring& path, std::size_t bufferChars = kMaxPath);

/// PathRemoveFileSpecW: drops the last component and its backslash
/// ("C:\a\b" -> "C:\a", "C:\a" -> "C:\", "a" -> "").  Returns true when the
/// path changed.
bool PathRemoveFileSpec(std::wstring& path);

/// StrCatBuffW: appends as much of `tail` as the buffer holds.
void StrCatBuff(std::wstring& path, std::wstring_view tail, std::size_t bufferChars = kMaxPath);

/// The file name of a path: everything after its last backslash or slash.
std::wstring_view PathFindFileName(std::wstring_view path);

/// The file name of a path without its extension ("KestrelEx" for
/// D:\Tools\KestrelEx.exe); a name that only starts with a dot keeps it.
std::wstring PathFileStem(std::wstring_view path);

}  // namespace kestrel
