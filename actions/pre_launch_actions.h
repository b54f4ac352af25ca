#pragma once

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// Prepares the PC for the game from the keys of Config.ini, in a fixed
/// order, before the game starts.
bool RunPreLaunchActions(Platform& os, LaunchContext& context);

}  // namespace kestrel
