#pragma once

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// "setBits": switches the primary display to that colour depth and stores
/// it as the lasting setting, unless it already has it.  The old depth is
/// never put back.
bool SetColorDepth(Platform& os, const LaunchContext& context);

}  // namespace kestrel
