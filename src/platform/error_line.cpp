#include "platform/error_line.h"

#include "platform/text.h"

namespace skerry {

void WriteErrorLine(std::wostream& err, ErrorCode code) {
  err << L"Error " << Text(GetErrorText(code)) << L"\n";
  err.flush();
}

}  // namespace skerry
