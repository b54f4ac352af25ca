#pragma once
// The process's umask, for the files the machine model makes itself.

#include <sys/types.h>

namespace kestrel {

/// Read once: the launcher never changes its umask, and reading it means
/// setting it, which is not safe while other threads make files.
mode_t ProcessUmask();

}  // namespace kestrel
