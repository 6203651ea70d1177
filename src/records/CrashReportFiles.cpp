#include "records/CrashReportFiles.h"

// Read and removed with the standard library.
#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/FileReplace.h"
#include "platform/Paths.h"
#include "records/CrashReportText.h"

namespace varo {

namespace {

// Paths are UTF-8; a plain string would be read in the ANSI code page on Windows.
std::filesystem::path FileSystemPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The most a notice may hold: one path.
constexpr std::size_t NoticeLimit = 64 * 1024;

}  // namespace

std::string TakeCrashReportNotice(const std::string& folder) {
  if (folder.empty()) return "";
  const std::string notice = JoinPath(folder, CrashNoticeFileName);
  std::string report;
  try {
    // One path, written by the program alone; whatever else stands in its place, a link
    // included, is no notice, and never holds the start.
    const std::optional<std::string> text =
        ReadWholeFile(notice, NoticeLimit, LinkInPlace::Refused);
    if (!text) return "";
    report = *text;
  } catch (const std::system_error&) {
    return "";
  }
  const std::filesystem::path path = FileSystemPath(notice);
  while (!report.empty() && (report.back() == '\n' || report.back() == '\r')) report.pop_back();
  // A notice that cannot be removed is still told: a crash told twice beats one never told.
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  return report;
}

void PruneCrashReports(const std::string& folder, std::size_t keep) {
  if (folder.empty()) return;
  // A report and its minidump share the name; a report is as new as the newer of its files. By
  // their times, not their names: with the clock or the zone set back, the report this start
  // announces may carry the oldest name of all.
  std::map<std::string, std::filesystem::file_time_type> written;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(FileSystemPath(folder), error), end;
       !error && entry != end; entry.increment(error)) {
    const std::filesystem::path& path = entry->path();
    const std::u8string stem = path.stem().u8string();
    if (!stem.starts_with(u8"crash-") ||
        (path.extension() != ".txt" && path.extension() != ".dmp")) {
      continue;
    }
    std::error_code unknown;
    auto time = std::filesystem::last_write_time(path, unknown);
    if (unknown) time = std::filesystem::file_time_type::min();  // gone meanwhile: the oldest
    const auto [known, first] = written.try_emplace(std::string(stem.begin(), stem.end()), time);
    if (!first && time > known->second) known->second = time;
  }
  if (written.size() <= keep) return;
  std::vector<std::pair<std::filesystem::file_time_type, std::string>> byAge;
  for (const auto& [name, time] : written) byAge.emplace_back(time, name);
  std::sort(byAge.begin(), byAge.end());
  for (std::size_t i = 0; i + keep < byAge.size(); ++i) {
    for (const char* extension : {".txt", ".dmp"}) {
      std::filesystem::remove(FileSystemPath(JoinPath(folder, byAge[i].second + extension)), error);
    }
  }
}

}  // namespace varo
