#include "media/private/PacketRouter.h"

#include <algorithm>
#include <utility>

#include "media/KeyframeIndex.h"
#include "media/NalUnits.h"
#include "media/private/EntryPoints.h"

namespace VELAVCODEC {
namespace {

// A decoded picture's time as its packet stated it, as the index read it.
int64_t ShownAt(const AVFrame* frame) {
  return frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
}

}  // namespace

void PacketRouter::Start(Setup setup) {
  *this = PacketRouter();
  setup_ = std::move(setup);
}

bool PacketRouter::ShownBefore(int64_t time, double until) const {
  return time != AV_NOPTS_VALUE && setup_.BaseNum > 0 && setup_.BaseDen > 0 &&
         StreamSeconds(time, setup_.BaseNum, setup_.BaseDen) < until;
}

bool PacketRouter::Copies(const AVPacket* packet) {
  const std::vector<PacketFate>& fates = setup_.Fates;
  if (fates.empty() || (packet->flags & AV_PKT_FLAG_KEY) == 0) return copying_;
  const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
  if (time == AV_NOPTS_VALUE || setup_.BaseNum <= 0 || setup_.BaseDen <= 0) return copying_;
  const double seconds = StreamSeconds(time, setup_.BaseNum, setup_.BaseDen);
  const auto found =
      std::lower_bound(fates.begin(), fates.end(), seconds,
                       [](const PacketFate& fate, double at) { return fate.KeyframeSeconds < at; });
  if (found != fates.end() && found->KeyframeSeconds == seconds) {
    copying_ = found->Copied;
    headUntil_ = found->HeadUntilSeconds;
    headPackets_ = headPictures_ = !copying_ && headUntil_ > seconds;
    leadingOwed_ = copying_ && found->EncodesLeading;
    leadingUntil_ = seconds;
  }
  return copying_;
}

bool PacketRouter::InCopiedHead(const AVPacket* packet) {
  if (!headPackets_) return false;
  headPackets_ = ShownBefore(packet->pts, headUntil_);
  return headPackets_;
}

bool PacketRouter::DropsPicture(const AVFrame* frame) {
  if (headPictures_) {
    headPictures_ = ShownBefore(ShownAt(frame), headUntil_);
    if (headPictures_) return true;
  }
  if (!droppingFromKey_) return false;
  const int64_t time = ShownAt(frame);
  return time != AV_NOPTS_VALUE && !ShownBefore(time, leadingUntil_);
}

bool PacketRouter::OwesLeading(const AVPacket* packet) {
  if (!leadingOwed_ || (packet->flags & AV_PKT_FLAG_KEY) == 0) return false;
  leadingOwed_ = false;
  return true;
}

void PacketRouter::StartLeading() { collectingLeading_ = droppingFromKey_ = true; }

bool PacketRouter::IsLeading(const AVPacket* packet) {
  if (lengthSize_ < 0)
    lengthSize_ = NALUNITS::LengthSizeOf(NALUNITS::Codec::Hevc, setup_.ExtraData, setup_.ExtraSize);
  const bool leading =
      packet->size > 0 && NALUNITS::SkipsWithoutItsKeyframe(NALUNITS::Codec::Hevc, packet->data,
                                                            std::size_t(packet->size), lengthSize_);
  if (!leading) collectingLeading_ = false;
  return leading;
}

}  // namespace VELAVCODEC
