// Whether deleted systems go to the trash, as the settings file says.
#pragma once

#include <string>

namespace varo {

// True unless [Cancellazione] Cestino is 0 in the settings file: absent, unreadable or any other
// value keeps deleted systems restorable.
bool DeletesToTrash(const std::string& settingsFile);

}  // namespace varo
