#pragma once

#include <string>

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// With an empty command line: the launcher's own directory (no closing
/// backslash) is the base directory, and "mainExe" and "param" come from
/// section "game_base" of the Config.ini in its GamePatch folder when that
/// file exists.  Always true.
bool LoadBaseValues(Platform& os, LaunchContext& context, const std::wstring& ownDirectory);

}  // namespace kestrel
