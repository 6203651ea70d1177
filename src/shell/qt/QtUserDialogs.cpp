#include "shell/qt/QtUserDialogs.h"
#include "records/ErrorLine.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <string_view>

#include "shell/DesktopEventLog.h"
#include "shell/DesktopTexts.h"

namespace varo {

namespace {

// Room a title bar takes beside its caption: the icon and the buttons.
constexpr int TitleBarAllowance = 140;

void WriteToStandardError(Severity severity, const QString& caption, const QString& text) {
  const QByteArray line = (caption + ": " + text).toLocal8Bit();
  WriteErrorLine(severity,
                 std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
}

void CentreOnScreen(QWidget& dialog) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  dialog.adjustSize();
  dialog.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, dialog.size(),
                                         screen->availableGeometry()));
}

}  // namespace

bool IsOffscreen() {
  return QGuiApplication::platformName() == QLatin1String("offscreen");
}

std::unique_ptr<QInputDialog> MakeEntryDialog(QWidget* parent, const QString& caption,
                                              const QString& prompt, const QString& prefilled) {
  auto dialog = std::make_unique<QInputDialog>(parent);
  dialog->setInputMode(QInputDialog::TextInput);
  dialog->setWindowTitle(caption);
  dialog->setLabelText(prompt);
  dialog->setTextValue(prefilled);
  dialog->setOkButtonText(QString::fromUtf8(texts::OkButton));
  dialog->setCancelButtonText(QString::fromUtf8(texts::CancelButton));
  if (auto* entry = dialog->findChild<QLineEdit*>()) {
    entry->setMaxLength(texts::EntryMaxLength);
    entry->selectAll();
    // The dialog's layout sizes it to its contents: a wide entry makes room for the prompt on one
    // line and for the caption beside the title bar's buttons.
    const QFontMetrics metrics(dialog->font());
    entry->setMinimumWidth(std::max(metrics.horizontalAdvance(caption) + TitleBarAllowance,
                                    metrics.horizontalAdvance(prompt)));
  }
  return dialog;
}

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& caption,
                                            const QString& text) {
  return std::make_unique<QMessageBox>(QMessageBox::Warning, caption, text, QMessageBox::Ok,
                                       parent);
}

std::optional<std::string> QtUserDialogs::AskText(const std::string& caption,
                                                  const std::string& prompt,
                                                  const std::string& prefilled) {
  const QString qCaption = QString::fromStdString(caption);
  const QString qPrompt = QString::fromStdString(prompt);
  if (IsOffscreen()) {
    // A question nobody could answer: the program goes on as if it had been closed.
    WriteToStandardError(Severity::Warning, qCaption, qPrompt);
    return std::nullopt;
  }
  const auto dialog =
      MakeEntryDialog(parent_, qCaption, qPrompt, QString::fromStdString(prefilled));
  CentreOnScreen(*dialog);
  if (dialog->exec() != QDialog::Accepted) return std::nullopt;
  return dialog->textValue().toStdString();
}

void QtUserDialogs::ShowMessage(const std::string& caption, const std::string& text) {
  const QString qCaption = QString::fromStdString(caption);
  const QString qText = QString::fromStdString(text);
  TellShownMessage(Severity::Error, caption, text);
  if (IsOffscreen()) return;
  const auto box = MakeMessageBox(parent_, qCaption, qText);
  CentreOnScreen(*box);
  box->exec();
}

}  // namespace varo
