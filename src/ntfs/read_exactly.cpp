#include "ntfs/read_exactly.h"

namespace skerry {

ErrorCode ReadExactly(BlockDevice& device, uint8_t* buffer, uint32_t count) {
  uint32_t done = 0;
  while (done < count) {
    uint32_t got = 0;
    if (!device.Read(buffer + done, count - done, got)) return device.LastError();
    if (got == 0) return kErrorHandleEof;
    done += got < count - done ? got : count - done;
  }
  return kErrorSuccess;
}

}  // namespace skerry
