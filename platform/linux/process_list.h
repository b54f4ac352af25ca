#pragma once
// The running processes of a Linux machine as a Windows process snapshot
// shows them: by id, each with the file name of its executable.  The name
// is what a user would call the program, not the kernel's 15-character
// `comm`: a script's own file name rather than its interpreter's, and the
// Windows program's name for a program running under Wine.

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace kestrel {

/// Every process readable in /proc, in ascending id order.
std::vector<ProcessEntry> ListProcesses();

/// The image name of one process from what /proc shows of it: the target
/// of its exe link (empty when unreadable), its command line's arguments
/// and its comm.  The first of the exe's file name and the file names of
/// the first three arguments (split at "/" and "\") whose start is the
/// comm wins; else the exe's file name; else the comm.
std::wstring ImageName(const std::string& exe, const std::vector<std::string>& cmdline, const std::string& comm);

}  // namespace kestrel
