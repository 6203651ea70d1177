// The user's dialogs as Qt shows them.
#pragma once

#include <QString>
#include <memory>

#include "shell/UserDialogs.h"

class QInputDialog;
class QMessageBox;
class QWidget;

namespace varo {

// Qt's input dialog and message box, over the window set as their parent. Every message also goes
// to standard error; on the offscreen platform nothing is shown and every dialog ends as if it had
// been closed.
class QtUserDialogs : public UserDialogs {
 public:
  // Dialogs from now on are centred and modal over parent (nothing: over the screen).
  void SetParent(QWidget* parent) { parent_ = parent; }

  std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                     const std::string& prefilled) override;
  void ShowMessage(const std::string& caption, const std::string& text) override;

 private:
  QWidget* parent_ = nullptr;
};

// The port dialog as QtUserDialogs shows it: prefilled and selected, wide enough for its texts.
std::unique_ptr<QInputDialog> MakeEntryDialog(QWidget* parent, const QString& caption,
                                              const QString& prompt, const QString& prefilled);

// A message box as QtUserDialogs shows it: the warning icon and a single OK button.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& caption,
                                            const QString& text);

// Whether the program runs without a display anybody could see.
bool IsOffscreen();

}  // namespace varo
