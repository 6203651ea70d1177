#include "shell/qt/ShellPaths.h"

#include <QCoreApplication>
#include <QFile>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

#include "platform/Paths.h"
#include "shell/ProgramTitle.h"

namespace varo {

namespace {

std::string Encoded(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

}  // namespace

std::string SettingsFolderPath() {
  return JoinPath(
      JoinPath(Encoded(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)),
               "Quillmarch"),
      "Quillmarch Varo Server");
}

std::string SettingsFilePath() {
  return JoinPath(SettingsFolderPath(), "QuillmarchvaroServer.ini");
}

bool EnsureSettingsFolder() {
  std::error_code error;
  std::filesystem::create_directories(SettingsFolderPath(), error);
  return !error && std::filesystem::is_directory(SettingsFolderPath(), error);
}

std::string CurrentProgramTitle() {
  return ProgramTitle(Encoded(QCoreApplication::applicationFilePath()));
}

}  // namespace varo
