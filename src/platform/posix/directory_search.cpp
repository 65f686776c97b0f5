// Directory enumeration over the drive directories of the device directory.
//
// Names travel between Linux and the UTF-16 core without loss: valid UTF-8
// becomes UTF-16, and a byte that UTF-16 cannot carry (one of an invalid UTF-8
// sequence) or that would break the Windows path model (a backslash inside a
// Linux name) travels as the lone surrogate U+DC00 + byte. Such names print as
// U+FFFD, but the walk can still descend into them.

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/directory_search.h"
#include "platform/posix/device_directory.h"
#include "platform/posix/errno_mapping.h"
#include "platform/text.h"
#include "platform/utf16.h"

namespace skerry {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Replaces `out` with the UTF-16 form of a Linux name, reusing its capacity.
void NativeNameToUtf16(const char* name, std::u16string& out) {
  out.clear();
  std::string_view rest(name);
  while (!rest.empty()) {
    char32_t cp = 0;
    size_t length = DecodeUtf8(rest, cp);
    if (length == 0 || cp == u'\\') {
      out.push_back(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(rest[0])));
      length = 1;
    } else {
      AppendUtf16(out, cp);
    }
    rest.remove_prefix(length);
  }
}

// Appends a Windows path as a Linux path: backslashes become slashes, escaped
// bytes become themselves again.
void AppendNativePath(std::u16string_view path, std::string& out) {
  for (size_t i = 0; i < path.size(); ++i) {
    char16_t c = path[i];
    if (c == u'\\') {
      out.push_back('/');
    } else if (c >= kEscapeBase && c <= kEscapeBase + 0xFF) {
      out.push_back(static_cast<char>(c - kEscapeBase));
    } else if (IsHighSurrogate(c) && i + 1 < path.size() && IsLowSurrogate(path[i + 1])) {
      AppendUtf8(out, JoinSurrogates(c, path[i + 1]));
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      AppendUtf8(out, kReplacementCharacter);
    } else {
      AppendUtf8(out, c);
    }
  }
}

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool HasDriveDesignator(std::u16string_view path) {
  return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == u':';
}

// A drive designator followed by nothing but separators: the root of a drive,
// where Windows lists no "." and "..".
bool IsDriveRoot(std::u16string_view directory) {
  return HasDriveDesignator(directory) &&
         directory.find_first_not_of(u'\\', 2) == std::u16string_view::npos;
}

// Appends the path below a drive's root as Windows resolves it: "." names
// the directory itself and ".." its parent, and the root is its own parent,
// so that x:\.. is x:\ and never the device directory that holds x:.
// `native` ends with the root's "/", and each name appended ends with one.
void AppendDrivePath(std::u16string_view path, std::string& native) {
  const size_t root = native.size();
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == std::u16string_view::npos) end = path.size();
    const std::u16string_view name = path.substr(start, end - start);
    if (name == u"..") {
      if (native.size() > root) native.resize(native.rfind('/', native.size() - 2) + 1);
    } else if (!name.empty() && name != u".") {
      AppendNativePath(name, native);
      native.push_back('/');
    }
    start = end + 1;
  }
}

// The Linux path of a Windows directory path. A drive designator selects the
// drive's directory in the device directory (x:docs counts from the drive's
// root: Linux keeps no current directory per drive). Any other path is a
// Linux path relative to the working directory, or absolute when it starts
// with a separator.
bool ToNativeDirectory(std::u16string_view directory, std::string& native) {
  native.clear();
  if (!HasDriveDesignator(directory)) {
    AppendNativePath(directory, native);
    return true;
  }
  const std::string devices = DeviceDirectory();
  if (devices.empty()) return false;
  native.append(devices);
  native.push_back('/');
  native.push_back(static_cast<char>(directory[0] | 0x20));  // Wine's entries are lower-case
  native.push_back(':');
  native.push_back('/');
  AppendDrivePath(directory.substr(2), native);
  return true;
}

// open(O_DIRECTORY) for a path of any length: a path beyond PATH_MAX is opened
// a piece at a time, each piece relative to the directory before it.
int OpenDirectory(const std::string& path) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  if (path.size() < PATH_MAX) return open(path.c_str(), kFlags);
  int base = AT_FDCWD;
  size_t start = 0;
  std::string piece;
  while (start < path.size()) {
    // A piece that began with a slash would start again from the root.
    if (base != AT_FDCWD) start = path.find_first_not_of('/', start);
    if (start == std::string::npos) break;
    size_t end = start + PATH_MAX - 1;
    if (end >= path.size()) {
      end = path.size();
    } else {
      size_t cut = path.rfind('/', end);
      if (cut == std::string::npos || cut <= start) {
        if (base != AT_FDCWD) close(base);
        errno = ENAMETOOLONG;
        return -1;
      }
      end = cut + 1;
    }
    piece.assign(path, start, end - start);
    int next = openat(base, piece.c_str(), kFlags);
    int openError = errno;
    if (base != AT_FDCWD) close(base);
    if (next < 0) {
      errno = openError;
      return -1;
    }
    base = next;
    start = end;
  }
  return base;
}

constexpr uint64_t kTicksPerSecond = kFileTimeTicksPerSecond;
constexpr int64_t kSecondsFrom1601To1970 = kUnixEpochAsFileTimeSeconds;

// Times before 1601 become 0 and times past FILETIME's range its largest value.
uint64_t FileTimeFromTimespec(const struct timespec& t) {
  if (t.tv_sec < -kSecondsFrom1601To1970) return 0;
  // Unsigned, so that a time near the end of time_t's range cannot overflow.
  uint64_t seconds = static_cast<uint64_t>(t.tv_sec) + uint64_t{kSecondsFrom1601To1970};
  if (seconds > (UINT64_MAX - kTicksPerSecond) / kTicksPerSecond) return UINT64_MAX;
  return seconds * kTicksPerSecond + static_cast<uint64_t>(t.tv_nsec) / 100;
}

void FillFromStat(const struct stat& st, bool isLink, FindData& data) {
  uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= kFileAttributeDirectory;
  if (isLink) attributes |= kFileAttributeReparsePoint;
  data.reparseTag = isLink ? kReparseTagSymlink : 0;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= kFileAttributeReadOnly;
  data.attributes = attributes == 0 ? kFileAttributeNormal : attributes;
  data.lastWriteTime = FileTimeFromTimespec(st.st_mtim);
  data.size = S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

class PosixEnumeration final : public DirectoryEnumeration {
 public:
  PosixEnumeration(DIR* dir, bool listDotEntries)
      : dir_(dir), pendingDots_(listDotEntries ? 2 : 0) {}
  ~PosixEnumeration() override { closedir(dir_); }

  bool Next(FindData& data) override {
    if (pendingDots_ > 0) return NextDotEntry(data);
    while (dirent* entry = readdir(dir_)) {
      const char* name = entry->d_name;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      if (Describe(*entry, data)) return true;
    }
    return false;
  }

  bool Identify(DirectoryIdentity& identity) override {
    struct stat st;
    if (fstat(dirfd(dir_), &st) != 0) return false;
    identity.volume = static_cast<uint64_t>(st.st_dev);
    identity.file = static_cast<uint64_t>(st.st_ino);
    return true;
  }

 private:
  bool NextDotEntry(FindData& data) {
    const char* name = pendingDots_ == 2 ? "." : "..";
    --pendingDots_;
    struct stat st;
    if (fstatat(dirfd(dir_), name, &st, 0) != 0) std::memset(&st, 0, sizeof st);
    FillFromStat(st, false, data);
    data.attributes = kFileAttributeDirectory;
    NativeNameToUtf16(name, data.name);
    return true;
  }

  // Fills `data` for one entry; a symbolic link is described by its target
  // (whether it leads to a directory, the size of the file it leads to) and
  // marked as a link. A link that leads nowhere is described as the link
  // itself; an entry that vanished since readdir is passed over.
  bool Describe(const dirent& entry, FindData& data) {
    int fd = dirfd(dir_);
    struct stat st;
    bool isLink = entry.d_type == DT_LNK;
    if (entry.d_type == DT_UNKNOWN) {
      if (fstatat(fd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
      isLink = S_ISLNK(st.st_mode);
    }
    if (fstatat(fd, entry.d_name, &st, 0) != 0) {
      if (fstatat(fd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
      isLink = S_ISLNK(st.st_mode);
    }
    FillFromStat(st, isLink, data);
    NativeNameToUtf16(entry.d_name, data.name);
    return true;
  }

  DIR* dir_;
  int pendingDots_;
};

class PosixDirectorySearch final : public DirectorySearch {
 public:
  std::unique_ptr<DirectoryEnumeration> FindFirst(std::u16string_view searchName, FindData& first,
                                                  ErrorCode& error) override {
    if (searchName.size() < 2 || searchName.substr(searchName.size() - 2) != u"\\*") {
      error = kErrorInvalidParameter;
      return nullptr;
    }
    // The directory keeps its final backslash: \* alone names a root.
    std::u16string_view directory = searchName.substr(0, searchName.size() - 1);
    if (!ToNativeDirectory(directory, native_)) {
      error = kErrorPathNotFound;
      return nullptr;
    }
    int fd = OpenDirectory(native_);
    if (fd < 0) {
      // A missing directory is a missing path to FindFirstFileW.
      error = errno == ENOENT ? kErrorPathNotFound : ErrorFromErrno(errno);
      return nullptr;
    }
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
      error = ErrorFromErrno(errno);
      close(fd);
      return nullptr;
    }
    auto enumeration = std::make_unique<PosixEnumeration>(dir, !IsDriveRoot(directory));
    if (!enumeration->Next(first)) {
      // Only a drive root can be without entries; Windows calls that "no file".
      error = kErrorFileNotFound;
      return nullptr;
    }
    return enumeration;
  }

  uint32_t CountDataStreams(std::u16string_view) override { return 1; }

 private:
  std::string native_;  // reused from directory to directory
};

}  // namespace

DirectorySearch& SystemDirectorySearch() {
  static PosixDirectorySearch search;
  return search;
}

}  // namespace skerry
