#include "BenchFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <string>

namespace varo::bench {

void WriteSystemFile(const std::filesystem::path& file, std::uint32_t columns) {
  static constexpr std::uint8_t Signs[3] = {0x01, 0x03, 0x07};
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  std::vector<char> chunk;
  chunk.reserve(14 * 65536);
  for (std::uint32_t i = 0; i < columns; ++i) {
    std::uint32_t digits = i;
    for (int k = 0; k < 14; ++k, digits /= 3) {
      std::uint8_t byte = Signs[digits % 3];
      if ((k == 0 || k == 8) && (i & 1u) != 0) byte |= 0x80;  // the flag byte of either game
      chunk.push_back(static_cast<char>(byte));
    }
    if (chunk.size() >= 14 * 65536) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      chunk.clear();
    }
  }
  out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

void RenewChangeTimes(const std::vector<std::filesystem::path>& files) {
  for (const auto& file : files) {
    struct stat status;
    if (stat(file.c_str(), &status) != 0 || chmod(file.c_str(), status.st_mode & 07777) != 0) {
      throw std::runtime_error("cannot renew the change time of " + file.string());
    }
  }
}

std::uint64_t ReadWhole(const std::vector<std::filesystem::path>& files) {
  static std::vector<char> block(64 * 1024);
  std::uint64_t total = 0;
  for (const auto& file : files) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + file.string());
    for (;;) {
      const ssize_t got = read(fd, block.data(), block.size());
      if (got < 0) {
        close(fd);
        throw std::runtime_error("cannot read " + file.string());
      }
      if (got == 0) break;
      total += static_cast<std::uint64_t>(got);
    }
    close(fd);
  }
  return total;
}

}  // namespace varo::bench
