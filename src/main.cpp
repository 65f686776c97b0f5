#include "driver/run_skerry.h"
#include "driver/system_drive_runners.h"
#include "platform/arguments.h"
#include "platform/console.h"
#include "platform/line_end.h"

namespace {

int Run(const std::vector<std::u16string>& args) {
  std::wostream& out = skerry::StandardOutput();
  std::wostream& err = skerry::StandardError();
  // Paths in error messages (a directory that fails to open) come from the
  // disk too, so a terminal error stream gets the same masking.
  skerry::SetInteractive(out, skerry::StandardOutputIsTerminal());
  skerry::SetInteractive(err, skerry::StandardErrorIsTerminal());
  int status = 0;
  try {
    status = skerry::RunSkerry(args, out, err, skerry::SystemDriveRunners());
  } catch (...) {
    // Lines already written wait in the output buffer when it is not a
    // terminal; they go out before the failure ends the program.
    skerry::FlushStandardStreams();
    throw;
  }
  skerry::FlushStandardStreams();
  return status;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return Run(skerry::ArgumentsFromWide(argc, argv)); }
#else
int main(int argc, char** argv) { return Run(skerry::ArgumentsFromUtf8(argc, argv)); }
#endif
