#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>
#include <array>
#include <cstring>

#include "drawing/SubtitleOverlay.h"

using SUBTITLEOVERLAY::SubtitleOverlay;

namespace {

using Bgr = std::array<uint8_t, 3>;
constexpr Bgr kKey = {0xFE, 0x00, 0xEF};
constexpr int kTenPointPixels = 13;  // 10 pt at 96 dpi

size_t Stride(int width) { return (size_t(width) * 3 + 3) / 4 * 4; }

int32_t ReadLong(const uint8_t* p) {
  return int32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
}

// A complete bottom-up BMP image, as the decoder hands out frames and the
// overlay stores its picture; y counts from the top.
class Bmp {
 public:
  explicit Bmp(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  explicit Bmp(const BMPFRAME::BmpFrame& frame) : bytes_(Bytes(frame)) {}
  static std::vector<uint8_t> Bytes(const BMPFRAME::BmpFrame& frame) {
    return std::vector<uint8_t>(frame.data(), frame.data() + frame.size());
  }
  Bmp(int width, int height, uint8_t padding = 0xAA)
      : bytes_(54 + Stride(width) * size_t(height), padding) {
    std::memcpy(&bytes_[18], &width, 4);
    std::memcpy(&bytes_[22], &height, 4);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Set(x, y, {uint8_t(x), uint8_t(y), uint8_t(x ^ y)});
  }
  int Width() const { return ReadLong(&bytes_[18]); }
  int Height() const { return ReadLong(&bytes_[22]); }
  size_t Offset(int x, int y) const {
    return 54 + size_t(Height() - 1 - y) * Stride(Width()) + x * 3;
  }
  Bgr At(int x, int y) const {
    const size_t o = Offset(x, y);
    return {bytes_[o], bytes_[o + 1], bytes_[o + 2]};
  }
  void Set(int x, int y, Bgr v) { std::memcpy(&bytes_[Offset(x, y)], v.data(), 3); }
  // The box around every pixel that is not the key colour.
  QRect Ink() const {
    QRect box;
    for (int y = 0; y < Height(); ++y)
      for (int x = 0; x < Width(); ++x)
        if (At(x, y) != kKey) box |= QRect(x, y, 1, 1);
    return box;
  }
  std::vector<uint8_t> bytes_;
};

QFont TestFont(int pixels) {
  QFont font("Arial");
  font.setPixelSize(pixels);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

int TextWidth(const QString& text, int pixels = kTenPointPixels) {
  return QFontMetrics(TestFont(pixels)).horizontalAdvance(text);
}

// The text drawn black on white with its cell's top-left corner at (x, y).
QImage Reference(int width, int height, const QString& text, int x, int y) {
  const QFont font = TestFont(kTenPointPixels);
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(x, y + QFontMetrics(font).ascent(), text);
  return image;
}

// Where the ink of a text lies relative to the top-left corner of its cell.
QRect CellInk(const QString& text) {
  const QImage image = Reference(TextWidth(text) + 40, 3 * kTenPointPixels, text, 20, 0);
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != qRgb(255, 255, 255)) box |= QRect(x - 20, y, 1, 1);
  return box;
}

struct Drawn {
  Bmp picture;
  int height;
};

Drawn Draw(int width, const std::vector<std::string>& lines, bool autoSize = true,
           SUBTITLEFONT::SubtitleFont font = {}) {
  SubtitleOverlay overlay;
  overlay.AutoSizeLine = autoSize;
  overlay.Setup(font, width);
  overlay.DrawSubtitle(lines);
  return {Bmp(overlay.SubtitleImage()), overlay.Height()};
}

bool AllKey(const Bmp& picture) { return picture.Ink().isEmpty(); }

}  // namespace

TEST(SubtitleOverlay, BandHoldsTwoTextCellsAndIsStoredAsABmpImage) {
  SubtitleOverlay overlay;
  overlay.Setup(SUBTITLEFONT::SubtitleFont{}, 641);
  const int h = QFontMetrics(TestFont(kTenPointPixels)).height();
  EXPECT_EQ(overlay.Width(), 641);
  EXPECT_EQ(overlay.Height(), 2 * h + 4);
  EXPECT_TRUE(overlay.SubtitleImage().empty());

  overlay.DrawSubtitle({});
  const std::vector<uint8_t> image = Bmp::Bytes(overlay.SubtitleImage());
  ASSERT_EQ(image.size(), 54 + 1924 * size_t(overlay.Height()));
  EXPECT_EQ(image[0], 'B');
  EXPECT_EQ(image[1], 'M');
  EXPECT_EQ(ReadLong(&image[2]), int32_t(image.size()));
  EXPECT_EQ(ReadLong(&image[10]), 54);
  EXPECT_EQ(ReadLong(&image[14]), 40);
  EXPECT_EQ(ReadLong(&image[18]), 641);
  EXPECT_EQ(ReadLong(&image[22]), overlay.Height());
  EXPECT_EQ(image[28], 24);
  EXPECT_EQ(ReadLong(&image[30]), 0);
  EXPECT_TRUE(AllKey(Bmp(image)));

  overlay.ClearImage();
  EXPECT_TRUE(overlay.SubtitleImage().empty());
}

TEST(SubtitleOverlay, NothingToDrawLeavesAFullyKeyColouredPicture) {
  SubtitleOverlay overlay;
  overlay.Setup(SUBTITLEFONT::SubtitleFont{}, 320);
  overlay.DrawSubtitle({"Previous entry"});
  ASSERT_FALSE(AllKey(Bmp(overlay.SubtitleImage())));
  overlay.DrawSubtitle({});
  EXPECT_TRUE(AllKey(Bmp(overlay.SubtitleImage())));
  overlay.DrawSubtitle({""});
  EXPECT_TRUE(AllKey(Bmp(overlay.SubtitleImage())));
}

TEST(SubtitleOverlay, GlyphPixelsAreOnlyTheTextColour) {
  SUBTITLEFONT::SubtitleFont font;
  font.Color = 0x0020C0FF;  // red FF, green C0, blue 20
  for (int style = 0; style < 4; ++style) {
    font.Bold = style & 1;
    font.Italic = style & 2;
    font.Underline = style == 3;
    const Bmp picture = Draw(400, {"Quick brown fox, jumps!", "@#%&WMgjyq"}, true, font).picture;
    int textPixels = 0;
    for (int y = 0; y < picture.Height(); ++y)
      for (int x = 0; x < picture.Width(); ++x) {
        const Bgr pixel = picture.At(x, y);
        if (pixel == kKey) continue;
        ASSERT_EQ(pixel, (Bgr{0x20, 0xC0, 0xFF})) << "style " << style << " at " << x << "," << y;
        ++textPixels;
      }
    EXPECT_GT(textPixels, 100) << "style " << style;
  }
}

TEST(SubtitleOverlay, LinesAreCentredInTheirSlots) {
  const QString one = "One centred line";
  const Drawn single = Draw(640, {one.toStdString()});
  const int lower = single.height / 2 + 1;
  EXPECT_EQ(single.picture.Ink(), CellInk(one).translated((640 - TextWidth(one) - 2) / 2, lower));

  const QString top = "Upper", bottom = "The lower line is longer";
  const Drawn two = Draw(641, {top.toStdString(), bottom.toStdString(), "third is never drawn"});
  const QRect expectTop = CellInk(top).translated((641 - TextWidth(top) - 2) / 2, 1);
  const QRect expectBottom = CellInk(bottom).translated((641 - TextWidth(bottom) - 2) / 2, lower);
  EXPECT_EQ(two.picture.Ink(), expectTop | expectBottom);
  // The slots do not overlap: the upper ink ends above the lower slot.
  EXPECT_LT(expectTop.bottom(), lower);
}

TEST(SubtitleOverlay, AutoSizeShrinksOnlyWhenTheLongestLineReachesTheWidth) {
  const QString line = "Exactly as wide as the band";
  const int width = TextWidth(line);
  const std::string text = line.toStdString();
  // One pixel to spare: drawn as without auto-size.
  EXPECT_EQ(Draw(width + 1, {text}).picture.bytes_, Draw(width + 1, {text}, false).picture.bytes_);
  // Equal to the width: smaller font, so narrower ink.
  const QRect shrunk = Draw(width, {text}).picture.Ink();
  const QRect full = Draw(width, {text}, false).picture.Ink();
  EXPECT_LT(shrunk.width(), full.width());
  EXPECT_LT(shrunk.height(), full.height());
}

TEST(SubtitleOverlay, AutoSizeMeasuresTheLineWithMostCharacters) {
  // Four wide letters outgrow the band; seven narrow ones do not, and they
  // decide, so the wide line is drawn at full size and clipped.
  const std::string wide = "WWWW", narrow = "iiiiiii";
  const int width = TextWidth("WWWW") - 4;
  ASSERT_LT(TextWidth("iiiiiii"), width);
  const std::vector<std::string> entry = {wide, narrow};
  EXPECT_EQ(Draw(width, entry).picture.bytes_, Draw(width, entry, false).picture.bytes_);

  // A third line that is never drawn still shrinks the first two.
  const std::string third(60, 'x');
  const QRect withThird = Draw(200, {"Top", "Bottom", third}).picture.Ink();
  const QRect withoutThird = Draw(200, {"Top", "Bottom"}).picture.Ink();
  EXPECT_LT(withThird.width(), withoutThird.width());
}

TEST(SubtitleOverlay, OverlongLineWithoutAutoSizeIsCutOnBothSides) {
  const QString line = "This line is far too long for a narrow band of video";
  const Drawn drawn = Draw(120, {line.toStdString()}, false);
  // x is negative and truncated toward zero.
  const int x = (120 - TextWidth(line) - 2) / 2;
  ASSERT_LT(x, -20);
  const QImage expected = Reference(120, drawn.height, line, x, drawn.height / 2 + 1);
  for (int y = 0; y < drawn.height; ++y)
    for (int px = 0; px < 120; ++px)
      ASSERT_EQ(drawn.picture.At(px, y) != kKey, expected.pixel(px, y) != qRgb(255, 255, 255))
          << px << "," << y;
}

TEST(SubtitleOverlay, AutoSizeEndsForTextThatNeverFitsAndEachEntryStartsAtTheChosenSize) {
  SubtitleOverlay overlay;
  overlay.Setup(SUBTITLEFONT::SubtitleFont{}, 40);
  overlay.DrawSubtitle({std::string(500, 'W')});
  EXPECT_FALSE(AllKey(Bmp(overlay.SubtitleImage())));
  overlay.DrawSubtitle({"ok"});
  EXPECT_EQ(Bmp::Bytes(overlay.SubtitleImage()), Draw(40, {"ok"}).picture.bytes_);
}

TEST(SubtitleOverlay, CyrillicBytesDrawAsTheUnicodeText) {
  SUBTITLEFONT::SubtitleFont cyrillic;
  cyrillic.Charset = 204;
  const std::string windows1251 = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0!";
  const std::string utf8 =
      QString::fromUtf16(u"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440!")
          .toStdString();
  const Bmp fromBytes = Draw(320, {windows1251}, true, cyrillic).picture;
  EXPECT_FALSE(AllKey(fromBytes));
  EXPECT_EQ(fromBytes.bytes_, Draw(320, {utf8}).picture.bytes_);
  EXPECT_NE(fromBytes.bytes_, Draw(320, {windows1251}).picture.bytes_);
}

TEST(SubtitleOverlay, OverlayCopiesExactlyTheNonKeyPixels) {
  SUBTITLEFONT::SubtitleFont font;
  font.Color = 0x00FE00EE;  // one step from the key: still text
  SubtitleOverlay overlay;
  overlay.Setup(font, 641);
  overlay.DrawSubtitle({"Padding row", "641 pixels wide"});
  const Bmp picture(overlay.SubtitleImage());
  const int h = overlay.Height();

  Bmp frame(641, 100);
  const Bmp before = frame;
  overlay.OverlaySubtitle(frame.bytes_.data());
  int copied = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 641; ++x) {
      const bool inBand = y >= 100 - h;
      const Bgr source = inBand ? picture.At(x, y - (100 - h)) : kKey;
      const Bgr expected = source == kKey ? before.At(x, y) : source;
      ASSERT_EQ(frame.At(x, y), expected) << x << "," << y;
      copied += source != kKey;
    }
  EXPECT_GT(copied, 100);
  for (int row = 0; row < 100; ++row)  // the padding byte of every row
    EXPECT_EQ(frame.bytes_[54 + size_t(row) * 1924 + 1923], 0xAA);
}

TEST(SubtitleOverlay, TextInTheKeyColourIsNeverCopied) {
  SUBTITLEFONT::SubtitleFont font;
  font.Color = SUBTITLEOVERLAY::SubtitleKeyColor;
  SubtitleOverlay overlay;
  overlay.Setup(font, 200);
  overlay.DrawSubtitle({"invisible"});
  Bmp frame(200, 50);
  const std::vector<uint8_t> before = frame.bytes_;
  overlay.OverlaySubtitle(frame.bytes_.data());
  EXPECT_EQ(frame.bytes_, before);
}

TEST(SubtitleOverlay, FrameIsLeftAloneWithoutAStoredPicture) {
  SubtitleOverlay overlay;
  Bmp frame(160, 40);
  const std::vector<uint8_t> before = frame.bytes_;
  overlay.OverlaySubtitle(frame.bytes_.data());  // never set up
  overlay.Setup(SUBTITLEFONT::SubtitleFont{}, 160);
  overlay.OverlaySubtitle(frame.bytes_.data());  // nothing drawn yet
  overlay.DrawSubtitle({"gone"});
  overlay.ClearImage();
  overlay.OverlaySubtitle(frame.bytes_.data());  // emptied at teardown
  overlay.DrawSubtitle({"earlier"});
  overlay.DrawSubtitle({});
  overlay.OverlaySubtitle(frame.bytes_.data());  // an entry without lines
  EXPECT_EQ(frame.bytes_, before);
}

TEST(SubtitleOverlay, BandTallerOrWiderThanTheFrameStopsAtItsEdges) {
  SUBTITLEFONT::SubtitleFont font;
  font.Size = 30;
  SubtitleOverlay overlay;
  overlay.Setup(font, 200);
  overlay.DrawSubtitle({"Tall", "Band"});
  ASSERT_GT(overlay.Height(), 12);

  for (int frameWidth : {200, 150}) {
    Bmp frame(frameWidth, 12);
    const std::vector<uint8_t> before = frame.bytes_;
    frame.bytes_.resize(before.size() + 4096, 0x5C);  // guard bytes past the frame
    overlay.OverlaySubtitle(frame.bytes_.data());
    for (size_t i = before.size(); i < frame.bytes_.size(); ++i)
      ASSERT_EQ(frame.bytes_[i], 0x5C) << "frame width " << frameWidth << " byte " << i;
    frame.bytes_.resize(before.size());
    EXPECT_NE(frame.bytes_, before) << "the lower line reaches the frame";
  }
}
