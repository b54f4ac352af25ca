#include "actions/pre_launch_actions.h"

#include "actions/color_depth.h"
#include "actions/compatibility_mode.h"
#include "actions/component_registration.h"
#include "actions/drive_substitution.h"
#include "actions/file_deletion.h"
#include "actions/first_runners.h"
#include "actions/game_association.h"
#include "actions/patch_scripts.h"
#include "actions/personalization.h"
#include "actions/platform_config.h"
#include "actions/registry_import.h"
#include "actions/virtual_drive.h"

namespace kestrel {

// The fixed order of the fifteen steps.  Each step rebuilds its paths from
// the current baseDir, so what the early steps do to it (another game's
// directory, a substituted drive) holds for every later one.
bool RunPreLaunchActions(Platform& os, LaunchContext& context) {
  SetPlatform(os, context);           // 1
  CopyPersonalization(os, context);   // 2
  AssocToGid(os, context);            // 3
  SubstFlag(os, context);             // 4
  RunPatchScripts(os, context);       // 5
  RunFirstUrl(os, context);           // 6
  RunFirstExe(os, context);           // 7
  RunFirstExe2(os, context);          // 8
  SetColorDepth(os, context);         // 9
  SetCompatibilityMode(os, context);  // 10
  RunAssocGids(os, context);          // 11
  ImportRegFiles(os, context);        // 12
  VirtualDriveFile(os, context);      // 13
  DelFileOrDirs(os, context);         // 14
  RegDlls(os, context);               // 15
  return true;
}

}  // namespace kestrel
