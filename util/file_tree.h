#pragma once
// Recursive copy and delete of directory trees, and the creation of a
// folder with its missing parents.  They report nothing themselves (their
// callers log) and never stop a walk because one entry failed.

#include <string>

#include "platform/platform.h"

namespace kestrel {

/// Copies the contents of `source` into `target` (which the caller makes
/// sure exists).  Entries named "gamepatch" and files named "Kestrel.exe"
/// are passed over at every depth; subfolders are created as needed; of
/// `failIfExists` only the low byte counts, handed to CopyFileW.  Returns 0
/// when source and target are the same text ignoring case (or either is
/// empty), 1 otherwise, whatever happened to single files.  Folder links
/// are not descended into, and the target is never copied into itself
/// when it lies inside the source.
int CopyDirectoryTree(Platform& os, const std::wstring& source, const std::wstring& target, int failIfExists);

/// Creates `path` with its missing parents.  1 when it is a directory
/// already; 0 when it is 260 characters or longer or has no parent to
/// take off; otherwise the result of CreateDirectoryW on the path.
int CreateDirectoryPath(Platform& os, const std::wstring& path);

/// Deletes `path` with everything below it, read-only, hidden and system
/// files included.  A symbolic link or junction, at the top or anywhere
/// below, is removed itself and never followed.  0 when nothing is at the
/// path, 1 otherwise, also when parts were left in place.
int DeleteDirectoryTree(Platform& os, const std::wstring& path);

/// Drops every trailing backslash and slash.
void TrimTrailingSeparators(std::wstring& path);

}  // namespace kestrel
