#include "listing_comparison.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "process_runner.h"

namespace skerry::e2e {
namespace {

constexpr uint64_t kRootRecord = 5;
constexpr size_t kReportLimit = 40;
// Looking names up costs one process per record; past this many differences
// the listing is wrong anyway, so the report comes without the lookups.
constexpr size_t kLookupLimit = 200;
const std::string kOrphans = "$OrphanFiles";

}  // namespace

std::string SkerryPathOf(const std::string& flsPath, const std::string& drive) {
  // A stream line names its file: NTFS names cannot hold ':', so it starts the stream.
  std::string path = flsPath.substr(0, flsPath.find(':'));
  std::replace(path.begin(), path.end(), '/', '\\');
  return drive + "\\" + path;
}

ListingComparison CompareListing(const std::string& listing, const std::string& drive,
                                 const std::vector<FlsEntry>& fls, const RecordNames& names) {
  std::map<uint64_t, std::set<std::string>> candidates;  // in-use record -> acceptable lines
  std::map<uint64_t, std::string> directories;           // record -> path without the drive
  candidates[kRootRecord].insert(drive + "\\.");
  directories[kRootRecord] = "";
  for (const FlsEntry& entry : fls) {
    if (entry.deleted || entry.nameType == 'V') continue;
    const bool orphan = entry.path.compare(0, kOrphans.size() + 1, kOrphans + "/") == 0;
    // A record in no index: it is in use, but only its own names tell where.
    std::set<std::string>& accepted = candidates[entry.inode];
    if (orphan) continue;
    accepted.insert(SkerryPathOf(entry.path, drive));
    // Without the drive: "\docs" below the root.
    if (entry.nameType == 'd') directories[entry.inode] = SkerryPathOf(entry.path, "");
  }

  std::map<std::string, uint64_t> recordOfLine;
  for (const auto& [record, accepted] : candidates) {
    for (const std::string& line : accepted) recordOfLine[line] = record;
  }

  std::vector<std::string> lines = SplitLines(listing);
  if (!lines.empty() && lines.front() == "Path") lines.erase(lines.begin());
  std::map<uint64_t, std::string> printed;
  std::vector<std::string> unknown, twice;
  for (const std::string& line : lines) {
    const auto found = recordOfLine.find(line);
    if (found == recordOfLine.end()) {
      unknown.push_back(line);
    } else if (!printed.emplace(found->second, line).second) {
      twice.push_back(line + "  (record " + std::to_string(found->second) + ", also as " +
                      printed[found->second] + ")");
    }
  }

  // What is left may be records in no index, whose names fls does not show:
  // ask for their own names.
  std::vector<uint64_t> missing;
  for (const auto& [record, accepted] : candidates) {
    if (!printed.count(record)) missing.push_back(record);
  }
  if (!unknown.empty() && !missing.empty() && missing.size() <= kLookupLimit && names) {
    std::vector<uint64_t> stillMissing;
    for (const uint64_t record : missing) {
      bool matched = false;
      // A record that fls names in an index must be printed under one of those names.
      if (!candidates[record].empty()) {
        stillMissing.push_back(record);
        continue;
      }
      for (const FileNameOfRecord& name : names(record)) {
        const auto parent = directories.find(name.parent);
        if (parent == directories.end()) continue;
        const std::string line = drive + parent->second + "\\" + name.name;
        const auto at = std::find(unknown.begin(), unknown.end(), line);
        if (at != unknown.end()) {
          unknown.erase(at);
          candidates[record].insert(line);
          matched = true;
          break;
        }
      }
      if (!matched) stillMissing.push_back(record);
    }
    missing = stillMissing;
  }

  std::ostringstream report;
  report << lines.size() << " lines from skerry, " << candidates.size()
         << " in-use records from fls\n";
  auto list = [&](const char* title, const std::vector<std::string>& items) {
    if (items.empty()) return;
    std::vector<std::string> sorted = items;
    std::sort(sorted.begin(), sorted.end());
    report << title << " (" << sorted.size() << "):\n";
    for (size_t i = 0; i < sorted.size() && i < kReportLimit; ++i)
      report << "  " << sorted[i] << '\n';
    if (sorted.size() > kReportLimit) report << "  ...\n";
  };
  std::vector<std::string> missingText;
  for (const uint64_t record : missing) {
    std::string text = "record " + std::to_string(record) + ":";
    for (const std::string& line : candidates[record]) text += " " + line;
    missingText.push_back(text);
  }
  list("printed by skerry, not in use per fls", unknown);
  list("in use per fls, not printed by skerry", missingText);
  list("printed twice for one record", twice);

  ListingComparison result;
  result.matches = unknown.empty() && missing.empty() && twice.empty();
  result.report = report.str();
  return result;
}

}  // namespace skerry::e2e
