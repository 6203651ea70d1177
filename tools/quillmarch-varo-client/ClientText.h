// Names from the wire made fit for a terminal and for JSON.
#pragma once

#include <cstdint>
#include <string>

namespace varo::client {

// A name in the clients' single-byte code page (Windows-1252) as UTF-8; bytes that page leaves
// undefined become U+FFFD. Control characters become "?" so that a name cannot steer a terminal.
std::string WireNameForDisplay(const std::string& wireBytes);

// The same name as UTF-8 with control characters kept, for JSON, which escapes them.
std::string WireNameToUtf8(const std::string& wireBytes);

// A count with its noun in the number the count asks for: "1 column", "0 columns", "2 entries".
std::string CountOf(std::uint64_t count, const std::string& one, const std::string& many);

// A JSON string literal of UTF-8 text, quotes included.
std::string JsonQuote(const std::string& utf8);

}  // namespace varo::client
