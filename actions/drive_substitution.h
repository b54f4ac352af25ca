#pragma once

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// How long one run of the game's subst program may take before the
/// action gives up on it (a healthy run takes milliseconds).
inline constexpr std::uint32_t kSubstRunLimitMs = 10000;
/// The drive probe: tries and the pause after each.
inline constexpr int kProbeTries = 40;
inline constexpr std::uint32_t kProbePauseMs = 500;

/// "substFlag" above 0: clears the substitutions of C: to Z: with
/// GamePatch\subst.exe, maps the first free letter onto baseDir, waits for
/// the drive to answer and makes the bare drive ("F:") the new baseDir.
/// baseDir stays as it was when nothing could be mapped.  Always true.
bool SubstFlag(Platform& os, LaunchContext& context);

}  // namespace kestrel
