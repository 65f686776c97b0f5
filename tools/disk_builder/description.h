#pragma once
// The declarative description of a test disk: its partition table, its
// partitions and, for each NTFS partition, the files to create in it.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace skerry::disk_builder {

class DescriptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr uint64_t kSectorSize = 512;

enum class TableKind { kMbr, kGpt };
enum class PartitionRole { kPrimary, kExtended, kLogical };
enum class Contents { kNone, kNtfs, kFat32, kImage };

// FILETIME values (100 ns since 1601-01-01 UTC); unset ones keep the build time.
struct Times {
  std::optional<uint64_t> created;
  std::optional<uint64_t> modified;
  std::optional<uint64_t> mftChanged;
  std::optional<uint64_t> accessed;

  bool Any() const { return created || modified || mftChanged || accessed; }
};

enum class ActionKind { kDir, kFile, kStream, kLink, kDelete, kMany, kFragmentMft };

// One line of a partition's contents. Paths are UTF-8, Windows style, from the
// volume's root: "\docs\a.txt".
struct Action {
  ActionKind kind = ActionKind::kFile;
  int line = 0;
  std::string path;    // dir, file, stream (the file), link (existing), delete, many/fragment dir
  std::string target;  // link: the new name's path; stream: the stream's name
  uint64_t size = 0;
  std::optional<std::string> text;  // exact contents instead of `size` pattern bytes
  bool sparse = false;
  bool compressed = false;
  std::optional<uint32_t> attributes;  // FILE_ATTRIBUTE_* bits from attr=
  std::string dosName;
  Times times;
  // many / fragment-mft
  uint64_t count = 0;
  uint64_t sizeMin = 0;
  uint64_t sizeMax = 0;
  uint64_t seed = 0;
  std::string prefix;
  std::string extension;
  unsigned runs = 0;
};

struct Partition {
  PartitionRole role = PartitionRole::kPrimary;
  int line = 0;
  uint8_t type = 0x07;  // MBR type byte
  std::string gptType;  // GPT type GUID text
  std::string gptName;  // GPT partition name
  std::optional<uint64_t> startSector;
  std::optional<uint64_t> sectorCount;
  uint64_t gapSectors = 2048;  // logical: sectors from its extended boot record to its start
  Contents contents = Contents::kNone;
  uint32_t clusterSize = 4096;
  std::string label;
  std::string imagePath;
  std::vector<Action> actions;
};

struct DiskDescription {
  uint64_t sizeBytes = 0;
  TableKind table = TableKind::kMbr;
  uint32_t signature = 0x534B5259;  // "SKRY"
  uint64_t buildTime = 0;           // FILETIME stamped on everything not given a time
  std::vector<Partition> partitions;
};

// Parses a description; `baseDirectory` resolves relative image= paths.
// Throws DescriptionError naming the line.
DiskDescription ParseDescription(const std::string& text, const std::string& baseDirectory);
DiskDescription LoadDescription(const std::string& path);

}  // namespace skerry::disk_builder
