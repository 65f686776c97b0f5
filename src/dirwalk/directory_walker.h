#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "filters/file_views.h"
#include "filters/scan_settings.h"
#include "platform/directory_search.h"
#include "platform/errors.h"
#include "scan/file_entry.h"

namespace skerry {

// Searches a directory tree through the system's directory enumeration and
// prints the full path of every file that passes the settings' filter lists,
// depth-first in the order the enumeration returns the entries.
class DirectoryWalker {
 public:
  // `errors` receives the failures (standard error, tied to `output`);
  // `search` is the system's enumeration unless a test supplies its own.
  DirectoryWalker(ScanSettings& settings, std::wostream& output);
  DirectoryWalker(ScanSettings& settings, std::wostream& output, std::wostream& errors,
                  DirectorySearch& search);

  // Walks the directory held in `path`, recursively, without following
  // junctions and links to directories. A directory that cannot be opened, or
  // that leads back to one being walked, is reported and passed over, and its
  // code ORed into `error`.
  void Walk();

  ScanSettings& settings;
  std::wostream& output;
  // 0, or the OR of the codes of every failure reported.
  ErrorCode error = kErrorSuccess;
  // The directory being walked; the driver fills it before Walk(). It grows
  // and is cut back in place as the walk descends and returns.
  std::u16string path;

 private:
  // One directory being enumerated: its search handle, where its path ends
  // in `path`, and which directory it is, to recognise a loop.
  struct Level {
    std::unique_ptr<DirectoryEnumeration> enumeration;
    size_t pathLength = 0;
    bool identified = false;
    DirectoryIdentity identity;
    bool firstPending = true;
  };

  // Opens the directory held in `path` and pushes it onto `levels_`, or
  // reports why not and returns false. `path` is left as it was.
  bool Enter();
  bool NextEntry(Level& level);
  void VisitFile(size_t directoryLength);
  void FillFileViews(size_t directoryLength);
  void SetEntryPath(size_t directoryLength);
  bool IsAncestor(const DirectoryIdentity& identity) const;

  std::wostream& errors_;
  DirectorySearch& search_;
  std::vector<Level> levels_;
  FindData found_;
  // The views that the filters read; only the fields the walk fills are set.
  StandardInfoBlock standardInfo_{};
  FileNameBlock fileName_{};
  FileEntry entry_;
  std::u16string entryPath_;  // what entry_.path shows
  std::wstring line_;  // a -0 line being built
};

// Whether the walk enters a subdirectory of this name: not ".", "..", nor a
// name whose full stop is followed by anything but a letter or digit (.-old,
// .#tmp). Characters above U+00FF count as letters: .日記 is entered.
bool IsWalkedDirectoryName(std::u16string_view name);

}  // namespace skerry
