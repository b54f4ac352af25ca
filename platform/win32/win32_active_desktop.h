#pragma once
// The shell's active-desktop object, which sets the wallpaper.

#include <memory>

#include "platform/platform.h"

namespace kestrel {

/// CoCreateInstance of the active-desktop class, in-process; null when the
/// shell has none (COM must already be initialised).
std::unique_ptr<ActiveDesktop> CreateShellActiveDesktop();

}  // namespace kestrel
