#include "platform/linux/folder_names.h"

#include <dirent.h>
#include <limits.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>

#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel {

namespace {

/// Folders whose names are kept; the least recently asked is let go.
constexpr std::size_t kFoldersKept = 16;
/// A folder with no more names than this is listed each time: listing it
/// costs less than watching it.
constexpr std::size_t kWatchFrom = 64;
/// A folder with more names than this is listed each time rather than
/// kept, so that memory stays small.
constexpr std::size_t kNamesKept = 200000;

/// Counts forks.  A child shares its parent's inotify queue and must not
/// drain it, so a watch made before a fork is never read after it.
std::atomic<unsigned> gForkGeneration{0};

unsigned ForkGeneration() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    pthread_atfork(nullptr, nullptr, [] { gForkGeneration.fetch_add(1, std::memory_order_relaxed); });
  });
  return gForkGeneration.load(std::memory_order_relaxed);
}

/// Changes to which names a folder holds, and the ends of a watch.
constexpr std::uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_ONLYDIR;

std::wstring Folded(std::wstring_view name) {
  std::wstring out(name);
  for (wchar_t& c : out) c = FoldCase(c);
  return out;
}

/// Whether a name read from the disk equals `name` without regard to case;
/// names in plain ASCII are compared without making wide copies.
bool SameNameNoCase(const char* entry, const std::wstring& name) {
  std::size_t i = 0;
  for (; entry[i]; ++i) {
    unsigned char c = static_cast<unsigned char>(entry[i]);
    if (c >= 0x80) return EqualsNoCase(Utf8ToWide(entry), name);
    if (i >= name.size() || FoldCase(static_cast<wchar_t>(c)) != FoldCase(name[i])) return false;
  }
  return i == name.size();
}

/// Calls `each` with every name in the open folder `fd` but "." and "..",
/// until it returns false.
void ForEachName(int fd, const std::function<bool(const char*)>& each) {
  alignas(8) char buffer[32768];
  for (;;) {
    ssize_t got = getdents64(fd, buffer, sizeof buffer);
    if (got <= 0) return;
    for (ssize_t at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
      at += entry->d_reclen;
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      if (!each(name)) return;
    }
  }
}

/// Looks through the open folder `fd` for the name equal to `name` without
/// regard to case, into `found`; stops once it is found and more than
/// `enough` names were seen.  The number of names seen.
std::size_t FindInFolder(int fd, const std::wstring& name, std::string& found, std::size_t enough) {
  std::size_t count = 0;
  ForEachName(fd, [&](const char* entry) {
    if (found.empty() && SameNameNoCase(entry, name)) found = entry;
    ++count;
    return found.empty() || count <= enough;
  });
  return count;
}

/// The lookup without keeping anything: false when `dir` cannot be read
/// as a folder.
bool ListFolderForName(const std::string& dir, const std::wstring& name, std::string& found) {
  found.clear();
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  FindInFolder(fd, name, found, 0);
  close(fd);
  return true;
}

}  // namespace

FolderNames::FolderNames() = default;

FolderNames::~FolderNames() {
  // In a forked child the descriptor is the child's own copy: closing it
  // leaves the parent's watch alone.
  if (fd_ >= 0) close(fd_);
}

bool FolderNames::Usable() {
  if (!started_) {
    started_ = true;
    forkGeneration_ = ForkGeneration();
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  }
  if (fd_ >= 0 && forkGeneration_ != ForkGeneration()) {
    close(fd_);
    fd_ = -1;
    folders_.clear();
    recent_.clear();
  }
  return fd_ >= 0;
}

void FolderNames::Forget(int watch) {
  if (folders_.erase(watch)) inotify_rm_watch(fd_, watch);
  recent_.remove(watch);
}

void FolderNames::ForgetAll() {
  for (const auto& [watch, folder] : folders_) inotify_rm_watch(fd_, watch);
  folders_.clear();
  recent_.clear();
}

bool FolderNames::TakeEvents() {
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    ssize_t got = read(fd_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) return true;
    if (got <= 0) return false;
    // A read returns every event queued when it was made that fits: room
    // left for one more of the longest means none was left behind.
    const bool drained = sizeof buffer - static_cast<std::size_t>(got) >= sizeof(inotify_event) + NAME_MAX + 1;
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->mask & IN_Q_OVERFLOW) return false;
      auto it = folders_.find(event->wd);
      if (it == folders_.end()) continue;
      if (event->mask & (IN_DELETE_SELF | IN_IGNORED | IN_UNMOUNT)) {
        Forget(event->wd);
        continue;
      }
      if (event->len == 0) continue;
      std::wstring folded = Folded(Utf8ToWide(event->name));
      auto [first, last] = it->second.names.equal_range(folded);
      auto same = std::find_if(first, last, [&](const auto& entry) { return entry.second == event->name; });
      if (event->mask & (IN_CREATE | IN_MOVED_TO)) {
        if (same == last) it->second.names.emplace(std::move(folded), event->name);
      } else if (event->mask & (IN_DELETE | IN_MOVED_FROM)) {
        // Only the name that went: another of the same letters may stay.
        if (same != last) it->second.names.erase(same);
      }
    }
    if (drained) return true;
  }
}

bool FolderNames::Find(const std::string& dir, const std::wstring& name, std::string& found) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!Usable()) return ListFolderForName(dir, name, found);
  found.clear();
  // While no folder is watched there is nothing to learn from the queue.
  if (!folders_.empty()) {
    if (!TakeEvents()) ForgetAll();
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ListFolderForName(dir, name, found);
    const std::wstring folded = Folded(name);
    for (auto it = recent_.begin(); it != recent_.end(); ++it) {
      const Folder& folder = folders_.at(*it);
      if (folder.device != st.st_dev || folder.inode != st.st_ino) continue;
      recent_.splice(recent_.begin(), recent_, it);
      auto known = folder.names.find(folded);
      if (known != folder.names.end()) found = known->second;
      return true;
    }
  }

  // A small folder costs less to list again than to watch.
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const std::size_t count = FindInFolder(fd, name, found, kWatchFrom);
  struct stat opened;
  int watch = -1;
  if (count > kWatchFrom && fstat(fd, &opened) == 0) {
    // Through the open descriptor: the very folder that is listed.
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    watch = inotify_add_watch(fd_, self.c_str(), kEvents);
  }
  // Watched first, then listed again from the start, so that no change
  // falls between the listing and the watch.
  if (watch < 0 || lseek(fd, 0, SEEK_SET) != 0) {
    if (watch >= 0) inotify_rm_watch(fd_, watch);
    close(fd);
    return true;
  }
  Folder folder{static_cast<std::uint64_t>(opened.st_dev), static_cast<std::uint64_t>(opened.st_ino), {}};
  bool keep = true;
  found.clear();
  ForEachName(fd, [&](const char* entry) {
    if (found.empty() && SameNameNoCase(entry, name)) found = entry;
    folder.names.emplace(Folded(Utf8ToWide(entry)), entry);
    keep = folder.names.size() <= kNamesKept;
    return keep || found.empty();
  });
  close(fd);
  if (!keep) {
    inotify_rm_watch(fd_, watch);
    return true;
  }
  recent_.remove(watch);  // the same folder by another path
  folders_[watch] = std::move(folder);
  recent_.push_front(watch);
  while (recent_.size() > kFoldersKept) Forget(recent_.back());
  return true;
}

}  // namespace kestrel
