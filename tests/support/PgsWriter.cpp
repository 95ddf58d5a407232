#include "support/PgsWriter.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string_view>

namespace pgswriter {

namespace {

enum SegmentType : uint8_t {
  kPalette = 0x14,
  kObject = 0x15,
  kComposition = 0x16,
  kWindows = 0x17,
  kEnd = 0x80,
};

// Composition states: an epoch start redefines everything; a normal
// composition only changes what is shown of what is already defined.
constexpr uint8_t kNormal = 0x00;
constexpr uint8_t kEpochStart = 0x80;

constexpr uint8_t kForcedFlag = 0x40;
constexpr uint8_t kFirstInSequence = 0x80;
constexpr uint8_t kLastInSequence = 0x40;

// A segment's size field is 16 bits; an object's first segment spends 11
// bytes of it on the object's id, version, sequence flags, data length and
// size, the segments that continue it 4 on id, version and flags.
constexpr size_t kLargestSegment = 0xFFFF;
constexpr size_t kFirstObjectHeader = 11;
constexpr size_t kNextObjectHeader = 4;

// The longest run one code of the run-length encoding holds (14 bits).
constexpr int kLongestRun = 0x3FFF;

void Put8(std::string& out, unsigned value) { out.push_back(static_cast<char>(value & 0xFF)); }

void Put16(std::string& out, unsigned value) {
  Put8(out, value >> 8);
  Put8(out, value);
}

void Put24(std::string& out, unsigned value) {
  Put8(out, value >> 16);
  Put16(out, value);
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value >> 16);
  Put16(out, value);
}

void AppendSegment(std::string& out, int64_t pts, uint8_t type, const std::string& payload) {
  if (payload.size() > kLargestSegment) throw std::logic_error("PGS segment too large");
  out += "PG";
  Put32(out, static_cast<uint32_t>(pts));
  // A decoding time of 0, as most authoring tools write: decoders go by the
  // presentation time.
  Put32(out, 0);
  Put8(out, type);
  Put16(out, static_cast<unsigned>(payload.size()));
  out += payload;
}

// One run of a colour in the encoding's codes: a colour other than 0 once or
// twice as itself (its shortest form), anything else behind a 0 byte whose
// next byte says how long (6 or 14 bits) and whether a colour byte follows.
void AppendRun(std::string& out, uint8_t colour, int length) {
  while (length > 0) {
    int run = std::min(length, kLongestRun);
    length -= run;
    if (colour != 0 && run <= 2) {
      out.append(static_cast<size_t>(run), static_cast<char>(colour));
      continue;
    }
    unsigned flags = (colour != 0 ? 0x80 : 0) | (run > 63 ? 0x40 : 0);
    Put8(out, 0);
    if (run > 63) {
      Put16(out, (flags << 8) | static_cast<unsigned>(run));
    } else {
      Put8(out, flags | static_cast<unsigned>(run));
    }
    if (colour != 0) Put8(out, colour);
  }
}

std::string RunLengthEncode(const Object& object) {
  std::string out;
  for (size_t row = 0; row < object.Height; ++row) {
    const uint8_t* line = object.Indexes.data() + row * object.Width;
    for (size_t x = 0; x < object.Width;) {
      size_t end = x + 1;
      while (end < object.Width && line[end] == line[x]) ++end;
      AppendRun(out, line[x], static_cast<int>(end - x));
      x = end;
    }
    Put16(out, 0);  // end of the line
  }
  return out;
}

uint8_t Level(double value, long low, long high) {
  return static_cast<uint8_t>(std::clamp(std::lround(value), low, high));
}

// BT.709 on video levels, as discs carry their palettes whatever the size of
// the picture.
void AppendPaletteEntry(std::string& out, const PaletteEntry& entry) {
  constexpr double kRed = 0.2126, kBlue = 0.0722;
  double r = entry.Red / 255.0, g = entry.Green / 255.0, b = entry.Blue / 255.0;
  double luma = kRed * r + (1 - kRed - kBlue) * g + kBlue * b;
  double cb = (b - luma) / (2 * (1 - kBlue));
  double cr = (r - luma) / (2 * (1 - kRed));
  Put8(out, entry.Index);
  Put8(out, Level(16 + 219 * luma, 16, 235));
  Put8(out, Level(128 + 224 * cr, 16, 240));
  Put8(out, Level(128 + 224 * cb, 16, 240));
  Put8(out, entry.Alpha);
}

struct Window {
  unsigned X, Y, Width, Height;
};

Window Around(const std::vector<Object>& objects) {
  unsigned left = objects[0].X, top = objects[0].Y, right = left, bottom = top;
  for (const Object& object : objects) {
    left = std::min<unsigned>(left, object.X);
    top = std::min<unsigned>(top, object.Y);
    right = std::max<unsigned>(right, object.X + object.Width);
    bottom = std::max<unsigned>(bottom, object.Y + object.Height);
  }
  return {left, top, right - left, bottom - top};
}

// The object's data in as many segments as it needs; a damaged one states its
// whole length but carries only half of its data.
void AppendObject(std::string& out, const DisplaySet& set, uint16_t id, const Object& object) {
  std::string encoded = RunLengthEncode(object);
  std::string_view data = encoded;
  if (set.Fault == Damage::TruncatedObject) data = data.substr(0, data.size() / 2);
  bool first = true;
  do {
    size_t room = kLargestSegment - (first ? kFirstObjectHeader : kNextObjectHeader);
    std::string_view piece = data.substr(0, room);
    data.remove_prefix(piece.size());
    std::string payload;
    Put16(payload, id);
    Put8(payload, 0);  // version: every set starts its own epoch
    Put8(payload, (first ? kFirstInSequence : 0) | (data.empty() ? kLastInSequence : 0));
    if (first) {
      Put24(payload, static_cast<unsigned>(encoded.size() + 4));  // counts width and height
      Put16(payload, object.Width);
      Put16(payload, object.Height);
    }
    payload += piece;
    AppendSegment(out, set.Pts90k, kObject, payload);
    first = false;
  } while (!data.empty());
}

}  // namespace

std::string WriteSup(const std::vector<DisplaySet>& sets) {
  std::string out;
  unsigned compositionNumber = 0;
  // A clearing set empties the window of the set before it; before any, the
  // whole canvas.
  Window window{0, 0, 0, 0};
  bool firstSet = true;
  for (const DisplaySet& set : sets) {
    for (const Object& object : set.Objects) {
      if (!set.SameEpoch && object.Indexes.size() != size_t{object.Width} * object.Height)
        throw std::invalid_argument("PGS object indexes do not fill its width and height");
    }
    // A set in the epoch before it shows in that epoch's window.
    bool ownEpoch = !set.Objects.empty() && !set.SameEpoch;
    if (ownEpoch) {
      window = Around(set.Objects);
    } else if (firstSet) {
      window = {0, 0, set.CanvasWidth, set.CanvasHeight};
    }
    // A stream opens with an epoch start whatever it shows.
    bool epochStart = firstSet || ownEpoch;
    firstSet = false;

    std::string composition;
    Put16(composition, set.CanvasWidth);
    Put16(composition, set.CanvasHeight);
    Put8(composition, 0x10);  // frame rate code; players ignore it
    Put16(composition, compositionNumber++);
    Put8(composition, epochStart ? kEpochStart : kNormal);
    Put8(composition, 0);  // palette update flag: objects change with the palette
    Put8(composition, 0);  // palette id
    Put8(composition, static_cast<unsigned>(set.Objects.size()));
    for (size_t i = 0; i < set.Objects.size(); ++i) {
      const Object& object = set.Objects[i];
      Put16(composition, static_cast<unsigned>(i));  // object id
      Put8(composition, 0);                          // window id
      Put8(composition, object.Forced ? kForcedFlag : 0);
      Put16(composition, object.X);
      Put16(composition, object.Y);
    }
    AppendSegment(out, set.Pts90k, kComposition, composition);

    std::string windows;
    Put8(windows, 1);
    Put8(windows, 0);  // window id
    Put16(windows, window.X);
    Put16(windows, window.Y);
    Put16(windows, window.Width);
    Put16(windows, window.Height);
    AppendSegment(out, set.Pts90k, kWindows, windows);

    if (ownEpoch) {
      std::string palette;
      Put8(palette, 0);  // palette id
      Put8(palette, 0);  // version: every set starts its own epoch
      for (const PaletteEntry& entry : set.Palette) AppendPaletteEntry(palette, entry);
      AppendSegment(out, set.Pts90k, kPalette, palette);
      for (size_t i = 0; i < set.Objects.size(); ++i)
        AppendObject(out, set, static_cast<uint16_t>(i), set.Objects[i]);
    }

    if (set.Fault != Damage::NoEnd) AppendSegment(out, set.Pts90k, kEnd, {});
  }
  return out;
}

std::vector<Segment> SplitSup(const std::string& sup) {
  constexpr size_t kHeader = 13;  // "PG", two times, type, length
  std::vector<Segment> segments;
  std::string_view rest = sup;
  while (!rest.empty()) {
    if (rest.size() < kHeader || rest.substr(0, 2) != "PG") return {};
    const auto byte = [&rest](size_t at) { return uint32_t{static_cast<uint8_t>(rest[at])}; };
    const size_t length = byte(11) << 8 | byte(12);
    if (rest.size() - kHeader < length) return {};
    Segment segment;
    segment.Pts90k = byte(2) << 24 | byte(3) << 16 | byte(4) << 8 | byte(5);
    segment.Bytes.assign(rest.substr(10, 3 + length));
    segments.push_back(std::move(segment));
    rest.remove_prefix(kHeader + length);
  }
  return segments;
}

Object FilledRectangle(uint16_t x, uint16_t y, uint16_t width, uint16_t height, uint8_t index,
                       bool forced) {
  Object object;
  object.X = x;
  object.Y = y;
  object.Width = width;
  object.Height = height;
  object.Indexes.assign(size_t{width} * height, index);
  object.Forced = forced;
  return object;
}

DisplaySet ClearingSet(const DisplaySet& shown, int64_t pts90k) {
  DisplaySet clear;
  clear.Pts90k = pts90k;
  clear.CanvasWidth = shown.CanvasWidth;
  clear.CanvasHeight = shown.CanvasHeight;
  return clear;
}

}  // namespace pgswriter
