#pragma once
// Reading a file whole, for the files operators and archives hand the
// launcher (profile files, registry templates, skin archives).  Only a
// regular file is read: a FIFO would block the launch for ever and a
// device such as /dev/zero would read until memory runs out.  Opening one
// through the Windows API fails too.

#include <cstddef>
#include <string>

#include "platform/platform.h"  // kMaxWholeFileBytes

namespace kestrel {

/// Reads the regular file at a host path into `bytes`.  Returns 0, or the
/// errno of the failure: EACCES for a folder, FIFO, device or socket (none
/// is opened in a way that could block), EFBIG for a file larger than
/// kMaxWholeFileBytes.
int ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace kestrel
