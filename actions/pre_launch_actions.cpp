#include "actions/pre_launch_actions.h"

namespace kestrel {

bool RunPreLaunchActions(Platform& /*os*/, LaunchContext& /*context*/) {
  // The action sequence lands here step by step; until then a launch goes
  // straight on to the prerequisites.
  return true;
}

}  // namespace kestrel
