#pragma once
// "regDlls": the game's component files registered with the system's
// registration program (regsvr32) before the game starts.  The
// registrations are not waited for; they start 50 ms apart.

#include <string>

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// Starts "regsvr32 /s "<path>"" shown, without waiting, and logs the
/// start.  A path whose command line would not fit its 260-character
/// buffer is not started at all (a cut command would name another file).
/// Always true.
bool RegisterComponent(Platform& os, const std::wstring& path);

/// The action: every item of "action_first" / "regDlls" that exists below
/// baseDir is registered, each item followed by a 50 ms pause.  False when
/// the list is empty, true otherwise.
bool RegDlls(Platform& os, const LaunchContext& context);

}  // namespace kestrel
