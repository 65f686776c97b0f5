#pragma once
// An in-memory directory tree behind the DirectorySearch interface, so that the
// walker's order, filters, failures and loops can be tested without a disk.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/directory_search.h"

namespace skerry::testing {

class FakeDirectorySearch final : public DirectorySearch {
 public:
  struct Directory {
    std::vector<FindData> entries;
    ErrorCode openError = kErrorSuccess;
    DirectoryIdentity identity;
  };

  // A directory and its entries in enumeration order. Each directory gets an
  // identity of its own unless SameAs makes two the same.
  Directory& AddDirectory(const std::u16string& path) {
    auto [at, added] = directories_.try_emplace(path);
    if (added) at->second.identity = {1, nextIdentity_++};
    return at->second;
  }
  void AddFile(const std::u16string& directory, const std::u16string& name, uint64_t size = 0,
               uint64_t lastWriteTime = 0) {
    AddDirectory(directory).entries.push_back({kFileAttributeNormal, lastWriteTime, size, name});
  }
  void AddSubdirectory(const std::u16string& directory, const std::u16string& name) {
    AddDirectory(directory).entries.push_back({kFileAttributeDirectory, 0, 0, name});
  }
  // The directory that `link` leads to is `target` (a junction or a link).
  void SameAs(const std::u16string& link, const std::u16string& target) {
    AddDirectory(link).identity = AddDirectory(target).identity;
  }

  std::vector<std::u16string> searchNames;  // every FindFirst, in order
  std::map<std::u16string, uint32_t> streamCounts;

  std::unique_ptr<DirectoryEnumeration> FindFirst(std::u16string_view searchName, FindData& first,
                                                  ErrorCode& error) override {
    searchNames.emplace_back(searchName);
    std::u16string path(searchName.substr(0, searchName.size() - 2));
    auto found = directories_.find(path);
    if (found == directories_.end()) {
      error = kErrorPathNotFound;
      return nullptr;
    }
    const Directory& directory = found->second;
    if (directory.openError != kErrorSuccess || directory.entries.empty()) {
      error = directory.openError != kErrorSuccess ? directory.openError : kErrorFileNotFound;
      return nullptr;
    }
    first = directory.entries.front();
    return std::make_unique<Enumeration>(directory);
  }

  uint32_t CountDataStreams(std::u16string_view filePath) override {
    auto found = streamCounts.find(std::u16string(filePath));
    return found == streamCounts.end() ? 1 : found->second;
  }

 private:
  class Enumeration final : public DirectoryEnumeration {
   public:
    explicit Enumeration(const Directory& directory) : directory_(directory) {}
    bool Next(FindData& data) override {
      if (next_ >= directory_.entries.size()) return false;
      data = directory_.entries[next_++];
      return true;
    }
    bool Identify(DirectoryIdentity& identity) override {
      identity = directory_.identity;
      return true;
    }

   private:
    const Directory& directory_;
    size_t next_ = 1;
  };

  std::map<std::u16string, Directory> directories_;
  uint64_t nextIdentity_ = 1;
};

}  // namespace skerry::testing
