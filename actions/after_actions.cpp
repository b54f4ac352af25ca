#include "actions/after_actions.h"

namespace kestrel {

// The post-launch actions land here; until then they do nothing.
bool RunAfterActions(Platform& /*os*/, const LaunchContext& /*context*/) { return false; }
bool KillConfiguredProcesses(Platform& /*os*/, const LaunchContext& /*context*/) { return false; }

}  // namespace kestrel
