#pragma once

// A text subtitle track of the source, read in the job's own pass: its
// packets are collected as the reading meets them, with their times from
// the first picture, and handed to whoever draws them.
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace SUBTITLETRACK {

enum class TrackCodec { None, SubRip, Ass, MovText, WebVtt, Unsupported };

struct TrackPacket {
  std::string Text;  // as stored: SubRip or WebVTT text, an ASS event line, mov_text
  int64_t StartMs = 0;
  int64_t DurationMs = 0;  // 0: not given
};

struct TrackInfo {
  TrackCodec Codec = TrackCodec::None;
  // An ASS track's script header (its styles); empty for the others.
  std::string Header;
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

// The text of a mov_text sample: a 16-bit big-endian length, then that many
// bytes of UTF-8 (style boxes after it are left out).
std::string MovTextOf(const std::string& sample);

}  // namespace SUBTITLETRACK
