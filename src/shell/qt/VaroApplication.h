// The Qt application object, which shows any error that escapes the event loop's handlers.
#pragma once

#include <QApplication>
#include <QLocale>
#include <QTranslator>
#include <string>

#include "shell/UserDialogs.h"

namespace varo {

class VaroApplication : public QApplication {
 public:
  VaroApplication(int& argc, char** argv, UserDialogs& dialogs);

  // Delivers the event; an error escaping its handler is shown instead of ending the program.
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  UserDialogs& dialogs_;
};

// Installs Qt's own translations for locale (the log's menu, standard buttons) into the running
// application; false when they are not installed, Qt's words then staying English.
bool LoadQtWords(QTranslator& translator, const QLocale& locale);

// Shows an error that escaped start-up or the event loop (message box and standard error).
void ReportUnhandledError(UserDialogs& dialogs, const std::string& text);

}  // namespace varo
