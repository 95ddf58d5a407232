#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <chrono>
#include <cstring>
#include <vector>

#include "ui/PreviewUnit.h"

namespace {

// A bottom-up 24-bit picture in four coloured quarters, as the decoder hands
// it out: the info header followed by the rows.
std::vector<uint8_t> QuarteredPicture(int width, int height) {
  const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
  std::vector<uint8_t> bytes(sizeof(BITMAPINFOHEADER) + stride * size_t(height));
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  std::memcpy(bytes.data(), &header, sizeof header);
  for (int y = 0; y < height; ++y) {  // y counts from the top
    uint8_t* row = bytes.data() + sizeof header + size_t(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2, bottom = y >= height / 2;
      const QColor c = bottom ? (right ? Qt::white : Qt::blue) : (right ? Qt::green : Qt::red);
      row[x * 3] = uint8_t(c.blue());
      row[x * 3 + 1] = uint8_t(c.green());
      row[x * 3 + 2] = uint8_t(c.red());
    }
  }
  return bytes;
}

const BITMAPINFOHEADER* HeaderOf(const std::vector<uint8_t>& bytes) {
  return reinterpret_cast<const BITMAPINFOHEADER*>(bytes.data());
}

// What the window shows on screen now, without painting it again.
QImage OnScreen(QWidget& window) {
  return window.screen()
      ->grabWindow(window.winId())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

class PreviewTest : public testing::Test {
 protected:
  void SetUp() override {
    main.setGeometry(300, 200, 800, 600);
    main.show();
    preview = new TPreviewForm(&main, [this] { ++closes; });
    preview->show();
    ASSERT_TRUE(WaitExposed());
  }
  // Exposure comes as an event: events are processed until it came, or
  // until a deadline a loaded machine still meets.
  bool WaitExposed() {
    const QDeadlineTimer deadline(std::chrono::seconds(20));
    while (!preview->windowHandle()->isExposed() && !deadline.hasExpired()) {
      QApplication::processEvents();
      QThread::msleep(1);
    }
    return preview->windowHandle()->isExposed();
  }
  QWidget main;
  QPointer<TPreviewForm> preview;
  int closes = 0;
};

}  // namespace

TEST_F(PreviewTest, FixedBlackWindowOnTopCentredOnTheMainWindow) {
  EXPECT_EQ(preview->objectName(), "TPreviewForm");
  EXPECT_EQ(preview->windowTitle(), "Preview");
  EXPECT_EQ(preview->size(), QSize(474, 229));
  EXPECT_EQ(preview->minimumSize(), preview->maximumSize());
  const Qt::WindowFlags flags = preview->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(preview->isModal());
  EXPECT_LE((preview->geometry().center() - main.geometry().center()).manhattanLength(), 1);
  const QImage shown = OnScreen(*preview);
  EXPECT_EQ(shown.pixel(237, 114), qRgb(0, 0, 0));
}

TEST_F(PreviewTest, PictureIsStretchedUprightIntoItsRectangle) {
  const std::vector<uint8_t> picture = QuarteredPicture(720, 576);
  preview->DrawFrame(HeaderOf(picture));
  const QImage shown = OnScreen(*preview);
  ASSERT_EQ(shown.size(), QSize(474, 229));
  // Quarters of the 465 x 220 rectangle at (5, 5), the top of the picture up.
  EXPECT_EQ(shown.pixel(5 + 116, 5 + 55), qRgb(255, 0, 0));
  EXPECT_EQ(shown.pixel(5 + 348, 5 + 55), qRgb(0, 255, 0));
  EXPECT_EQ(shown.pixel(5 + 116, 5 + 165), qRgb(0, 0, 255));
  EXPECT_EQ(shown.pixel(5 + 348, 5 + 165), qRgb(255, 255, 255));
  // Its edges: the picture fills exactly the rectangle, black around it.
  EXPECT_EQ(shown.pixel(5, 5), qRgb(255, 0, 0));
  EXPECT_EQ(shown.pixel(469, 224), qRgb(255, 255, 255));
  for (QPoint outside : {QPoint(4, 100), QPoint(470, 100), QPoint(200, 4), QPoint(200, 225),
                         QPoint(0, 0), QPoint(473, 228)})
    EXPECT_EQ(shown.pixel(outside), qRgb(0, 0, 0)) << outside.x() << "," << outside.y();
}

TEST_F(PreviewTest, NothingButTheJobsDrawShowsAPicture) {
  const std::vector<uint8_t> picture = QuarteredPicture(64, 48);
  preview->DrawFrame(HeaderOf(picture));
  ASSERT_EQ(OnScreen(*preview).pixel(100, 50), qRgb(255, 0, 0));
  preview->repaint();  // e.g. after being uncovered
  EXPECT_EQ(OnScreen(*preview).pixel(100, 50), qRgb(0, 0, 0));

  std::vector<uint8_t> notRgb24 = picture;
  reinterpret_cast<BITMAPINFOHEADER*>(notRgb24.data())->biBitCount = 32;
  preview->DrawFrame(HeaderOf(notRgb24));
  preview->DrawFrame(nullptr);
  EXPECT_EQ(OnScreen(*preview).pixel(100, 50), qRgb(0, 0, 0));
}

TEST_F(PreviewTest, ClosingReportsOnceAndTheWindowGoes) {
  EXPECT_TRUE(preview->close());
  EXPECT_EQ(closes, 1);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(preview.isNull());
}

TEST(PreviewOwnership, GoesWithTheMainWindowWithoutReportingAClose) {
  int closes = 0;
  QPointer<TPreviewForm> preview;
  {
    QWidget main;
    preview = new TPreviewForm(&main, [&closes] { ++closes; });
    preview->show();
  }
  EXPECT_TRUE(preview.isNull());
  EXPECT_EQ(closes, 0);
}

// Beside the main window, so that Start and Stop stay in sight: right of it,
// else left, below or above, always whole on the screen.
TEST(PreviewPlacement, BesideTheMainWindowWhereTheScreenHasRoom) {
  const QRect screen(0, 0, 1920, 1080);
  const QMargins frame(1, 30, 1, 1);  // a title bar and thin edges
  const QSize client(474, 229);
  auto place = [&](const QRect& mainFrame) {
    return TPreviewForm::PlaceBeside(mainFrame, frame, client, screen);
  };
  EXPECT_EQ(place({100, 100, 800, 600}), QRect(909, 130, 474, 229));
  // Level with the main window's top unless that would leave the screen.
  EXPECT_EQ(place({100, 900, 800, 150}), QRect(909, 850, 474, 229));
  EXPECT_EQ(place({1100, 100, 800, 600}), QRect(617, 130, 474, 229));
  EXPECT_EQ(place({0, 0, 1920, 700}), QRect(1, 738, 474, 229));
  EXPECT_EQ(place({1500, 500, 420, 580}), QRect(1017, 530, 474, 229));
  EXPECT_EQ(place({0, 400, 1920, 680}), QRect(1, 162, 474, 229));
  EXPECT_TRUE(place({0, 0, 1920, 1080}).isEmpty());
  EXPECT_TRUE(
      TPreviewForm::PlaceBeside({0, 0, 100, 100}, frame, client, {0, 0, 400, 300}).isEmpty());
}

TEST(PreviewPlacement, TheOpenedWindowLeavesTheMainWindowUncovered) {
  QWidget main;
  const QRect available = main.screen()->availableGeometry();
  main.setGeometry(available.left() + 10, available.top() + 40, 200, 150);
  main.show();
  auto* preview = new TPreviewForm(&main, [] {});
  preview->show();
  QApplication::processEvents();
  EXPECT_FALSE(preview->frameGeometry().intersects(main.frameGeometry()))
      << preview->frameGeometry().x() << ',' << preview->frameGeometry().y();
  EXPECT_TRUE(available.contains(preview->frameGeometry()));
  EXPECT_EQ(preview->size(), QSize(474, 229));
  preview->close();
}
