#include "platform/posix/UserDirs.h"

#include <gtest/gtest.h>

namespace varo {
namespace {

TEST(UserDirs, DocumentsIsReadAsTheDesktopReadsIt) {
  const struct {
    const char* Text;
    std::optional<std::string> Documents;
  } cases[] = {
      {"XDG_DESKTOP_DIR=\"$HOME/Scrivania\"\nXDG_DOCUMENTS_DIR=\"$HOME/Documenti\"\n",
       "/home/anna/Documenti"},
      {"XDG_DOCUMENTS_DIR=\"/srv/sistemi/\"\r\n", "/srv/sistemi"},
      {"XDG_DOCUMENTS_DIR=$HOME/Docs\n", "/home/anna/Docs"},
      {"XDG_DOCUMENTS_DIR=\"$HOME\"", "/home/anna"},
      // The last line that names the folder wins; a form the desktop ignores is ignored.
      {"XDG_DOCUMENTS_DIR=\"$HOME/Vecchi\"\nXDG_DOCUMENTS_DIR=\"$HOME/Nuovi\"\n",
       "/home/anna/Nuovi"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/Buoni\"\nXDG_DOCUMENTS_DIR=\"relativi\"\n", "/home/anna/Buoni"},
      {"# XDG_DOCUMENTS_DIR=\"$HOME/Commento\"\n XDG_DOCUMENTS_DIR=\"/x\"\n", std::nullopt},
      {"XDG_DOWNLOAD_DIR=\"$HOME/Scaricati\"\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(DocumentsInUserDirs(entry.Text, "/home/anna"), entry.Documents) << entry.Text;
  }
}

}  // namespace
}  // namespace varo
