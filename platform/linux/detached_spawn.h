#pragma once
// Starting a program the way Windows starts one from the launcher: it gets
// its own session, outlives the launcher, inherits none of its descriptors
// (they are all close-on-exec) and leaves no zombie behind.

#include <string>
#include <vector>

namespace kestrel {

/// Starts `program` with `args` (args[0] included) in `directory` (the
/// current one when empty) and does not wait for it.  Returns 0 when the
/// program runs, else the errno of the failed chdir or exec.
int SpawnDetached(const std::string& program, const std::vector<std::string>& args, const std::string& directory);

}  // namespace kestrel
