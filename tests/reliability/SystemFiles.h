// System files and request datagrams written byte by byte for the reliability tests.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace varo::test {

using ByteString = std::vector<std::uint8_t>;

// columns records of fourteen bytes of `fill`.
inline std::string Columns(std::size_t columns, std::uint8_t fill) {
  return std::string(columns * 14, static_cast<char>(fill));
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Sets a file's modification time to noon of a local date, so its date fields are known.
inline void SetModifiedDate(const std::filesystem::path& path, int year, int month, int day) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = 12;
  local.tm_isdst = -1;
  const timespec when{std::mktime(&local), 0};
  const timespec times[2] = {when, when};
  if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    throw std::runtime_error("cannot date " + path.string());
  }
}

inline ByteString Join(std::initializer_list<ByteString> parts) {
  ByteString all;
  for (const ByteString& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

inline ByteString Repeat(const ByteString& part, std::size_t times) {
  ByteString all;
  for (std::size_t i = 0; i < times; ++i) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A name field: the name's bytes followed by blanks up to 20.
inline ByteString NameBytes(const std::string& name) {
  ByteString field(name.begin(), name.end());
  field.resize(20, ' ');
  return field;
}

// A request header: tag in byte 0, sequence in the echoed words at 1 and 3, the declared payload
// length, the command pair; the payload follows.
inline ByteString Request(std::uint16_t command, std::uint8_t subCommand, const ByteString& payload,
                          std::uint8_t tag = 0, std::uint32_t sequence = 0) {
  ByteString d(23, 0);
  d[0] = tag;
  d[1] = static_cast<std::uint8_t>(sequence >> 24);
  d[2] = static_cast<std::uint8_t>(sequence >> 16);
  d[3] = static_cast<std::uint8_t>(sequence >> 8);
  d[4] = static_cast<std::uint8_t>(sequence);
  d[8] = static_cast<std::uint8_t>(payload.size() >> 8);
  d[9] = static_cast<std::uint8_t>(payload.size());
  d[20] = static_cast<std::uint8_t>(command >> 8);
  d[21] = static_cast<std::uint8_t>(command);
  d[22] = subCommand;
  d.insert(d.end(), payload.begin(), payload.end());
  return d;
}

// The header a reply carries for this request: the request's 23 bytes with the given DataLength
// and ExtraLength.
inline ByteString ReplyHeaderFor(const ByteString& request, std::uint16_t dataLength,
                                 std::uint16_t extraLength = 0) {
  ByteString h(request.begin(), request.begin() + 23);
  h[8] = static_cast<std::uint8_t>(dataLength >> 8);
  h[9] = static_cast<std::uint8_t>(dataLength);
  h[10] = static_cast<std::uint8_t>(extraLength >> 8);
  h[11] = static_cast<std::uint8_t>(extraLength);
  return h;
}

}  // namespace varo::test
