#include "platform/linux/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace kestrel {

namespace {

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

std::string TempName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  std::size_t slash = path.rfind('/');
  return path.substr(0, slash + 1) + "." + path.substr(slash + 1) + ".kestrel-" + std::to_string(getpid()) + "-" +
         std::to_string(counter++) + ".tmp";
}

}  // namespace

std::string HostDirName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

// One attempt: with an unnamed temporary file, or a named one.
int Replace(const std::string& path, std::string_view bytes, mode_t mode, bool unnamed) {
  std::string dir = HostDirName(path);
  std::string temp = TempName(path);
  int fd = unnamed ? open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode & 07777)
                   : open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
  if (fd < 0) return errno;
  int err = WriteAll(fd, bytes);
  if (!err && fchmod(fd, mode & 07777) != 0) err = errno;
  if (!err && fsync(fd) != 0) err = errno;
  if (!err && unnamed) {
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0) err = errno;
  }
  close(fd);
  if (!err && rename(temp.c_str(), path.c_str()) != 0) err = errno;
  if (err) {
    unlink(temp.c_str());
    return err;
  }
  int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return 0;
}

}  // namespace

int ReplaceFileAtomically(const std::string& path, std::string_view bytes, mode_t mode) {
  // An unnamed file vanishes by itself if the writer dies before the
  // rename; a named one is the fallback where the file system has none.
  int err = Replace(path, bytes, mode, true);
  if (err == EOPNOTSUPP || err == EISDIR || err == EINVAL || err == ENOENT || err == EXDEV || err == EPERM)
    err = Replace(path, bytes, mode, false);
  return err;
}

ExclusiveLock::ExclusiveLock(const std::string& path) {
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error_ = errno;
    return;
  }
  while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

ExclusiveLock::~ExclusiveLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace kestrel
