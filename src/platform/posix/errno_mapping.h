#pragma once
// errno to the nearest Windows error code, so that the core sees the same
// codes, and prints the same texts, on every platform.

#include "platform/errors.h"

namespace skerry {

ErrorCode ErrorFromErrno(int error);

}  // namespace skerry
