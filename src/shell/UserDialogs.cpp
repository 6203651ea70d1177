#include "shell/UserDialogs.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <cstdio>

namespace varo {

namespace {

constexpr int EntryMaxLength = 255;

void WriteToStandardError(const QString& caption, const QString& text) {
  const QByteArray line = (caption + ": " + text + "\n").toLocal8Bit();
  std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
  std::fflush(stderr);
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

std::optional<QString> QtUserDialogs::AskText(QWidget* parent, const QString& caption,
                                              const QString& prompt, const QString& prefilled) {
  if (IsOffscreen()) {
    WriteToStandardError(caption, prompt);
    return std::nullopt;
  }
  QInputDialog dialog(parent);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setWindowTitle(caption);
  dialog.setLabelText(prompt);
  dialog.setTextValue(prefilled);
  dialog.setOkButtonText(QStringLiteral("OK"));
  dialog.setCancelButtonText(QStringLiteral("Cancel"));
  if (auto* label = dialog.findChild<QLabel*>()) label->setWordWrap(true);
  if (auto* entry = dialog.findChild<QLineEdit*>()) {
    entry->setMaxLength(EntryMaxLength);
    entry->selectAll();
  }
  CentreOnScreen(dialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

void QtUserDialogs::ShowMessage(QWidget* parent, const QString& caption, const QString& text) {
  WriteToStandardError(caption, text);
  if (IsOffscreen()) return;
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
  CentreOnScreen(box);
  box.exec();
}

}  // namespace varo
