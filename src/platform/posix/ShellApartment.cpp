// Linux: the desktop's calls need no set-up of the thread.
#include "platform/ShellApartment.h"

namespace varo {

ShellApartment::ShellApartment() = default;

ShellApartment::~ShellApartment() = default;

void ShellApartment::DispatchPending() {}

}  // namespace varo
