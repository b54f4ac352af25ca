#pragma once
// The one record every step of a launch works on, and the rules by which
// every step derives the GamePatch folder and Config.ini from it.

#include <string>
#include <string_view>

namespace kestrel {

struct GameRecord {
  std::wstring mainExe;  ///< relative to baseDir (normally a bare file name); empty: no game
  std::wstring param;    ///< the main executable's parameters; may be empty
};

struct LaunchContext {
  /// The game's base directory, with or without a closing backslash.  Two
  /// actions may move it (to another installed game, to a substituted
  /// drive); every step rebuilds its paths from the value current then.
  std::wstring baseDir;
  GameRecord game;
  /// Cleared only when a launch is moved onto another game's directory.
  bool chooserAllowed = true;
};

/// baseDir, a backslash unless it ends in one, "GamePatch\", uncut: paths
/// built from it are checked with PathFits (core/fitted_path.h).
std::wstring GamePatchDir(const LaunchContext& context);
/// GamePatchDir followed by "Config.ini".
std::wstring ConfigPath(const LaunchContext& context);
/// Everything of `path` before its last backslash; empty without one.
/// The usual working directory of a started program.
std::wstring DirectoryOf(std::wstring_view path);

}  // namespace kestrel
