#include "AccessRule.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "records/Printable.h"

namespace varo {

namespace {

constexpr IPv4Network Loopback{0x7F000000u, 0xFF000000u};

std::uint32_t MaskOfLength(int length) {
  return length == 0 ? 0u : ~0u << (32 - length);
}

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameWord(std::string_view text, std::string_view word) {
  return std::equal(text.begin(), text.end(), word.begin(), word.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
}

// A decimal number of at most `most`, without sign or leading zero; nothing otherwise.
std::optional<std::uint32_t> DecimalUpTo(std::string_view text, std::uint32_t most) {
  if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (value > most) return std::nullopt;
  return value;
}

// "a.b.c.d", four decimal bytes, in host order.
std::optional<std::uint32_t> DottedAddress(std::string_view text) {
  std::uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = text.find('.');
    if ((part < 3) != (dot != std::string_view::npos)) return std::nullopt;  // exactly three dots
    const auto byte = DecimalUpTo(text.substr(0, dot), 255);
    if (!byte) return std::nullopt;
    address = address << 8 | *byte;
    if (dot != std::string_view::npos) text.remove_prefix(dot + 1);
  }
  return address;
}

// "a.b.c.d/n" or a bare address (a /32); host bits set name their network.
std::optional<IPv4Network> Network(std::string_view entry) {
  const std::size_t slash = entry.find('/');
  const auto address = DottedAddress(entry.substr(0, slash));
  if (!address) return std::nullopt;
  int length = 32;
  if (slash != std::string_view::npos) {
    const auto bits = DecimalUpTo(entry.substr(slash + 1), 32);
    if (!bits) return std::nullopt;
    length = static_cast<int>(*bits);
  }
  const std::uint32_t mask = MaskOfLength(length);
  return IPv4Network{*address & mask, mask};
}

int LengthOf(std::uint32_t mask) {
  int length = 0;
  while (length < 32 && (mask & (0x80000000u >> length)) != 0) ++length;
  return length;
}

}  // namespace

std::string NetworkText(const IPv4Network& network) {
  const std::uint32_t a = network.Address;
  return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
         std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF) + "/" +
         std::to_string(LengthOf(network.Mask));
}

AccessRule LocalNetworksRule() {
  return AccessRule{false,
                    {{0x0A000000u, 0xFF000000u},
                     {0xAC100000u, 0xFFF00000u},
                     {0xC0A80000u, 0xFFFF0000u},
                     {0x64400000u, 0xFFC00000u},
                     {0xA9FE0000u, 0xFFFF0000u}}};
}

bool MayAsk(const AccessRule& rule, std::uint32_t sourceNetworkOrder) {
  if (rule.Everyone) return true;
  const auto* b = reinterpret_cast<const unsigned char*>(&sourceNetworkOrder);
  const std::uint32_t source = static_cast<std::uint32_t>(b[0]) << 24 |
                               static_cast<std::uint32_t>(b[1]) << 16 |
                               static_cast<std::uint32_t>(b[2]) << 8 | b[3];
  const auto within = [source](const IPv4Network& n) { return (source & n.Mask) == n.Address; };
  return within(Loopback) || std::any_of(rule.Networks.begin(), rule.Networks.end(), within);
}

AccessSetting ReadAccessSetting(std::string_view value) {
  AccessSetting setting{LocalNetworksRule(), {}, {}, {}};
  value = Trimmed(value);
  if (value.empty() || SameWord(value, "locali")) return setting;
  if (SameWord(value, "tutte")) {
    setting.Rule = AccessRule{true, {}};
    return setting;
  }
  AccessRule listed;
  bool anyEntry = false;
  while (true) {
    const std::size_t comma = value.find(',');
    const std::string_view entry = Trimmed(value.substr(0, comma));
    anyEntry = anyEntry || !entry.empty();
    if (entry.empty()) {
      // Nothing between two commas, or after the last: no network named, none to refuse.
    } else if (SameWord(entry, "locali")) {
      const AccessRule local = LocalNetworksRule();
      listed.Networks.insert(listed.Networks.end(), local.Networks.begin(), local.Networks.end());
    } else if (entry.find(':') != std::string_view::npos) {
      setting.Ignored.push_back(Printable(entry));
    } else if (const auto network = Network(entry)) {
      listed.Networks.push_back(*network);
      if (network->Mask == 0 && setting.EverySourceEntry.empty()) {
        setting.EverySourceEntry = std::string(entry);
      }
    } else {
      setting.Problem = Printable(entry);
      setting.Ignored.clear();
      setting.EverySourceEntry.clear();
      return setting;
    }
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  // Only commas and blanks name no entry at all: as an empty value, the default.
  if (anyEntry) setting.Rule = std::move(listed);
  return setting;
}

std::string EverySourceWarning(const std::string& entry) {
  return "[Accesso] Reti: the entry \"" + entry +
         "\" serves every source: any host that reaches this port may ask, and delete systems";
}

std::string DescribeAccessRule(const AccessRule& rule) {
  if (rule.Everyone) return "every source";
  if (rule == LocalNetworksRule()) return "local networks only";
  std::string text = "loopback";
  for (const IPv4Network& network : rule.Networks) text += ", " + NetworkText(network);
  return text;
}

}  // namespace varo
