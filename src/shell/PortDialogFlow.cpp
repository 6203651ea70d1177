#include "shell/PortDialogFlow.h"

#include <utility>

#include "endpoint/UDPServer.h"
#include "records/Printable.h"
#include "settings/IniProfile.h"
#include "settings/IntegerRule.h"
#include "settings/PortRule.h"
#include "shell/DesktopTexts.h"

namespace varo {

PortDialogFlow::PortDialogFlow(UserDialogs& dialogs, ActivityLog& log, std::string settingsFile,
                               std::string title,
                               std::function<std::optional<std::int32_t>()> listeningOn)
    : dialogs_(dialogs),
      log_(log),
      settingsFile_(std::move(settingsFile)),
      title_(std::move(title)),
      listeningOn_(std::move(listeningOn)) {}

bool PortDialogFlow::Ask(const PortEntry& entry, const PutInForce& putInForce) {
  // The dialog shows what the file holds, which may differ from the value in force; a value that
  // is no number shows the default.
  const std::string stored = GetPrivateProfileString(entry.Section, entry.Key, "", settingsFile_);
  const std::optional<std::int32_t> storedPort = ParseProfileInteger(stored);
  const std::string shown = std::to_string(storedPort.value_or(entry.Default));
  const std::optional<std::string> entered =
      dialogs_.AskText(texts::PortDialogCaption, entry.Prompt, shown);
  // A dialog cut short by the program's end changes nothing.
  if (closing_) return false;
  // Cancelling stores and applies the shown value, exactly as confirming it would; a stored value
  // that could not be put in force (no number, or out of range) is left as it is, with no message
  // about what was not asked.
  const bool storedIsNoNumber = !stored.empty() && !storedPort;
  const std::optional<std::int32_t> shownPort = ParseInteger(shown);
  if (!entered && (storedIsNoNumber || !(shownPort && IsUsablePort(*shownPort)))) return false;
  const std::string result = entered.value_or(shown);
  const std::string invalid = texts::InvalidPort;
  const std::optional<std::int32_t> port = ParseInteger(result);
  if (!port) {
    ShowError(invalid + "\n" + texts::NotAPortNumber(Printable(result)));
    return false;
  }
  const std::string value = std::to_string(*port);
  if (!IsUsablePort(*port)) {
    // Nothing is stored or changed: 0 binds a port nobody can find, and replies to a port
    // outside the range go nowhere.
    ShowError(invalid + "\n" + texts::NoSuchPort(*port));
    return false;
  }
  const auto save = [this, &entry, &value] {
    try {
      WritePrivateProfileString(entry.Section, entry.Key, value, settingsFile_);
    } catch (const std::exception& error) {
      throw SettingsNotSaved(error.what());
    }
  };
  try {
    putInForce(*port, save);
  } catch (const SettingsNotSaved& error) {
    log_.WarningEvent("cannot store " + std::string(entry.Key) + "=" + value + " in " +
                          settingsFile_ + ": " + error.what() + "; nothing changed",
                      texts::PortNotSavedEvent(std::string(entry.Key) + "=" + value, settingsFile_,
                                               error.what()));
    ShowError(invalid + "\n" + texts::PortNotSaved(Printable(settingsFile_)));
    return false;
  } catch (const BindError& error) {
    // A port that is taken or reserved is a valid number: the bind error's own words say so.
    std::string text =
        std::string(error.what()) + "\n" + texts::InputPortAdvice(error.Why(), *port);
    if (const std::optional<std::int32_t> listening = listeningOn_()) {
      text += " " + texts::StillListeningOn(*listening);
    }
    ShowError(text);
    return false;
  } catch (const std::exception&) {
    ShowError(invalid);
    return false;
  }
  return true;
}

void PortDialogFlow::ShowError(const std::string& text) {
  dialogs_.ShowMessage(title_, text);
}

}  // namespace varo
