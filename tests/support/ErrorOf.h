// The system error code an action throws, for tests of the platform layer's failures.
#pragma once

#include <functional>
#include <system_error>

namespace varo::test {

// The code of the std::system_error the action threw; 0 when it did not throw.
inline int ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::system_error& error) {
    return error.code().value();
  }
  return 0;
}

}  // namespace varo::test
