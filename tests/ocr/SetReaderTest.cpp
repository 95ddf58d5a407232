// Subtitle pictures drawn as discs draw them (white or yellow anti-aliased
// letters in a dark outline, one or two lines, some italic, on the canvases
// of Blu-ray, HD and DVD films) read back as their text.
#include <gtest/gtest.h>

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "ocr/InkLines.h"
#include "ocr/SetReader.h"

namespace {

using SUBTITLEBITMAPS::Bitmap;
using SUBTITLEBITMAPS::DisplaySet;

struct Drawn {
  std::vector<std::string> lines;
  bool italic = false;
  QColor fill = Qt::white;
};

// The lines drawn centred near the bottom (or the top) of a canvas, then
// reduced to a palette as a disc's authoring tool would: transparent, the
// fill, the outline, and a grey between them for the anti-aliased edge.
DisplaySet Draw(const Drawn& drawn, int width, int height, bool top = false) {
  const int size = height / 16;
  QImage image(width, size * 3 * int(drawn.lines.size()) / 2 + size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font("DejaVu Sans");
    font.setPixelSize(size);
    font.setItalic(drawn.italic);
    for (size_t k = 0; k < drawn.lines.size(); ++k) {
      QPainterPath path;
      const QString text = QString::fromStdString(drawn.lines[k]);
      const int advance = QFontMetrics(font).horizontalAdvance(text);
      path.addText((width - advance) / 2.0, size * (1.2 + 1.5 * double(k)), font, text);
      painter.setPen(QPen(Qt::black, std::max(2, size / 10)));
      painter.setBrush(Qt::NoBrush);
      painter.drawPath(path);
      painter.fillPath(path, drawn.fill);
    }
  }
  Bitmap bitmap;
  bitmap.Width = bitmap.Stride = width;
  bitmap.Height = image.height();
  bitmap.Y = top ? height / 20 : height - image.height() - height / 20;
  bitmap.Palette[1] = 0xFF000000u | (drawn.fill.rgb() & 0xFFFFFF);
  bitmap.Palette[2] = 0xFF101010u;
  bitmap.Palette[3] = 0xFF707070u;
  bitmap.Indexes.resize(size_t(width) * size_t(bitmap.Height));
  for (int y = 0; y < bitmap.Height; ++y)
    for (int x = 0; x < width; ++x) {
      const QColor c = QColor::fromRgba(image.pixel(x, y));
      const int gray = qGray(c.rgb());
      uint8_t index = 0;
      if (c.alpha() >= 96) index = gray > 150 ? 1 : gray > 70 ? 3 : 2;
      bitmap.Indexes[size_t(y) * size_t(width) + size_t(x)] = index;
    }
  DisplaySet set;
  set.CanvasWidth = width;
  set.CanvasHeight = height;
  set.Bitmaps.push_back(std::move(bitmap));
  return set;
}

class SetReaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QGuiApplication(argc, argv);
  }
  void SetUp() override {
    if (SETREADER::SetReader::Installed().empty()) GTEST_SKIP() << "no Tesseract language data";
    ASSERT_EQ(reader.Open("eng"), "");
  }
  SETREADER::SetReader reader;
};

TEST_F(SetReaderTest, LinesOnEveryCanvasAreReadAsTheyWereDrawn) {
  for (const auto& [width, height] : {std::pair{1920, 1080}, {1280, 720}, {720, 480}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    EXPECT_EQ(reader.Read(Draw({{"Where are you going?"}}, width, height)), "Where are you going?");
    EXPECT_EQ(reader.Read(Draw({{"I told you before,", "we leave at dawn."}}, width, height)),
              "I told you before,\nwe leave at dawn.");
    EXPECT_EQ(
        reader.Read(Draw({{"Yellow letters too"}, false, QColor(235, 225, 40)}, width, height)),
        "Yellow letters too");
  }
}

TEST_F(SetReaderTest, ItalicsAndTopSubtitlesAreMarked) {
  EXPECT_EQ(reader.Read(Draw({{"He never came back."}, true}, 1920, 1080)),
            "<i>He never came back.</i>");
  EXPECT_EQ(reader.Read(Draw({{"A sign on the door"}}, 1920, 1080, true)),
            "{\\an8}A sign on the door");
  // Nothing to read: a set of its outline colour alone.
  DisplaySet empty = Draw({{"gone"}}, 1280, 720);
  for (uint8_t& index : empty.Bitmaps[0].Indexes) index = index == 0 ? 0 : 2;
  empty.Bitmaps[0].Palette[2] = 0xFF101010u;
  EXPECT_EQ(reader.Read(empty), "");
}

TEST(InkLines, TheFillIsKeptTheOutlineDroppedAndLinesSplit) {
  Bitmap bitmap;
  bitmap.Width = bitmap.Stride = 40;
  bitmap.Height = 30;
  bitmap.Palette[1] = 0xFFFFFFFFu;  // fill
  bitmap.Palette[2] = 0xFF000000u;  // outline
  bitmap.Palette[3] = 0x20FFFFFFu;  // bright but nearly transparent
  bitmap.Indexes.assign(40 * 30, 0);
  for (int y : {2, 3, 4, 5, 6, 7, 18, 19, 20, 21, 22})
    for (int x = 5; x < 35; ++x) bitmap.Indexes[size_t(y * 40 + x)] = x % 3 == 0 ? 2 : 1;
  bitmap.Indexes[size_t(28 * 40 + 1)] = 3;
  const std::vector<bool> fill = INKLINES::FillOf(bitmap);
  EXPECT_TRUE(fill[1]);
  EXPECT_FALSE(fill[2]);
  EXPECT_FALSE(fill[3]);
  const std::vector<INKLINES::InkLine> lines = INKLINES::LinesOf(bitmap);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].CanvasTop, 2);
  EXPECT_EQ(lines[1].CanvasTop, 18);
  for (const INKLINES::InkLine& line : lines) {
    EXPECT_EQ(line.Height, INKLINES::kLineHeight + 24);
    EXPECT_FALSE(line.Leaning);
  }
  // A bitmap whose numbers don't hold together gives nothing.
  bitmap.Stride = 10;
  EXPECT_TRUE(INKLINES::LinesOf(bitmap).empty());
}

}  // namespace
