#include "scan/list_files.h"

#include <string>

#include "platform/line_end.h"
#include "platform/utf16.h"
#include "platform/utf16_writer.h"
#include "scan/body_file_line.h"
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
  if (ErrorCode error = volume.Mount(physicalName, partition, settings.separator, &collector)) {
    return error;
  }
  return ListMountedVolume(volume, settings, collector, output);
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
