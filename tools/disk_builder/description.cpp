#include "description.h"

#include <fstream>
#include <set>
#include <sstream>

#include "description_values.h"

namespace skerry::disk_builder {
namespace {

constexpr const char* kDefaultBuildTime = "2020-01-01T00:00:00";

const char* const kGptBasicData = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";
const char* const kGptLinux = "0FC63DAF-8483-4772-8E79-3D69D8477DE4";
const char* const kGptEfiSystem = "C12A7328-F81F-11D2-BA4B-00A0C93EC93B";

bool IsGuid(const std::string& text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    const char c = text[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (dash ? c != '-' : !hex) return false;
  }
  return true;
}

std::string GptTypeFromName(const std::string& text) {
  if (text == "basic" || text == "ntfs") return kGptBasicData;
  if (text == "linux") return kGptLinux;
  if (text == "efi") return kGptEfiSystem;
  if (IsGuid(text)) return text;
  throw DescriptionError("unknown GPT type " + text + " (basic, linux, efi or a GUID)");
}

void CheckVolumePath(const std::string& path) {
  if (path.empty() || path[0] != '\\') {
    throw DescriptionError("path must start at the root with \\: " + path);
  }
  if (path.size() > 1 && path.back() == '\\') throw DescriptionError("path ends with \\: " + path);
  if (path.find("\\\\") != std::string::npos) throw DescriptionError("empty name in " + path);
}

class Parser {
 public:
  explicit Parser(std::string baseDirectory) : baseDirectory_(std::move(baseDirectory)) {}

  DiskDescription Run(const std::string& text) {
    std::istringstream lines(text);
    std::string raw;
    int number = 0;
    while (std::getline(lines, raw)) {
      ++number;
      try {
        DescriptionLine line;
        if (SplitLine(raw, line)) Handle(line, number);
      } catch (const DescriptionError& error) {
        throw DescriptionError("line " + std::to_string(number) + ": " + error.what());
      }
    }
    if (!sawDisk_) throw DescriptionError("no disk line");
    return std::move(disk_);
  }

 private:
  // Options that a line did not consume are typing errors worth reporting.
  class Options {
   public:
    explicit Options(const DescriptionLine& line) : line_(line) {}
    ~Options() = default;
    const std::string* Get(const std::string& key) {
      used_.insert(key);
      const auto found = line_.options.find(key);
      return found == line_.options.end() ? nullptr : &found->second;
    }
    std::string Require(const std::string& key) {
      const std::string* value = Get(key);
      if (!value) throw DescriptionError(line_.keyword + " needs " + key + "=");
      return *value;
    }
    void CheckAllUsed() const {
      for (const auto& [key, value] : line_.options) {
        if (!used_.count(key)) throw DescriptionError("unknown option " + key + "=" + value);
      }
    }

   private:
    const DescriptionLine& line_;
    std::set<std::string> used_;
  };

  void Handle(const DescriptionLine& line, int number) {
    Options options(line);
    const std::string& keyword = line.keyword;
    if (keyword == "disk") {
      HandleDisk(line, options);
    } else if (!sawDisk_) {
      throw DescriptionError("the first line must be the disk line");
    } else if (keyword == "partition" || keyword == "extended" || keyword == "logical") {
      HandlePartition(line, options, number);
    } else {
      HandleAction(line, options, number);
    }
    options.CheckAllUsed();
  }

  void HandleDisk(const DescriptionLine& line, Options& options) {
    if (sawDisk_) throw DescriptionError("a second disk line");
    sawDisk_ = true;
    if (!line.words.empty()) throw DescriptionError("unexpected word " + line.words[0]);
    disk_.sizeBytes = ParseBytes(options.Require("size"));
    if (disk_.sizeBytes % kSectorSize != 0 || disk_.sizeBytes < 64 * kSectorSize) {
      throw DescriptionError("disk size must be whole sectors, at least 32 KiB");
    }
    if (const std::string* table = options.Get("table")) {
      if (*table == "mbr") {
        disk_.table = TableKind::kMbr;
      } else if (*table == "gpt") {
        disk_.table = TableKind::kGpt;
      } else {
        throw DescriptionError("table must be mbr or gpt");
      }
    }
    if (const std::string* signature = options.Get("signature")) {
      const uint64_t value = ParseNumber(*signature);
      if (value > 0xFFFFFFFF) throw DescriptionError("signature is 32 bits");
      disk_.signature = static_cast<uint32_t>(value);
    }
    const std::string* time = options.Get("time");
    disk_.buildTime = ParseTime(time ? *time : kDefaultBuildTime);
  }

  void HandlePartition(const DescriptionLine& line, Options& options, int number) {
    Partition partition;
    partition.line = number;
    if (!line.words.empty()) throw DescriptionError("unexpected word " + line.words[0]);
    if (line.keyword == "extended") {
      partition.role = PartitionRole::kExtended;
      partition.type = 0x05;
    } else if (line.keyword == "logical") {
      partition.role = PartitionRole::kLogical;
    }
    if (disk_.table == TableKind::kGpt && partition.role != PartitionRole::kPrimary) {
      throw DescriptionError("a GPT disk has no extended or logical partitions");
    }
    if (partition.role == PartitionRole::kLogical && !sawExtended_) {
      throw DescriptionError("a logical partition needs an extended partition before it");
    }
    if (partition.role == PartitionRole::kExtended) {
      if (sawExtended_) throw DescriptionError("only one extended partition");
      sawExtended_ = true;
    }

    const std::string* type = options.Get("type");
    if (disk_.table == TableKind::kGpt) {
      partition.gptType = GptTypeFromName(type ? *type : "basic");
      if (const std::string* name = options.Get("name")) partition.gptName = *name;
    } else if (type) {
      const uint64_t value = ParseNumber(*type);
      if (value > 0xFF) throw DescriptionError("an MBR type is one byte");
      partition.type = static_cast<uint8_t>(value);
      if (partition.role != PartitionRole::kExtended && (value == 0x05 || value == 0x0F)) {
        throw DescriptionError("use the extended line for type 0x05 or 0x0F");
      }
      if (partition.role == PartitionRole::kExtended && value != 0x05 && value != 0x0F) {
        throw DescriptionError("an extended partition has type 0x05 or 0x0F");
      }
    }

    if (const std::string* start = options.Get("start")) {
      if (partition.role == PartitionRole::kLogical) {
        throw DescriptionError("a logical partition is placed by gap=, not start=");
      }
      partition.startSector = ParseSectors(*start);
    }
    if (const std::string* size = options.Get("size")) partition.sectorCount = ParseSectors(*size);
    if (const std::string* gap = options.Get("gap")) {
      if (partition.role != PartitionRole::kLogical) {
        throw DescriptionError("gap= belongs to logical partitions");
      }
      partition.gapSectors = ParseSectors(*gap);
      if (partition.gapSectors == 0) throw DescriptionError("gap= must leave room for the EBR");
    }

    if (const std::string* image = options.Get("image")) {
      partition.contents = Contents::kImage;
      partition.imagePath =
          (!image->empty() && (*image)[0] == '/') ? *image : baseDirectory_ + "/" + *image;
    }
    if (const std::string* fs = options.Get("fs")) {
      if (partition.contents == Contents::kImage) {
        throw DescriptionError("fs= and image= exclude each other");
      }
      if (*fs == "ntfs") {
        partition.contents = Contents::kNtfs;
      } else if (*fs == "fat32") {
        partition.contents = Contents::kFat32;
      } else if (*fs == "none") {
        partition.contents = Contents::kNone;
      } else {
        throw DescriptionError("fs must be ntfs, fat32 or none");
      }
    }
    if (partition.role == PartitionRole::kExtended && partition.contents != Contents::kNone) {
      throw DescriptionError("an extended partition holds logical partitions, not a file system");
    }
    if (const std::string* cluster = options.Get("cluster")) {
      partition.clusterSize = static_cast<uint32_t>(ParseBytes(*cluster));
      const uint32_t c = partition.clusterSize;
      if (c < 512 || c > 65536 || (c & (c - 1)) != 0) {
        throw DescriptionError("cluster= must be a power of two from 512 to 64KiB");
      }
    }
    if (const std::string* label = options.Get("label")) partition.label = *label;
    if (!partition.sectorCount && partition.contents != Contents::kImage) {
      throw DescriptionError(line.keyword + " needs size=");
    }
    disk_.partitions.push_back(std::move(partition));
  }

  static void ReadTimes(Options& options, Times& times) {
    if (const std::string* all = options.Get("time")) {
      const uint64_t value = ParseTime(*all);
      times.created = times.modified = times.mftChanged = times.accessed = value;
    }
    if (const std::string* v = options.Get("ctime")) times.created = ParseTime(*v);
    if (const std::string* v = options.Get("mtime")) times.modified = ParseTime(*v);
    if (const std::string* v = options.Get("rtime")) times.mftChanged = ParseTime(*v);
    if (const std::string* v = options.Get("atime")) times.accessed = ParseTime(*v);
  }

  static void ReadContents(Options& options, Action& action) {
    const std::string* text = options.Get("text");
    const std::string* size = options.Get("size");
    if (text && size) throw DescriptionError("text= and size= exclude each other");
    if (text) {
      action.text = *text;
      action.size = text->size();
    }
    if (size) action.size = ParseBytes(*size);
  }

  static void TakeFlags(const DescriptionLine& line, size_t firstFlag, Action& action,
                        bool allowSparse) {
    for (size_t i = firstFlag; i < line.words.size(); ++i) {
      if (line.words[i] == "compressed") {
        action.compressed = true;
      } else if (line.words[i] == "sparse" && allowSparse) {
        action.sparse = true;
      } else {
        throw DescriptionError("unexpected word " + line.words[i]);
      }
    }
  }

  static void ExpectWords(const DescriptionLine& line, size_t count) {
    if (line.words.size() < count) throw DescriptionError(line.keyword + " needs a path");
    if (line.words.size() > count) throw DescriptionError("unexpected word " + line.words[count]);
  }

  void HandleAction(const DescriptionLine& line, Options& options, int number) {
    if (disk_.partitions.empty() || disk_.partitions.back().contents != Contents::kNtfs) {
      throw DescriptionError(line.keyword + " must follow a partition with fs=ntfs");
    }
    Action action;
    action.line = number;
    const std::string& keyword = line.keyword;
    if (keyword == "dir" || keyword == "file") {
      action.kind = keyword == "dir" ? ActionKind::kDir : ActionKind::kFile;
      if (line.words.empty()) throw DescriptionError(keyword + " needs a path");
      action.path = line.words[0];
      TakeFlags(line, 1, action, action.kind == ActionKind::kFile);
      if (action.kind == ActionKind::kFile) ReadContents(options, action);
      if (action.sparse && (action.text || action.size == 0)) {
        throw DescriptionError("a sparse file needs size= (its middle becomes a hole)");
      }
      if (const std::string* attr = options.Get("attr")) {
        action.attributes = ParseAttributeLetters(*attr);
      }
      if (const std::string* dos = options.Get("dos")) action.dosName = *dos;
      ReadTimes(options, action.times);
    } else if (keyword == "stream") {
      action.kind = ActionKind::kStream;
      ExpectWords(line, 2);
      action.path = line.words[0];
      action.target = line.words[1];
      if (action.target.empty() || action.target.find(':') != std::string::npos) {
        throw DescriptionError("bad stream name " + action.target);
      }
      ReadContents(options, action);
    } else if (keyword == "link") {
      action.kind = ActionKind::kLink;
      ExpectWords(line, 2);
      action.path = line.words[0];
      action.target = line.words[1];
      CheckVolumePath(action.target);
    } else if (keyword == "delete") {
      action.kind = ActionKind::kDelete;
      ExpectWords(line, 1);
      action.path = line.words[0];
    } else if (keyword == "many") {
      action.kind = ActionKind::kMany;
      ExpectWords(line, 1);
      action.path = line.words[0];
      action.count = ParseNumber(options.Require("count"));
      const std::string* prefix = options.Get("prefix");
      action.prefix = prefix ? *prefix : "f";
      if (const std::string* ext = options.Get("ext")) action.extension = *ext;
      if (const std::string* size = options.Get("size")) {
        ParseByteRange(*size, action.sizeMin, action.sizeMax);
      }
      if (const std::string* seed = options.Get("seed")) action.seed = ParseNumber(*seed);
      ReadTimes(options, action.times);
    } else if (keyword == "fragment-mft") {
      action.kind = ActionKind::kFragmentMft;
      ExpectWords(line, 1);
      action.path = line.words[0];
      action.runs = static_cast<unsigned>(ParseNumber(options.Require("runs")));
      if (action.runs < 2 || action.runs > 64) throw DescriptionError("runs= must be 2 to 64");
      const std::string* prefix = options.Get("prefix");
      action.prefix = prefix ? *prefix : "g";
    } else {
      throw DescriptionError("unknown keyword " + keyword);
    }
    CheckVolumePath(action.path);
    if (action.path == "\\" && action.kind != ActionKind::kMany &&
        action.kind != ActionKind::kFragmentMft) {
      throw DescriptionError(keyword + " cannot act on the root itself");
    }
    disk_.partitions.back().actions.push_back(std::move(action));
  }

  std::string baseDirectory_;
  DiskDescription disk_;
  bool sawDisk_ = false;
  bool sawExtended_ = false;
};

}  // namespace

DiskDescription ParseDescription(const std::string& text, const std::string& baseDirectory) {
  return Parser(baseDirectory).Run(text);
}

DiskDescription LoadDescription(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw DescriptionError("cannot read " + path);
  std::ostringstream text;
  text << file.rdbuf();
  const size_t slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? "." : path.substr(0, slash);
  return ParseDescription(text.str(), base);
}

}  // namespace skerry::disk_builder
