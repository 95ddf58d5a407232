#pragma once

// The preview window: shows each picture the job handles, stretched into a
// fixed rectangle, and black in between.
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/WinTypes.h"

namespace Ui {
class TPreviewForm;
}

class TPreviewForm : public QWidget {
  Q_OBJECT
 public:
  // Beside mainWindow, which owns it, where the screen has room, else
  // centred on it; onClosed runs when the user closes it, before the window
  // goes.
  TPreviewForm(QWidget* mainWindow, std::function<void()> onClosed);
  ~TPreviewForm() override;

  // Paints the 24-bit picture whose pixels follow header (at header->biSize)
  // into the 465 x 220 rectangle at (5, 5). The picture is read only during
  // the call; a picture that is not 24-bit is ignored.
  void DrawFrame(const BITMAPINFOHEADER* header);
  // Shows a copy of the picture in the same rectangle until the next
  // DrawFrame: a still stays when the window is covered and uncovered.
  void ShowStill(const BITMAPINFOHEADER* header);

  static constexpr QRect kPictureRect{5, 5, 465, 220};

  // Where a window of client size `client` goes beside a main window whose
  // frame is mainFrame: right of it, left, below or above, the first whole
  // on the screen's available area, with frame margins like the main
  // window's. Empty when none fits.
  static QRect PlaceBeside(const QRect& mainFrame, const QMargins& frame, const QSize& client,
                           const QRect& available);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void PlaceOn(const QWidget* mainWindow);

  std::unique_ptr<Ui::TPreviewForm> ui;
  std::function<void()> OnClosed;
  // Set only while DrawFrame repaints.
  const BITMAPINFOHEADER* PendingFrame = nullptr;
  // Top-down; null unless a still is shown.
  QImage Still;
};
