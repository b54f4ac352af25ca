#pragma once
// The entries FindFirstFileW and FindNextFileW hand out for a folder.

#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace kestrel {

/// The listing of a folder from its entries whose names match `mask`
/// ("." and ".." left out): first "." and "..", where they match the mask
/// and the folder is no drive's root (a root lists neither, as NTFS does),
/// then the entries by name without regard to case, names that differ only
/// in case by their exact text, so every machine lists in one order.
std::vector<FindDataW> FolderListingOrder(std::wstring_view mask, bool driveRoot, std::vector<FindDataW> matched);

}  // namespace kestrel
