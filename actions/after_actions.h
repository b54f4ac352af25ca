#pragma once

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// Section "action_after": a pause and a follow-up program.
bool RunAfterActions(Platform& os, const LaunchContext& context);
/// Ends the processes named in "killProNames".
bool KillConfiguredProcesses(Platform& os, const LaunchContext& context);

}  // namespace kestrel
