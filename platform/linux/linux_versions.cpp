#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/errno_map.h"
#include "platform/linux/linux_platform.h"
#include "platform/model/version_resource.h"

namespace kestrel {

bool LinuxPlatform::ReadVersionBlock(const std::wstring& file, std::vector<std::uint8_t>& block) {
  std::string host;
  std::uint32_t error;
  if (!root_.ToHost(file, host, error)) {
    SetLastError(error);
    return false;
  }
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);  // a FIFO never blocks the check
  if (fd < 0) {
    SetLastError(WindowsErrorFromErrno(errno));
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    SetLastError(S_ISDIR(st.st_mode) ? win::kAccessDenied : win::kBadFormat);
    return false;
  }
  if (st.st_size == 0) {
    close(fd);
    SetLastError(win::kBadFormat);
    return false;
  }
  // Mapped rather than read: a DLL of hundreds of megabytes costs only the
  // pages the resource walk touches.
  void* image = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (image == MAP_FAILED) {
    SetLastError(WindowsErrorFromErrno(errno));
    return false;
  }
  bool ok = ReadVersionResource(
      std::span(static_cast<const std::uint8_t*>(image), static_cast<std::size_t>(st.st_size)), block, error);
  munmap(image, static_cast<std::size_t>(st.st_size));
  SetLastError(error);
  return ok;
}

std::uint32_t LinuxPlatform::GetFileVersionInfoSizeW(const std::wstring& file) {
  std::vector<std::uint8_t> block;
  if (!ReadVersionBlock(file, block)) return 0;
  return static_cast<std::uint32_t>(block.size());
}

bool LinuxPlatform::GetFileVersionInfoW(const std::wstring& file, std::uint32_t size, std::vector<std::uint8_t>& block) {
  if (!ReadVersionBlock(file, block)) return false;
  if (block.size() > size) block.resize(size);
  return true;
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
