#include <array>
#include <string>

#include "platform/errors.h"
#include "platform/text.h"

namespace skerry {
namespace {

struct ErrorText {
  ErrorCode code;
  const char* text;
};

// Windows' English system messages for every code that Skerry can produce,
// either itself or through the errno mapping, so that an error line reads the
// same on every platform. The line end is this platform's own.
constexpr std::array kErrorTexts{
    ErrorText{0, "The operation completed successfully."},
    ErrorText{1, "Incorrect function."},
    ErrorText{2, "The system cannot find the file specified."},
    ErrorText{3, "The system cannot find the path specified."},
    ErrorText{4, "The system cannot open the file."},
    ErrorText{5, "Access is denied."},
    ErrorText{6, "The handle is invalid."},
    ErrorText{8, "Not enough memory resources are available to process this command."},
    ErrorText{9, "The storage control block address is invalid."},
    ErrorText{12, "The access code is invalid."},
    ErrorText{13, "The data is invalid."},
    ErrorText{14, "Not enough storage is available to complete this operation."},
    ErrorText{15, "The system cannot find the drive specified."},
    ErrorText{18, "There are no more files."},
    ErrorText{21, "The device is not ready."},
    ErrorText{23, "Data error (cyclic redundancy check)."},
    ErrorText{25, "The drive cannot locate a specific area or track on the disk."},
    ErrorText{27, "The drive cannot find the sector requested."},
    ErrorText{30, "The system cannot read from the specified device."},
    ErrorText{31, "A device attached to the system is not functioning."},
    ErrorText{32,
              "The process cannot access the file because it is being used by another process."},
    ErrorText{38, "Reached the end of the file."},
    ErrorText{50, "The request is not supported."},
    ErrorText{87, "The parameter is incorrect."},
    ErrorText{109, "The pipe has been ended."},
    ErrorText{112, "There is not enough space on the disk."},
    ErrorText{122, "The data area passed to a system call is too small."},
    ErrorText{123, "The filename, directory name, or volume label syntax is incorrect."},
    ErrorText{131,
              "An attempt was made to move the file pointer before the beginning of the file."},
    ErrorText{145, "The directory is not empty."},
    ErrorText{161, "The specified path is invalid."},
    ErrorText{183, "Cannot create a file when that file already exists."},
    ErrorText{206, "The filename or extension is too long."},
    ErrorText{223, "The file size exceeds the limit allowed and cannot be saved."},
    ErrorText{267, "The directory name is invalid."},
    ErrorText{534, "Arithmetic result exceeded 32 bits."},
    ErrorText{1117, "The request could not be performed because of an I/O device error."},
    ErrorText{1168, "Element not found."},
    ErrorText{1200, "The specified device name is invalid."},
    ErrorText{1392, "The file or directory is corrupted and unreadable."},
    ErrorText{1393, "The disk structure is corrupted and unreadable."},
    ErrorText{1921, "The name of the file cannot be resolved by the system."},
};

}  // namespace

std::u16string GetErrorText(ErrorCode code) {
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.code == code) return Widen(entry.text) + u'\n';
  }
  return Widen("Unknown error " + std::to_string(code) + ".\n");
}

}  // namespace skerry
