// Disc subtitle pictures as a job takes them: a track's packets (or a .sup
// or .idx file read whole) decoded into display sets, and every set drawn at
// the pictures' times, onto a BGR picture and as ink for a planar one.
//
// The first byte: bits 0-1 the source (PGS, VobSub or DVB packets of a
// track, or a file), bits 2-4 the picture's size and the canvas the track
// states, bit 5 packets that carry a duration, bit 6 pictures passed over
// between the packets, bit 7 a track read two seconds ahead of its pictures.
// Then records, each a 16-bit big-endian length and that many bytes (the
// last takes what is left). The first record is the track's header (an
// index's lines, a DVB stream's page ids). A track's other records are its
// packets: a byte of time since the one before (10 ms steps), then the
// packet. For a file the first record is an .idx's lines after its first,
// and what follows it the .sub beside it; an empty first record makes what
// follows a .sup after its first "PG".
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "drawing/DisplaySetDrawer.h"
#include "media/DisplaySetDecoder.h"
#include "media/LibraryLog.h"
#include "media/VelAvCodec.h"
#include "picture/BmpFrame.h"
#include "picture/PlanarPicture.h"
#include "styled/StyledScript.h"

namespace FUZZTARGETS {
namespace {

using SUBTITLEBITMAPS::DisplaySet;
using SUBTITLETRACK::TrackCodec;
using SUBTITLETRACK::TrackInfo;
using SUBTITLETRACK::TrackPacket;

// Enough for sets that follow, clear and replace each other, few enough
// that a run stays short.
constexpr std::size_t kMostPackets = 48;
constexpr int kFramesPerSecond = 25;
constexpr uint8_t kUntouched = 0x5A;

struct Sizes {
  int32_t Width, Height;              // the pictures
  int32_t CanvasWidth, CanvasHeight;  // what the track states; 0: nothing
};

// Canvases none, the picture's own, larger, smaller and at the bounds; one
// picture of odd size, which is never planar.
constexpr Sizes kSizes[] = {{320, 180, 0, 0},       {64, 36, 720, 576}, {320, 180, 320, 180},
                            {160, 90, 1920, 1080},  {97, 55, 720, 480}, {64, 36, 64, 36},
                            {320, 180, 8192, 8192}, {128, 72, 1, 1}};

// Bound once for the process, as the program binds them for its life.
const VELAVCODEC::VelAvCodec& Libraries() {
  static const VELAVCODEC::VelAvCodec* libraries = [] {
    const auto names = VELAVCODEC::VelAvCodec::DefaultLibraryNames();
    try {
      return new VELAVCODEC::VelAvCodec(names.AvCodec, names.AvFormat, names.AvUtil, names.SwScale);
    } catch (const VELAVCODEC::VelException& error) {
      std::fprintf(stderr, "%s\n", error.Message);
      FailCheck("the FFmpeg libraries load", __FILE__, __LINE__);
    }
  }();
  return *libraries;
}

std::string_view TakeRecord(std::string_view& rest) {
  const std::size_t length = TakeNumber(rest, 2);
  const std::string_view record = rest.substr(0, length);
  rest.remove_prefix(record.size());
  return record;
}

std::vector<TrackPacket> TrackPackets(std::string_view rest, bool durations) {
  std::vector<TrackPacket> packets;
  int64_t ms = 0;
  while (!rest.empty() && packets.size() < kMostPackets) {
    std::string_view record = TakeRecord(rest);
    ms += int64_t(TakeNumber(record, 1)) * 10;
    TrackPacket packet;
    packet.Text.assign(record);
    packet.StartMs = ms;
    if (durations) packet.DurationMs = 1500;
    packets.push_back(std::move(packet));
  }
  return packets;
}

// The first lines the readers look for, put before the fuzzer's bytes: they
// keep the probing to the readers of these files, where anything else
// could take the bytes for a playlist and open what it names.
constexpr std::string_view kIndexFirstLine = "# VobSub index file, v7 (do not modify this line!)\n";

// False when the file does not read, which leaves nothing to draw.
bool ReadFile(std::string_view index, std::string_view rest, TrackInfo& info,
              std::vector<TrackPacket>& packets) {
  const bool indexed = !index.empty();
  const std::string path = TempPath(indexed ? "pictures.idx" : "pictures.sup");
  const std::string beside = TempPath("pictures.sub");
  const bool written = indexed ? WriteWholeFile(path, std::string(kIndexFirstLine).append(index)) &&
                                     WriteWholeFile(beside, rest)
                               : WriteWholeFile(path, std::string("PG").append(rest));
  std::string error = "not written";
  if (written) error = DISPLAYSETDECODER::ReadPictureFile(Libraries(), path, info, packets);
  std::remove(path.c_str());
  if (indexed) std::remove(beside.c_str());
  // A file that does not read leaves nothing half read behind.
  if (!error.empty()) {
    FUZZ_REQUIRE(packets.empty());
    return false;
  }
  FUZZ_REQUIRE(SUBTITLETRACK::IsPicture(info.Codec));
  if (packets.size() > kMostPackets) packets.resize(kMostPackets);
  return true;
}

// As the job's feed: the packets decoded in their order as the pictures
// reach their times, a track's some way ahead of them.
class PacketFeed final : public DISPLAYSETDRAWER::SetFeed {
 public:
  PacketFeed(DISPLAYSETDECODER::DisplaySetDecoder& decoder, const std::vector<TrackPacket>& packets,
             int64_t aheadMs)
      : decoder_(decoder), packets_(packets), aheadMs_(aheadMs) {}

  void Feed(int64_t untilMs, std::vector<DisplaySet>& sets) override {
    while (next_ < packets_.size() && packets_[next_].StartMs <= untilMs + aheadMs_)
      decoder_.Decode(packets_[next_++], sets);
  }
  bool SetsLastUntilNext() const override { return decoder_.SetsLastUntilNext(); }

 private:
  DISPLAYSETDECODER::DisplaySetDecoder& decoder_;
  const std::vector<TrackPacket>& packets_;
  int64_t aheadMs_;
  std::size_t next_ = 0;
};

// The pictures asked for: one at each packet's start, one halfway to the
// next, and some after the last, past a set's longest wait and an untimed
// set's end; in order, none twice, none before the film's start and none
// beyond the frames a job counts.
std::vector<int32_t> FramesToDraw(const std::vector<TrackPacket>& packets) {
  std::vector<int32_t> frames;
  const auto ask = [&frames](int64_t ms) {
    const int64_t frame = (std::max<int64_t>(ms, 0) * kFramesPerSecond + 999) / 1000;
    if (frame <= std::numeric_limits<int32_t>::max() && (frames.empty() || frame > frames.back()))
      frames.push_back(int32_t(frame));
  };
  int64_t last = 0;
  for (std::size_t k = 0; k < packets.size(); ++k) {
    last = std::max(last, packets[k].StartMs);
    ask(packets[k].StartMs);
    if (k + 1 < packets.size()) ask(std::midpoint(packets[k].StartMs, packets[k + 1].StartMs));
  }
  for (int64_t after : {500, 5000, 11000, 61000}) ask(last + after);
  return frames;
}

// A bottom-up BGR picture with nothing around it, so that a write outside
// it is the sanitizer's to see.
class BgrPicture {
 public:
  BgrPicture(int32_t width, int32_t height)
      : width_(width),
        height_(height),
        stride_(BMPFRAME::RowStride(width)),
        image_(BMPFRAME::kPixelOffset + BMPFRAME::ImageBytes(width, height)) {
    BMPFRAME::WriteHeaders(image_.data(), width, height);
  }

  // What the picture gets, drawn: only the rows it names are written, and
  // of those no byte past the picture's width. A set whose colours are all
  // transparent shows with no rows.
  SUBTITLEDRAWER::Coverage Draw(DISPLAYSETDRAWER::DisplaySetDrawer& drawer, int32_t frame,
                                int64_t ms) {
    const SUBTITLEDRAWER::Coverage coverage = drawer.Prepare(frame, ms, false);
    if (!coverage.Shows) return coverage;
    const auto [first, count] = coverage.InkRows;
    FUZZ_REQUIRE(count >= 0 && (count == 0 || (first >= 0 && first + count <= height_)));
    std::fill(image_.begin() + BMPFRAME::kPixelOffset, image_.end(), kUntouched);
    drawer.DrawOnto(image_.data());
    for (int32_t row = 0; row < height_; ++row) {
      const auto begin = image_.begin() + BMPFRAME::kPixelOffset + std::ptrdiff_t(row) * stride_;
      const bool named = row >= first && row < first + count;
      FUZZ_REQUIRE(std::all_of(begin + (named ? std::ptrdiff_t(width_) * 3 : 0), begin + stride_,
                               [](uint8_t byte) { return byte == kUntouched; }));
    }
    return coverage;
  }

 private:
  int32_t width_, height_;
  std::ptrdiff_t stride_;
  std::vector<uint8_t> image_;
};

// The planes of a 4:2:0 picture, each just its size.
class PlanarPicture {
 public:
  PlanarPicture(int32_t width, int32_t height) : width_(width), height_(height) {
    for (int p = 0; p < 3; ++p) {
      const int shift = p == 0 ? 0 : 1;
      planes_[p].resize(std::size_t(width >> shift) * std::size_t(height >> shift));
      rows_.Data[p] = planes_[p].data();
      rows_.Stride[p] = width >> shift;
    }
  }

  // The ink blended in: its band is even and inside the picture, and no row
  // outside it (or outside its chroma rows) is written. Empty without ink.
  PLANARPICTURE::RowBand Draw(DISPLAYSETDRAWER::DisplaySetDrawer& drawer, int32_t frame,
                              int64_t ms) {
    const SUBTITLEDRAWER::Coverage coverage = drawer.Prepare(frame, ms, true);
    if (!coverage.Shows) return {};
    FUZZ_REQUIRE(coverage.PlanarInk != nullptr);
    const PLANARPICTURE::RowBand band = coverage.PlanarInk->Band();
    FUZZ_REQUIRE(band.Top >= 0 && band.Count > 0 && band.Top % 2 == 0 && band.Count % 2 == 0 &&
                 band.Top + band.Count <= height_);
    for (std::vector<uint8_t>& plane : planes_) std::fill(plane.begin(), plane.end(), kUntouched);
    coverage.PlanarInk->BlendInto(rows_, band);
    for (int p = 0; p < 3; ++p) {
      const int shift = p == 0 ? 0 : 1;
      const int32_t width = width_ >> shift;
      for (int32_t row = 0; row < height_ >> shift; ++row) {
        if (row >= band.Top >> shift && row < (band.Top + band.Count) >> shift) continue;
        const auto begin = planes_[p].begin() + std::ptrdiff_t(row) * width;
        FUZZ_REQUIRE(
            std::all_of(begin, begin + width, [](uint8_t byte) { return byte == kUntouched; }));
      }
    }
    return band;
  }

 private:
  int32_t width_, height_;
  std::vector<uint8_t> planes_[3];
  PLANARPICTURE::PlanarRows rows_;
};

}  // namespace

int FuzzDisplaySets(const uint8_t* data, std::size_t size) {
  Input input(data, size);
  const uint8_t control = input.Byte();
  const Sizes sizes = kSizes[(control >> 2) & 7];
  std::string_view rest = input.Rest();
  const std::string_view header = TakeRecord(rest);
  LIBRARYLOG::BeginRun();

  TrackInfo info;
  std::vector<TrackPacket> packets;
  if ((control & 3) == 3) {
    if (!ReadFile(header, rest, info, packets)) return 0;
  } else {
    static constexpr TrackCodec kCodecs[] = {TrackCodec::Pgs, TrackCodec::VobSub, TrackCodec::Dvb};
    info.Codec = kCodecs[control & 3];
    info.Header.assign(header);
    info.CanvasWidth = sizes.CanvasWidth;
    info.CanvasHeight = sizes.CanvasHeight;
    packets = TrackPackets(rest, (control & 0x20) != 0);
  }

  DISPLAYSETDECODER::DisplaySetDecoder decoder(Libraries());
  if (!decoder.Open(info).empty()) return 0;
  const bool fromFile = (control & 3) == 3;
  PacketFeed feed(decoder, packets, !fromFile && (control & 0x80) ? 2000 : 0);
  DISPLAYSETDRAWER::DisplaySetDrawer drawer(feed, sizes.Width, sizes.Height, kFramesPerSecond);
  // A third of the inputs (by their length, which mutations change often)
  // are drawn cropped, scaled and fitted into a bar, as the picture's shape
  // options ask.
  if (size % 3 == 1) {
    drawer.ShowFramePart(sizes.Width, sizes.Height * 4 / 3, int32_t(size % 7), sizes.Height / 6,
                         sizes.Width - int32_t(size % 7), sizes.Height);
    drawer.ScalePictures(0.5 + double(size % 7) / 4.0);
    drawer.FitPicturesInRows(sizes.Height / int32_t(2 + size % 5));
  }
  BgrPicture bgr(sizes.Width, sizes.Height);
  // Planar pictures are of even size only.
  const bool planar = sizes.Width % 2 == 0 && sizes.Height % 2 == 0;
  PlanarPicture planes(planar ? sizes.Width : 0, planar ? sizes.Height : 0);

  const std::vector<int32_t> frames = FramesToDraw(packets);
  for (std::size_t k = 0; k < frames.size(); ++k) {
    const int32_t frame = frames[k];
    if ((control & 0x40) && k % 2 == 1) {
      drawer.Pass(frame);
      continue;
    }
    const int64_t ms = STYLEDSCRIPT::FrameTimeMs(frame, kFramesPerSecond);
    const PLANARPICTURE::RowBand band =
        planar ? planes.Draw(drawer, frame, ms) : PLANARPICTURE::RowBand{};
    const SUBTITLEDRAWER::Coverage coverage = bgr.Draw(drawer, frame, ms);
    if (!planar) continue;
    // Both forms of a set are made from the one canvas: they ink the same
    // rows, or one shows what the other left out (or never cleared).
    const PLANARPICTURE::RowBand bgrBand =
        coverage.Shows ? PLANARPICTURE::BandOfBmpRows(coverage.InkRows.first,
                                                      coverage.InkRows.second, sizes.Height)
                       : PLANARPICTURE::RowBand{};
    FUZZ_REQUIRE(bgrBand.Top == band.Top && bgrBand.Count == band.Count);
  }
  drawer.TakeNotes();
  LIBRARYLOG::TakeLines();
  return 0;
}

}  // namespace FUZZTARGETS
