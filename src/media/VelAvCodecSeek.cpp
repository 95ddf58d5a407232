// Finding one picture by its number: the video packets' timestamps are read
// from the start without decoding, which tells the picture's timestamp; then
// a seek to the key frame before it and decoding forward to that timestamp.
#include <algorithm>
#include <vector>

#include "media/VelAvCodec.h"
#include "media/private/EntryPoints.h"
#include "media/private/PictureDecoder.h"
#include "media/private/SourceReader.h"

namespace VELAVCODEC {
namespace {

constexpr const char* kNoPicture = "[VelAvCodec::SeekPicture] No picture at that time...";

// Key frames past the picture's timestamp before its place in presentation
// order counts as settled: later packets are shown after it.
constexpr int kSettlingKeyFrames = 2;

}  // namespace

uint8_t* VelAvCodec::SeekPicture(int32_t index, SeekResult& result) {
  result = SeekResult::Missing;
  ErrorText = kNoPicture;
  if (Packet == nullptr || index < 0) return nullptr;
  // Only the video's packets are read from here on.
  for (unsigned i = 0; i < FormatContext->nb_streams; ++i)
    if (int(i) != VideoStream) FormatContext->streams[i]->discard = AVDISCARD_ALL;
  int64_t time = 0;
  result = TimestampOfPicture(index, time);
  if (result != SeekResult::Found) return nullptr;
  result = SeekResult::Uncounted;
  if (!SeekBefore(time)) return nullptr;
  while (DecodeNextVideoPicture()) {
    const int64_t decoded = DecodedFrame->best_effort_timestamp;
    if (decoded == time) {
      int32_t kind = 0, size = 0;
      uint8_t* picture = DeliverPicture(DecodedFrame, kind, size);
      result = picture != nullptr ? SeekResult::Found : SeekResult::Missing;
      return picture;
    }
    Api->av_frame_unref(DecodedFrame);
    // The decoder went past it, or gives pictures without their timestamps.
    if (decoded == AV_NOPTS_VALUE || decoded > time) break;
  }
  ErrorText = kNoPicture;
  return nullptr;
}

// The presentation timestamp of picture `index`: the index-th smallest of the
// video packets' timestamps. Uncounted when a packet has none.
VelAvCodec::SeekResult VelAvCodec::TimestampOfPicture(int32_t index, int64_t& time) {
  std::vector<int64_t> times;
  const size_t wanted = size_t(index);
  int settling = 0;
  while (settling < kSettlingKeyFrames && Api->av_read_frame(FormatContext, Packet) >= 0) {
    const bool video = Packet->stream_index == VideoStream;
    const int64_t pts = Packet->pts;
    const bool key = (Packet->flags & AV_PKT_FLAG_KEY) != 0;
    Api->av_packet_unref(Packet);
    if (!video) continue;
    if (pts == AV_NOPTS_VALUE) return SeekResult::Uncounted;
    times.push_back(pts);
    if (!key || times.size() <= wanted) continue;
    std::nth_element(times.begin(), times.begin() + index, times.end());
    if (pts > times[wanted]) ++settling;
  }
  if (times.size() <= wanted) return SeekResult::Missing;
  std::nth_element(times.begin(), times.begin() + index, times.end());
  time = times[wanted];
  return SeekResult::Found;
}

// To the key frame at or before that time, with the decoder emptied.
bool VelAvCodec::SeekBefore(int64_t time) {
  if (Api->av_seek_frame(FormatContext, VideoStream, time, AVSEEK_FLAG_BACKWARD) < 0) return false;
  Api->avcodec_flush_buffers(VideoCodecContext);
  Api->av_packet_unref(Packet);
  Reader->Drop();
  VideoDecoding->Start({VideoCodecContext, DecodedFrame, Packet, &damagedPictures_});
  InputEnded = false;
  return true;
}

// The next decoded picture into DecodedFrame; packets of other streams are
// dropped.
bool VelAvCodec::DecodeNextVideoPicture() {
  return DecodeUntilItem(Items::PicturesOnly) == ReadResult::Picture;
}

}  // namespace VELAVCODEC
