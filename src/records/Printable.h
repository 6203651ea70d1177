// The one rule by which a text becomes safe to put on a line of any log: nothing in it may break the
// line or forge one of its own.
#pragma once

#include <string>
#include <string_view>

namespace varo {

// The text with each control character shown as one "?": bytes below 0x20, DEL, the C1 controls
// U+0080 to U+009F (U+0085 among them) and the line and paragraph separators U+2028 and U+2029,
// each of which a text view takes for a line end. Every other byte stays.
std::string Printable(std::string_view text);

// The text as the event log and standard error show it, which the user reads as sentences:
// Printable's rule, and also each bidirectional control (U+200E, U+200F, U+202A to U+202E, U+2066
// to U+2069), which could make a name reorder the line around it, and each byte that is not part
// of valid UTF-8 as one "?".
std::string EventText(std::string_view text);

}  // namespace varo
