#pragma once
// The chooser's configuration: section "dlg_config" of the game's
// Config.ini gives the window's title and one VersionEntry per version
// button, in key order (entry i from the keys numbered i + 1).

#include <memory>
#include <string>
#include <vector>

#include "chooser/version_entry.h"
#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

/// The most version buttons a window holds: their ids run from 4099 and a
/// click reports its id within the window's command range (up to 4351).
/// A larger "btnCount" would give buttons whose clicks reach another
/// button's handler, and a count near 2^31 would exhaust memory.
inline constexpr int kMostVersionEntries = 253;

struct ChooserConfig {
  /// "dlgCaption"; empty leaves the window's title empty.
  std::wstring title;
  std::vector<std::unique_ptr<VersionEntry>> entries;
};

/// Reads the title and the entries from the context's Config.ini into
/// `config`.  False, with nothing read, when the file is not there.  No
/// entry is skipped or validated: missing keys give empty texts and
/// kCloseAfterRun.
bool LoadChooserConfig(Platform& os, const LaunchContext& context, ChooserConfig& config);

}  // namespace kestrel
