#include "platform/linux/wine_server_guard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kestrel {

namespace {

std::string ReadTag(const std::string& prefix) {
  int fd = open((prefix + "/wineserver").c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return {};
  char buffer[256];
  ssize_t n = read(fd, buffer, sizeof buffer);
  close(fd);
  if (n <= 0 || n == static_cast<ssize_t>(sizeof buffer)) return {};
  std::string tag(buffer, static_cast<std::size_t>(n));
  while (!tag.empty() && (tag.back() == '\n' || tag.back() == '\r')) tag.pop_back();
  // A tag is one folder name under /tmp, nothing else.
  if (tag.empty() || tag == "." || tag == ".." || tag.find('/') != std::string::npos ||
      tag.find('\0') != std::string::npos)
    return {};
  return tag;
}

/// Makes a folder only its owner may use, as Wine requires of its own.
bool PrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid();
}

int OpenLock(const std::string& folder, bool create) {
  std::string path = folder + "/lock";
  return open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
}

}  // namespace

std::string WineServerGuard::ServerFolder(const std::string& prefix, bool& tagged) {
  struct stat st;
  if (stat(prefix.c_str(), &st) != 0) return {};
  char name[64];
  std::snprintf(name, sizeof name, "/server-%lx-%lx", static_cast<unsigned long>(st.st_dev),
                static_cast<unsigned long>(st.st_ino));
  std::string tag = ReadTag(prefix);
  tagged = !tag.empty();
  std::string base = tagged ? "/tmp/" + tag : "/tmp/.wine-" + std::to_string(getuid());
  return base + name;
}

WineServerGuard::WineServerGuard(const std::string& prefix) : prefix_(prefix) {
  std::string folder = ServerFolder(prefix, tagged_);
  if (folder.empty()) return;  // no prefix folder: no server can serve it
  std::string base = folder.substr(0, folder.rfind('/'));
  if (!PrivateFolder(base) || !PrivateFolder(folder)) return;  // Wine could not start here either
  fd_ = OpenLock(folder, true);
  if (fd_ < 0) return;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 1;
  if (fcntl(fd_, F_SETLK, &fl) != 0 && (errno == EAGAIN || errno == EACCES)) state_ = State::kServerRunning;
}

WineServerGuard::~WineServerGuard() {
  if (fd_ >= 0) close(fd_);
}

bool WineServerGuard::ServerMayHaveStarted() const {
  if (tagged_) return false;
  bool tagged = false;
  ServerFolder(prefix_, tagged);
  return tagged;
}

bool WineServerGuard::ServerRunning(const std::string& prefix) {
  bool tagged = false;
  std::string folder = ServerFolder(prefix, tagged);
  if (folder.empty()) return false;
  int fd = OpenLock(folder, false);
  if (fd < 0) return false;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 1;
  bool running = fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
  close(fd);
  return running;
}

}  // namespace kestrel
