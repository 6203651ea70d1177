#include "TempDir.h"

#include <chrono>
#include <fstream>
#include <mutex>
#include <random>
#include <stdexcept>
#include <system_error>

namespace varo::test {

TempDir::TempDir() : TempDir(std::filesystem::temp_directory_path()) {}

TempDir::TempDir(const std::filesystem::path& base) {
  static std::mutex pickMutex;
  static std::mt19937_64 pick(
      std::random_device{}() ^
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::uint64_t number;
    {
      std::lock_guard lock(pickMutex);
      number = pick();
    }
    const std::filesystem::path candidate = base / ("varo-test-" + std::to_string(number));
    // Creating it is what claims the name: a folder that already exists is someone else's.
    if (std::filesystem::create_directory(candidate)) {
      std::filesystem::permissions(candidate, std::filesystem::perms::owner_all);
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder in " + base.string());
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::WriteFile(std::string_view relative, std::string_view bytes) const {
  const std::filesystem::path file = path_ / std::u8string(relative.begin(), relative.end());
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file;
}

std::filesystem::path KeepingVolume() {
#ifdef _WIN32
  return std::filesystem::temp_directory_path();
#else
  return "/dev/shm";  // a tmpfs on every Linux that runs systemd or udev
#endif
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace varo::test
