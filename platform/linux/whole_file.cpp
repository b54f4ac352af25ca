#include "platform/linux/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kestrel {

int ReadWholeFile(const std::string& path, std::string& bytes) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno;
  struct stat st;
  int err = 0;
  if (fstat(fd, &st) != 0) err = errno;
  else if (!S_ISREG(st.st_mode)) err = EACCES;
  else if (static_cast<unsigned long long>(st.st_size) > kMaxWholeFileBytes) err = EFBIG;
  if (err) {
    close(fd);
    return err;
  }
  bytes.clear();
  // Skin archives run to megabytes: one allocation, not a doubling string.
  if (st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      err = errno;
      break;
    }
    if (got == 0) break;
    // A file that grows while it is read stops at the limit too.
    if (bytes.size() + static_cast<std::size_t>(got) > kMaxWholeFileBytes) {
      err = EFBIG;
      break;
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  if (err) bytes.clear();
  return err;
}

}  // namespace kestrel
