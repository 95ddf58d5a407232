#include "shell/ui/RunWindow.h"

#include <QApplication>
#include <QScreen>

#include "platform/widgets/QtMessageBox.h"
#include "shell/ui/MainUnit.h"

namespace tolvane {
namespace {

void CentreOnDesktop(QWidget& window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

}  // namespace

void SetUpApplication() { QApplication::setApplicationName("Tolvane"); }

int RunWindow(int argc, char** argv) {
  QApplication app(argc, argv);
  SetUpApplication();
  InstallQtMessageBox();
  TMainForm window;
  CentreOnDesktop(window);
  window.show();
  return app.exec();
}

}  // namespace tolvane
