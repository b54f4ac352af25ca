#include "actions/pre_launch_actions.h"

#include "actions/color_depth.h"
#include "actions/compatibility_mode.h"
#include "actions/first_runners.h"
#include "actions/patch_scripts.h"
#include "actions/registry_import.h"

namespace kestrel {

// The fixed order of the fifteen steps.  Each step rebuilds its paths from
// the current baseDir, so what the early steps do to it (another game's
// directory, a substituted drive) holds for every later one.
bool RunPreLaunchActions(Platform& os, LaunchContext& context) {
  // 1 platform configuration files, 2 personalization copies,
  // 3 association with another game, 4 drive substitution: to come.
  RunPatchScripts(os, context);       // 5
  RunFirstUrl(os, context);           // 6
  RunFirstExe(os, context);           // 7
  RunFirstExe2(os, context);          // 8
  SetColorDepth(os, context);         // 9
  SetCompatibilityMode(os, context);  // 10
  RunAssocGids(os, context);          // 11
  ImportRegFiles(os, context);        // 12
  // 13 virtual drive, 14 deletions, 15 component registration: to come.
  return true;
}

}  // namespace kestrel
