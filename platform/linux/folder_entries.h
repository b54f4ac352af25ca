#pragma once
// Reading a folder's entries straight from an open descriptor, for the
// listings that keep the folder open afterwards (readdir's DIR would own
// the descriptor and cost a stat and a copy of it).

#include <dirent.h>

#include <functional>

namespace kestrel {

/// Calls `each` with every entry of the open folder `fd` but "." and "..",
/// from where the descriptor stands, until it returns false.  False when
/// reading the folder failed part-way, so that a short listing is never
/// taken for the whole.
bool ForEachFolderEntry(int fd, const std::function<bool(const dirent64&)>& each);

}  // namespace kestrel
