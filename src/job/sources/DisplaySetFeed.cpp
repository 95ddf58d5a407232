#include "job/sources/DisplaySetFeed.h"

#include <cmath>
#include <limits>

#include "job/JobAlign.h"
#include "media/VobSubPalette.h"
#include "styled/StyledScript.h"

namespace DISPLAYSETFEED {
namespace {

using SUBTITLEBITMAPS::DisplaySet;

// A set's times, and whether it shows anything (or clears).
using SUBTITLEBITMAPS::SetTime;

// The sets' times as cues: each set that shows anything, for as long as it
// shows.
std::vector<ALIGNER::CueTime> CueTimesOf(const std::vector<SetTime>& sets, bool untilNext) {
  std::vector<ALIGNER::CueTime> cues;
  for (const SUBTITLEBITMAPS::ShownSpan& span : SUBTITLEBITMAPS::ShownSpans(sets, untilNext))
    cues.push_back({span.StartMs / 1000.0, span.EndMs / 1000.0});
  return cues;
}

}  // namespace

std::string DisplaySetFeed::SetUp(VELAVCODEC::VelAvCodec& decoder,
                                  const JOBOPTIONS::JobOptions& options, bool fromFile,
                                  const std::function<void()>& pulse, int aheadTrack) {
  decoder_ = &decoder;
  fromFile_ = fromFile;
  readAhead_ = fromFile || aheadTrack >= 0;
  filePackets_.clear();
  nextFilePacket_ = 0;
  damageNoted_ = 0;
  notes_.clear();
  unopened_.clear();
  timeMap_ = nullptr;
  forcedOnly_ = options.ForcedOnly;
  const double fps = decoder.FramesPerSecond;
  delayMs_ = STYLEDSCRIPT::FrameTimeMs(JOBOPTIONS::SubtitleDelayFrames(options, fps), fps);
  if (fromFile_) {
    const std::string error = DISPLAYSETDECODER::ReadPictureFile(decoder, options.Subtitle, info_,
                                                                 filePackets_, &unopened_);
    if (!error.empty()) return error;
  } else if (aheadTrack >= 0) {
    info_ = decoder.SubtitleTrackInfoOf(aheadTrack);
    const std::string error = decoder.ReadWholeSubtitleTrackOf(aheadTrack, filePackets_);
    if (!error.empty()) return error;
  } else {
    info_ = decoder.SubtitleTrackInfo();
  }
  if (info_.Codec == SUBTITLETRACK::TrackCodec::VobSub && !options.Shape.VobSubPalette.empty())
    info_.Header = DISPLAYSETDECODER::WithVobSubPalette(info_.Header, options.Shape.VobSubPalette);
  // A track marked forced is forced whole.
  if (info_.Forced) forcedOnly_ = false;
  pictures_ = std::make_unique<DISPLAYSETDECODER::DisplaySetDecoder>(decoder);
  std::string error = pictures_->Open(info_);
  if (error.empty() && fromFile_) error = CheckAndAlign(options, pulse);
  return error;
}

// A file's sets are decoded once before the first picture: up to the first
// that shows anything, so that a file of none is refused, or all of them
// for their times, which the speech alignment takes as cues. The drawing
// decodes them again as it goes.
std::string DisplaySetFeed::CheckAndAlign(const JOBOPTIONS::JobOptions& options,
                                          const std::function<void()>& pulse) {
  DISPLAYSETDECODER::DisplaySetDecoder timing(*decoder_);
  std::string error = timing.Open(info_);
  if (!error.empty()) return error;
  std::vector<DisplaySet> decoded;
  std::vector<SetTime> times;
  bool shows = false;
  for (const SUBTITLETRACK::TrackPacket& packet : filePackets_) {
    decoded.clear();
    timing.Decode(packet, decoded);
    for (const DisplaySet& set : decoded) {
      times.push_back({set.StartMs, set.EndMs, !set.Bitmaps.empty()});
      shows = shows || times.back().Shows;
    }
    if (shows && !options.AlignToSpeech) return {};
  }
  if (!shows) return "[PictureSubtitles] The subtitle file holds no subtitle pictures...";
  TIMEMAP::TimeMap map;
  if (!JOBALIGN::FindAlignment(options, CueTimesOf(times, timing.SetsLastUntilNext()), map, notes_,
                               error, pulse))
    return error;
  if (!map.IsIdentity()) timeMap_ = [map](double seconds) { return map.Apply(seconds); };
  return {};
}

void DisplaySetFeed::Release() {
  pictures_.reset();
  decoder_ = nullptr;
  std::vector<SUBTITLETRACK::TrackPacket>().swap(filePackets_);
  nextFilePacket_ = 0;
}

int64_t DisplaySetFeed::Moved(int64_t milliseconds) const {
  const double mapped =
      timeMap_ ? std::round(timeMap_(milliseconds / 1000.0) * 1000.0) : double(milliseconds);
  if (!std::isfinite(mapped) || std::fabs(mapped) > 1e15) return milliseconds + delayMs_;
  return int64_t(mapped) + delayMs_;
}

void DisplaySetFeed::Feed(int64_t untilMs, std::vector<DisplaySet>& sets) {
  if (!pictures_) return;
  decoded_.clear();
  if (readAhead_) {
    while (nextFilePacket_ < filePackets_.size() &&
           Moved(filePackets_[nextFilePacket_].StartMs) <= untilMs)
      pictures_->Decode(filePackets_[nextFilePacket_++], decoded_);
  } else {
    decoder_->TakeSubtitlePackets(packets_);
    for (const SUBTITLETRACK::TrackPacket& packet : packets_) pictures_->Decode(packet, decoded_);
  }
  for (DisplaySet& set : decoded_) Keep(set, sets);
}

std::string DisplaySetFeed::ShownTimes(std::vector<SMARTPLAN::Shown>& shown) const {
  shown.clear();
  if (!pictures_ || decoder_ == nullptr) return "the subtitle pictures are not open";
  std::vector<SUBTITLETRACK::TrackPacket> trackPackets;
  if (!readAhead_) {
    const std::string error = decoder_->ReadWholeSubtitleTrack(trackPackets);
    if (!error.empty()) return error;
  }
  DISPLAYSETDECODER::DisplaySetDecoder timing(*decoder_);
  const std::string error = timing.Open(info_);
  if (!error.empty()) return error;
  std::vector<DisplaySet> decoded, kept;
  std::vector<SetTime> times;
  for (const SUBTITLETRACK::TrackPacket& packet : readAhead_ ? filePackets_ : trackPackets) {
    decoded.clear();
    timing.Decode(packet, decoded);
    for (DisplaySet& set : decoded) {
      kept.clear();
      Keep(set, kept);
      for (const DisplaySet& k : kept) times.push_back({k.StartMs, k.EndMs, !k.Bitmaps.empty()});
    }
  }
  for (const ALIGNER::CueTime& cue : CueTimesOf(times, timing.SetsLastUntilNext()))
    shown.push_back({cue.Start, cue.End});
  return {};
}

// Moved to the film's time, and left with its forced bitmaps only when
// asked: a set with none of those clears what showed, as the stream's own
// next set would.
void DisplaySetFeed::Keep(DisplaySet& set, std::vector<DisplaySet>& sets) const {
  if (set.EndMs >= 0) set.EndMs = std::max(Moved(set.EndMs), Moved(set.StartMs));
  set.StartMs = Moved(set.StartMs);
  if (forcedOnly_)
    std::erase_if(set.Bitmaps,
                  [](const SUBTITLEBITMAPS::Bitmap& bitmap) { return !bitmap.Forced; });
  sets.push_back(std::move(set));
}

bool DisplaySetFeed::SetsLastUntilNext() const {
  return pictures_ ? pictures_->SetsLastUntilNext() : true;
}

std::vector<std::string> DisplaySetFeed::TakeNotes() {
  std::vector<std::string> notes;
  notes.swap(notes_);
  const int64_t damaged = pictures_ ? pictures_->DamagedPackets() : 0;
  if (damaged > damageNoted_ && damageNoted_ == 0)
    notes.push_back(
        "[PictureSubtitles] Some subtitle pictures are damaged; what could be read is drawn");
  damageNoted_ = damaged;
  return notes;
}

}  // namespace DISPLAYSETFEED
