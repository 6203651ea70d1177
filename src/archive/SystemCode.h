// The code a system file carries in the last extension of its name.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/Paths.h"

namespace varo {

// The code after the last dot of a name or path ("/", "\" and ":" end a folder part);
// -1 when there is no such dot or the text after it is not an integer.
std::int32_t GetCodice(std::string_view nameOrPath);

}  // namespace varo
