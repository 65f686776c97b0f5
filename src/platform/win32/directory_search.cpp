// Directory enumeration through FindFirstFileW/FindNextFileW. Paths of any
// length: a path that MAX_PATH cannot hold is made absolute and handed to the
// system with the \\?\ prefix, which lifts the limit.

#include <windows.h>

#include "platform/directory_search.h"

namespace skerry {
namespace {

// Below this length every path works without the prefix; the margin leaves
// room for the 8.3 names that some calls append internally.
constexpr size_t kPlainPathLimit = MAX_PATH - 12;

const wchar_t* AsWide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The form of `path` that the system accepts whatever its length. The prefix
// turns off the system's normalisation, so the path is made absolute and
// normalised first.
// Written into `out`, whose capacity is reused from call to call.
void SystemPath(std::u16string_view path, std::u16string& out) {
  out.assign(path);
  if (out.size() < kPlainPathLimit || out.starts_with(u"\\\\?\\")) return;
  std::u16string plain = out;
  DWORD needed = GetFullPathNameW(AsWide(plain), 0, nullptr, nullptr);
  if (needed == 0) return;
  std::u16string full(needed, u'\0');
  DWORD written =
      GetFullPathNameW(AsWide(plain), needed, reinterpret_cast<wchar_t*>(full.data()), nullptr);
  if (written == 0 || written >= needed) return;
  full.resize(written);
  if (full.starts_with(u"\\\\")) {
    out = u"\\\\?\\UNC\\" + full.substr(2);
  } else {
    out = u"\\\\?\\" + full;
  }
}

uint64_t Join(DWORD high, DWORD low) { return (uint64_t{high} << 32) | low; }

void FillFindData(const WIN32_FIND_DATAW& found, FindData& data) {
  data.attributes = found.dwFileAttributes;
  data.lastWriteTime =
      Join(found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime);
  data.size = Join(found.nFileSizeHigh, found.nFileSizeLow);
  data.name.assign(reinterpret_cast<const char16_t*>(found.cFileName));
  data.reparseTag =
      (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? found.dwReserved0 : 0;
}

class Win32Enumeration final : public DirectoryEnumeration {
 public:
  Win32Enumeration(HANDLE handle, std::u16string directory)
      : handle_(handle), directory_(std::move(directory)) {}
  ~Win32Enumeration() override { FindClose(handle_); }

  bool Next(FindData& data) override {
    if (!FindNextFileW(handle_, &found_)) return false;
    FillFindData(found_, data);
    return true;
  }

  // Through the directory's own handle, so that a junction reports the
  // directory it leads to.
  bool Identify(DirectoryIdentity& identity) override {
    HANDLE directory = CreateFileW(AsWide(directory_), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool known = GetFileInformationByHandle(directory, &info) != 0;
    CloseHandle(directory);
    if (!known) return false;
    identity.volume = info.dwVolumeSerialNumber;
    identity.file = Join(info.nFileIndexHigh, info.nFileIndexLow);
    return true;
  }

 private:
  HANDLE handle_;
  std::u16string directory_;  // in the form the system accepts
  WIN32_FIND_DATAW found_;
};

class Win32DirectorySearch final : public DirectorySearch {
 public:
  std::unique_ptr<DirectoryEnumeration> FindFirst(std::u16string_view searchName, FindData& first,
                                                  ErrorCode& error) override {
    std::u16string systemName;
    SystemPath(searchName, systemName);
    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileW(AsWide(systemName), &found);
    if (handle == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      return nullptr;
    }
    FillFindData(found, first);
    // The directory is the search name without its final \*.
    size_t cut = systemName.rfind(u'\\');
    std::u16string directory = systemName.substr(0, cut == std::u16string::npos ? 0 : cut);
    // A drive's root needs its backslash: c: alone is the current directory
    // of c:, and \\?\c: the volume device.
    if (directory.empty() || directory.back() == u':') directory.push_back(u'\\');
    return std::make_unique<Win32Enumeration>(handle, std::move(directory));
  }

  // The unnamed stream and each named one; a file whose streams cannot be
  // listed is taken to have the one unnamed stream that every file has.
  uint32_t CountDataStreams(std::u16string_view filePath) override {
    SystemPath(filePath, streamPath_);
    WIN32_FIND_STREAM_DATA stream;
    HANDLE handle = FindFirstStreamW(AsWide(streamPath_), FindStreamInfoStandard, &stream, 0);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_HANDLE_EOF ? 0 : 1;
    uint32_t count = 1;
    while (FindNextStreamW(handle, &stream)) ++count;
    FindClose(handle);
    return count;
  }

 private:
  std::u16string streamPath_;  // reused from file to file
};

}  // namespace

DirectorySearch& SystemDirectorySearch() {
  static Win32DirectorySearch search;
  return search;
}

}  // namespace skerry
