#pragma once
// The linter: what is wrong with a GamePatch, read without changing
// anything.  Every read goes through the platform, so KestrelCheck runs it
// over its dry-run platform and the tests over the fake one.

#include "check/finding.h"
#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel::check {

/// The findings for the game of `context`: its GamePatch\Config.ini, the
/// side files it names, its skin and the game-id records it relies on, in
/// the order of the rules, each rule's in file order.  Empty when the game
/// has no Config.ini (nothing is configured, so nothing can be wrong).
///
/// Rule ids, stable for tools: config-unreadable, config-encoding,
/// section-gap, button-gap, version-form, unknown-key, unknown-section, duplicate-key,
/// duplicate-section, value-cut, missing-file, delete-skipped,
/// unknown-game-id, moved-launch, too-many-buttons, skin-name, skin-image.
Findings Lint(Platform& platform, const LaunchContext& context);

}  // namespace kestrel::check
