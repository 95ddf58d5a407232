#include "ui/RunWindow.h"

#include <QApplication>
#include <QScreen>

#include "compressors/CompressorEncoder.h"
#include "media/LibraryLog.h"
#include "platform/widgets/QtMessageBox.h"
#include "ui/MainUnit.h"

namespace RUNWINDOW {
namespace {

void CentreOnDesktop(QWidget& window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

}  // namespace

void SetUpApplication() {
  QApplication::setApplicationName("Tolvane");
  // The desktop matches the window with tolvane.desktop and its icon.
  QGuiApplication::setDesktopFileName("tolvane");
  QGuiApplication::setWindowIcon(QIcon::fromTheme("tolvane"));
}

int RunWindow(int argc, char** argv) {
  QApplication app(argc, argv);
  SetUpApplication();
  InstallQtMessageBox();
  COMPRESSOR::RouteEncoderLog(LIBRARYLOG::LogCallback());
  TMainForm window;
  CentreOnDesktop(window);
  window.show();
  // A video opened from the desktop.
  if (argc == 2) window.OpenSourceVideo(argv[1]);
  return app.exec();
}

}  // namespace RUNWINDOW
