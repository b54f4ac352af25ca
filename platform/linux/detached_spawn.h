#pragma once
// Starting a program the way Windows starts one from the launcher: it gets
// its own session, outlives the launcher, inherits none of its descriptors
// (they are all close-on-exec) and leaves no zombie behind.  A start whose
// process the caller waits for is a direct child instead, reaped by the
// wait.  Failures of chdir or exec come back as the errno they left.

#include <sys/types.h>

#include <string>
#include <vector>

namespace kestrel {

struct SpawnRequest {
  std::string program;            ///< host path that is executed
  std::vector<std::string> args;  ///< argv, args[0] included
  std::string directory;          ///< working directory; the current one when empty
  std::vector<std::string> env;   ///< "NAME=value" entries; the launcher's own when empty
};

/// Starts the program without waiting for it; nothing is left to reap.
/// Returns 0 when it runs, else the errno of the failed chdir or exec.
int SpawnDetached(const SpawnRequest& request);

/// Starts the program as a child in a session of its own and gives its
/// id, for waitpid.  Returns 0 when it runs, else the errno (the failed
/// child is already reaped).
int SpawnChild(const SpawnRequest& request, pid_t& pid);

/// The launcher's environment with `overrides` ("NAME=value") replacing or
/// adding entries.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides);

}  // namespace kestrel
