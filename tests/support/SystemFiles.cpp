#include "SystemFiles.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace varo::test {

std::string Column(std::uint8_t fill, std::initializer_list<std::pair<int, int>> changes) {
  std::string column(14, static_cast<char>(fill));
  for (const auto& [index, value] : changes) column[index] = static_cast<char>(value);
  return column;
}

std::string ColumnOf(std::vector<std::uint8_t> bytes) {
  bytes.resize(14, 0x01);
  return std::string(bytes.begin(), bytes.end());
}

std::string Columns(std::size_t count, std::uint8_t fill) {
  return std::string(count * 14, static_cast<char>(fill));
}

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::time_t LocalNoon(int year, int month, int day) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = 12;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

void SetModified(const std::filesystem::path& path, std::time_t when) {
  const auto moment =
      std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when));
  std::error_code error;
  std::filesystem::last_write_time(path, moment, error);
  if (error) throw std::filesystem::filesystem_error("cannot date", path, error);
}

void SetModifiedDate(const std::filesystem::path& path, int year, int month, int day) {
  SetModified(path, LocalNoon(year, month, day));
}

}  // namespace varo::test
