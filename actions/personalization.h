#pragma once
// Personalization: a game ships files for the PC's special folders (saved
// settings, fonts, shortcuts) in GamePatch folders named after the special
// folder's constant, such as GamePatch\CSIDL_APPDATA; before the launch
// their contents are copied into those folders.

#include <map>
#include <string>

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// The personalization folders found in GamePatch, by special-folder id
/// (ascending): one folder per id, the first name of the table winning.
std::map<int, std::wstring> PersonalizationPlan(Platform& os, const LaunchContext& context);

/// Copies every planned folder into its special folder, in ascending order
/// of id; "personalization" / "overwrite" 0 keeps files that are there.  A
/// special folder this PC has no path for is passed over with a log line.
/// Always true.
bool CopyPersonalization(Platform& os, const LaunchContext& context);

}  // namespace kestrel
