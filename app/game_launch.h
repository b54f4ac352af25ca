#pragma once

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// Starts the main executable under the base directory with its
/// parameters, in the executable's own folder, through the shell; batch
/// files (.bat, .cmd) hidden, everything else shown.  Not waited for.
/// False when there is no game to start.
bool LaunchGame(Platform& os, const LaunchContext& context);

}  // namespace kestrel
