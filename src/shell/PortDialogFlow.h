// A port dialog from question to outcome, whatever toolkit shows it: the port the settings file
// holds is shown, what comes back is checked, put in force and stored, and a message says what
// went wrong.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "handlers/ActivityLog.h"
#include "shell/UserDialogs.h"

namespace varo {

// Where a port lives in the settings file and how its dialog asks for it.
struct PortEntry {
  const char* Section;
  const char* Key;
  std::int32_t Default;  // shown when the file names no port
  const char* Prompt;
};

// A port that was bound but could not be stored: nothing is put in force.
class SettingsNotSaved : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class PortDialogFlow {
 public:
  // Puts port in force, calling save (which throws SettingsNotSaved) to store it once it can work.
  // Whatever it throws leaves the port as it was and is shown: a BindError with advice.
  using PutInForce = std::function<void(std::int32_t port, const std::function<void()>& save)>;

  // Dialogs ask and tell the user, messages captioned with title; ports are stored in settingsFile,
  // and log hears of one that cannot be. listeningOn names the input port the endpoint listens on,
  // nothing when it does not listen, for the message about a port that could not be bound.
  PortDialogFlow(UserDialogs& dialogs, ActivityLog& log, std::string settingsFile,
                 std::string title, std::function<std::optional<std::int32_t>()> listeningOn);

  // Asks for entry's port and puts it in force; true when it is stored and in force.
  bool Ask(const PortEntry& entry, const PutInForce& putInForce);
  // The program is ending: a dialog that returns from now on changes nothing.
  void BeginClosing() { closing_ = true; }

 private:
  // Shows a message captioned with the program's title.
  void ShowError(const std::string& text);

  UserDialogs& dialogs_;
  ActivityLog& log_;
  const std::string settingsFile_;
  const std::string title_;
  const std::function<std::optional<std::int32_t>()> listeningOn_;
  bool closing_ = false;
};

}  // namespace varo
