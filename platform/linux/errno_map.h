#pragma once

#include <cstdint>

namespace kestrel {

/// The Windows error code a user would see for a failed Linux call.
std::uint32_t WindowsErrorFromErrno(int err);

}  // namespace kestrel
