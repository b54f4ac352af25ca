// Files, folders and drives of the Linux machine model.

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/linux/atomic_file.h"
#include "platform/linux/errno_map.h"
#include "platform/linux/folder_entries.h"
#include "platform/linux/folder_names.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/process_umask.h"
#include "platform/linux/whole_file.h"
#include "platform/model/folder_listing.h"
#include "platform/model/logical_drives.h"
#include "platform/model/missing_path.h"
#include "platform/model/wildcard.h"
#include "text/path_buffer.h"
#include "text/utf.h"
#include "text/wide_format.h"

namespace kestrel {

namespace {

/// Windows keeps "read-only" where Linux keeps write permission: a file
/// nobody may write is read-only.
bool ReadOnlyMode(mode_t mode) { return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

std::uint32_t Attributes(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return win::kFileAttributeDirectory;
  return ReadOnlyMode(st.st_mode) ? win::kFileAttributeReadonly : win::kFileAttributeArchive;
}

/// Attributes as Windows reports them for a link: the reparse-point bit,
/// with the directory bit when it points to a folder.  `target` is what
/// stat said of the link, null when it is dangling.
std::uint32_t LinkAttributes(const struct stat* target) {
  if (target && S_ISDIR(target->st_mode)) return win::kFileAttributeDirectory | win::kFileAttributeReparsePoint;
  return win::kFileAttributeArchive | win::kFileAttributeReparsePoint;
}

bool IsLinkFolder(int at, const std::string& path) {
  struct stat st;
  return fstatat(at, path.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
}

/// A name that resolving found missing, in a folder that is there: ENOENT
/// without asking the disk again.
int Missing() {
  errno = ENOENT;
  return -1;
}

/// lstat, from what resolving already learned when it could.
int Lstat(const std::string& host, const MachineRoot::Found& found, struct stat& st) {
  if (found.missingInExistingFolder) return Missing();
  if (!found.exists) return lstat(host.c_str(), &st);
  st = found.st;
  return 0;
}

/// stat, from what resolving already learned when the path is no link.
int Stat(const std::string& host, const MachineRoot::Found& found, struct stat& st) {
  if (found.missingInExistingFolder) return Missing();
  if (!found.exists || S_ISLNK(found.st.st_mode)) return stat(host.c_str(), &st);
  st = found.st;
  return 0;
}

/// Copies what `from` holds into `to`.  `size` is the length the source
/// had when it was looked at: once that much is copied the copy is done,
/// without one more call to learn the end (0: read to the end).
int CopyContents(int from, int to, off_t size) {
  // In the kernel first: no trip through this process's memory, and a
  // file system that can share blocks shares them.  A file system or
  // kernel without it leaves the copy to read and write, before anything
  // was copied.
  off_t copied = 0;
  for (bool first = true;; first = false) {
    ssize_t got = copy_file_range(from, nullptr, to, nullptr, std::size_t{1} << 30, 0);
    if (got > 0 && (copied += got) == size) return 0;
    if (got > 0) continue;
    if (got == 0) return 0;
    if (errno == EINTR) continue;
    bool unsupported = errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP || errno == EPERM;
    if (!first || !unsupported) return errno;
    break;
  }
  char buffer[65536];
  for (;;) {
    ssize_t got = read(from, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return 0;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(to, buffer + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) return errno;
      done += put;
    }
  }
}

}  // namespace

bool LinuxPlatform::Fail(std::uint32_t error) {
  SetLastError(error);
  return false;
}

bool LinuxPlatform::FailErrno(int err) { return Fail(WindowsErrorFromErrno(err)); }

bool LinuxPlatform::Resolve(std::wstring_view path, std::string& host, MachineRoot::Found* found,
                            bool expectNew) {
  std::uint32_t error = 0;
  if (path.empty()) return Fail(win::kPathNotFound);
  if (!root_.ToHost(path, host, error, found, expectNew)) return Fail(error);
  return true;
}

LinuxPlatform::ListedFolder::~ListedFolder() {
  if (fd >= 0) close(fd);
}

bool LinuxPlatform::Locate(const std::wstring& path, Place& place, struct stat& st, bool follow) {
  const int flags = follow ? 0 : AT_SYMLINK_NOFOLLOW;
  {
    // A name directly in a folder that an open listing holds: the walks
    // act on every entry of the folder they list, and asking relative to
    // the listing's descriptor spares resolving the whole path each time.
    // Only a name there as written goes this way, and only while its whole
    // host path would fit, so that every answer is that of the long way.
    std::lock_guard<std::mutex> guard(lock_);
    for (auto it = finds_.rbegin(); it != finds_.rend(); ++it) {
      const std::shared_ptr<const ListedFolder>& folder = it->second.folder;
      if (!folder || path.size() <= folder->path.size() || path.compare(0, folder->path.size(), folder->path) != 0)
        continue;
      std::wstring_view rest = std::wstring_view(path).substr(folder->path.size());
      if (rest.find_first_of(L"\\/") != std::wstring_view::npos) continue;
      if (rest == L"." || rest == L".." || rest.find(L'\0') != std::wstring_view::npos) break;
      place.path = WideToUtf8(rest);
      if (folder->hostLength + 1 + place.path.size() >= PATH_MAX) break;
      place.folder = folder;
      place.fd = folder->fd;
      break;
    }
  }
  if (place.folder && fstatat(place.fd, place.path.c_str(), &st, flags) == 0) return true;
  place = Place();
  MachineRoot::Found found;
  if (!Resolve(path, place.path, &found)) return false;
  if ((follow ? Stat(place.path, found, st) : Lstat(place.path, found, st)) == 0) return true;
  return Fail(errno == ENOENT ? MissingError(place.path, found) : WindowsErrorFromErrno(errno));
}

std::uint32_t LinuxPlatform::MissingError(const std::string& host, const MachineRoot::Found& found) {
  if (found.missingInExistingFolder) return MissingPathError(true);
  return MissingError(host);
}

std::uint32_t LinuxPlatform::MissingError(const std::string& host) {
  struct stat st;
  std::string dir = host.substr(0, std::max<std::size_t>(host.rfind('/'), 1));
  return MissingPathError(stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

Handle LinuxPlatform::NewHandle() {
  std::lock_guard<std::mutex> guard(lock_);
  return nextHandle_++;
}

bool LinuxPlatform::PathFileExistsW(const std::wstring& path) {
  std::string host;
  std::uint32_t error;
  MachineRoot::Found found;
  if (!root_.ToHost(path, host, error, &found)) {
    SetLastError(error);
    return false;
  }
  if (found.missingInExistingFolder) return Fail(MissingError(host, found));
  struct stat st;
  // A link's own lstat says nothing of its target.
  if ((!found.exists || S_ISLNK(found.st.st_mode)) && stat(host.c_str(), &st) != 0) {
    SetLastError(WindowsErrorFromErrno(errno));
    return false;
  }
  return true;
}

bool LinuxPlatform::ReadFileBytes(const std::wstring& path, std::string& bytes) {
  std::string host;
  std::uint32_t error;
  if (!root_.ToHost(path, host, error)) {
    SetLastError(error);
    return false;
  }
  if (!ReadWhole(path, host, bytes)) return false;
  SetLastError(0);
  return true;
}

bool LinuxPlatform::ReadWhole(const std::wstring& path, const std::string& host, std::string& bytes) {
  int err = ReadWholeFile(host, bytes);
  if (err == EFBIG)
    OutputDebugStringW(FormatWide(L"MSG: File not read, larger than %d MiB: file=%s",
                                  {static_cast<int>(kMaxWholeFileBytes >> 20), path}));
  SetLastError(WindowsErrorFromErrno(err));
  return err == 0;
}

bool LinuxPlatform::PathIsDirectoryW(const std::wstring& path) {
  std::string host;
  MachineRoot::Found found;
  if (!Resolve(path, host, &found)) return false;
  struct stat st;
  if (Stat(host, found, st) != 0) return Fail(MissingError(host, found));
  return S_ISDIR(st.st_mode);
}

std::uint32_t LinuxPlatform::GetFileAttributesW(const std::wstring& path) {
  std::string host;
  MachineRoot::Found found;
  if (!Resolve(path, host, &found)) return win::kInvalidFileAttributes;
  struct stat st;
  if (Stat(host, found, st) != 0) {
    Fail(errno == ENOENT ? MissingError(host, found) : WindowsErrorFromErrno(errno));
    return win::kInvalidFileAttributes;
  }
  struct stat own;
  if (Lstat(host, found, own) == 0 && S_ISLNK(own.st_mode)) return LinkAttributes(&st);
  return Attributes(st);
}

bool LinuxPlatform::SetFileAttributesW(const std::wstring& path, std::uint32_t attributes) {
  Place at;
  struct stat st;
  if (!Locate(path, at, st, true)) return false;
  if (S_ISDIR(st.st_mode)) return true;  // a folder's write permission is what lets its files be deleted
  mode_t mode = st.st_mode & 07777;
  if (attributes & win::kFileAttributeReadonly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else if (ReadOnlyMode(mode)) {
    // Writable again for its owner, and for those who may read it where
    // the umask allows.
    mode |= S_IWUSR | (((mode & (S_IRGRP | S_IROTH)) >> 1) & ~ProcessUmask());
  }
  if (mode != (st.st_mode & 07777) && fchmodat(at.fd, at.path.c_str(), mode, 0) != 0) return FailErrno(errno);
  SetLastError(0);
  return true;
}

Handle LinuxPlatform::FindFirstFileW(const std::wstring& pattern, FindDataW& data) {
  std::size_t cut = pattern.find_last_of(L"\\/");
  std::wstring dir = cut == std::wstring::npos ? std::wstring(L".") : pattern.substr(0, cut + 1);
  std::wstring mask = cut == std::wstring::npos ? pattern : pattern.substr(cut + 1);
  if (pattern.size() == 2 && pattern[1] == L':') dir = pattern, mask.clear();
  std::string host;
  MachineRoot::Found folder;
  // The folder without its closing separator (but for a drive's root
  // "X:\"), in the plain form that resolves the short way.
  std::wstring_view folderPath = dir;
  if (folderPath.size() > 3 && (folderPath.back() == L'\\' || folderPath.back() == L'/')) folderPath.remove_suffix(1);
  if (!Resolve(folderPath, host, &folder)) return kInvalidHandleValue;
  if (mask.empty()) {
    Fail(win::kFileNotFound);
    return kInvalidHandleValue;
  }
  int fd = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    Fail(errno == ENOENT || errno == ENOTDIR ? win::kPathNotFound : WindowsErrorFromErrno(errno));
    return kInvalidHandleValue;
  }
  auto listed = std::make_shared<ListedFolder>();
  listed->fd = fd;  // closed with it
  Find find;
  std::vector<FindDataW> found;
  const bool whole = ForEachFolderEntry(fd, [&](const dirent64& e) {
    std::wstring wide = Utf8ToWide(e.d_name);
    if (!MatchesWildcard(mask, wide)) return true;
    struct stat st;
    FindDataW entry{win::kFileAttributeArchive, 0, wide};
    // Relative to the open folder: no walk down the whole path per entry.
    bool followed = fstatat(fd, e.d_name, &st, 0) == 0;
    if (followed) {
      entry.attributes = Attributes(st);
      entry.fileSize = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
    }
    bool link = false;
    if (e.d_type == DT_LNK || e.d_type == DT_UNKNOWN) {
      struct stat own;
      link = fstatat(fd, e.d_name, &own, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(own.st_mode);
      if (link) entry.attributes = LinkAttributes(followed ? &st : nullptr);
    }
    found.push_back(std::move(entry));
    return true;
  });
  if (!whole) {
    Fail(WindowsErrorFromErrno(errno));
    return kInvalidHandleValue;
  }
  // The folder stays open while the listing is: its entries are reached
  // through it (Locate).  Drive paths only, which mean the same whatever
  // the current folder.
  if (dir.size() >= 3 && dir[1] == L':' && (dir[2] == L'\\' || dir[2] == L'/')) {
    listed->path = dir;
    listed->hostLength = host.size();
    find.folder = std::move(listed);
  }
  find.listing = FolderListing(mask, folder.driveRoot, std::move(found));
  if (find.listing.Next(data) != 0) {
    Fail(win::kFileNotFound);
    return kInvalidHandleValue;
  }
  Handle h = NewHandle();
  {
    std::lock_guard<std::mutex> guard(lock_);
    finds_[h] = std::move(find);
  }
  SetLastError(0);
  return h;
}

bool LinuxPlatform::FindNextFileW(Handle handle, FindDataW& data) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = finds_.find(handle);
  if (it == finds_.end()) return Fail(win::kInvalidHandle);
  std::uint32_t error = it->second.listing.Next(data);
  return error == 0 || Fail(error);
}

bool LinuxPlatform::FindClose(Handle handle) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!finds_.erase(handle)) return Fail(win::kInvalidHandle);
  return true;
}

bool LinuxPlatform::CopyFileW(const std::wstring& existingFile, const std::wstring& newFile, bool failIfExists) {
  Place from;
  std::string to;
  MachineRoot::Found toFound;
  struct stat src, dst;
  if (!Locate(existingFile, from, src, true) || !Resolve(newFile, to, &toFound, true)) return false;
  // Only a regular file's bytes are copied: a FIFO would block the copy,
  // a device would be read without end.
  if (!S_ISREG(src.st_mode)) return Fail(win::kAccessDenied);
  // A name that resolving found missing, in a folder that is there, needs
  // no second look.
  bool exists = false;
  if (!toFound.missingInExistingFolder) {
    exists = Stat(to, toFound, dst) == 0;
    if (!exists && errno == ENOENT && MissingError(to) == win::kPathNotFound) return Fail(win::kPathNotFound);
  }
  if (exists) {
    if (failIfExists) return Fail(win::kFileExists);
    if (S_ISDIR(dst.st_mode) || ReadOnlyMode(dst.st_mode)) return Fail(win::kAccessDenied);
    if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) return Fail(win::kSharingViolation);
  }
  int in = openat(from.fd, from.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (in < 0) return FailErrno(errno);
  // The copy keeps the original's permissions (read-only included) and
  // its time of last change, as CopyFileW does.  A file this call makes
  // itself is made with them, when the umask takes none away.
  const mode_t mode = src.st_mode & 07777;
  bool made = false;
  int out = -1;
  if (!exists) {
    // Made in the folder the name was found missing in, when that is held
    // and the whole path would fit: a path that does not fit is refused
    // by the long way.
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
    if (toFound.folder && to.size() < PATH_MAX)
      out = openat(toFound.folder->fd, to.c_str() + to.rfind('/') + 1, flags, mode & 0777);
    else
      out = open(to.c_str(), flags, mode & 0777);
    made = out >= 0;
    if (made) root_.Made(to, false);
  }
  if (out < 0 && (exists || (errno == EEXIST && !failIfExists)))
    out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0), 0600);
  if (out < 0) {
    int err = errno;
    close(in);
    return Fail(err == EEXIST ? win::kFileExists : WindowsErrorFromErrno(err));
  }
  int err = CopyContents(in, out, src.st_size);
  const bool modeMade = made && (mode & ~0777) == 0 && (mode & ProcessUmask()) == 0;
  if (!err && !modeMade && fchmod(out, mode) != 0) err = errno;
  timespec times[2] = {src.st_atim, src.st_mtim};
  if (!err) futimens(out, times);
  close(in);
  if (close(out) != 0 && !err) err = errno;
  if (err) return FailErrno(err);
  SetLastError(0);
  return true;
}

bool LinuxPlatform::CreateDirectoryW(const std::wstring& path) {
  std::string host;
  MachineRoot::Found found;
  if (!Resolve(path, host, &found)) return false;
  // Made in the folder the name was found missing in, when that is held
  // and the whole path would fit (as in CopyFileW).
  const int made = found.folder && host.size() < PATH_MAX
                       ? mkdirat(found.folder->fd, host.c_str() + host.rfind('/') + 1, 0777)
                       : mkdir(host.c_str(), 0777);
  if (made != 0) {
    if (errno == EEXIST) return Fail(win::kAlreadyExists);
    return Fail(errno == ENOENT || errno == ENOTDIR ? win::kPathNotFound : WindowsErrorFromErrno(errno));
  }
  root_.Made(host, true);
  SetLastError(0);
  return true;
}

bool LinuxPlatform::DeleteFileW(const std::wstring& path) {
  Place at;
  struct stat st;
  if (!Locate(path, at, st, false)) return false;
  if (S_ISDIR(st.st_mode)) return Fail(win::kAccessDenied);
  if (S_ISREG(st.st_mode) && ReadOnlyMode(st.st_mode)) return Fail(win::kAccessDenied);
  if (unlinkat(at.fd, at.path.c_str(), 0) != 0) return FailErrno(errno);
  SetLastError(0);
  return true;
}

bool LinuxPlatform::RemoveDirectoryW(const std::wstring& path) {
  Place at;
  struct stat st;
  if (!Locate(path, at, st, false)) return false;
  if (S_ISLNK(st.st_mode)) {
    // A link to a folder is removed like a folder, as Windows removes a
    // folder link or junction; its target stays.
    if (!IsLinkFolder(at.fd, at.path)) return Fail(win::kDirectory);
    if (unlinkat(at.fd, at.path.c_str(), 0) != 0) return FailErrno(errno);
    SetLastError(0);
    return true;
  }
  if (!S_ISDIR(st.st_mode)) return Fail(win::kDirectory);
  if (unlinkat(at.fd, at.path.c_str(), AT_REMOVEDIR) != 0)
    return Fail(errno == ENOTEMPTY || errno == EEXIST ? win::kDirNotEmpty : WindowsErrorFromErrno(errno));
  SetLastError(0);
  return true;
}

bool LinuxPlatform::WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  std::string host;
  if (!Resolve(path, host)) return false;
  // Whatever stands at the name is replaced, never written through: a link
  // placed in a game folder must not make the launcher overwrite the file
  // it points to, and a FIFO must not block the write.  The new file keeps
  // a regular file's permissions, and is whole or not there at all.
  struct stat st;
  mode_t mode = 0666 & ~ProcessUmask();
  if (lstat(host.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && ReadOnlyMode(st.st_mode))) return Fail(win::kAccessDenied);
    if (S_ISREG(st.st_mode)) mode = st.st_mode & 07777;
  } else if (errno == ENOENT && MissingError(host) == win::kPathNotFound) {
    return Fail(win::kPathNotFound);
  }
  if (int err = ReplaceFileAtomically(host, bytes, mode)) return FailErrno(err);
  SetLastError(0);
  return true;
}

std::uint32_t LinuxPlatform::GetLogicalDriveStringsW(std::uint32_t bufferChars, std::wstring& buffer) {
  return LogicalDriveStrings(root_.Drives(), bufferChars, buffer);
}

}  // namespace kestrel
