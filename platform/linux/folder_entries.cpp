#include "platform/linux/folder_entries.h"

#include <cerrno>

namespace kestrel {

bool ForEachFolderEntry(int fd, const std::function<bool(const dirent64&)>& each) {
  alignas(8) char buffer[32768];
  for (;;) {
    ssize_t got = getdents64(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0;
    for (ssize_t at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
      at += entry->d_reclen;
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      if (!each(*entry)) return true;
    }
  }
}

}  // namespace kestrel
