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

}  // namespace varo
