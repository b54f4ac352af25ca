#pragma once
// What a version button does: it brings the game's base directory to its
// version.  With no main executable the button's program is the game
// itself and is opened through the shell.  Otherwise, when "currntVer"
// differs from the entry's version (without regard to case), the program
// runs in the base directory, the chooser waits for it, and the entry's
// version is recorded as "currntVer".  A program that cannot be started
// leaves "currntVer" as it was, so it never names a version that was not
// installed.

#include "chooser/version_entry.h"
#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// The longest command line a version program gets, terminator included.
inline constexpr std::size_t kVersionCommandLineChars = 520;

/// The action of a click on the version button of `entry`.
void RunVersionAction(Platform& os, const LaunchContext& context, const VersionEntry& entry);

}  // namespace kestrel
