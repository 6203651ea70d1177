// Linux: the XDG variables, else the usual folders below $HOME.
#include "platform/KnownFolders.h"

#include <cstdlib>

#include "platform/Paths.h"

namespace varo {

namespace {

std::string VariableOrBelowHome(const char* variable, const char* belowHome) {
  if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') return value;
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return "";
  return std::string(home) + "/" + belowHome;
}

}  // namespace

std::string RoamingAppDataFolder() {
  return VariableOrBelowHome("XDG_CONFIG_HOME", ".config");
}

std::string EventLogFolder() {
  const std::string state = VariableOrBelowHome("XDG_STATE_HOME", ".local/state");
  if (state.empty()) return "";
  return JoinPath(JoinPath(state, "Quillmarch"), "Quillmarch Varo Server");
}

}  // namespace varo
