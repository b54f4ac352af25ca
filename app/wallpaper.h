#pragma once

#include <string>

#include "platform/platform.h"

namespace kestrel {

/// Sets the desktop wallpaper through the shell's active-desktop object:
/// the picture, then its style (0 centred, 1 tiled, 2 stretched, passed
/// through unchanged), then all changes applied.  The first step that fails
/// ends it with false.
bool ApplyWallpaper(Platform& os, const std::wstring& file, int style);

}  // namespace kestrel
