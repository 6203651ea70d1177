#include "shell/VaroApplication.h"

#include <exception>

#include "shell/ShellPaths.h"

namespace varo {

VaroApplication::VaroApplication(int& argc, char** argv, UserDialogs& dialogs)
    : QApplication(argc, argv), dialogs_(dialogs) {}

bool VaroApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ReportUnhandledError(dialogs_, QString::fromLocal8Bit(error.what()));
  } catch (...) {
    ReportUnhandledError(dialogs_, QStringLiteral("Errore sconosciuto"));
  }
  return false;
}

void ReportUnhandledError(UserDialogs& dialogs, const QString& text) {
  dialogs.ShowMessage(nullptr, QString::fromStdString(CurrentProgramTitle()), text);
}

}  // namespace varo
