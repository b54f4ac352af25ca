#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kestrel {

/// The fixed file version of a file's version resource, as two halves (the
/// first two numbers in `high`, the first in its upper 16 bits).  False when
/// nothing is at the path or it has no readable version resource.
bool QueryFileVersion(Platform& os, const std::wstring& path, std::uint32_t& high, std::uint32_t& low);

}  // namespace kestrel
