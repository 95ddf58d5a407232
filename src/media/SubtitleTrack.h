#pragma once

// A subtitle track of the source, read in the job's own pass: its packets
// are collected as the reading meets them, with their times from the first
// picture, and handed to whoever draws them. Text tracks carry their text;
// picture tracks (disc subtitles) carry the coded bitmaps, decoded by
// whoever draws them.
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace SUBTITLETRACK {

enum class TrackCodec { None, SubRip, Ass, MovText, WebVtt, Unsupported, Pgs, VobSub, Dvb };

inline bool IsPicture(TrackCodec codec) {
  return codec == TrackCodec::Pgs || codec == TrackCodec::VobSub || codec == TrackCodec::Dvb;
}

struct TrackPacket {
  // As stored: SubRip or WebVTT text, an ASS event line, mov_text, or a
  // picture stream's coded bytes.
  std::string Text;
  int64_t StartMs = 0;
  int64_t DurationMs = 0;  // 0: not given
};

struct TrackInfo {
  TrackCodec Codec = TrackCodec::None;
  // An ASS track's script header (its styles), or a picture stream's codec
  // set-up (a VobSub's index header, a DVB stream's page ids); empty for
  // the others.
  std::string Header;
  // A picture stream's canvas as its header gives it (0 when it gives none).
  int32_t CanvasWidth = 0, CanvasHeight = 0;
  // The track is marked forced as a whole.
  bool Forced = false;
  // Fonts attached to the source (name, contents).
  std::vector<std::pair<std::string, std::string>> Fonts;
};

// Filled by the reading thread, emptied by the job's.
class PacketCollector {
 public:
  void Add(TrackPacket packet) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back(std::move(packet));
  }
  // Moves what has come since the last call into `packets` (emptied first).
  void TakeAll(std::vector<TrackPacket>& packets) {
    packets.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    packets.swap(pending_);
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<TrackPacket> pending_;
};

// A picture stream's canvas side as a header gives it: 0 for none, or for
// one beyond reason.
constexpr int kLargestCanvasSide = 8192;
inline int32_t CanvasSideOf(int side) { return side > 0 && side <= kLargestCanvasSide ? side : 0; }

// The kind of a stream of the libraries' codec id (an AVCodecID).
TrackCodec CodecOfLibraryId(int codecId);

// The text of a mov_text sample: a 16-bit big-endian length, then that many
// bytes of UTF-8 (style boxes after it are left out).
std::string MovTextOf(const std::string& sample);

}  // namespace SUBTITLETRACK
