// The questions and messages the program puts to its user, behind one seam so they can be answered
// by a person, by a test, or not at all on a desktop nobody sees.
#pragma once

#include <QString>
#include <memory>
#include <optional>

class QInputDialog;
class QMessageBox;
class QWidget;

namespace varo {

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // A modal one-line entry, prefilled and selected; the text entered, or nothing when cancelled.
  virtual std::optional<QString> AskText(QWidget* parent, const QString& caption,
                                         const QString& prompt, const QString& prefilled) = 0;
  // A modal message with a single OK button.
  virtual void ShowMessage(QWidget* parent, const QString& caption, const QString& text) = 0;
};

// Qt's input dialog and message box. Every message also goes to standard error; on the offscreen
// platform nothing is shown and every dialog ends as if it had been closed.
class QtUserDialogs : public UserDialogs {
 public:
  std::optional<QString> AskText(QWidget* parent, const QString& caption, const QString& prompt,
                                 const QString& prefilled) override;
  void ShowMessage(QWidget* parent, const QString& caption, const QString& text) override;
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
