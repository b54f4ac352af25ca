#pragma once
// A named mutex on Linux: an advisory lock on a file under the machine
// root.  The kernel releases it when its holder ends, however it ends, and
// the descriptor is close-on-exec, so a game that runs for hours never
// keeps the launcher's mutex held.

#include <string>

namespace kestrel {

/// Takes the lock of `name` in `directory`.  Returns the descriptor (kept
/// until the process ends; -1 when the lock file cannot be made) and sets
/// `alreadyExists` when another holder has it.
int OpenNamedMutex(const std::string& directory, const std::wstring& name, bool& alreadyExists);

}  // namespace kestrel
