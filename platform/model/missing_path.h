#pragma once
// The error a file function reports for a path that is not there.

#include <cstdint>

#include "platform/platform.h"

namespace kestrel {

/// 2 (ERROR_FILE_NOT_FOUND) for a missing name in a folder that exists;
/// 3 (ERROR_PATH_NOT_FOUND) when its folder is missing too or is no folder.
inline std::uint32_t MissingPathError(bool parentIsFolder) {
  return parentIsFolder ? win::kFileNotFound : win::kPathNotFound;
}

}  // namespace kestrel
