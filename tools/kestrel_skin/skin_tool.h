#pragma once
// KestrelSkin, the skin makers' tool: lists a res.dat, extracts an entry as
// the launcher would get it, and checks that the launcher will load every
// skin image and that each can serve.  It opens, reads and decodes with the
// launcher's own code, so what it says is what the launcher will do.

#include <ostream>
#include <string>
#include <vector>

namespace kestrel {

class Platform;

/// Runs one command (`args` without the program's name): "list ARCHIVE",
/// "extract ARCHIVE NAME" (the bytes go to `out`), "check ARCHIVE".  Text
/// goes out in UTF-8.  Returns the exit code: 0 done, 1 the archive or an
/// entry fails (for check: the chooser would not open, its background or
/// version-button face not loaded or unusable), 2 a usage error.
int RunSkinTool(Platform& platform, const std::vector<std::wstring>& args, std::ostream& out, std::ostream& err);

}  // namespace kestrel
