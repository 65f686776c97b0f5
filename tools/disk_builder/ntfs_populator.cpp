#include "ntfs_populator.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <unordered_map>

#include "build_clock.h"
#include "generated_files.h"
#include "ntfs_library.h"
#include "utf.h"

namespace skerry::disk_builder {
namespace {

constexpr uint64_t kRootRecord = 5;
constexpr uint32_t kAttributeCompressed = 0x800;
constexpr uint32_t kAttributeDirectoryIndex = 0x10000000;
// Clusters held right after the MFT's end so that its next growth must go elsewhere.
constexpr s64 kMftHoldClusters = 16;
// More files than this without the MFT gaining a run means the volume is too small.
constexpr uint64_t kFragmentFileLimit = 200000;
constexpr size_t kSparsePiece = 4096;

void SplitPath(const std::string& path, std::string& parent, std::string& name) {
  const size_t slash = path.rfind('\\');
  parent = slash == 0 ? "\\" : path.substr(0, slash);
  name = path.substr(slash + 1);
}

// NTFS compares names without regard to case; ASCII folding is enough for
// telling the description's own names apart.
std::string Key(const std::string& path) {
  std::string key = path;
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

class Populator {
 public:
  Populator(const std::string& image, const DiskDescription& disk, const Partition& partition)
      : image_(image), disk_(disk), partition_(partition) {}

  std::vector<CreatedName> Run() {
    SetBuildClock(disk_.buildTime);
    volume_ = ntfs_mount(image_.c_str(), NTFS_MNT_NONE);
    if (!volume_) throw std::runtime_error("libntfs-3g cannot mount " + image_ + Errno());
    // Compression is allowed only where a description asks for it, per directory or file.
    NVolSetCompression(volume_);
    try {
      for (const Action& action : partition_.actions) {
        line_ = action.line;
        try {
          Do(action);
        } catch (const DescriptionError& error) {
          throw std::runtime_error("line " + std::to_string(line_) + ": " + error.what());
        }
      }
      line_ = partition_.line;
      ReapplyTimes();
      ReleaseHolds();
    } catch (...) {
      ntfs_umount(volume_, TRUE);
      throw;
    }
    if (ntfs_umount(volume_, FALSE) != 0) Fail("unmounting the volume");
    return std::move(names_);
  }

 private:
  struct TimedRecord {
    uint64_t record;
    Times times;
  };

  static std::string Errno() { return std::string(": ") + std::strerror(errno); }

  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("line " + std::to_string(line_) + ": " + what + Errno());
  }

  void Do(const Action& action) {
    switch (action.kind) {
      case ActionKind::kDir:
      case ActionKind::kFile:
        Create(action);
        break;
      case ActionKind::kStream:
        AddStream(action);
        break;
      case ActionKind::kLink:
        Link(action);
        break;
      case ActionKind::kDelete:
        Delete(action);
        break;
      case ActionKind::kMany:
        Many(action);
        break;
      case ActionKind::kFragmentMft:
        FragmentMft(action);
        break;
    }
  }

  ntfs_inode* Open(uint64_t record) {
    ntfs_inode* inode = ntfs_inode_open(volume_, static_cast<MFT_REF>(record));
    if (!inode) Fail("opening record " + std::to_string(record));
    return inode;
  }

  void Close(ntfs_inode* inode) {
    if (ntfs_inode_close(inode) != 0) Fail("closing a record");
  }

  const CreatedName& Find(const std::string& path) const {
    const auto found = live_.find(Key(path));
    if (found == live_.end()) {
      errno = ENOENT;
      Fail(path + " was not created before");
    }
    return names_[found->second];
  }

  uint64_t DirectoryRecord(const std::string& path) const {
    if (path == "\\") return kRootRecord;
    const CreatedName& entry = Find(path);
    if (!entry.directory) {
      errno = ENOTDIR;
      Fail(path + " is not a directory");
    }
    return entry.record;
  }

  void Register(const std::string& path, uint64_t record, bool directory) {
    if (!live_.emplace(Key(path), names_.size()).second) {
      errno = EEXIST;
      Fail(path + " exists already");
    }
    CreatedName name;
    name.directory = directory;
    name.record = record;
    name.path = path;
    names_.push_back(std::move(name));
  }

  void CheckFree(const std::string& path) const {
    if (live_.count(Key(path))) {
      errno = EEXIST;
      Fail(path + " exists already");
    }
  }

  // Creates one name in an open directory; the new inode stays open.
  ntfs_inode* CreateIn(ntfs_inode* directory, const std::string& name, bool isDirectory,
                       bool compressed) {
    const std::u16string wide = Utf8ToUtf16(name);
    if (wide.empty() || wide.size() > 255) {
      errno = ENAMETOOLONG;
      Fail("bad name length: " + name);
    }
    // libntfs-3g compresses the new file when its directory is compressed.
    const FILE_ATTR_FLAGS saved = directory->flags;
    if (compressed) {
      directory->flags =
          static_cast<FILE_ATTR_FLAGS>(static_cast<uint32_t>(saved) | kAttributeCompressed);
    }
    ntfs_inode* inode = ntfs_create(directory, 0, reinterpret_cast<const ntfschar*>(wide.data()),
                                    static_cast<u8>(wide.size()), isDirectory ? S_IFDIR : S_IFREG);
    directory->flags = saved;
    if (!inode) Fail("creating " + name);
    return inode;
  }

  void WriteContents(ntfs_inode* inode, const std::u16string& stream, const Action& action) {
    ntfs_attr* attribute = ntfs_attr_open(
        inode, AT_DATA,
        stream.empty() ? AT_UNNAMED
                       : const_cast<ntfschar*>(reinterpret_cast<const ntfschar*>(stream.data())),
        static_cast<u32>(stream.size()));
    if (!attribute) Fail("opening the data of " + action.path);
    auto write = [&](uint64_t offset, uint64_t count) {
      std::vector<uint8_t> buffer;
      while (count > 0) {
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(count, 1 << 20));
        buffer.resize(piece);
        if (action.text) {
          std::memcpy(buffer.data(), action.text->data() + offset, piece);
        } else {
          FillPattern(offset, buffer.data(), piece);
        }
        if (ntfs_attr_pwrite(attribute, static_cast<s64>(offset), static_cast<s64>(piece),
                             buffer.data()) != static_cast<s64>(piece)) {
          ntfs_attr_close(attribute);
          Fail("writing " + action.path);
        }
        offset += piece;
        count -= piece;
      }
    };
    if (action.sparse) {
      // Only both ends are written; the library leaves the middle as a hole.
      const uint64_t head = std::min<uint64_t>(action.size, kSparsePiece);
      const uint64_t tail = std::min<uint64_t>(action.size - head, kSparsePiece);
      write(0, head);
      write(action.size - tail, tail);
    } else {
      write(0, action.size);
    }
    // Compressed data is written out a compression block at a time; pclose flushes the last.
    const int flushed = ntfs_attr_pclose(attribute);
    ntfs_attr_close(attribute);
    if (flushed != 0) Fail("finishing the data of " + action.path);
  }

  void SetAttributes(ntfs_inode* inode, uint32_t bits) {
    const le32 value = static_cast<le32>(bits);
    if (ntfs_set_ntfs_attrib(inode, reinterpret_cast<const char*>(&value), sizeof value, 0) != 0) {
      Fail("setting attributes");
    }
  }

  void SetTimes(ntfs_inode* inode, const Times& times) {
    const uint64_t build = disk_.buildTime;
    // The library stamps the MFT change time with the clock; it is set for that moment.
    SetBuildClock(times.mftChanged.value_or(build));
    const uint64_t values[3] = {times.created.value_or(build), times.modified.value_or(build),
                                times.accessed.value_or(build)};
    const int result =
        ntfs_inode_set_times(inode, reinterpret_cast<const char*>(values), sizeof values, 0);
    SetBuildClock(build);
    if (result != 0) Fail("setting times");
  }

  // A file created with its attributes and times carries them in its own
  // $FILE_NAME attributes too; libntfs-3g updates only the directory's copy.
  void SyncOwnFileNames(ntfs_inode* inode) {
    ntfs_attr_search_ctx* context = ntfs_attr_get_search_ctx(inode, nullptr);
    if (!context) Fail("searching the names");
    while (ntfs_attr_lookup(AT_FILE_NAME, nullptr, 0, CASE_SENSITIVE, 0, nullptr, 0, context) ==
           0) {
      auto* value = reinterpret_cast<FILE_NAME_ATTR*>(reinterpret_cast<u8*>(context->attr) +
                                                      le16_to_cpu(context->attr->value_offset));
      const uint32_t directoryBit =
          static_cast<uint32_t>(value->file_attributes) & kAttributeDirectoryIndex;
      value->file_attributes =
          static_cast<FILE_ATTR_FLAGS>(static_cast<uint32_t>(inode->flags) | directoryBit);
      value->creation_time = inode->creation_time;
      value->last_data_change_time = inode->last_data_change_time;
      value->last_mft_change_time = inode->last_mft_change_time;
      value->last_access_time = inode->last_access_time;
      if (!directoryBit) {
        value->allocated_size = inode->allocated_size;
        value->data_size = inode->data_size;
      }
      ntfs_inode_mark_dirty(context->ntfs_ino);
    }
    ntfs_attr_put_search_ctx(context);
  }

  void Create(const Action& action) {
    const bool isDirectory = action.kind == ActionKind::kDir;
    std::string parentPath, name;
    SplitPath(action.path, parentPath, name);
    CheckFree(action.path);
    const uint64_t parent = DirectoryRecord(parentPath);
    ntfs_inode* directory = Open(parent);
    ntfs_inode* inode = CreateIn(directory, name, isDirectory, action.compressed && !isDirectory);
    if (!isDirectory) WriteContents(inode, u"", action);
    uint32_t attributes = static_cast<uint32_t>(inode->flags);
    if (action.attributes) attributes = *action.attributes;
    if (action.compressed) attributes |= kAttributeCompressed;
    if (action.attributes || (isDirectory && action.compressed)) SetAttributes(inode, attributes);
    if (action.times.Any()) SetTimes(inode, action.times);
    SyncOwnFileNames(inode);
    const uint64_t record = inode->mft_no;
    if (ntfs_inode_close_in_dir(inode, directory) != 0) Fail("closing " + action.path);
    if (!action.dosName.empty()) {
      // The library closes both records whatever the outcome.
      inode = Open(record);
      if (ntfs_set_ntfs_dos_name(inode, directory, action.dosName.data(), action.dosName.size(),
                                 0) != 0) {
        Fail("giving " + action.path + " the DOS name " + action.dosName);
      }
    } else {
      Close(directory);
    }
    Register(action.path, record, isDirectory);
    names_.back().dosName = action.dosName;
    if (action.times.Any()) timed_.push_back({record, action.times});
  }

  void AddStream(const Action& action) {
    const CreatedName& entry = Find(action.path);
    ntfs_inode* inode = Open(entry.record);
    const std::u16string stream = Utf8ToUtf16(action.target);
    if (ntfs_attr_add(inode, AT_DATA,
                      const_cast<ntfschar*>(reinterpret_cast<const ntfschar*>(stream.data())),
                      static_cast<u8>(stream.size()), nullptr, 0) != 0) {
      Fail("adding the stream " + action.target);
    }
    WriteContents(inode, stream, action);
    Close(inode);
  }

  void Link(const Action& action) {
    const CreatedName entry = Find(action.path);
    if (entry.directory) {
      errno = EISDIR;
      Fail("directories cannot have hard links");
    }
    std::string parentPath, name;
    SplitPath(action.target, parentPath, name);
    CheckFree(action.target);
    ntfs_inode* directory = Open(DirectoryRecord(parentPath));
    ntfs_inode* inode = Open(entry.record);
    const std::u16string wide = Utf8ToUtf16(name);
    if (ntfs_link(inode, directory, reinterpret_cast<const ntfschar*>(wide.data()),
                  static_cast<u8>(wide.size())) != 0) {
      Fail("linking " + action.target);
    }
    SyncOwnFileNames(inode);
    // Closed apart, not with ntfs_inode_close_in_dir: when the new name fills
    // the record, libntfs-3g moves attributes to an extension record, and
    // closing it against the open directory then fails to find the new index
    // entry (a 599-byte file in a 1 KiB record did). Closing the directory
    // first lets the file's close open each parent afresh.
    Close(directory);
    Close(inode);
    Register(action.target, entry.record, false);
  }

  void Delete(const Action& action) {
    const auto found = live_.find(Key(action.path));
    const CreatedName entry = Find(action.path);
    std::string parentPath, name;
    SplitPath(entry.path, parentPath, name);
    ntfs_inode* directory = Open(DirectoryRecord(parentPath));
    ntfs_inode* inode = Open(entry.record);
    const std::u16string wide = Utf8ToUtf16(name);
    // ntfs_delete closes both records.
    if (ntfs_delete(volume_, nullptr, inode, directory,
                    const_cast<ntfschar*>(reinterpret_cast<const ntfschar*>(wide.data())),
                    static_cast<u8>(wide.size())) != 0) {
      Fail("deleting " + action.path);
    }
    names_[found->second].state = CreatedName::State::kDeleted;
    live_.erase(found);
  }

  uint64_t EnsureDirectory(const std::string& path) {
    if (path == "\\" || live_.count(Key(path))) return DirectoryRecord(path);
    Action make;
    make.kind = ActionKind::kDir;
    make.line = line_;
    make.path = path;
    Create(make);
    return names_.back().record;
  }

  // All names first, then all contents: the directory's index then grows in
  // clusters of its own instead of between the files' data, as it would when a
  // copy tool fills a new directory, and stays within its base record.
  void Many(const Action& action) {
    const uint64_t parent = EnsureDirectory(action.path);
    const std::string base = action.path == "\\" ? "" : action.path;
    ntfs_inode* directory = Open(parent);
    GeneratedFiles files(action);
    GeneratedFile file;
    std::vector<std::pair<uint64_t, uint64_t>> made;  // record, size
    const size_t first = names_.size();
    while (files.Next(file)) {
      const std::string path = base + "\\" + file.name;
      CheckFree(path);
      ntfs_inode* inode = CreateIn(directory, file.name, false, false);
      const uint64_t record = inode->mft_no;
      if (ntfs_inode_close_in_dir(inode, directory) != 0) Fail("closing " + path);
      Register(path, record, false);
      made.emplace_back(record, file.size);
    }
    Action contents = action;
    for (size_t i = 0; i < made.size(); ++i) {
      contents.path = names_[first + i].path;
      contents.size = made[i].second;
      ntfs_inode* inode = Open(made[i].first);
      WriteContents(inode, u"", contents);
      if (action.times.Any()) SetTimes(inode, action.times);
      SyncOwnFileNames(inode);
      if (ntfs_inode_close_in_dir(inode, directory) != 0) Fail("closing " + contents.path);
      if (action.times.Any()) timed_.push_back({made[i].first, action.times});
    }
    Close(directory);
  }

  // The MFT's runs, mapped in full.
  const runlist_element* MftRuns() {
    if (ntfs_attr_map_whole_runlist(volume_->mft_na) != 0) Fail("mapping the MFT's runs");
    return volume_->mft_na->rl;
  }

  unsigned MftRunCount() {
    unsigned count = 0;
    for (const runlist_element* run = MftRuns(); run->length; ++run) count += run->lcn >= 0;
    return count;
  }

  LCN MftEnd() {
    LCN end = 0;
    for (const runlist_element* run = MftRuns(); run->length; ++run) {
      if (run->lcn >= 0) end = run->lcn + run->length;
    }
    return end;
  }

  // Takes the clusters after the MFT's last run, then adds files until the MFT
  // has to grow somewhere else; repeated until it has the runs asked for.
  void FragmentMft(const Action& action) {
    const uint64_t parent = EnsureDirectory(action.path);
    const std::string base = action.path == "\\" ? "" : action.path;
    ntfs_inode* directory = Open(parent);
    Action empty;
    empty.path = action.path;
    uint64_t made = 0;
    unsigned runs = MftRunCount();
    while (runs < action.runs) {
      runlist* hold = ntfs_cluster_alloc(volume_, 0, kMftHoldClusters, MftEnd(), DATA_ZONE);
      if (!hold) Fail("holding clusters after the MFT");
      holds_.push_back(hold);
      while (MftRunCount() == runs) {
        if (made >= kFragmentFileLimit) {
          errno = ENOSPC;
          Fail("the MFT does not grow; is the volume too small?");
        }
        std::string digits = std::to_string(made++);
        digits.insert(0, digits.size() < 6 ? 6 - digits.size() : 0, '0');
        const std::string name = action.prefix + digits;
        CheckFree(base + "\\" + name);
        ntfs_inode* inode = CreateIn(directory, name, false, false);
        SyncOwnFileNames(inode);
        const uint64_t record = inode->mft_no;
        if (ntfs_inode_close_in_dir(inode, directory) != 0) Fail("closing " + name);
        Register(base + "\\" + name, record, false);
      }
      runs = MftRunCount();
    }
    Close(directory);
  }

  void ReleaseHolds() {
    for (runlist* hold : holds_) {
      if (ntfs_cluster_free_from_rl(volume_, hold) != 0) Fail("releasing held clusters");
      std::free(hold);
    }
    holds_.clear();
  }

  // Directories gain children after their own line, and every change stamps
  // the clock, so given times are set again once everything exists.
  void ReapplyTimes() {
    for (const TimedRecord& timed : timed_) {
      ntfs_inode* inode = Open(timed.record);
      SetTimes(inode, timed.times);
      SyncOwnFileNames(inode);
      Close(inode);
    }
  }

  const std::string image_;
  const DiskDescription& disk_;
  const Partition& partition_;
  ntfs_volume* volume_ = nullptr;
  int line_ = 0;
  std::vector<CreatedName> names_;
  std::unordered_map<std::string, size_t> live_;
  std::vector<TimedRecord> timed_;
  std::vector<runlist*> holds_;
};

}  // namespace

std::vector<CreatedName> PopulateNtfs(const std::string& partitionImage,
                                      const DiskDescription& disk, const Partition& partition) {
  return Populator(partitionImage, disk, partition).Run();
}

}  // namespace skerry::disk_builder
