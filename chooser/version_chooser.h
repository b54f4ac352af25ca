#pragma once

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// Runs the skinned version chooser modally and returns its result: 2
/// (IDCANCEL) ends the launcher; anything else, including -1 for a window
/// that could not be created, goes on with the launch.
int RunVersionChooser(Platform& os, LaunchContext& context);

}  // namespace kestrel
