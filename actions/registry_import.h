#pragma once
// Registry entries that must name the game's directory ship as a template,
// GamePatch\reg.cfg, with "|gamepath|" where the directory belongs.  Before
// launch the templates of the game and of the games listed in "assocGids"
// become .reg files in the launching game's GamePatch, and every .reg file
// there is imported silently by the registry editor.

#include <string>

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// Converts gameDirectory\GamePatch\reg.cfg (UTF-16LE) into <name>.reg in
/// the launching game's GamePatch: every "|gamepath|" becomes the directory
/// with its backslashes doubled; everything else, a byte-order mark and an
/// odd trailing byte included, is copied as it is.  No template: nothing.
/// A name that is not a plain file name, or an output path that would not
/// fit 259 characters, writes nothing: the converted file always lands in
/// GamePatch under its own name.
bool ConvertRegTemplate(Platform& os, const std::wstring& name, const std::wstring& gameDirectory,
                        const LaunchContext& context);

/// The "assocGids" action: the game's own template as reg.reg, then the
/// template of each listed game id as <id>.reg.  The list ends at its first
/// empty field, at the first id without a game-info record, or after 260
/// ids.
bool RunAssocGids(Platform& os, const LaunchContext& context);

/// Starts "Regedit.exe /s" for every *.reg file of GamePatch, hidden, in
/// the system folder, 50 ms apart, without waiting.
bool ImportRegFiles(Platform& os, const LaunchContext& context);

}  // namespace kestrel
