// System files for the service benchmark, and the plain read() they are measured against.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace varo::bench {

// Writes a Totocalcio or Totogol system of the given number of columns: column i chooses, match
// by match, one, two or three signs by the base-3 digits of i, and every other column is flagged.
void WriteSystemFile(const std::filesystem::path& file, std::uint32_t columns);

// Gives the files a new change time without touching their contents or modification time, as a
// change of their permissions does; the server then reads them again.
void RenewChangeTimes(const std::vector<std::filesystem::path>& files);

// Reads the files whole with read() in 64 KiB blocks and returns the number of bytes read.
std::uint64_t ReadWhole(const std::vector<std::filesystem::path>& files);

}  // namespace varo::bench
