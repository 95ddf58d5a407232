#include "ui/PreviewUnit.h"

#include <QCloseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
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
  PlaceOn(mainWindow);
}

TPreviewForm::~TPreviewForm() = default;

// Centred, it would cover Start and Stop.
void TPreviewForm::PlaceOn(const QWidget* mainWindow) {
  if (mainWindow == nullptr) return;
  const QRect mainFrame = mainWindow->frameGeometry(), mainClient = mainWindow->geometry();
  const QMargins frame(mainClient.left() - mainFrame.left(), mainClient.top() - mainFrame.top(),
                       mainFrame.right() - mainClient.right(),
                       mainFrame.bottom() - mainClient.bottom());
  const QScreen* screen = mainWindow->screen();
  QRect client = screen != nullptr
                     ? PlaceBeside(mainFrame, frame, size(), screen->availableGeometry())
                     : QRect();
  if (client.isEmpty()) {
    client = QRect(QPoint(0, 0), size());
    client.moveCenter(mainClient.center());
  }
  setGeometry(client);
}

QRect TPreviewForm::PlaceBeside(const QRect& mainFrame, const QMargins& frame, const QSize& client,
                                const QRect& available) {
  constexpr int kGap = 8;
  const QSize outer = client.grownBy(frame);
  if (outer.width() > available.width() || outer.height() > available.height()) return {};
  // Beside: level with the main window's top, moved up or down onto the
  // screen; below or above: level with its left edge, moved sideways.
  const int top =
      std::clamp(mainFrame.top(), available.top(), available.bottom() + 1 - outer.height());
  const int left =
      std::clamp(mainFrame.left(), available.left(), available.right() + 1 - outer.width());
  const QPoint corners[] = {
      {mainFrame.right() + 1 + kGap, top},
      {mainFrame.left() - kGap - outer.width(), top},
      {left, mainFrame.bottom() + 1 + kGap},
      {left, mainFrame.top() - kGap - outer.height()},
  };
  for (const QPoint& corner : corners) {
    const QRect placed(corner, outer);
    if (available.contains(placed)) return placed.marginsRemoved(frame);
  }
  return {};
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
