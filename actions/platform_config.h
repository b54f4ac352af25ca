#pragma once
// "set_platform": entries written into a platform's configuration file (an
// INI file outside GamePatch) before the game starts.  Config.ini names the
// file and lists the entries in numbered sections; a value may name the
// directory of any installed game by its game id.

#include <string>
#include <vector>

#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// One entry to write: section of the target file, key and value.
struct PlatformEntry {
  std::wstring section;
  std::wstring key;
  std::wstring value;
  bool operator==(const PlatformEntry&) const = default;
};

/// The entries of "platform_Game1", "platform_Game2", ... up to 198, in
/// order, until the first missing or empty section.  "AppName" lines set
/// the section for the lines after them in the same numbered section.
std::vector<PlatformEntry> ReadPlatformEntries(Platform& os, const std::wstring& config);

/// Writes each entry into `target` through the profile writer, the rest of
/// the file left alone.  A value "[12345]\path" becomes that game's
/// directory followed by the path; an entry whose game id names no
/// directory is not written.  Always true.
bool WritePlatformEntries(Platform& os, const std::wstring& target, const std::vector<PlatformEntry>& entries);

/// The action.  False when Config.ini is missing or "PlatformConfigFile" is
/// empty, true otherwise.  A file name with neither "[GAMEDIR]" nor
/// "[APPDATA]", or whose folder has no path on this PC, writes nothing and
/// says so.
bool SetPlatform(Platform& os, const LaunchContext& context);

}  // namespace kestrel
