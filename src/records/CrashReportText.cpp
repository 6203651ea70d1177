#include "records/CrashReportText.h"

#include <exception>

namespace varo {

const char* CurrentExceptionText() {
  const std::exception_ptr current = std::current_exception();
  if (!current) return nullptr;
  try {
    std::rethrow_exception(current);
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "(not a std::exception)";
  }
}

void AddStackLine(FixedText& text, int index, std::uint64_t address, std::string_view module,
                  std::uint64_t offset) {
  text.Add("#").AddDecimal(index).Add(" 0x").AddHex(address, 16);
  if (!module.empty()) text.Add(" ").Add(module).Add("+0x").AddHex(offset);
}

}  // namespace varo
