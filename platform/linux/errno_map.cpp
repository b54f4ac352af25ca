#include "platform/linux/errno_map.h"

#include <cerrno>

namespace kestrel {

std::uint32_t WindowsErrorFromErrno(int err) {
  switch (err) {
    case 0: return 0;
    case ENOENT: return 2;          // ERROR_FILE_NOT_FOUND
    case ENOTDIR: return 3;         // ERROR_PATH_NOT_FOUND
    case EMFILE: case ENFILE: return 4;  // ERROR_TOO_MANY_OPEN_FILES
    case EACCES: case EPERM: case EISDIR: return 5;  // ERROR_ACCESS_DENIED
    case EBADF: return 6;           // ERROR_INVALID_HANDLE
    case ENOMEM: return 8;          // ERROR_NOT_ENOUGH_MEMORY
    case EXDEV: return 17;          // ERROR_NOT_SAME_DEVICE
    case EROFS: return 19;          // ERROR_WRITE_PROTECT
    case EBUSY: case ETXTBSY: return 32;  // ERROR_SHARING_VIOLATION
    case EEXIST: return 80;         // ERROR_FILE_EXISTS
    case EINVAL: return 87;         // ERROR_INVALID_PARAMETER
    case ENOSPC: return 112;        // ERROR_DISK_FULL
    case EFBIG: return 223;         // ERROR_FILE_TOO_LARGE
    case ENOTEMPTY: return 145;     // ERROR_DIR_NOT_EMPTY
    case ENAMETOOLONG: return 206;  // ERROR_FILENAME_EXCED_RANGE
    case ENOEXEC: return 193;       // ERROR_BAD_EXE_FORMAT
    case ELOOP: return 1921;        // ERROR_CANT_RESOLVE_FILENAME
    default: return 31;             // ERROR_GEN_FAILURE
  }
}

}  // namespace kestrel
