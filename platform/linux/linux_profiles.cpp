// Profile files on the Linux machine model: read through a cache of the
// parsed file, a key or a whole section at a time, and written.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/linux/atomic_file.h"
#include "platform/linux/errno_map.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/process_umask.h"
#include "platform/model/profile_writer.h"

namespace kestrel {

std::wstring LinuxPlatform::ProfileFilePath(const std::wstring& file) {
  if (file.empty() || file.find_first_of(L"\\/:") != std::wstring::npos) return file;
  return L"C:\\windows\\" + file;
}

std::shared_ptr<const ProfileText> LinuxPlatform::LoadProfile(const std::wstring& file) {
  std::wstring path = ProfileFilePath(file);
  // Resolved on every call (one lstat when the name is in the case on the
  // disk): a file renamed, replaced or reached through a drive that subst
  // re-points is never read from its old place.
  std::string host;
  struct stat st;
  std::uint32_t error;
  if (!root_.ToHost(path, host, error)) {
    SetLastError(error);
    return nullptr;
  }
  if (stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    SetLastError(win::kFileNotFound);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(lock_);
  auto it = profiles_.find(host);
  if (it != profiles_.end() && it->second.device == st.st_dev && it->second.inode == st.st_ino &&
      it->second.size == st.st_size && it->second.modified.tv_sec == st.st_mtim.tv_sec &&
      it->second.modified.tv_nsec == st.st_mtim.tv_nsec) {
    SetLastError(0);  // as Windows' profile reads do for a file they could read
    return it->second.text;
  }
  std::string bytes;
  if (!ReadWhole(path, host, bytes)) return nullptr;
  CachedProfile& entry = profiles_[host];
  entry.device = st.st_dev;
  entry.inode = st.st_ino;
  entry.size = st.st_size;
  entry.modified = st.st_mtim;
  entry.text = std::make_shared<const ProfileText>(
      DecodeTextFile(bytes, [this](std::string_view b) { return acp_.ToWide(b); }));
  SetLastError(0);
  return entry.text;
}

std::wstring LinuxPlatform::GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                     const std::wstring& defaultValue, std::uint32_t bufferChars,
                                                     const std::wstring& file) {
  return ProfileGetString(LoadProfile(file).get(), section, key, defaultValue, bufferChars);
}

int LinuxPlatform::GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, int defaultValue,
                                         const std::wstring& file) {
  return ProfileGetInt(LoadProfile(file).get(), section, key, defaultValue);
}

std::uint32_t LinuxPlatform::GetPrivateProfileSectionW(const std::wstring& section, std::wstring& buffer,
                                                       std::uint32_t bufferChars, const std::wstring& file) {
  return ProfileGetSection(LoadProfile(file).get(), section, bufferChars, buffer);
}

bool LinuxPlatform::WritePrivateProfileStringW(const std::wstring& section, const std::optional<std::wstring>& key,
                                               const std::optional<std::wstring>& value, const std::wstring& file) {
  if (file.empty()) return Fail(win::kAccessDenied);  // as Windows answers an empty file name
  std::string host;
  if (!Resolve(ProfileFilePath(file), host)) return false;
  // A link is followed, so the file it points to is the one that changes.
  char real[PATH_MAX];
  if (realpath(host.c_str(), real)) host = real;

  // Writers of one folder take turns, so two launchers changing different
  // keys of one file both see their change kept.
  struct stat dirSt;
  std::string dir = HostDirName(host);
  if (stat(dir.c_str(), &dirSt) != 0 || !S_ISDIR(dirSt.st_mode)) return Fail(win::kPathNotFound);
  ExclusiveLock lock(dir);
  if (lock.error()) return FailErrno(lock.error());

  std::string bytes;
  mode_t mode = 0666 & ~ProcessUmask();
  struct stat st {};
  if (stat(host.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return Fail(win::kAccessDenied);
    mode = st.st_mode & 07777;
    if (!ReadWhole(file, host, bytes)) return false;
  } else if (!key || !value) {
    SetLastError(0);
    return true;  // nothing to remove from a file that is not there
  }

  AnsiCodec codec{[this](std::string_view b) { return acp_.ToWide(b); },
                  [this](std::wstring_view t) { return acp_.FromWide(t); }};
  std::optional<std::string> changed = ProfileWrite(bytes, section, key, value, codec);
  if (!changed) return Fail(win::kInvalidParameter);
  if (*changed != bytes || st.st_nlink == 0) {
    if (int err = ReplaceFileAtomically(host, *changed, mode)) return FailErrno(err);
  }
  SetLastError(0);
  return true;
}

}  // namespace kestrel
