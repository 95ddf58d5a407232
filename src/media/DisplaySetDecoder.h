#pragma once

// Disc subtitle streams (PGS, VobSub, DVB) turned into display sets with the
// libraries the decoder front end bound: the packets of a source's track as
// the reading passes them, or those of a file of their own (a .sup, or an
// .idx with its .sub beside it) read whole before the first picture.
#include <cstdint>
#include <string>
#include <vector>

#include "media/SubtitleTrack.h"
#include "picture/SubtitleBitmaps.h"

struct AVCodecContext;
struct AVPacket;

namespace VELAVCODEC {
struct EntryPoints;
class VelAvCodec;
}  // namespace VELAVCODEC

namespace DISPLAYSETDECODER {

class DisplaySetDecoder {
 public:
  // The decoder's libraries must outlive this.
  explicit DisplaySetDecoder(const VELAVCODEC::VelAvCodec& libraries);
  ~DisplaySetDecoder();
  DisplaySetDecoder(const DisplaySetDecoder&) = delete;
  DisplaySetDecoder& operator=(const DisplaySetDecoder&) = delete;

  // Empty on success, else why the stream can't be decoded.
  std::string Open(const SUBTITLETRACK::TrackInfo& info);
  // One packet in; the set it completes, when it completes one, is appended
  // to `sets` (timed from the set's first packet). A packet that does not
  // decode is passed over and counted.
  void Decode(const SUBTITLETRACK::TrackPacket& packet,
              std::vector<SUBTITLEBITMAPS::DisplaySet>& sets);
  int64_t DamagedPackets() const { return damaged_; }
  // The stream's sets stay until the next one (PGS), rather than ending at
  // their own end or after kUntimedLimitMs.
  bool SetsLastUntilNext() const { return codec_ == SUBTITLETRACK::TrackCodec::Pgs; }

 private:
  void Close();
  bool TakeBitmaps(const void* subtitle, SUBTITLEBITMAPS::DisplaySet& set);

  const VELAVCODEC::EntryPoints& api_;
  AVCodecContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  SUBTITLETRACK::TrackCodec codec_ = SUBTITLETRACK::TrackCodec::None;
  int32_t canvasWidth_ = 0, canvasHeight_ = 0;
  int32_t displayWidth_ = 0, displayHeight_ = 0;  // a DVB display definition's
  // A packet's bytes with the zeroed padding the bit readers may read past
  // its end; grown to the largest packet, then kept.
  std::vector<uint8_t> padded_;
  int64_t damaged_ = 0;
  bool setPending_ = false;
  int64_t setStartMs_ = 0;
};

// .sup and .idx (any case): a file of disc subtitle pictures.
bool IsPictureFileName(const std::string& path);

// The file's first picture subtitle stream: its description and all its
// packets, timed from the file's start. Empty on success, else the error;
// unopened, when given: the library's reason when the file could not be
// opened at all, else empty.
std::string ReadPictureFile(const VELAVCODEC::VelAvCodec& libraries, const std::string& path,
                            SUBTITLETRACK::TrackInfo& info,
                            std::vector<SUBTITLETRACK::TrackPacket>& packets,
                            std::string* unopened = nullptr);

}  // namespace DISPLAYSETDECODER
