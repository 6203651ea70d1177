// The questions and messages the desktop program puts to its user, free of any toolkit: each
// desktop program answers them with its own dialogs, a test with scripted answers.
#pragma once

#include <optional>
#include <string>

namespace varo {

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // A modal one-line entry, prefilled and selected; the text entered, or nothing when cancelled.
  virtual std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                             const std::string& prefilled) = 0;
  // A modal message with a single OK button.
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
};

}  // namespace varo
