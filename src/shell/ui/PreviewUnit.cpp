#include "shell/ui/PreviewUnit.h"

#include <QCloseEvent>
#include <QPainter>
#include <cstdlib>

#include "picture/BmpFrame.h"
#include "ui_PreviewUnit.h"

namespace {

// Wraps the picture's pixels without copying them. Rows of a positive height
// are stored bottom-up.
QImage PictureOf(const BITMAPINFOHEADER* header) {
  const int width = header->biWidth, height = std::abs(header->biHeight);
  const auto* pixels = reinterpret_cast<const uchar*>(header) + header->biSize;
  return QImage(pixels, width, height, BMPFRAME::RowStride(width), QImage::Format_BGR888);
}

bool IsDrawable(const BITMAPINFOHEADER* header) {
  return header != nullptr && header->biSize >= sizeof(BITMAPINFOHEADER) &&
         header->biBitCount == 24 && header->biCompression == BI_RGB && header->biWidth > 0 &&
         header->biHeight != 0;
}

}  // namespace

TPreviewForm::TPreviewForm(QWidget* mainWindow, std::function<void()> onClosed)
    : QWidget(mainWindow, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                              Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      ui(std::make_unique<Ui::TPreviewForm>()),
      OnClosed(std::move(onClosed)) {
  ui->setupUi(this);
  setFixedSize(474, 229);
  setAttribute(Qt::WA_DeleteOnClose);
  CentreOn(mainWindow);
}

TPreviewForm::~TPreviewForm() = default;

void TPreviewForm::CentreOn(const QWidget* mainWindow) {
  if (mainWindow == nullptr) return;
  QRect client(QPoint(0, 0), size());
  client.moveCenter(mainWindow->geometry().center());
  setGeometry(client);
}

void TPreviewForm::DrawFrame(const BITMAPINFOHEADER* header) {
  if (!IsDrawable(header) || !isVisible()) return;
  Still = QImage();
  PendingFrame = header;
  repaint(kPictureRect);
  PendingFrame = nullptr;
}

void TPreviewForm::ShowStill(const BITMAPINFOHEADER* header) {
  if (!IsDrawable(header)) return;
  const QImage picture = PictureOf(header);
  Still = header->biHeight > 0 ? picture.mirrored() : picture.copy();
  update(kPictureRect);
}

void TPreviewForm::paintEvent(QPaintEvent*) {
  if (PendingFrame == nullptr && !Still.isNull()) {
    QPainter(this).drawImage(kPictureRect, Still);
    return;
  }
  // Anything but the job's own repaint shows the black background only.
  if (PendingFrame == nullptr) return;
  QPainter painter(this);
  const QRect target = kPictureRect;
  if (PendingFrame->biHeight > 0) {
    // Mirror the rectangle onto itself so the bottom row lands at the bottom.
    painter.translate(0, target.top() + target.bottom() + 1);
    painter.scale(1, -1);
  }
  painter.drawImage(target, PictureOf(PendingFrame));
}

void TPreviewForm::closeEvent(QCloseEvent* event) {
  // The job checks the main window's flag before every draw.
  if (OnClosed) OnClosed();
  event->accept();
}
