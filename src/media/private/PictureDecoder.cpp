#include "media/private/PictureDecoder.h"

#include "media/private/EntryPoints.h"
#include "media/private/PacketRouter.h"

namespace VELAVCODEC {

void PictureDecoder::Start(const Setup& setup) {
  setup_ = setup;
  hasOutput_ = drained_ = pending_ = fed_ = false;
}

PictureDecoder::Taken PictureDecoder::Take(PacketRouter& router) {
  AVFrame* picture = setup_.Picture;
  while (hasOutput_) {
    const int result = api_.avcodec_receive_frame(setup_.Context, picture);
    if (result == 0 && router.DropsPicture(picture)) {
      api_.av_frame_unref(picture);
      continue;
    }
    if (result == 0) {
      if (picture->decode_error_flags != 0 || (picture->flags & AV_FRAME_FLAG_CORRUPT))
        ++*setup_.DamagedPictures;
      return Taken::Picture;
    }
    hasOutput_ = false;
    if (result != AVERROR(EAGAIN) && result != AVERROR_EOF && result != AVERROR(ENOMEM))
      ++*setup_.DamagedPictures;
    if (result == AVERROR_EOF) {
      drained_ = true;
    } else if (result == AVERROR(ENOMEM)) {
      // Not a damaged picture: nothing more can be decoded.
      return Taken::OutOfMemory;
    } else if (pending_) {
      Send(setup_.Reading);
      if (pending_) {
        // Still refused: give the packet up rather than spin.
        api_.av_packet_unref(setup_.Reading);
        pending_ = false;
        hasOutput_ = false;
      }
    }
    // Otherwise the decoder wants more input, or the picture was damaged:
    // reading goes on.
  }
  return Taken::None;
}

bool PictureDecoder::Send(AVPacket* packet) {
  const int result = api_.avcodec_send_packet(setup_.Context, packet);
  pending_ = packet != nullptr && result == AVERROR(EAGAIN);
  if (packet != nullptr && result < 0 && !pending_) ++*setup_.DamagedPictures;
  if (packet != nullptr && !pending_) api_.av_packet_unref(packet);
  hasOutput_ = true;
  return result >= 0 || pending_;
}

void PictureDecoder::Feed(AVPacket* packet) {
  fed_ = true;
  Send(packet);
}

void PictureDecoder::FeedAlongside(AVPacket* packet) {
  fed_ = true;
  int result = api_.avcodec_send_packet(setup_.Context, packet);
  while (result == AVERROR(EAGAIN) &&
         api_.avcodec_receive_frame(setup_.Context, setup_.Picture) == 0) {
    api_.av_frame_unref(setup_.Picture);
    result = api_.avcodec_send_packet(setup_.Context, packet);
  }
  if (result < 0) ++*setup_.DamagedPictures;
  hasOutput_ = true;
}

bool PictureDecoder::FeedKeyframeAhead(AVPacket* packet) {
  if (!fed_ || api_.avcodec_send_packet(setup_.Context, packet) < 0) return false;
  hasOutput_ = true;
  return true;
}

void PictureDecoder::Drain() {
  if (!Send(nullptr)) drained_ = true;
}

void PictureDecoder::Restart() {
  api_.avcodec_flush_buffers(setup_.Context);
  drained_ = hasOutput_ = fed_ = false;
}

}  // namespace VELAVCODEC
