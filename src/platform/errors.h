#pragma once
// Windows error codes: the one currency of failure in Skerry, 0 for success.
// The POSIX backend maps errno to the nearest of these.

#include <cstdint>
#include <string>

namespace skerry {

using ErrorCode = uint32_t;

inline constexpr ErrorCode kErrorSuccess = 0;
inline constexpr ErrorCode kErrorInvalidFunction = 1;
inline constexpr ErrorCode kErrorFileNotFound = 2;
inline constexpr ErrorCode kErrorPathNotFound = 3;
inline constexpr ErrorCode kErrorTooManyOpenFiles = 4;
inline constexpr ErrorCode kErrorAccessDenied = 5;
inline constexpr ErrorCode kErrorInvalidHandle = 6;
inline constexpr ErrorCode kErrorNotEnoughMemory = 8;
inline constexpr ErrorCode kErrorInvalidBlock = 9;
inline constexpr ErrorCode kErrorInvalidAccess = 12;
inline constexpr ErrorCode kErrorInvalidDrive = 15;
inline constexpr ErrorCode kErrorNoMoreFiles = 18;
inline constexpr ErrorCode kErrorNotReady = 21;
inline constexpr ErrorCode kErrorCrc = 23;
inline constexpr ErrorCode kErrorSeek = 25;
inline constexpr ErrorCode kErrorReadFault = 30;
inline constexpr ErrorCode kErrorGenFailure = 31;
inline constexpr ErrorCode kErrorSharingViolation = 32;
inline constexpr ErrorCode kErrorHandleEof = 38;
inline constexpr ErrorCode kErrorNotSupported = 50;
inline constexpr ErrorCode kErrorInvalidParameter = 87;
inline constexpr ErrorCode kErrorBrokenPipe = 109;
inline constexpr ErrorCode kErrorDiskFull = 112;
inline constexpr ErrorCode kErrorNegativeSeek = 131;
inline constexpr ErrorCode kErrorDirNotEmpty = 145;
inline constexpr ErrorCode kErrorAlreadyExists = 183;
inline constexpr ErrorCode kErrorFilenameExcedRange = 206;
inline constexpr ErrorCode kErrorArithmeticOverflow = 534;
inline constexpr ErrorCode kErrorIoDevice = 1117;
inline constexpr ErrorCode kErrorBadDevice = 1200;
inline constexpr ErrorCode kErrorCantResolveFilename = 1921;
inline constexpr ErrorCode kErrorNotFound = 1168;
inline constexpr ErrorCode kErrorFileCorrupt = 1392;
inline constexpr ErrorCode kErrorDiskCorrupt = 1393;
inline constexpr ErrorCode kErrorFileTooLarge = 223;

// The system's English message text for a code, exactly as the system gives it
// (Windows' texts end with CR LF; the POSIX backend's table ends its texts with
// its own line end). A code without a text gets a generic text naming the number.
std::u16string GetErrorText(ErrorCode code);

}  // namespace skerry
