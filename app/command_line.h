#pragma once
// The launcher's command line: a game ("dir|exe|params", or "|fullpath|
// params") or a command ("SetWallPaper|file|style", or a hand-over
// "dir|Kestrel.exe" to the copy of the launcher in dir).

#include <string>
#include <string_view>

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// What follows the program's own name and the blanks after it, as the C
/// runtime hands it to WinMain.
std::wstring CommandLineTail(std::wstring_view commandLine);

/// Fills the context from the command-line text, or carries out the
/// command it holds.  Returns true to go on with the launch, false when a
/// command was carried out and the launcher ends.
bool ParseCommandLine(Platform& os, std::wstring text, LaunchContext& context);

}  // namespace kestrel
