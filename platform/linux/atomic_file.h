#pragma once
// Durable, all-or-nothing file replacement and the locks that keep two
// writers from losing each other's changes.  A launcher killed at any
// moment leaves either the old or the new file, never a torn one.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace kestrel {

/// Replaces (or creates) the file at `path` with `bytes` and permission
/// bits `mode`: the new content goes to an unnamed temporary file in the
/// same folder, is flushed to disk, and is then renamed over the old file;
/// the folder is flushed too.  Returns 0 or the errno of the failed step,
/// leaving the old file as it was.
int ReplaceFileAtomically(const std::string& path, std::string_view bytes, mode_t mode);

/// An exclusive advisory lock held while the object lives.  A folder can
/// be locked as well as a file (the lock is on its inode), so files that
/// are replaced by rename are guarded by locking their folder.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(const std::string& path);
  ~ExclusiveLock();
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  /// 0 when the lock is held, else the errno of opening the path.
  int error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

/// The folder part of a host path ("/a/b" -> "/a", "/a" -> "/").
std::string HostDirName(const std::string& path);

}  // namespace kestrel
