#pragma once
// Drive letters the launcher may take for itself.

#include "platform/platform.h"

namespace kestrel {

/// The first drive letter from D to Z that names no drive, upper case, or
/// 0 when every one is in use.  A, B and C are never offered.
wchar_t FindFreeDriveLetter(Platform& os);

/// "X:" for a letter, or empty for 0 (no letter).
std::wstring DriveName(wchar_t letter);

}  // namespace kestrel
