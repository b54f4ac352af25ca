#include "platform/linux/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "text/utf.h"

namespace kestrel {

namespace {

// Any name makes a safe file name: bytes other than letters, digits, "."
// "-" and "_" are written as %XX.
std::string FileNameOf(const std::wstring& name) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : WideToUtf8(name)) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                 c == '_' || (c == '.' && !out.empty());
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out + ".lock";
}

}  // namespace

int OpenNamedMutex(const std::string& directory, const std::wstring& name, bool& alreadyExists) {
  alreadyExists = false;
  mkdir(directory.c_str(), 0755);
  std::string path = directory + "/" + FileNameOf(name);
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    alreadyExists = errno == EWOULDBLOCK;
    break;
  }
  return fd;
}

}  // namespace kestrel
