#pragma once

#include "app/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// The worker thread's routine: checks the numbered prerequisite sections
/// of Config.ini and installs what is missing, one installer after another.
void RunPrerequisiteInstaller(Platform& os, const LaunchContext& context);

}  // namespace kestrel
