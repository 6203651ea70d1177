#include "SystemListing.h"

#include <algorithm>

#include "archive/SystemCode.h"

namespace varo {

namespace {

unsigned char FoldAscii(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

// Negative, zero or positive as a sorts before, with or after b when the mapping is applied.
template <typename Map>
int CompareBytes(std::string_view a, std::string_view b, Map map) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const int ca = map(a[i]);
    const int cb = map(b[i]);
    if (ca != cb) return ca - cb;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  // Greedy wildcard match with one backtrack point: the last "*" seen.
  std::size_t n = 0;
  std::size_t m = 0;
  std::size_t starMask = std::string_view::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (m < mask.size() && FoldAscii(mask[m]) == FoldAscii(name[n])) {
      ++m;
      ++n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

bool ListsBefore(std::string_view a, std::string_view b) {
  const int folded = CompareBytes(a, b, FoldAscii);
  if (folded != 0) return folded < 0;
  return CompareBytes(a, b, [](char c) { return static_cast<unsigned char>(c); }) < 0;
}

std::vector<std::string> SystemFilesAmong(std::vector<std::string> names, std::uint8_t gameKind) {
  const std::string_view mask = GameMask(gameKind);
  std::erase_if(names, [mask](const std::string& name) {
    return name.starts_with('.') || !MatchesMask(name, mask);
  });
  return names;
}

void SortInArchiveOrder(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return ListsBefore(a, b); });
}

const std::string* FirstWithCode(const std::vector<std::string>& names, std::int32_t code) {
  const std::string* first = nullptr;
  for (const std::string& name : names) {
    if (GetCodice(name) == code && (first == nullptr || ListsBefore(name, *first))) first = &name;
  }
  return first;
}

}  // namespace varo
