#pragma once

// Setting up the drawing of disc subtitle pictures for a job or a still: from
// the source's own picture track, read with the job's pass, or from a file of
// their own (.sup, .idx), read before the first picture and, when asked,
// re-timed to the film's speech. The sets are moved by the delay correction,
// and only the forced ones kept when asked.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drawing/DisplaySetDrawer.h"
#include "job/JobOptions.h"
#include "job/SmartPlan.h"
#include "media/DisplaySetDecoder.h"
#include "media/VelAvCodec.h"

namespace DISPLAYSETFEED {

class DisplaySetFeed : public DISPLAYSETDRAWER::SetFeed {
 public:
  // After the decoder opened the source with the track chosen, or for the
  // options' picture file (fromFile); the decoder must outlive the feed.
  // The alignment's finding comes first among the notes. Empty on success,
  // else the error.
  // aheadTrack (from 0): that track of the source instead of the chosen one,
  // read whole now.
  std::string SetUp(VELAVCODEC::VelAvCodec& decoder, const JOBOPTIONS::JobOptions& options,
                    bool fromFile, const std::function<void()>& pulse = nullptr,
                    int aheadTrack = -1);
  // Lets the decoder and the file's packets go: before the decoder's
  // libraries do.
  void Release();
  void Feed(int64_t untilMs, std::vector<SUBTITLEBITMAPS::DisplaySet>& sets) override;
  bool SetsLastUntilNext() const override;
  std::vector<std::string> TakeNotes() override;
  // After SetUp: when each set that shows anything is on, in seconds from
  // the first picture, moved and kept (the forced ones) as the drawing will
  // have them; a track is read whole ahead of the job. Empty on success,
  // else why they can't be known.
  std::string ShownTimes(std::vector<SMARTPLAN::Shown>& shown) const;
  // After a failed SetUp: the library's reason the options' picture file
  // could not be opened at all; empty otherwise.
  const std::string& Unopened() const { return unopened_; }

 private:
  std::string CheckAndAlign(const JOBOPTIONS::JobOptions& options,
                            const std::function<void()>& pulse);
  void Keep(SUBTITLEBITMAPS::DisplaySet& set, std::vector<SUBTITLEBITMAPS::DisplaySet>& sets) const;
  int64_t Moved(int64_t milliseconds) const;

  VELAVCODEC::VelAvCodec* decoder_ = nullptr;
  std::unique_ptr<DISPLAYSETDECODER::DisplaySetDecoder> pictures_;
  SUBTITLETRACK::TrackInfo info_;
  // A file's packets, all read at the set-up, and the next to decode.
  bool fromFile_ = false;
  // The packets are all in filePackets_: a file's, or a track read ahead.
  bool readAhead_ = false;
  std::vector<SUBTITLETRACK::TrackPacket> filePackets_;
  std::size_t nextFilePacket_ = 0;
  std::vector<SUBTITLETRACK::TrackPacket> packets_;
  std::vector<SUBTITLEBITMAPS::DisplaySet> decoded_;
  // Seconds of the file's clock to the film's; empty: the same.
  std::function<double(double)> timeMap_;
  int64_t delayMs_ = 0;
  bool forcedOnly_ = false;
  int64_t damageNoted_ = 0;
  std::vector<std::string> notes_;
  std::string unopened_;
};

}  // namespace DISPLAYSETFEED
