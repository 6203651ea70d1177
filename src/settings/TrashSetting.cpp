#include "settings/TrashSetting.h"

#include "settings/IniProfile.h"

namespace varo {

bool DeletesToTrash(const std::string& settingsFile) {
  const std::string value = GetPrivateProfileString("Cancellazione", "Cestino", "", settingsFile);
  return ParseProfileInteger(value) != 0;
}

}  // namespace varo
