// Helpers for archive tests: a copy of a packed field; columns, dates and writers are shared.
#pragma once

#include "SystemFiles.h"

namespace varo::test {

// A copy of a field of a packed record, which a test may compare without binding a misaligned
// reference to it.
template <typename T>
T Copy(T value) {
  return value;
}

}  // namespace varo::test
