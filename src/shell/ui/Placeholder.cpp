// Scaffolding until the main window lands: an empty application.
#include <QApplication>

#include "shell/ui/RunWindow.h"

namespace tolvane {
int RunWindow(int argc, char** argv) {
  QApplication app(argc, argv);
  return 0;
}
}  // namespace tolvane
