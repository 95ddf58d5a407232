// The overlay with a look: pixels read back from frames of known colours.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <array>
#include <climits>
#include <cstring>
#include <functional>

#include "drawing/SubtitleLayout.h"
#include "drawing/SubtitleLookOverlay.h"
#include "drawing/SubtitleOverlay.h"

using SUBTITLEOVERLAY::SubtitleOverlay;

namespace {

using Bgr = std::array<int, 3>;
constexpr Bgr kWhite = {255, 255, 255};
constexpr Bgr kRed = {0, 0, 255};
constexpr Bgr kBlue = {255, 0, 0};
constexpr uint32_t kWhiteValue = 0x00FFFFFF;  // 0x00BBGGRR
constexpr uint32_t kRedValue = 0x000000FF;
constexpr uint32_t kBlueValue = 0x00FF0000;

// A frame of one colour; x and y count from the top left.
class Frame {
 public:
  Frame(int width, int height, Bgr colour) {
    frame_.Allocate(width, height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Set(x, y, colour);
  }
  uint8_t* data() { return frame_.data(); }
  int Width() const { return frame_.Width(); }
  int Height() const { return frame_.Height(); }
  Bgr At(int x, int y) const {
    const uint8_t* p = Pixel(x, y);
    return {p[0], p[1], p[2]};
  }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < Width() && y < Height(); }
  std::vector<uint8_t> Bytes() const {
    return std::vector<uint8_t>(frame_.data(), frame_.data() + frame_.size());
  }

 private:
  uint8_t* Pixel(int x, int y) const { return frame_.Row(Height() - 1 - y) + 3 * x; }
  void Set(int x, int y, Bgr c) {
    for (int i = 0; i < 3; ++i) Pixel(x, y)[i] = uint8_t(c[i]);
  }
  BMPFRAME::BmpFrame frame_;
};

SUBTITLEFONT::SubtitleFont WhiteFont(int points = 16) {
  SUBTITLEFONT::SubtitleFont font;
  font.Size = points;
  font.Color = kWhiteValue;
  return font;
}

// The entry drawn with the look and overlaid on a frame of that colour.
Frame Overlaid(const SUBTITLELOOK::SubtitleLook& look, const std::vector<std::string>& lines,
               Bgr background, int width = 320, int height = 120,
               SUBTITLEFONT::SubtitleFont font = WhiteFont(), bool autoSize = true) {
  SubtitleOverlay overlay;
  overlay.AutoSizeLine = autoSize;
  overlay.Setup(font, width, look);
  overlay.DrawSubtitle(lines);
  Frame frame(width, height, background);
  overlay.OverlaySubtitle(frame.data());
  return frame;
}

int Count(const Frame& frame, Bgr colour) {
  int count = 0;
  for (int y = 0; y < frame.Height(); ++y)
    for (int x = 0; x < frame.Width(); ++x) count += frame.At(x, y) == colour;
  return count;
}

// Every pixel within `radius` (the rim's disc) of (x, y) that satisfies test.
bool AnyNear(const Frame& frame, int x, int y, int radius, const std::function<bool(Bgr)>& test) {
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx)
      if (dx * dx + dy * dy <= radius * radius + radius && frame.Inside(x + dx, y + dy) &&
          test(frame.At(x + dx, y + dy)))
        return true;
  return false;
}

const Bgr kGrey = {128, 128, 128};
const std::vector<std::string> kTwoLines = {"Readable on", "any picture, @#%&WMgjyq"};

}  // namespace

TEST(OverlayLook, ColoursWithoutWidthsKeepThePlainPath) {
  SUBTITLELOOK::SubtitleLook look;
  look.OutlineColor = kRedValue;
  look.ShadowColor = kBlueValue;
  look.BoxColor = 0x123456;
  EXPECT_FALSE(look.AnyOn());
  SubtitleOverlay coloured, plain;
  coloured.Setup(WhiteFont(), 200, look);
  plain.Setup(WhiteFont(), 200);
  EXPECT_EQ(coloured.LookDrawing(), nullptr);
  EXPECT_EQ(coloured.Height(), plain.Height());
  for (auto on : std::vector<std::function<void(SUBTITLELOOK::SubtitleLook&)>>{
           [](SUBTITLELOOK::SubtitleLook& l) { l.Outline = 1; },
           [](SUBTITLELOOK::SubtitleLook& l) { l.Shadow = 1; },
           [](SUBTITLELOOK::SubtitleLook& l) { l.BoxOpacity = 1; },
           [](SUBTITLELOOK::SubtitleLook& l) { l.Antialias = true; },
           [](SUBTITLELOOK::SubtitleLook& l) { l.Margin = 1; }}) {
    SUBTITLELOOK::SubtitleLook one;
    on(one);
    EXPECT_TRUE(one.AnyOn());
  }
}

TEST(OverlayLook, OutlineIsASolidRimOfItsWidthAroundEveryGlyph) {
  for (int width : {1, 3}) {
    SUBTITLELOOK::SubtitleLook look;
    look.Outline = width;
    look.OutlineColor = kRedValue;
    const Frame frame = Overlaid(look, kTwoLines, kGrey);
    int rim = 0;
    for (int y = 0; y < frame.Height(); ++y)
      for (int x = 0; x < frame.Width(); ++x) {
        const Bgr pixel = frame.At(x, y);
        ASSERT_TRUE(pixel == kGrey || pixel == kWhite || pixel == kRed) << x << "," << y;
        const auto white = [](Bgr p) { return p == kWhite; };
        if (pixel == kRed) {
          ++rim;
          ASSERT_TRUE(AnyNear(frame, x, y, width, white)) << "stray rim at " << x << "," << y;
        }
        if (pixel == kGrey) {  // no glyph pixel within the rim's reach
          ASSERT_FALSE(AnyNear(frame, x, y, width, white)) << "gap at " << x << "," << y;
        }
      }
    EXPECT_GT(rim, Count(frame, kWhite) / 2) << "width " << width;
  }
}

TEST(OverlayLook, ShadowIsTheTextRepeatedDownAndRightBehindIt) {
  SUBTITLELOOK::SubtitleLook look;
  look.Shadow = 3;
  look.ShadowColor = kBlueValue;
  const Frame frame = Overlaid(look, kTwoLines, kGrey);
  int shadow = 0;
  for (int y = 0; y < frame.Height(); ++y)
    for (int x = 0; x < frame.Width(); ++x) {
      const Bgr pixel = frame.At(x, y);
      ASSERT_TRUE(pixel == kGrey || pixel == kWhite || pixel == kBlue) << x << "," << y;
      if (pixel == kBlue) {
        ++shadow;
        ASSERT_EQ(frame.At(x - 3, y - 3), kWhite) << x << "," << y;
      }
      if (pixel == kWhite && frame.Inside(x + 3, y + 3)) {
        const Bgr below = frame.At(x + 3, y + 3);
        ASSERT_TRUE(below == kWhite || below == kBlue) << x << "," << y;
      }
    }
  EXPECT_GT(shadow, 50);
  // Behind: the text keeps every one of its pixels.
  SUBTITLELOOK::SubtitleLook raisedOnly;
  raisedOnly.Margin = 1;
  EXPECT_EQ(Count(frame, kWhite), Count(Overlaid(raisedOnly, kTwoLines, kGrey), kWhite));
}

TEST(OverlayLook, BoxDarkensOnlyEachDrawnLinesBox) {
  SUBTITLELOOK::SubtitleLook look;
  look.BoxOpacity = 50;
  const Bgr light = {200, 200, 200};
  // 200 under half-opaque black: 200 * (255 - 128) / 255, rounded.
  const Bgr darkened = {100, 100, 100};
  const Frame frame = Overlaid(look, {"Short", "A much longer lower line"}, light);
  SubtitleOverlay overlay;
  overlay.Setup(WhiteFont(), 320, look);
  const auto& geometry = overlay.LookDrawing()->Geometry();
  const int bandTop = frame.Height() - overlay.Height();

  // Per slot, the box is one rectangle of darkened (or text) pixels.
  std::array<QRect, 2> boxes;
  for (int y = 0; y < frame.Height(); ++y)
    for (int x = 0; x < frame.Width(); ++x) {
      const Bgr pixel = frame.At(x, y);
      ASSERT_TRUE(pixel == light || pixel == darkened || pixel == kWhite) << x << "," << y;
      if (pixel == light) continue;
      ASSERT_GE(y, bandTop);
      const int slot = y - bandTop < geometry.SlotTop(1) ? 0 : 1;
      boxes[size_t(slot)] |= QRect(x, y, 1, 1);
    }
  for (const QRect& box : boxes) {
    EXPECT_EQ(box.height(), geometry.SlotHeight());
    for (int y = box.top(); y <= box.bottom(); ++y)
      for (int x = box.left(); x <= box.right(); ++x)
        ASSERT_NE(frame.At(x, y), light) << "hole in the box at " << x << "," << y;
  }
  EXPECT_LT(boxes[0].width() + 40, boxes[1].width());
  EXPECT_LT(boxes[0].bottom(), boxes[1].top());
  EXPECT_GT(boxes[0].left(), 0);
  EXPECT_LT(boxes[1].right(), frame.Width() - 1);
}

TEST(OverlayLook, OpaqueBoxTakesTheBoxColour) {
  SUBTITLELOOK::SubtitleLook look;
  look.BoxOpacity = 100;
  look.BoxColor = kRedValue;
  const Frame frame = Overlaid(look, {"Opaque"}, kGrey);
  EXPECT_GT(Count(frame, kRed), 500);
  EXPECT_GT(Count(frame, kWhite), 20);
}

TEST(OverlayLook, SmoothEdgesLieBetweenTextAndPictureAndNeverTakeTheKeyColour) {
  SUBTITLELOOK::SubtitleLook look;
  look.Antialias = true;
  SUBTITLEFONT::SubtitleFont font = WhiteFont(18);
  font.Color = 0x00C828F0;  // blue C8, green 28, red F0
  const Bgr text = {0xC8, 0x28, 0xF0};
  const Bgr background = {10, 220, 30};
  const Frame frame = Overlaid(look, kTwoLines, background, 320, 120, font);
  int between = 0;
  for (int y = 0; y < frame.Height(); ++y)
    for (int x = 0; x < frame.Width(); ++x) {
      const Bgr pixel = frame.At(x, y);
      ASSERT_NE(pixel, (Bgr{0xFE, 0x00, 0xEF}));
      if (pixel == background || pixel == text) continue;
      ++between;
      // One coverage for all three channels: a point on the line from the
      // picture's colour to the text's.
      const double t = double(pixel[0] - background[0]) / (text[0] - background[0]);
      ASSERT_GT(t, 0.0) << x << "," << y;
      ASSERT_LT(t, 1.0) << x << "," << y;
      for (int c = 1; c < 3; ++c)
        ASSERT_NEAR(pixel[c], background[c] + t * (text[c] - background[c]), 2.5) << x << "," << y;
    }
  EXPECT_GT(between, 100);
  EXPECT_GT(Count(frame, text), 20);
}

TEST(OverlayLook, MarginRaisesTheBandAndLeavesTheBottomRowsAlone) {
  SUBTITLELOOK::SubtitleLook look;
  look.Antialias = true;
  const Frame low = Overlaid(look, kTwoLines, kGrey);
  look.Margin = 9;
  const Frame raised = Overlaid(look, kTwoLines, kGrey);
  for (int y = 0; y < raised.Height(); ++y)
    for (int x = 0; x < raised.Width(); ++x) {
      const Bgr expected = y >= raised.Height() - 9 ? kGrey : low.At(x, y + 9);
      ASSERT_EQ(raised.At(x, y), expected) << x << "," << y;
    }
  EXPECT_NE(low.Bytes(), raised.Bytes());
}

TEST(OverlayLook, BandReachingPastTheFrameStopsAtItsEdges) {
  SUBTITLELOOK::SubtitleLook look;
  look.Outline = 2;
  look.BoxOpacity = 60;
  look.Antialias = true;
  SubtitleOverlay overlay;
  overlay.Setup(WhiteFont(30), 200, look);
  overlay.DrawSubtitle({"Tall", "Band"});
  for (int margin : {0, 5, 40, 1000}) {
    look.Margin = margin;
    overlay.Setup(WhiteFont(30), 200, look);
    overlay.DrawSubtitle({"Tall", "Band"});
    for (int width : {200, 150}) {
      BMPFRAME::BmpFrame frame;
      frame.Allocate(width, 12, 4, 0);
      std::memset(frame.Pixels(), 0x80, BMPFRAME::ImageBytes(width, 12));
      std::vector<uint8_t> bytes(frame.data(), frame.data() + frame.size());
      const size_t size = bytes.size();
      bytes.resize(size + 4096, 0x5C);  // guard bytes past the frame
      overlay.OverlaySubtitle(bytes.data());
      for (size_t i = size; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], 0x5C) << "margin " << margin << " width " << width;
      for (int row = 0; width % 4 != 0 && row < 12; ++row)  // the padding of every row
        EXPECT_EQ(bytes[54 + row * frame.Stride() + size_t(width) * 3], 0x80) << row;
      const bool reaches = margin < 12;
      bytes.resize(size);
      EXPECT_EQ(bytes != std::vector<uint8_t>(frame.data(), frame.data() + size), reaches)
          << "margin " << margin << " width " << width;
    }
  }
}

TEST(OverlayLook, EverythingTogether) {
  SUBTITLELOOK::SubtitleLook look;
  look.Outline = 2;
  look.OutlineColor = kRedValue;
  look.Shadow = 2;
  look.ShadowColor = kBlueValue;
  look.BoxOpacity = 40;
  look.BoxColor = 0x00404040;
  look.Antialias = true;
  look.Margin = 6;
  const Frame frame = Overlaid(look, kTwoLines, kGrey, 400, 140, WhiteFont(20));
  EXPECT_GT(Count(frame, kWhite), 100);
  EXPECT_GT(Count(frame, kRed), 100);
  EXPECT_GT(Count(frame, kBlue), 10);
  // Grey under 40 % of 0x40: 0x40 * 102 / 255 + 128 * 153 / 255.
  EXPECT_GT(Count(frame, {103, 103, 103}), 1000);
  for (int y = frame.Height() - 6; y < frame.Height(); ++y)
    for (int x = 0; x < frame.Width(); ++x) ASSERT_EQ(frame.At(x, y), kGrey);
}

TEST(OverlayLook, EmptyEntriesAndTeardownLeaveFramesAlone) {
  SUBTITLELOOK::SubtitleLook look;
  look.Outline = 1;
  look.BoxOpacity = 80;
  SubtitleOverlay overlay;
  Frame frame(160, 60, kGrey);
  const std::vector<uint8_t> before = frame.Bytes();
  overlay.Setup(WhiteFont(), 160, look);
  overlay.OverlaySubtitle(frame.data());  // nothing drawn yet
  overlay.DrawSubtitle({""});
  overlay.OverlaySubtitle(frame.data());  // one empty line: no box either
  overlay.DrawSubtitle({"gone"});
  overlay.ClearImage();
  overlay.OverlaySubtitle(frame.data());  // emptied at teardown
  overlay.DrawSubtitle({"earlier"});
  overlay.DrawSubtitle({});
  overlay.OverlaySubtitle(frame.data());
  EXPECT_EQ(frame.Bytes(), before);
}

TEST(OverlayLook, AutoSizeMakesRoomForRimAndShadow) {
  QFont font("Arial");
  font.setPixelSize(SUBTITLEFONT::PixelsOfPoints(16));
  font.setStyleStrategy(QFont::NoAntialias);
  const QString line = "Fits only without a rim";
  const int width = QFontMetrics(font).horizontalAdvance(line) + 3;
  SUBTITLELOOK::SubtitleLook look;
  look.Outline = 3;
  look.Shadow = 3;
  look.OutlineColor = kRedValue;
  auto edgesTouched = [&](bool autoSize) {
    const Frame frame =
        Overlaid(look, {line.toStdString()}, kGrey, width, 80, WhiteFont(16), autoSize);
    EXPECT_GT(Count(frame, kWhite), 50);
    bool touched = false;
    for (int y = 0; y < frame.Height(); ++y)
      touched = touched || frame.At(0, y) != kGrey || frame.At(width - 1, y) != kGrey;
    return touched;
  };
  EXPECT_FALSE(edgesTouched(true));
  EXPECT_TRUE(edgesTouched(false));
}

TEST(OverlayLook, HugeFontSizesAreDrawnAtTheLargestSize) {
  EXPECT_EQ(SUBTITLEFONT::PixelsOfPoints(INT_MAX), INT32_MAX);
  EXPECT_EQ(SUBTITLEFONT::PixelsOfPoints(INT_MIN), INT32_MIN);
  EXPECT_EQ(SUBTITLEFONT::PixelsOfPoints(1000), 1333);
  for (const SUBTITLELOOK::SubtitleLook& look :
       {SUBTITLELOOK::SubtitleLook{}, SUBTITLELOOK::SubtitleLook{2, 0, 2, 0, 50, 0, true, 0}}) {
    SubtitleOverlay huge, largest;
    huge.Setup(WhiteFont(INT_MAX), 64, look);
    largest.Setup(WhiteFont(1000), 64, look);
    EXPECT_EQ(huge.Height(), largest.Height());
    huge.DrawSubtitle({"x"});  // auto-size walks down from 1000 points
    Frame frame(64, 2000, kGrey);
    const std::vector<uint8_t> before = frame.Bytes();
    huge.OverlaySubtitle(frame.data());
    EXPECT_NE(frame.Bytes(), before);
  }
}

// An entry of one very long line costs its length a small number of times,
// whatever the size auto-size starts from; drawn at full size it still shows
// the middle of the line across the whole band.
TEST(OverlayLook, VeryLongLineCostsItsLengthOnce) {
  const std::string words = "Subtitle text without end, ";
  std::string line;
  while (line.size() < 10'000'000) line += words;
  SUBTITLELOOK::SubtitleLook smooth;
  smooth.Antialias = true;
  smooth.Outline = 1;
  const struct {
    SUBTITLELOOK::SubtitleLook look;
    int points;
    bool autoSize;
  } cases[] = {{{}, 1000, true}, {smooth, 10, false}};
  for (const auto& c : cases) {
    SubtitleOverlay overlay;
    overlay.AutoSizeLine = c.autoSize;
    overlay.Setup(WhiteFont(c.points), 320, c.look);
    const uint64_t before = SUBTITLELAYOUT::UnitsMeasured();
    overlay.DrawSubtitle({line, "second line"});
    const uint64_t measured = SUBTITLELAYOUT::UnitsMeasured() - before;
    EXPECT_LT(measured, 2 * line.size() + 5'000'000) << c.points << " points";
    EXPECT_GT(measured, line.size()) << "the whole line is measured once";
    if (c.autoSize) continue;
    Frame frame(320, overlay.Height(), {0, 0, 0});
    overlay.OverlaySubtitle(frame.data());
    int left = 0, right = 0;
    for (int y = 0; y < frame.Height(); ++y) {
      left += frame.At(2, y) != Bgr{0, 0, 0} || frame.At(12, y) != Bgr{0, 0, 0};
      right += frame.At(307, y) != Bgr{0, 0, 0} || frame.At(317, y) != Bgr{0, 0, 0};
    }
    EXPECT_GT(left, 0) << "cut at the left";
    EXPECT_GT(right, 0) << "cut at the right";
  }
}

// The rows a planar picture converts for the text must be all the rows the
// overlay writes, with every look.
TEST(OverlayLook, InkRowsAreExactlyTheRowsTheOverlayWrites) {
  SUBTITLELOOK::SubtitleLook outlined;
  outlined.Outline = 2;
  outlined.Shadow = 3;
  SUBTITLELOOK::SubtitleLook boxed;
  boxed.BoxOpacity = 60;
  boxed.Margin = 17;
  for (const SUBTITLELOOK::SubtitleLook& look : {SUBTITLELOOK::SubtitleLook{}, outlined, boxed}) {
    SubtitleOverlay overlay;
    overlay.Setup(WhiteFont(), 320, look);
    EXPECT_EQ(overlay.InkRows().second, 0);  // nothing drawn yet
    overlay.DrawSubtitle(kTwoLines);
    Frame frame(320, 200, kGrey);
    const std::vector<uint8_t> before = frame.Bytes();
    overlay.OverlaySubtitle(frame.data());
    const BMPFRAME::BmpView view(frame.data());
    const BMPFRAME::BmpView untouched(const_cast<uint8_t*>(before.data()));
    int first = INT_MAX, last = -1;
    for (int row = 0; row < frame.Height(); ++row)
      if (std::memcmp(view.Row(row), untouched.Row(row), 320 * 3) != 0) {
        first = std::min(first, row);
        last = row;
      }
    ASSERT_GE(last, 0) << look.Margin;
    EXPECT_EQ(overlay.InkRows(), std::make_pair(first, last - first + 1))
        << look.Outline << " " << look.BoxOpacity;
  }
}
