// System files for tests: their columns written byte by byte, the files' bytes and their dates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varo::test {

// Fourteen bytes of `fill`, with the bytes at the given indexes changed.
std::string Column(std::uint8_t fill, std::initializer_list<std::pair<int, int>> changes = {});

// Fourteen bytes of one column: the given ones, then 0x01 (a single sign) up to fourteen.
std::string ColumnOf(std::vector<std::uint8_t> bytes);

// `count` columns of fourteen bytes of `fill`.
std::string Columns(std::size_t count, std::uint8_t fill);

// Writes a whole file (its folder must exist); throws when it cannot.
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);

// The whole content of a file ("" when it cannot be read).
std::string FileBytes(const std::filesystem::path& path);

// The local-time moment of a calendar date at noon.
std::time_t LocalNoon(int year, int month, int day);

// Sets a file's modification time; throws when it cannot.
void SetModified(const std::filesystem::path& path, std::time_t when);

// Sets a file's modification time to noon of a local date, so its date fields are known.
void SetModifiedDate(const std::filesystem::path& path, int year, int month, int day);

}  // namespace varo::test
