#pragma once

#include <optional>
#include <string>

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// Turns a configured program value into a full path by its first
/// characters (positions from 0):
///   "[12345]\bin\a.exe"  the directory of game 12345, then the value from
///                        position 8 (the character after "]" is skipped);
///                        empty when the id resolves to no directory;
///   "[APPDATA]\x\up.exe" any seven characters in brackets: the user's
///                        application-data folder, a backslash, the value
///                        from position 10; empty when the machine has no
///                        such folder;
///   anything else        baseDir, a backslash, the value.
/// Logs the result.  None, with a log line, when the path would not fit
/// its 260-character buffer: a cut path would name another program.
std::optional<std::wstring> ResolveRunPath(Platform& os, const std::wstring& value, const LaunchContext& context);

}  // namespace kestrel
