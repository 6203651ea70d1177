#include "records/CrashReportFiles.h"

// Read and removed with the standard library.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <system_error>

#include "platform/Paths.h"
#include "records/CrashReportText.h"

namespace varo {

namespace {

// Paths are UTF-8; a plain string would be read in the ANSI code page on Windows.
std::filesystem::path FileSystemPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

std::string TakeCrashReportNotice(const std::string& folder) {
  if (folder.empty()) return "";
  const std::filesystem::path path = FileSystemPath(JoinPath(folder, CrashNoticeFileName));
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  while (!report.empty() && (report.back() == '\n' || report.back() == '\r')) report.pop_back();
  // A notice that cannot be removed is still told: a crash told twice beats one never told.
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  return report;
}

void PruneCrashReports(const std::string& folder, std::size_t keep) {
  if (folder.empty()) return;
  // Reports are named by their time, so their names sort as they came; a report and its minidump
  // share the name.
  std::set<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(FileSystemPath(folder), error), end;
       !error && entry != end; entry.increment(error)) {
    const std::filesystem::path& path = entry->path();
    const std::u8string stem = path.stem().u8string();
    if (stem.starts_with(u8"crash-") &&
        (path.extension() == ".txt" || path.extension() == ".dmp")) {
      names.insert(std::string(stem.begin(), stem.end()));
    }
  }
  std::size_t excess = names.size() > keep ? names.size() - keep : 0;
  for (auto name = names.begin(); excess > 0; ++name, --excess) {
    for (const char* extension : {".txt", ".dmp"}) {
      std::filesystem::remove(FileSystemPath(JoinPath(folder, *name + extension)), error);
    }
  }
}

}  // namespace varo
