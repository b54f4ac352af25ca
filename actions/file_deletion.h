#pragma once
// "delFileOrDirs": files and folders of the game's directory deleted before
// the game starts.  A wrong line in one shipped Config.ini must never wipe a
// machine, so only paths strictly inside the base directory are deleted.

#include <string>

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// Deletes the "|"-separated paths of `list`, each relative to the current
/// baseDir: folders with everything below them, files one by one.  An item
/// that is empty, leaves the base directory, names the base directory
/// itself or does not fit a path buffer is passed over with a log line.
/// False for an empty list, true otherwise.
bool DeleteListedPaths(Platform& os, const LaunchContext& context, const std::wstring& list);

/// The "delFileOrDirs" action: "action_first" / "delFileOrDirs" of the
/// current Config.ini handed to DeleteListedPaths.  Always true.
bool DelFileOrDirs(Platform& os, const LaunchContext& context);

/// baseDir, a backslash unless it ends in one, and `item`, uncut; an item
/// path that does not fit is passed over (PathFits, core/fitted_path.h).
std::wstring ListedItemPath(const LaunchContext& context, const std::wstring& item);

/// True when `item`, read as a path relative to a folder, names something
/// strictly below that folder: not empty, never above it through "..", and
/// without a component of dots and blanks only, which Windows trims to "."
/// or "..".
bool StaysInsideFolder(const std::wstring& item);

}  // namespace kestrel
