#include "dirwalk/directory_walker.h"

#include <algorithm>

#include "platform/console.h"
#include "platform/error_line.h"
#include "platform/line_end.h"
#include "platform/text.h"

namespace skerry {
namespace {

constexpr size_t kMaxNameUnits = 255;  // what the $FILE_NAME view holds

bool IsAsciiLetterOrDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// A path that begins with a drive designator (c:): the directory filters see
// the path without it, so that c:\docs and d:\docs both give \docs.
bool HasDriveDesignator(std::u16string_view directory) {
  return directory.size() >= 2 && directory[1] == u':';
}

}  // namespace

bool IsWalkedDirectoryName(std::u16string_view name) {
  if (name.empty()) return false;  // it would name the directory itself
  if (name[0] != u'.') return true;
  if (name.size() < 2) return false;
  return IsAsciiLetterOrDigit(name[1]) || name[1] > 0xFF;
}

DirectoryWalker::DirectoryWalker(ScanSettings& walkSettings, std::wostream& walkOutput)
    : DirectoryWalker(walkSettings, walkOutput, StandardError(), SystemDirectorySearch()) {}

DirectoryWalker::DirectoryWalker(ScanSettings& walkSettings, std::wostream& walkOutput,
                                 std::wostream& errors, DirectorySearch& search)
    : settings(walkSettings), output(walkOutput), errors_(errors), search_(search) {}

// Iterative rather than recursive, so that a deep tree costs heap, not stack:
// `levels_` holds one open search per directory between the start and the
// directory being enumerated.
void DirectoryWalker::Walk() {
  levels_.clear();
  (void)Enter();
  while (!levels_.empty()) {
    Level& level = levels_.back();
    const size_t directoryLength = level.pathLength;
    if (!NextEntry(level)) {
      levels_.pop_back();
      if (!levels_.empty()) {
        path.resize(levels_.back().pathLength);
        SetEntryPath(path.size());
      }
      continue;
    }
    if ((found_.attributes & kFileAttributeDirectory) == 0) {
      VisitFile(directoryLength);
      continue;
    }
    // A junction or a link to a directory is neither a file nor a directory of
    // this tree: following it would walk another tree (a link to / walks the
    // whole host), or this one again (a profile's junctions point back at
    // their parent).
    if (IsNameSurrogate(found_) || !IsWalkedDirectoryName(found_.name)) continue;
    path += u'\\';
    path += found_.name;
    // Enter may reallocate levels_: `level` is not used after this.
    if (!Enter()) {
      // Not entered; the parent goes on with its next entry.
      path.resize(directoryLength);
      SetEntryPath(directoryLength);
    }
  }
}

bool DirectoryWalker::Enter() {
  const size_t length = path.size();
  SetEntryPath(length);
  path += u"\\*";
  ErrorCode code = kErrorSuccess;
  std::unique_ptr<DirectoryEnumeration> enumeration = search_.FindFirst(path, found_, code);
  if (!enumeration) {
    // A directory without a single entry (a drive's empty root on Windows)
    // fails to open with "file not found"; it is empty, not broken.
    if (code != kErrorFileNotFound) {
      WriteErrorLine(errors_, code);
      errors_ << L"Failed to open directory " << Text(path) << L"\n";
      errors_.flush();
      error |= code;
    }
    path.resize(length);
    return false;
  }
  path.resize(length);
  Level level;
  level.identified = enumeration->Identify(level.identity);
  if (level.identified && IsAncestor(level.identity)) {
    // A way back into the directories being walked (links are not followed,
    // but a bind mount can make one): entering it would print them again and
    // again until the path no longer fits.
    errors_ << L"Skipping directory loop: " << Text(path) << L"\n";
    errors_.flush();
    error |= kErrorCantResolveFilename;
    return false;
  }
  level.enumeration = std::move(enumeration);
  level.pathLength = length;
  levels_.push_back(std::move(level));
  return true;
}

bool DirectoryWalker::NextEntry(Level& level) {
  if (level.firstPending) {
    level.firstPending = false;
    return true;
  }
  return level.enumeration->Next(found_);
}

bool DirectoryWalker::IsAncestor(const DirectoryIdentity& identity) const {
  return std::any_of(levels_.begin(), levels_.end(), [&](const Level& level) {
    return level.identified && level.identity == identity;
  });
}

// The directory filter sees the views of the file before (only the path is
// its own), exactly as in the listing's directory test; the views are filled
// once the file's directory has passed.
void DirectoryWalker::VisitFile(size_t directoryLength) {
  if (!settings.directoryFilter->Matches(standardInfo_, fileName_, entry_)) return;
  FillFileViews(directoryLength);
  if (!settings.recordFilter->Matches(standardInfo_, fileName_, entry_)) return;
  std::u16string_view directory(path.data(), directoryLength);
  if (settings.nulTerminated) {
    // Names exactly as they are, even on a terminal, each line ended by a NUL.
    line_.clear();
    AppendWide(line_, directory);
    line_.push_back(L'\\');
    AppendWide(line_, found_.name);
    line_.push_back(L'\0');
    output.write(line_.data(), static_cast<std::streamsize>(line_.size()));
  } else {
    output << Text(directory) << L'\\' << Text(found_.name) << L'\n';
  }
  EndLine(output);
}

void DirectoryWalker::FillFileViews(size_t directoryLength) {
  const std::u16string& name = found_.name;
  const size_t units = std::min(name.size(), kMaxNameUnits);  // no system has longer names
  StoreLe64(&standardInfo_[kSiModified], found_.lastWriteTime);
  StoreLe64(&fileName_[kFnModified], found_.lastWriteTime);
  StoreLe64(&fileName_[kFnDataSize], found_.size);
  fileName_[kFnNameLength] = static_cast<uint8_t>(units);
  for (size_t i = 0; i < units; ++i) StoreLe16(&fileName_[kFnName + 2 * i], name[i]);
  StoreLe16(&fileName_[kFnName + 2 * units], 0);

  path += u'\\';
  path += name;
  entry_.dataCount = search_.CountDataStreams(path);
  path.resize(directoryLength);
  entry_.modified = found_.lastWriteTime;
  entry_.size = found_.size;
}

// A path without a drive designator (a relative path, or one that starts at
// the root of the current drive) reaches the directory filters as given.
void DirectoryWalker::SetEntryPath(size_t directoryLength) {
  std::u16string_view directory(path.data(), directoryLength);
  if (HasDriveDesignator(directory)) directory.remove_prefix(2);
  entryPath_.assign(directory);
  entry_.path = entryPath_;
}

}  // namespace skerry
