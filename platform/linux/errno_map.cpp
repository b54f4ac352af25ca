#include "platform/linux/errno_map.h"

#include <cerrno>

#include "platform/platform.h"

namespace kestrel {

std::uint32_t WindowsErrorFromErrno(int err) {
  switch (err) {
    case 0: return 0;
    case ENOENT: return win::kFileNotFound;
    case ENOTDIR: return win::kPathNotFound;
    case EMFILE: case ENFILE: return 4;  // ERROR_TOO_MANY_OPEN_FILES
    case EACCES: case EPERM: case EISDIR: return win::kAccessDenied;
    case EBADF: return win::kInvalidHandle;
    case ENOMEM: return win::kNotEnoughMemory;
    case EXDEV: return 17;          // ERROR_NOT_SAME_DEVICE
    case EROFS: return 19;          // ERROR_WRITE_PROTECT
    case EBUSY: case ETXTBSY: return win::kSharingViolation;
    case EEXIST: return win::kFileExists;
    case EINVAL: return win::kInvalidParameter;
    case ENOSPC: return 112;        // ERROR_DISK_FULL
    case EFBIG: return 223;         // ERROR_FILE_TOO_LARGE
    case ENOTEMPTY: return win::kDirNotEmpty;
    case ENAMETOOLONG: return win::kFilenameTooLong;
    case ENOEXEC: return win::kBadExeFormat;
    case ELOOP: return 1921;        // ERROR_CANT_RESOLVE_FILENAME
    default: return 31;             // ERROR_GEN_FAILURE
  }
}

}  // namespace kestrel
