// A small fixed archive in a temporary Documents folder, put back as it was after every request.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "archive/ArchiveFolders.h"

namespace varo::fuzz {

class FixtureArchive {
 public:
  // Creates both game folders with their system files and the entries the listing must skip.
  FixtureArchive();
  // Removes the temporary Documents folder and everything below it.
  ~FixtureArchive();
  FixtureArchive(const FixtureArchive&) = delete;
  FixtureArchive& operator=(const FixtureArchive&) = delete;

  const ArchiveFolders& Folders() const { return folders_; }
  // Rewrites every system file that a delete request removed, with its bytes and mode.
  void Restore() const;

 private:
  struct StoredFile {
    std::filesystem::path Path;
    std::string Bytes;
    std::filesystem::perms Mode;
  };
  void Add(const std::string& folder, const std::string& name, std::string bytes,
           std::filesystem::perms mode = std::filesystem::perms(0644));
  static void Write(const StoredFile& file);

  std::filesystem::path root_;
  ArchiveFolders folders_;
  std::vector<StoredFile> files_;
};

}  // namespace varo::fuzz
