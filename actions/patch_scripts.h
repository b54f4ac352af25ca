#pragma once

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// GamePatch\run.bat through the shell, hidden, in GamePatch; then
/// GamePatch\run.vbs with the script host, shown.  Neither is waited for.
bool RunPatchScripts(Platform& os, const LaunchContext& context);

}  // namespace kestrel
