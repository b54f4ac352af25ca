#pragma once
// "assocToGid": the launch moves onto another installed game.  The current
// base directory's contents are copied over that game's directory (after
// the deletion list has been applied there), and every later step works in
// that directory.

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// False when Config.ini is missing or "game_base" / "assocToGid" is
/// empty; true otherwise, also when the id names no existing directory
/// (then nothing changes).
bool AssocToGid(Platform& os, LaunchContext& context);

}  // namespace kestrel
