#include "platform/linux/folder_names.h"

#include <dirent.h>
#include <limits.h>
#include <fcntl.h>
#include <pthread.h>
#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>

#include "platform/linux/folder_entries.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel {

namespace {

/// Folders whose names are kept; the least recently asked is let go.
constexpr std::size_t kFoldersKept = 16;
/// A folder with more names than this is looked up through an index of
/// its folded names rather than by a scan; where stamps are coarse, it is
/// watched while it is being filled (a smaller one costs less to list
/// again than to watch).
constexpr std::size_t kWatchFrom = 64;
/// Small folders whose listings are kept.
constexpr std::size_t kListingsKept = 8;
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
bool SameNameNoCase(const char* entry, std::wstring_view name) {
  std::size_t i = 0;
  for (; entry[i]; ++i) {
    unsigned char c = static_cast<unsigned char>(entry[i]);
    if (c >= 0x80) return EqualsNoCase(Utf8ToWide(entry), name);
    if (i >= name.size()) return false;
    const wchar_t w = name[i];
    if (w == static_cast<wchar_t>(c)) continue;  // equal units need no folding
    if (FoldCase(static_cast<wchar_t>(c)) != FoldCase(w)) return false;
  }
  return i == name.size();
}

/// Calls `each` with every name in the open folder `fd` but "." and "..",
/// until it returns false.  False when reading the folder failed.
bool ForEachName(int fd, const std::function<bool(const char*)>& each) {
  return ForEachFolderEntry(fd, [&](const dirent64& entry) { return each(entry.d_name); });
}

FolderStamp StampOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), st.st_mtim, st.st_ctim};
}

/// Whether the stamps of the file system holding the open folder `fd`
/// come from the kernel's clock, in nanoseconds or whole seconds: local
/// file systems.  A network file system's stamps come from the server's
/// clock and its attributes may be cached; FAT and NTFS keep coarser steps.
bool LocalStamps(int fd) {
  struct statfs fs;
  if (fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC:  // ext2, ext3 and ext4
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case F2FS_SUPER_MAGIC:
      return true;
    default:
      return false;
  }
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

bool SameStamp(const FolderStamp& a, const FolderStamp& b) {
  return a.device == b.device && a.inode == b.inode && SameTime(a.modified, b.modified) &&
         SameTime(a.changed, b.changed);
}

timespec CoarseNow() {
  timespec now;
  clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return now;
}

/// Whether a stamp is strictly older than `start`: by the second when the
/// stamp has no finer part.
bool OlderThan(const timespec& stamp, const timespec& start) {
  if (stamp.tv_nsec == 0) return stamp.tv_sec < start.tv_sec;
  return stamp.tv_sec < start.tv_sec || (stamp.tv_sec == start.tv_sec && stamp.tv_nsec < start.tv_nsec);
}

/// Opens a folder to list it, without touching its access time: a copy
/// lists the folder it fills before each new name, and each listing after
/// a change would write the folder's inode again (relatime).  A folder
/// another user owns is opened as it is.
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOATIME;

int OpenFolder(const std::string& dir) {
  int fd = open(dir.c_str(), kFolderFlags);
  if (fd < 0 && errno == EPERM) fd = open(dir.c_str(), kFolderFlags & ~O_NOATIME);
  return fd;
}

/// Looks through the open folder `fd` for the name equal to `name` without
/// regard to case, into `found`; stops once it is found and more than
/// `enough` names were seen.  The number of names seen.
std::size_t FindInFolder(int fd, std::wstring_view name, std::string& found, std::size_t enough) {
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
bool ListFolderForName(const std::string& dir, std::wstring_view name, std::string& found) {
  found.clear();
  int fd = OpenFolder(dir);
  if (fd < 0) return false;
  FindInFolder(fd, name, found, 0);
  close(fd);
  return true;
}

}  // namespace

bool ListingHolds(const FolderStamp& listed, const timespec& start, const FolderStamp& now, bool fine) {
  return SameStamp(listed, now) && (fine || (OlderThan(listed.modified, start) && OlderThan(listed.changed, start)));
}

bool ProvesFineStamps(const timespec& before, const timespec& after, const FolderStamp& was, const FolderStamp& now) {
  return SameTime(before, after) && !OlderThan(was.changed, before) && was.device == now.device &&
         was.inode == now.inode && !SameTime(was.changed, now.changed);
}

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

HeldFolder::~HeldFolder() {
  if (fd >= 0) close(fd);
}

bool FolderNames::Fine(std::uint64_t device) const {
  return std::find(fineDevices_.begin(), fineDevices_.end(), device) != fineDevices_.end();
}

const FolderNames::Listing* FolderNames::KeptListing(const std::string& dir, const timespec& before,
                                                     struct stat& st, bool& statted) {
  auto kept = std::find_if(listed_.begin(), listed_.end(), [&](const Listing& l) { return l.dir == dir; });
  if (kept == listed_.end()) return nullptr;
  if (!statted) {
    statted = true;
    if (stat(dir.c_str(), &st) != 0) st.st_mode = 0;
  }
  if (!S_ISDIR(st.st_mode) || !ListingHolds(kept->stamp, kept->start, StampOf(st), kept->fine)) {
    listed_.erase(kept);
    return nullptr;
  }
  kept->checked = before;
  listed_.splice(listed_.begin(), listed_, kept);
  return &listed_.front();
}

std::string FolderNames::Listing::NameLike(std::wstring_view name) const {
  if (!index.empty()) {
    auto known = index.find(Folded(name));
    return known == index.end() ? std::string() : known->second;
  }
  for (const std::string& entry : names)
    if (SameNameNoCase(entry.c_str(), name)) return entry;
  return std::string();
}

void FolderNames::Listing::Index() {
  if (names.size() <= kWatchFrom || !index.empty()) return;
  index.reserve(names.size());
  for (const std::string& entry : names) index.emplace(Folded(Utf8ToWide(entry)), entry);
}

void FolderNames::Listing::Add(std::string_view name) {
  if (Holds(name)) return;
  names.emplace_back(name);
  if (index.empty())
    Index();
  else
    index.emplace(Folded(Utf8ToWide(name)), names.back());
}

bool FolderNames::Listing::Holds(std::string_view name) const {
  if (index.empty()) return std::find(names.begin(), names.end(), name) != names.end();
  auto [first, last] = index.equal_range(Folded(Utf8ToWide(name)));
  return std::any_of(first, last, [&](const auto& entry) { return entry.second == name; });
}

bool FolderNames::LikelyMissing(std::string_view dir, std::string_view name) {
  std::lock_guard<std::mutex> guard(lock_);
  auto kept = std::find_if(listed_.begin(), listed_.end(), [&](const Listing& l) { return l.dir == dir; });
  if (kept == listed_.end() || !kept->fine) return false;
  listed_.splice(listed_.begin(), listed_, kept);  // in use: the last to be let go
  return !kept->Holds(name);
}

void FolderNames::Made(std::string_view dir, std::string_view name, bool folder) {
  std::lock_guard<std::mutex> guard(lock_);
  auto kept = std::find_if(listed_.begin(), listed_.end(), [&](const Listing& l) { return l.dir == dir; });
  if (kept == listed_.end()) return;
  const timespec after = CoarseNow();
  // The folder the lookup answered for, which the name was made in; its
  // path leading elsewhere by now shows at the next lookup.
  struct stat st;
  FolderStamp now;
  if ((kept->folder ? fstat(kept->folder->fd, &st) : stat(kept->dir.c_str(), &st)) == 0 && S_ISDIR(st.st_mode))
    now = StampOf(st);
  bool fine = Fine(now.device);
  if (!fine && ProvesFineStamps(kept->checked, after, kept->stamp, now)) {
    fineDevices_.push_back(now.device);
    fine = true;
  }
  const bool moved = now.device == kept->stamp.device && now.inode == kept->stamp.inode &&
                     !SameTime(now.changed, kept->stamp.changed);
  if (fine && !moved) {
    // A change of ours that left the stamp as it was: this file system
    // does not stamp finely after all.
    fineDevices_.erase(std::remove(fineDevices_.begin(), fineDevices_.end(), now.device), fineDevices_.end());
    fine = false;
  }
  if (!fine || !moved || kept->names.size() >= kNamesKept) {
    listed_.erase(kept);
    return;
  }
  kept->Add(name);
  kept->stamp = now;
  kept->fine = true;
  kept->checked = after;
  listed_.splice(listed_.begin(), listed_, kept);
  if (!folder) return;
  // The new folder was empty when it was made; its stamp read now vouches
  // for that from here on.
  std::string made(dir);
  made += '/';
  made += name;
  const std::string own(name);
  const timespec before = CoarseNow();
  const std::shared_ptr<const HeldFolder>& parent = listed_.front().folder;
  int fd = parent ? openat(parent->fd, own.c_str(), kFolderFlags | O_NOFOLLOW) : OpenFolder(made);
  if (fd < 0) return;
  auto held = std::make_shared<const HeldFolder>(fd);
  if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || !Fine(static_cast<std::uint64_t>(st.st_dev))) return;
  listed_.remove_if([&](const Listing& l) { return l.dir == made; });
  Listing empty{std::move(made), StampOf(st), before, {}, true, before, std::move(held), {}};
  listed_.push_front(std::move(empty));
  if (listed_.size() > kListingsKept) listed_.pop_back();
}

bool FolderNames::Find(const std::string& dir, std::wstring_view name, std::string& found,
                       std::shared_ptr<const HeldFolder>* held) {
  std::lock_guard<std::mutex> guard(lock_);
  found.clear();
  const bool watch = Usable();
  const timespec before = CoarseNow();
  struct stat st;
  bool statted = false;
  // While no folder is watched there is nothing to learn from the queue,
  // and it is read only when a watched folder is to answer: the events
  // taken first may say that folder is gone, and one of the same number
  // made since is not it.
  if (watch && !folders_.empty()) {
    statted = true;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ListFolderForName(dir, name, found);
    auto watched = [&] {
      return std::find_if(recent_.begin(), recent_.end(), [&](int w) {
        const Folder& folder = folders_.at(w);
        return folder.device == static_cast<std::uint64_t>(st.st_dev) &&
               folder.inode == static_cast<std::uint64_t>(st.st_ino);
      });
    };
    if (watched() != recent_.end()) {
      if (!TakeEvents()) ForgetAll();
      auto it = watched();
      if (it != recent_.end()) {
        recent_.splice(recent_.begin(), recent_, it);
        const Folder& folder = folders_.at(*it);
        auto known = folder.names.find(Folded(name));
        if (known != folder.names.end()) found = known->second;
        return true;
      }
    }
  }
  if (const Listing* kept = KeptListing(dir, before, st, statted)) {
    found = kept->NameLike(name);
    if (held) *held = kept->folder;
    return true;
  }
  return List(dir, name, found, watch, held);
}

bool FolderNames::List(const std::string& dir, std::wstring_view name, std::string& found, bool watchable,
                       std::shared_ptr<const HeldFolder>* held) {
  const timespec start = CoarseNow();
  int fd = OpenFolder(dir);
  if (fd < 0) return false;
  ++listings_;
  struct stat opened;
  const bool stamped = fstat(fd, &opened) == 0;
  std::vector<std::string> names;
  bool whole = true;  // every name is in `names`
  const bool read = ForEachName(fd, [&](const char* entry) {
    if (found.empty() && SameNameNoCase(entry, name)) found = entry;
    if (names.size() < kNamesKept) {
      names.emplace_back(entry);
      return true;
    }
    whole = false;
    return found.empty();
  });
  // The whole folder was read: keep it where stamps can vouch for it.  A
  // small folder is kept even when ListingHolds will refuse it at its next
  // lookup (changed in this clock tick): what Made learns of a change of
  // ours needs the stamp before it.  A large one changing in this tick,
  // where stamps are coarse, is being filled, and is watched instead, so
  // that it is not listed again for each new name.
  const FolderStamp stamp = StampOf(opened);
  const bool fine = Fine(stamp.device);
  if (read && stamped && whole && LocalStamps(fd) &&
      (names.size() <= kWatchFrom || ListingHolds(stamp, start, stamp, fine))) {
    listed_.remove_if([&](const Listing& l) { return l.dir == dir; });
    auto folder = std::make_shared<const HeldFolder>(fd);
    if (held) *held = folder;
    Listing listing{dir, stamp, start, std::move(names), fine, start, std::move(folder), {}};
    listing.Index();
    listed_.push_front(std::move(listing));
    if (listed_.size() > kListingsKept) listed_.pop_back();
    return true;
  }
  if (names.size() > kWatchFrom && watchable && stamped) Watch(fd, opened, name, found);
  close(fd);
  return true;
}

void FolderNames::Watch(int fd, const struct stat& opened, std::wstring_view name, std::string& found) {
  // Through the open descriptor: the very folder that is listed.
  std::string self = "/proc/self/fd/" + std::to_string(fd);
  int watch = inotify_add_watch(fd_, self.c_str(), kEvents);
  // Watched first, then listed again from the start, so that no change
  // falls between the listing and the watch.
  if (watch < 0) return;
  if (lseek(fd, 0, SEEK_SET) != 0) {
    inotify_rm_watch(fd_, watch);
    return;
  }
  Folder folder{static_cast<std::uint64_t>(opened.st_dev), static_cast<std::uint64_t>(opened.st_ino), {}};
  bool keep = true;
  std::string seen;
  const bool read = ForEachName(fd, [&](const char* entry) {
    if (seen.empty() && SameNameNoCase(entry, name)) seen = entry;
    folder.names.emplace(Folded(Utf8ToWide(entry)), entry);
    keep = folder.names.size() <= kNamesKept;
    return keep || seen.empty();
  });
  if (read) found = seen;
  if (!read || !keep) {
    inotify_rm_watch(fd_, watch);
    return;
  }
  recent_.remove(watch);  // the same folder by another path
  folders_[watch] = std::move(folder);
  recent_.push_front(watch);
  while (recent_.size() > kFoldersKept) Forget(recent_.back());
}

}  // namespace kestrel
