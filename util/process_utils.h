#pragma once

#include <string>

#include "platform/platform.h"

namespace kestrel {

/// Ends the first running process, in snapshot order, whose executable file
/// name equals `imageName` without regard to case; others of that name keep
/// running.  True when one was found (whether or not it could be ended:
/// the log line's code tells).
bool KillProcessByName(Platform& os, const std::wstring& imageName);

}  // namespace kestrel
