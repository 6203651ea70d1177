// The user's Documents folder, found afresh whenever the system's record of it may have changed,
// so that the archive follows a Documents folder the desktop moves while the server runs.
#pragma once

#include <memory>
#include <string>

namespace varo {

class DocumentsLocator {
 public:
  DocumentsLocator();
  ~DocumentsLocator();
  DocumentsLocator(const DocumentsLocator&) = delete;
  DocumentsLocator& operator=(const DocumentsLocator&) = delete;

  // The Documents folder now (UTF-8; "" when the system names none). Cheap while nothing changed:
  // Linux examines user-dirs.dirs once (its identity, size and times), Windows asks again only
  // after the registry reports a change of the user's shell folders.
  const std::string& Current();

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace varo
