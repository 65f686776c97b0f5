// A whole disk: partition table, boot sector, MFT load, the listing (with
// every column, and again through a name pattern that filters the MFT as it
// loads) and the volume report, all written to memory.
//
// Input: the disk image; the disk ends where the input does.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "driver/run_skerry.h"
#include "driver/scan_drive.h"
#include "fuzz_disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace skerry;
  const ByteView disk(data, size);
  const std::vector<std::vector<std::u16string>> runs = {
      {u"skerry", u"-S", u"-T", u"-A", u"-I", u"-#", u"-V", u"c:"},
      {u"skerry", u"-S", u"c:\\d*\\*.t*"},
      {u"skerry", u"-Q", u"c:"},
  };
  for (const auto& args : runs) {
    fuzz::FuzzOpener opener(disk, size, false);
    std::wostringstream output;
    std::wostringstream errors;
    DriveRunners runners;
    runners.scanDrive = [&](std::u16string_view argument, ScanSettings& settings,
                            std::wostream& out) {
      return ScanDrive(argument, settings, out, opener, errors);
    };
    runners.walk = [](std::u16string_view, ScanSettings&, std::wostream&) { return kErrorSuccess; };
    RunSkerry(args, output, errors, runners);
  }
  return 0;
}
