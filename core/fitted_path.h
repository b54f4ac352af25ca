#pragma once
// The one rule for paths that the launcher builds for a 260-character
// buffer: a path that does not fit is refused, never cut.  A cut path names
// another file ("D:\Games\Foo\bin\game.exe" cut at 259 characters may
// name "D:\Games\Foo\bin\ga"), so the action that built it logs the path
// and goes on without it, and the launch goes on with its next step.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "text/path_buffer.h"

namespace kestrel {

/// `base`, a backslash unless `base` is empty or ends in one, and `tail`,
/// uncut (PathAddBackslashW and StrCatW into a buffer large enough).
std::wstring JoinPath(std::wstring_view base, std::wstring_view tail);

/// True when `path` fits a buffer of `bufferChars` characters with its
/// terminator.  Otherwise logs "MSG: <action> passed over, path too long
/// (<n> characters): <path>", sets the last error to 206
/// (ERROR_FILENAME_EXCED_RANGE) and returns false.
bool PathFits(Platform& os, std::wstring_view action, const std::wstring& path, std::size_t bufferChars = kMaxPath);

}  // namespace kestrel
