#pragma once
// Extra things a game wants started before it: a URL or document, and up to
// two programs.  None of them is waited for.

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// "runFirstUrl": handed to the shell as it stands.
bool RunFirstUrl(Platform& os, const LaunchContext& context);
/// "runFirstExe" with "runFirstParam": resolved to a path and started in
/// baseDir; a value that resolves to nothing existing goes to the shell as
/// it stands, without its parameters.
bool RunFirstExe(Platform& os, const LaunchContext& context);
/// The same for "runFirstExe2" and "runFirstParam2".
bool RunFirstExe2(Platform& os, const LaunchContext& context);

}  // namespace kestrel
