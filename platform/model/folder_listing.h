#pragma once
// A folder's listing as FindFirstFileW and FindNextFileW hand it out.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace kestrel {

class FolderListing {
 public:
  FolderListing() = default;
  /// The listing of a folder from its entries whose names match `mask`
  /// ("." and ".." left out): first "." and "..", where they match the
  /// mask and the folder is no drive's root (a root lists neither), then
  /// the entries by name in upper-case order, names that differ only in
  /// case by their exact text, so every machine lists in one order.
  FolderListing(std::wstring_view mask, bool driveRoot, std::vector<FindDataW> matched);

  /// The next entry into `data`: 0, or 18 (ERROR_NO_MORE_FILES) past the
  /// last.  FindFirstFileW's first call on an empty listing means 2
  /// (ERROR_FILE_NOT_FOUND) instead.
  std::uint32_t Next(FindDataW& data);

 private:
  std::vector<FindDataW> entries_;
  std::size_t next_ = 0;
};

}  // namespace kestrel
