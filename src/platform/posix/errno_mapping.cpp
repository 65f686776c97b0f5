#include "platform/posix/errno_mapping.h"

#include <cerrno>

namespace skerry {

ErrorCode ErrorFromErrno(int error) {
  switch (error) {
    case 0:
      return kErrorSuccess;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:  // Windows refuses to open a directory as a file with "access denied"
    case EROFS:
      return kErrorAccessDenied;
    case EBADF:
      return kErrorInvalidHandle;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case EINVAL:
      return kErrorInvalidParameter;
    case EIO:
      return kErrorIoDevice;
    case ENXIO:
    case ENODEV:
#ifdef ENOMEDIUM
    case ENOMEDIUM:
#endif
      return kErrorNotReady;
    case ENAMETOOLONG:
      return kErrorFilenameExcedRange;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case EFBIG:
      return kErrorFileTooLarge;
    case ESPIPE:
      return kErrorSeek;
    case EOVERFLOW:
      return kErrorArithmeticOverflow;
    case ELOOP:
      return kErrorCantResolveFilename;
    case EPIPE:
      return kErrorBrokenPipe;
    case EBUSY:
    case ETXTBSY:
      return kErrorSharingViolation;
    case EEXIST:
      return kErrorAlreadyExists;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case ENOTSUP:
      return kErrorNotSupported;
    case EBADMSG:
      return kErrorCrc;
    default:
      return kErrorGenFailure;
  }
}

}  // namespace skerry
