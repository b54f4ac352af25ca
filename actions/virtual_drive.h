#pragma once

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// The wait for the mounted drive: pauses at most, and their length.
inline constexpr int kDriveWaitPauses = 40;
inline constexpr std::uint32_t kDriveWaitPauseMs = 200;

/// "virtualDriveFile": mounts that disc image of GamePatch on the first
/// free letter with GamePatch\Virtual Drive Manager\Virtual Drive
/// Manager.exe.  False when the program or the image is missing.
bool VirtualDriveFile(Platform& os, const LaunchContext& context);

}  // namespace kestrel
