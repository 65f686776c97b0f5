#include "scan/list_files.h"

#include <cstdint>
#include <exception>
#include <string>
#include <system_error>
#include <thread>

#include "platform/console.h"
#include "platform/line_end.h"
#include "platform/utf16.h"
#include "platform/utf16_writer.h"
#include "scan/body_file_line.h"
#include "scan/diagnostic_relay.h"
#include "scan/listing_columns.h"
#include "scan/scan_loop.h"

namespace skerry {
namespace {

class ListingWriter final : public EntryVisitor {
 public:
  ListingWriter(std::wostream& output, const ScanSettings& settings, const NtfsVolume& volume)
      : output_(output),
        header_(ListingHeader(settings)),
        headerPending_(!settings.nulTerminated),
        line_(settings, volume.separator(), volume.clusterSize()),
        // A path kept as UTF-8 goes to a file or a pipe as it is; a terminal
        // shows paths masked, and a separator that is half of a pair would
        // join what lies around the path.
        utf8Paths_(settings.showDirectory && Utf16Writer::TakesUtf8(output) &&
                   (settings.nulTerminated || !IsInteractive(output)) &&
                   !IsSurrogate(volume.separator())) {}

  bool WantsUtf8Paths() const override { return utf8Paths_; }

  void Visit(const FileEntry& entry) override {
    // One failed write must not silence the lines after it.
    if (!output_.good()) output_.clear();
    if (headerPending_) {
      output_ << header_;
      headerPending_ = false;
    }
    line_.Write(output_, entry);
  }

 private:
  std::wostream& output_;
  std::wstring header_;
  bool headerPending_;
  ListingLineWriter line_;
  bool utf8Paths_;
};

class BodyFileWriter final : public EntryVisitor {
 public:
  BodyFileWriter(std::wostream& output, const ScanSettings& settings, const NtfsVolume& volume)
      : output_(output), lines_(settings, volume.separator()) {}

  void Visit(const FileEntry& entry) override {
    if (!output_.good()) output_.clear();
    lines_.Write(output_, entry);
  }

 private:
  std::wostream& output_;
  BodyFileLineWriter lines_;
};

}  // namespace

ErrorCode ListFiles(NtfsVolume& volume, std::u16string_view physicalName,
                    const PartitionEntry& partition, const ScanSettings& settings,
                    std::wostream& output) {
  EntryCollector collector(settings);
  // The runs of -V's column are kept in one growing vector, which another
  // thread may not read while it grows: that listing waits for the load.
  if (settings.showVcn) {
    const ErrorCode mounted = volume.Mount(physicalName, partition, settings.separator, &collector);
    const ErrorCode listed = ListMountedVolume(volume, settings, collector, output);
    return mounted != kErrorSuccess ? mounted : listed;
  }
  // The MFT loads on a second thread while this one writes the lines of
  // what is loaded: on a cold disk the lines are written while the disk
  // reads. The load's diagnostic lines wait for this thread, which writes
  // the output that the error stream flushes.
  std::wostream& diagnosticTarget =
      volume.diagnosticStream() != nullptr ? *volume.diagnosticStream() : StandardError();
  DiagnosticRelay diagnostics(diagnosticTarget, collector.kept());
  struct RestoreDiagnostics {
    NtfsVolume& volume;
    std::wostream* stream;
    ~RestoreDiagnostics() { volume.SetDiagnosticStream(stream); }
  } restore{volume, volume.diagnosticStream()};
  volume.SetDiagnosticStream(&diagnostics.stream());
  collector.PublishWhileLoading();

  ErrorCode mounted = kErrorSuccess;
  std::exception_ptr loadFailure;
  const auto load = [&] {
    try {
      mounted = volume.Mount(physicalName, partition, settings.separator, &collector);
    } catch (...) {
      loadFailure = std::current_exception();
    }
    collector.EndLoad();
  };
  std::thread loading;
  try {
    loading = std::thread(load);
  } catch (const std::system_error&) {
    load();  // no second thread to be had: the lines follow the load
  }
  struct Joiner {
    std::thread& thread;
    ~Joiner() {
      if (thread.joinable()) thread.join();
    }
  } joiner{loading};
  // The volume's geometry is known once the first records are published.
  collector.WaitForProgress(LoadProgress{});
  ListingWriter listing(output, settings, volume);
  BodyFileWriter bodyFile(output, settings, volume);
  EntryVisitor& writer = settings.bodyFile ? static_cast<EntryVisitor&>(bodyFile) : listing;
  const ErrorCode scan =
      ScanEntriesWhileLoading(collector, settings, volume.separator(), writer, diagnostics);
  if (loading.joinable()) loading.join();
  diagnostics.WriteUpTo(SIZE_MAX);
  if (loadFailure) std::rethrow_exception(loadFailure);
  // A load that failed inside the MFT lists the records read before, and
  // ends with its code; one cut short by the end of the disk lost more than
  // a damaged record.
  if (mounted != kErrorSuccess) return mounted;
  if (volume.mftLoadError() != kErrorSuccess) return volume.mftLoadError();
  return scan;
}

ErrorCode ListMountedVolume(NtfsVolume& volume, const ScanSettings& settings,
                            EntryCollector& collector, std::wostream& output) {
  ListingWriter listing(output, settings, volume);
  BodyFileWriter bodyFile(output, settings, volume);
  EntryVisitor& writer = settings.bodyFile ? static_cast<EntryVisitor&>(bodyFile) : listing;
  const ErrorCode scan = ScanEntries(collector, settings, volume.separator(), writer);
  // An MFT cut short by the end of the disk lost more than a damaged record.
  if (volume.mftLoadError() != kErrorSuccess) return volume.mftLoadError();
  return scan;
}

}  // namespace skerry
