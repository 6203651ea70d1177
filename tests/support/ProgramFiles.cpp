#include "ProgramFiles.h"

#include <fstream>
#include <stdexcept>

namespace varo::test {

std::filesystem::path SettingsFileBelow(const std::filesystem::path& configHome) {
  return configHome / "Quillmarch" / "Quillmarch Varo Server" / "QuillmarchvaroServer.ini";
}

std::filesystem::path WritePorts(const std::filesystem::path& configHome, int inPort, int outPort) {
  const std::filesystem::path file = SettingsFileBelow(configHome);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << "[Comunicazione]\nInPort=" << inPort << "\nOutPort=" << outPort << "\n";
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file;
}

std::filesystem::path ArchiveBelow(const std::filesystem::path& home) {
  return home / "Documents" / "Quillmarch" / "Quillmarch Varo Server";
}

std::filesystem::path TotocalcioFolderIn(const std::filesystem::path& home) {
  const auto folder = ArchiveBelow(home) / "Totocalcio";
  std::filesystem::create_directories(folder);
  return folder;
}

std::filesystem::path TotogolFolderIn(const std::filesystem::path& home) {
  const auto folder = ArchiveBelow(home) / "Totogol";
  std::filesystem::create_directories(folder);
  return folder;
}

void MakeEmptyArchive(const std::filesystem::path& home) {
  TotocalcioFolderIn(home);
  TotogolFolderIn(home);
}

}  // namespace varo::test
