#pragma once

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// The per-user compatibility layer key; each value is an executable's
/// full path, its data the layer names.
inline constexpr wchar_t kCompatibilityLayersKey[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

/// "CompatibilityMode" of "game_base": records the layers for the game's
/// executable, when it exists.
bool SetCompatibilityMode(Platform& os, const LaunchContext& context);

}  // namespace kestrel
