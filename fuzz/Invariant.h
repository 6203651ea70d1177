// Stops the run on a broken invariant and names it, so the fuzzer keeps the input and says why.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace varo::fuzz {

[[noreturn]] inline void InvariantBroken(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "invariant broken at %s:%d: %s\n", file, line, condition);
  std::abort();
}

}  // namespace varo::fuzz

#define FUZZ_REQUIRE(condition) \
  ((condition) ? void(0) : ::varo::fuzz::InvariantBroken(#condition, __FILE__, __LINE__))
