#include "support/VobSubWriter.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

namespace vobsubwriter {

namespace {

// Control commands of a subpicture unit.
enum Command : uint8_t {
  kForcedStart = 0x00,
  kStartDisplay = 0x01,
  kStopDisplay = 0x02,
  kSetColours = 0x03,
  kSetAlpha = 0x04,
  kSetArea = 0x05,
  kSetFieldOffsets = 0x06,
  kEndOfSequence = 0xFF,
};

// A DVD reads its program stream in packs of one sector.
constexpr size_t kPackSize = 2048;
constexpr size_t kPackHeaderSize = 14;
// Start code, length, two flag bytes and the header data length.
constexpr size_t kPesHeaderSize = 9;
constexpr size_t kPtsSize = 5;
// A padding packet needs its start code and length; fewer spare bytes than
// that go into the last packet's header as stuffing instead.
constexpr size_t kPaddingHeaderSize = 6;
// The first subtitle stream; its low five bits are the .idx's "index: 0".
constexpr uint8_t kSubstream = 0x20;
// Most DVD muxers state 10.08 Mbit/s, in units of 50 bytes a second.
constexpr uint32_t kMuxRate = 25200;

// A unit states its size and its control's offset in 16 bits; area corners
// have 12.
constexpr size_t kLargestUnit = 0xFFFF;
constexpr unsigned kLargestCoordinate = 0xFFF;
// Control delays count in 1024 ticks of the 90 kHz clock.
constexpr int64_t kLargestDelay = 0xFFFF;

// The longest run a code holds; a longer one that reaches the end of its line
// is written as a fill to the end, else cut into codes of this length.
constexpr size_t kLongestRun = 255;

void Put8(std::string& out, unsigned value) { out.push_back(static_cast<char>(value & 0xFF)); }

void Put16(std::string& out, unsigned value) {
  Put8(out, value >> 8);
  Put8(out, value);
}

void Set16(std::string& out, size_t at, unsigned value) {
  out[at] = static_cast<char>((value >> 8) & 0xFF);
  out[at + 1] = static_cast<char>(value & 0xFF);
}

// Field data is a string of nibbles, each line starting on a byte.
class NibbleWriter {
 public:
  explicit NibbleWriter(std::string& out) : out_(out) {}
  void Put(unsigned nibble) {
    if (half_) {
      out_.back() = static_cast<char>(out_.back() | (nibble & 0xF));
    } else {
      out_.push_back(static_cast<char>((nibble & 0xF) << 4));
    }
    half_ = !half_;
  }
  void AlignToByte() { half_ = false; }

 private:
  std::string& out_;
  bool half_ = false;
};

// One run in its shortest code: the length and the value take 1, 2, 3 or 4
// nibbles by the length's size, a 4-nibble code of length 0 filling the rest
// of the line.
void PutRun(NibbleWriter& out, uint8_t value, size_t length, bool toLineEnd) {
  while (length > 0) {
    if (length > kLongestRun && toLineEnd) {
      for (int i = 0; i < 3; ++i) out.Put(0);
      out.Put(value);
      return;
    }
    size_t run = std::min(length, kLongestRun);
    length -= run;
    unsigned code = static_cast<unsigned>(run << 2) | value;
    int nibbles = run < 4 ? 1 : run < 16 ? 2 : run < 64 ? 3 : 4;
    for (int i = nibbles - 1; i >= 0; --i) out.Put(code >> (4 * i));
  }
}

// The lines of one field (every other line from the first) in run-length
// codes, each line ending on a byte.
void EncodeField(std::string& out, const Subpicture& picture, size_t firstLine) {
  NibbleWriter nibbles(out);
  for (size_t row = firstLine; row < picture.Height; row += 2) {
    const uint8_t* line = picture.Pixels.data() + row * picture.Width;
    for (size_t x = 0; x < picture.Width;) {
      size_t end = x + 1;
      while (end < picture.Width && line[end] == line[x]) ++end;
      PutRun(nibbles, line[x], end - x, end == picture.Width);
      x = end;
    }
    nibbles.AlignToByte();
  }
}

// Two nibbles a byte, the last value first: emphasis 2, emphasis 1, pattern,
// background.
void PutFourNibbles(std::string& out, const std::array<uint8_t, 4>& values) {
  Put8(out, (values[3] << 4) | values[2]);
  Put8(out, (values[1] << 4) | values[0]);
}

void PutTwelveBitPair(std::string& out, unsigned first, unsigned second) {
  Put8(out, first >> 4);
  Put8(out, ((first & 0xF) << 4) | (second >> 8));
  Put8(out, second);
}

void CheckPicture(const Subpicture& picture) {
  if (picture.Width == 0 || picture.Height == 0)
    throw std::invalid_argument("VobSub subpicture is empty");
  if (picture.Pixels.size() != size_t{picture.Width} * picture.Height)
    throw std::invalid_argument("VobSub subpicture pixels do not fill its width and height");
  if (unsigned{picture.X} + picture.Width - 1 > kLargestCoordinate ||
      unsigned{picture.Y} + picture.Height - 1 > kLargestCoordinate)
    throw std::invalid_argument("VobSub subpicture reaches beyond 4095");
  if (std::any_of(picture.Pixels.begin(), picture.Pixels.end(), [](uint8_t v) { return v > 3; }))
    throw std::invalid_argument("VobSub subpicture pixel value above 3");
  for (int i = 0; i < 4; ++i) {
    if (picture.PaletteIndex[i] > 15 || picture.Alpha[i] > 15)
      throw std::invalid_argument("VobSub subpicture colour or opacity above 15");
  }
  if (picture.StartMs < 0) throw std::invalid_argument("VobSub subpicture starts before 0");
}

// The stop's delay in 1024-tick units, rounded down: ffmpeg reads a delay
// back as whole milliseconds, rounded down too, so the end it gives is never
// later than the one asked for, and a picture is gone at a frame on its end.
unsigned StopDelay(const Subpicture& picture) {
  int64_t delay = (picture.EndMs - picture.StartMs) * 90 / 1024;
  if (delay == 0) throw std::invalid_argument("VobSub subpicture shown too briefly to stop");
  if (delay > kLargestDelay) throw std::invalid_argument("VobSub subpicture shown too long");
  return static_cast<unsigned>(delay);
}

// The subpicture unit: its size, its first control sequence's offset, both
// fields' data, then the control sequences, each pointing at the next and the
// last at itself.
std::string EncodeUnit(const Subpicture& picture) {
  std::string unit(4, '\0');
  const size_t topField = unit.size();
  EncodeField(unit, picture, 0);
  const size_t bottomField = unit.size();
  EncodeField(unit, picture, 1);

  const bool stops = picture.EndMs > picture.StartMs;
  const size_t control = unit.size();
  Put16(unit, 0);  // delay: at the start
  const size_t link = unit.size();
  Put16(unit, 0);
  if (picture.Forced) Put8(unit, kForcedStart);
  Put8(unit, kStartDisplay);
  Put8(unit, kSetColours);
  PutFourNibbles(unit, picture.PaletteIndex);
  Put8(unit, kSetAlpha);
  PutFourNibbles(unit, picture.Alpha);
  Put8(unit, kSetArea);
  PutTwelveBitPair(unit, picture.X, picture.X + picture.Width - 1u);
  PutTwelveBitPair(unit, picture.Y, picture.Y + picture.Height - 1u);
  Put8(unit, kSetFieldOffsets);
  Put16(unit, static_cast<unsigned>(topField));
  Put16(unit, static_cast<unsigned>(bottomField));
  Put8(unit, kEndOfSequence);
  const size_t stop = unit.size();
  Set16(unit, link, static_cast<unsigned>(stops ? stop : control));
  if (stops) {
    Put16(unit, StopDelay(picture));
    Put16(unit, static_cast<unsigned>(stop));
    Put8(unit, kStopDisplay);
    Put8(unit, kEndOfSequence);
  }

  if (unit.size() > kLargestUnit)
    throw std::invalid_argument("VobSub subpicture too large for one unit");
  Set16(unit, 0, static_cast<unsigned>(unit.size()));
  Set16(unit, 2, static_cast<unsigned>(control));
  return unit;
}

// The pack header (MPEG-2 form) with its clock reference (33 bits of 90 kHz,
// no extension) and the stream's rate.
void PutPackHeader(std::string& out, int64_t scr) {
  Put16(out, 0x0000);
  Put16(out, 0x01BA);
  Put8(out, 0x44 | ((scr >> 27) & 0x38) | ((scr >> 28) & 0x03));
  Put8(out, static_cast<unsigned>(scr >> 20));
  Put8(out, 0x04 | ((scr >> 12) & 0xF8) | ((scr >> 13) & 0x03));
  Put8(out, static_cast<unsigned>(scr >> 5));
  Put8(out, 0x04 | ((scr << 3) & 0xF8));  // the extension's top bits: 0
  Put8(out, 0x01);                        // the rest of the extension: 0
  Put8(out, kMuxRate >> 14);
  Put8(out, kMuxRate >> 6);
  Put8(out, ((kMuxRate << 2) & 0xFC) | 0x03);
  Put8(out, 0xF8);  // no stuffing
}

void PutPts(std::string& out, int64_t pts) {
  Put8(out, 0x21 | ((pts >> 29) & 0x0E));
  Put16(out, static_cast<unsigned>(((pts >> 14) & 0xFFFE) | 1));
  Put16(out, static_cast<unsigned>(((pts << 1) & 0xFFFE) | 1));
}

// The unit in packs of private stream 1, the first stating the start; the
// last pack is filled up to its sector with stuffing or a padding packet.
void AppendPacks(std::string& out, const std::string& unit, int64_t pts) {
  std::string_view data = unit;
  bool first = true;
  do {
    const size_t start = out.size();
    const size_t header = kPackHeaderSize + kPesHeaderSize + (first ? kPtsSize : 0) + 1;
    const std::string_view piece = data.substr(0, kPackSize - header);
    data.remove_prefix(piece.size());
    const size_t spare = kPackSize - header - piece.size();
    const size_t stuffing = spare < kPaddingHeaderSize ? spare : 0;
    PutPackHeader(out, pts);
    Put16(out, 0x0000);
    Put16(out, 0x01BD);
    Put16(out, static_cast<unsigned>(header - kPackHeaderSize - 6 + stuffing + piece.size()));
    Put8(out, 0x81);                 // MPEG-2 marker bits, original
    Put8(out, first ? 0x80 : 0x00);  // a PTS follows or not
    Put8(out, static_cast<unsigned>((first ? kPtsSize : 0) + stuffing));
    if (first) PutPts(out, pts);
    out.append(stuffing, '\xFF');
    Put8(out, kSubstream);
    out += piece;
    const size_t padding = kPackSize - (out.size() - start);
    if (padding > 0) {
      Put16(out, 0x0000);
      Put16(out, 0x01BE);
      Put16(out, static_cast<unsigned>(padding - kPaddingHeaderSize));
      out.append(padding - kPaddingHeaderSize, '\xFF');
    }
    first = false;
  } while (!data.empty());
}

// A number in the given count of digits at least, zeros before it.
std::string Digits(uint64_t value, int digits, unsigned base) {
  std::string out;
  do {
    out.insert(out.begin(), "0123456789abcdef"[value % base]);
    value /= base;
  } while (value > 0 || static_cast<int>(out.size()) < digits);
  return out;
}

}  // namespace

Pair WriteVobSub(const std::vector<Subpicture>& pictures, uint16_t canvasWidth,
                 uint16_t canvasHeight, const std::array<Colour, 16>& palette,
                 const std::string& language) {
  if (language.empty() || language.find_first_of(",:\r\n") != std::string::npos)
    throw std::invalid_argument("VobSub language would break the index line");
  Pair pair;
  pair.Idx = "# VobSub index file, v7 (do not modify this line!)\n";
  pair.Idx += "size: " + std::to_string(canvasWidth) + "x" + std::to_string(canvasHeight) + "\n";
  pair.Idx +=
      "org: 0, 0\n"
      "scale: 100%, 100%\n"
      "alpha: 100%\n"
      "smooth: OFF\n"
      "fadein/out: 0, 0\n"
      "align: OFF at LEFT TOP\n"
      "time offset: 0\n"
      "forced subs: OFF\n";
  pair.Idx += "palette:";
  for (size_t i = 0; i < palette.size(); ++i) {
    const Colour& colour = palette[i];
    pair.Idx += std::string(i == 0 ? " " : ", ") + Digits(colour.Red, 2, 16) +
                Digits(colour.Green, 2, 16) + Digits(colour.Blue, 2, 16);
  }
  pair.Idx +=
      "\n"
      "custom colors: OFF, tridx: 0000, colors: 000000, 000000, 000000, 000000\n"
      "langidx: 0\n"
      "\n";
  pair.Idx += "id: " + language + ", index: 0\n";

  int64_t previousStart = 0;
  for (const Subpicture& picture : pictures) {
    CheckPicture(picture);
    if (picture.StartMs < previousStart)
      throw std::invalid_argument("VobSub subpictures out of start order");
    previousStart = picture.StartMs;
    const std::string unit = EncodeUnit(picture);
    const int64_t ms = picture.StartMs;
    pair.Idx += "timestamp: " + Digits(ms / 3600000, 2, 10) + ":" + Digits(ms / 60000 % 60, 2, 10) +
                ":" + Digits(ms / 1000 % 60, 2, 10) + ":" + Digits(ms % 1000, 3, 10) +
                ", filepos: " + Digits(pair.Sub.size(), 9, 16) + "\n";
    AppendPacks(pair.Sub, unit, ms * 90);
  }
  return pair;
}

Subpicture FilledRectangle(uint16_t x, uint16_t y, uint16_t width, uint16_t height, uint8_t value,
                           int64_t startMs, int64_t endMs, bool forced) {
  Subpicture picture;
  picture.StartMs = startMs;
  picture.EndMs = endMs;
  picture.X = x;
  picture.Y = y;
  picture.Width = width;
  picture.Height = height;
  picture.Pixels.assign(size_t{width} * height, value);
  picture.Forced = forced;
  return picture;
}

}  // namespace vobsubwriter
