#pragma once
// Between the shared cache of the user's number format and the backend that
// reads it from the system.

#include "platform/locale_format.h"

namespace skerry {

// Reads the user's number format from the system; each backend has its own.
NumberFormat ReadUserNumberFormat();

// Drops the cached format, so that the next UserNumberFormat reads it again.
void ForgetUserNumberFormat();

}  // namespace skerry
