#include "shell/qt/VaroApplication.h"

#include <QLibraryInfo>

#include <exception>

#include "shell/DesktopTexts.h"
#include "shell/qt/ShellPaths.h"

namespace varo {

VaroApplication::VaroApplication(int& argc, char** argv, UserDialogs& dialogs)
    : QApplication(argc, argv), dialogs_(dialogs) {}

bool VaroApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ReportUnhandledError(dialogs_, error.what());
  } catch (...) {
    ReportUnhandledError(dialogs_, texts::UnknownError);
  }
  return false;
}

void ReportUnhandledError(UserDialogs& dialogs, const std::string& text) {
  dialogs.ShowMessage(CurrentProgramTitle(), text);
}

bool LoadQtWords(QTranslator& translator, const QLocale& locale) {
  if (!translator.load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return false;
  }
  return QCoreApplication::installTranslator(&translator);
}

}  // namespace varo
