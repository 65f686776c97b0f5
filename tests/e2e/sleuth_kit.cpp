#include "sleuth_kit.h"

#include <sstream>
#include <stdexcept>

#include "process_runner.h"

namespace skerry::e2e {
namespace {

std::string RunChecked(const std::vector<std::string>& argv) {
  const ProcessResult result = RunProcess(argv);
  if (result.status != 0) {
    std::string command;
    for (const std::string& arg : argv) command += arg + " ";
    throw std::runtime_error(command + "failed:\n" + result.err);
  }
  return result.out;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

bool ParseFlsLine(const std::string& line, FlsEntry& entry) {
  entry = FlsEntry{};
  const size_t tab = line.find('\t');
  if (tab == std::string::npos || line.size() < 4 || line[1] != '/') return false;
  entry.nameType = line[0];
  std::istringstream head(line.substr(3, tab - 3));
  std::string word;
  head >> word;
  if (word == "*") {
    entry.deleted = true;
    head >> word;
  }
  // "64-128-2:", "16:" or "92(realloc):"
  size_t digits = 0;
  while (digits < word.size() && word[digits] >= '0' && word[digits] <= '9') ++digits;
  if (digits == 0) return false;
  entry.inode = std::stoull(word.substr(0, digits));
  entry.path = line.substr(tab + 1);
  return true;
}

std::vector<FlsEntry> RunFls(const std::string& image, uint64_t offsetSectors) {
  std::vector<FlsEntry> entries;
  const std::string out =
      RunChecked({"fls", "-r", "-p", "-o", std::to_string(offsetSectors), image});
  for (const std::string& line : SplitLines(out)) {
    FlsEntry entry;
    if (ParseFlsLine(line, entry)) entries.push_back(entry);
  }
  return entries;
}

std::vector<FileNameOfRecord> ParseIstatFileNames(const std::string& istatOutput) {
  std::vector<FileNameOfRecord> names;
  bool inFileName = false;
  for (const std::string& line : SplitLines(istatOutput)) {
    if (line == "$FILE_NAME Attribute Values:") {
      inFileName = true;
      names.emplace_back();
    } else if (line.empty() || StartsWith(line, "Attributes:")) {
      inFileName = false;
    } else if (inFileName && StartsWith(line, "Name: ")) {
      names.back().name = line.substr(6);
    } else if (inFileName && StartsWith(line, "Parent MFT Entry: ")) {
      names.back().parent = std::stoull(line.substr(18));
    }
  }
  return names;
}

std::vector<FileNameOfRecord> RecordFileNames(const std::string& image, uint64_t offsetSectors,
                                              uint64_t record) {
  return ParseIstatFileNames(
      RunChecked({"istat", "-o", std::to_string(offsetSectors), image, std::to_string(record)}));
}

std::vector<ClusterRun> MftDataRuns(const std::string& image, uint64_t offsetSectors) {
  const std::string out =
      RunChecked({"istat", "-r", "-o", std::to_string(offsetSectors), image, "0"});
  std::vector<ClusterRun> runs;
  bool inData = false;
  for (const std::string& line : SplitLines(out)) {
    if (StartsWith(line, "Type: ")) {
      inData = StartsWith(line, "Type: $DATA (128-") && line.find("Name: N/A") != std::string::npos;
      continue;
    }
    // "  Starting address: 4, length: 23"; holes read "Starting address: X, ... Sparse".
    const size_t at = line.find("Starting address: ");
    if (!inData || at == std::string::npos || line.find("Sparse") != std::string::npos) continue;
    ClusterRun run;
    std::string rest = line.substr(at + 18);
    run.start = std::stoull(rest);
    run.length = std::stoull(rest.substr(rest.find("length: ") + 8));
    runs.push_back(run);
  }
  return runs;
}

std::vector<MmlsPartition> RunMmls(const std::string& image) {
  std::vector<MmlsPartition> partitions;
  for (const std::string& line : SplitLines(RunChecked({"mmls", image}))) {
    // "002:  000:001   0000002048   0000051199   0000049152   NTFS / exFAT (0x07)"
    std::istringstream words(line);
    std::string row, slot, start, end, length;
    if (!(words >> row >> slot >> start >> end >> length)) continue;
    if (row.empty() || row.back() != ':' || slot == "Meta" || slot.find('-') == 0) continue;
    MmlsPartition partition;
    partition.start = std::stoull(start);
    partition.length = std::stoull(length);
    std::getline(words, partition.description);
    partition.description.erase(0, partition.description.find_first_not_of(' '));
    partitions.push_back(partition);
  }
  return partitions;
}

}  // namespace skerry::e2e
