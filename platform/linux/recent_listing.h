#pragma once
// What the last folder listing on this thread saw of its entries, for the
// calls a tree walk makes on each entry right after listing it (clear the
// read-only flag, delete): each of them would otherwise look the entry up
// again, which costs more than removing it.  An entry is answered from the
// listing only within a few milliseconds of it, and only for its exact
// name; the calls that change an entry update or drop it.  The decisions
// made from it (is it there, a folder, read-only?) are as old as the
// moment between any look and the change it leads to: the delete itself
// still goes to the disk by path.

#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

namespace kestrel {

namespace recent_listing {

/// Keeps the entries (exact names with their lstat; links are left out)
/// listed in `folder`, a Windows path as the walk named it, whose host
/// path is `host`.  `owner` is the platform object that listed them.
void Keep(const void* owner, std::wstring folder, std::string host,
          std::vector<std::pair<std::wstring, struct stat>> entries);

/// The host path and lstat of `path` when it names an entry of the last
/// listing by `owner`, made moments ago.
bool Find(const void* owner, const std::wstring& path, std::string& host, struct stat& st);

/// After a change of `path`'s permissions to `mode`.
void SetMode(const std::wstring& path, mode_t mode);

/// After `path` was removed, made or changed otherwise.
void Forget(const std::wstring& path);

}  // namespace recent_listing

}  // namespace kestrel
