#include "shell/qt/ApplicationIcon.h"

// The resource lives in a static library, so it must be registered by hand.
static void RegisterShellResources() {
  Q_INIT_RESOURCE(shell);
}

namespace varo {

QIcon ApplicationIcon() {
  static const bool registered = (RegisterShellResources(), true);
  (void)registered;
  return QIcon(QStringLiteral(":/quillmarch-varo-server.png"));
}

}  // namespace varo
