#include "job/sources/TextTrackFeed.h"

#include <cmath>

namespace TEXTTRACKFEED {
STYLEDSCRIPT::BaseStyle BaseOf(const JOBOPTIONS::JobOptions& options) {
  STYLEDSCRIPT::BaseStyle base;
  base.Font = options.Font;
  base.Look = options.Look;
  base.LeftToRight = options.Styled.LeftToRight;
  return base;
}

std::string TextTrackFeed::SetUp(STYLEDRENDERER::StyledRenderer& renderer,
                                 VELAVCODEC::VelAvCodec& decoder,
                                 const JOBOPTIONS::JobOptions& options, int aheadTrack) {
  decoder_ = &decoder;
  aheadTrack_ = aheadTrack;
  const SUBTITLETRACK::TrackInfo info =
      aheadTrack < 0 ? decoder.SubtitleTrackInfo() : decoder.SubtitleTrackInfoOf(aheadTrack);
  using SUBTITLETRACK::TrackCodec;
  form_ = info.Codec == TrackCodec::Ass      ? STYLEDSCRIPT::TrackText::AssEvent
          : info.Codec == TrackCodec::WebVtt ? STYLEDSCRIPT::TrackText::WebVtt
                                             : STYLEDSCRIPT::TrackText::SubRip;
  movText_ = info.Codec == TrackCodec::MovText;
  layout_ =
      STYLEDSCRIPT::EventLayoutOf(info.Header, BaseOf(options), decoder.Width, decoder.Height);
  order_ = 0;
  // Moved as a file's cues are moved: by whole frames.
  const double fps = decoder.FramesPerSecond;
  delayMs_ = STYLEDSCRIPT::FrameTimeMs(JOBOPTIONS::SubtitleDelayFrames(options, fps), fps);
  std::string error = renderer.Setup(
      STYLEDSCRIPT::TrackScript(info.Header, BaseOf(options), decoder.Width, decoder.Height),
      decoder.Width, decoder.Height, info.Fonts);
  if (!error.empty() || aheadTrack < 0) return error;
  error = decoder.ReadWholeSubtitleTrackOf(aheadTrack, packets_);
  if (error.empty()) AddPackets(renderer);
  std::vector<SUBTITLETRACK::TrackPacket>().swap(packets_);
  return error;
}

std::string TextTrackFeed::ShownTimes(std::vector<SMARTPLAN::Shown>& shown) const {
  shown.clear();
  if (decoder_ == nullptr) return "the subtitle track is not open";
  std::vector<SUBTITLETRACK::TrackPacket> packets;
  const std::string error = aheadTrack_ < 0
                                ? decoder_->ReadWholeSubtitleTrack(packets)
                                : decoder_->ReadWholeSubtitleTrackOf(aheadTrack_, packets);
  for (const SUBTITLETRACK::TrackPacket& packet : packets) {
    const int64_t start = packet.StartMs + delayMs_;
    const int64_t end = start + (packet.DurationMs <= 0 ? kUntimedPacketMs : packet.DurationMs);
    shown.push_back({start / 1000.0, end / 1000.0});
  }
  return error;
}

void TextTrackFeed::Feed(STYLEDRENDERER::StyledRenderer& renderer) {
  if (decoder_ == nullptr || aheadTrack_ >= 0) return;
  decoder_->TakeSubtitlePackets(packets_);
  AddPackets(renderer);
}

void TextTrackFeed::AddPackets(STYLEDRENDERER::StyledRenderer& renderer) {
  for (const SUBTITLETRACK::TrackPacket& packet : packets_) {
    STYLEDSCRIPT::StyledEvent event = STYLEDSCRIPT::TrackEvent(
        form_, movText_ ? SUBTITLETRACK::MovTextOf(packet.Text) : packet.Text, order_++, layout_);
    event.StartMs = packet.StartMs + delayMs_;
    event.Untimed = packet.DurationMs <= 0;
    event.EndMs = event.StartMs + (event.Untimed ? kUntimedPacketMs : packet.DurationMs);
    renderer.AddEvent(event);
  }
}

}  // namespace TEXTTRACKFEED
