// File versions: the version resource read from a file's PE image, once
// for the size and data pair of calls.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/errno_map.h"
#include "platform/linux/linux_platform.h"

namespace kestrel {

namespace {

FileState StateOf(const struct stat& st) {
  FileState state;
  state.device = static_cast<std::uint64_t>(st.st_dev);
  state.inode = static_cast<std::uint64_t>(st.st_ino);
  state.size = static_cast<std::uint64_t>(st.st_size);
  state.modifiedSeconds = st.st_mtim.tv_sec;
  state.modifiedNanoseconds = st.st_mtim.tv_nsec;
  return state;
}

/// The version resource of the file at a host path and the state it was
/// read in; false with a Windows error code.
bool ReadVersionBlock(const std::string& host, std::vector<std::uint8_t>& block, FileState& state,
                      std::uint32_t& error) {
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);  // a FIFO never blocks the check
  if (fd < 0) {
    error = WindowsErrorFromErrno(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    error = S_ISDIR(st.st_mode) ? win::kAccessDenied : win::kBadFormat;
    return false;
  }
  if (st.st_size == 0) {
    close(fd);
    error = win::kBadFormat;
    return false;
  }
  state = StateOf(st);
  // Mapped rather than read: a DLL of hundreds of megabytes costs only the
  // pages the resource walk touches.
  void* image = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (image == MAP_FAILED) {
    error = WindowsErrorFromErrno(errno);
    return false;
  }
  bool ok = ReadVersionResource(
      std::span(static_cast<const std::uint8_t*>(image), static_cast<std::size_t>(st.st_size)), block, error);
  munmap(image, static_cast<std::size_t>(st.st_size));
  return ok;
}

}  // namespace

std::uint32_t LinuxPlatform::GetFileVersionInfoSizeW(const std::wstring& file) {
  std::string host;
  std::uint32_t error = 0;
  if (!root_.ToHost(file, host, error)) {
    SetLastError(error);
    return 0;
  }
  std::uint32_t size = versionPair_.Size(
      host, [&](auto& block, auto& state, auto& err) { return ReadVersionBlock(host, block, state, err); }, error);
  SetLastError(error);
  return size;
}

bool LinuxPlatform::GetFileVersionInfoW(const std::wstring& file, std::uint32_t size, std::vector<std::uint8_t>& block) {
  std::string host;
  std::uint32_t error = 0;
  if (!root_.ToHost(file, host, error)) {
    SetLastError(error);
    return false;
  }
  struct stat st;
  FileState current;
  bool known = stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  if (known) current = StateOf(st);
  bool ok = versionPair_.Data(
      host, known ? &current : nullptr, size,
      [&](auto& found, auto& state, auto& err) { return ReadVersionBlock(host, found, state, err); }, block, error);
  SetLastError(error);
  return ok;
}

bool LinuxPlatform::VerQueryValueW(std::span<const std::uint8_t> block, const std::wstring& subBlock,
                                   FixedFileInfo& info) {
  if (subBlock != L"\\" || !ParseFixedFileInfo(block, info)) {
    SetLastError(win::kResourceTypeNotFound);
    return false;
  }
  return true;
}

}  // namespace kestrel
