// Reading ahead: the packets are read and the pictures decoded on a thread of
// their own, a few items ahead of the caller, and handed out by reference.
#include "media/VelAvCodec.h"
#include "media/private/EntryPoints.h"
#include "media/private/ReadAheadQueue.h"

namespace VELAVCODEC {
namespace {

// Lets a blocking read give up once the thread is asked to stop.
int StopRequested(void* queue) {
  return static_cast<READAHEADQUEUE::ReadAheadQueue*>(queue)->Stopping() ? 1 : 0;
}

}  // namespace

bool VelAvCodec::StartReadingAhead(size_t depth) {
  if (Packet == nullptr || depth == 0 || (Ahead != nullptr && Ahead->Running())) return false;
  AheadSlots.assign(depth, AheadSlot{});
  DeliveredAudio = Api->av_packet_alloc();
  DeliveredPicture = Api->av_frame_alloc();
  bool made = DeliveredAudio != nullptr && DeliveredPicture != nullptr;
  for (AheadSlot& slot : AheadSlots) {
    slot.Picture = made ? Api->av_frame_alloc() : nullptr;
    slot.Audio = made ? Api->av_packet_alloc() : nullptr;
    made = slot.Picture != nullptr && slot.Audio != nullptr;
  }
  if (Ahead == nullptr) Ahead = std::make_unique<READAHEADQUEUE::ReadAheadQueue>();
  AheadEnded = false;
  if (made) {
    FormatContext->interrupt_callback = {StopRequested, Ahead.get()};
    made = Ahead->Start(depth, [this](size_t slot) { return ReadIntoSlot(slot); });
  }
  if (!made) StopReadingAhead();
  return made;
}

// On the read-ahead thread.
bool VelAvCodec::ReadIntoSlot(size_t index) {
  AheadSlot& slot = AheadSlots[index];
  slot.Result = ReadNext();
  if (slot.Result == ReadResult::Picture) Api->av_frame_move_ref(slot.Picture, DecodedFrame);
  const bool packet = slot.Result == ReadResult::Audio || slot.Result == ReadResult::AsStored;
  if (packet) Api->av_packet_move_ref(slot.Audio, Packet);
  slot.Error = InputError;
  return slot.Result == ReadResult::Picture || packet;
}

uint8_t* VelAvCodec::TakeAhead(int32_t& kind, int32_t& size) {
  Api->av_packet_unref(DeliveredAudio);
  const std::optional<size_t> taken = AheadEnded ? std::nullopt : Ahead->Take();
  if (!taken) return DeliverEnd(false, "", size);
  AheadSlot& slot = AheadSlots[*taken];
  const ReadResult result = slot.Result;
  const char* error = slot.Error;
  if (result == ReadResult::Picture) Api->av_frame_move_ref(DeliveredPicture, slot.Picture);
  if (result == ReadResult::Audio || result == ReadResult::AsStored)
    Api->av_packet_move_ref(DeliveredAudio, slot.Audio);
  Ahead->Release();
  switch (result) {
    case ReadResult::Picture:
      return DeliverPicture(DeliveredPicture, kind, size);
    case ReadResult::Audio:
      return DeliverAudio(DeliveredAudio, kind, size, false);
    case ReadResult::AsStored:
      return DeliverAsStored(DeliveredAudio, kind, size);
    case ReadResult::Failed:
      AheadEnded = true;
      return DeliverEnd(true, error, size);
    case ReadResult::End:
      break;
  }
  AheadEnded = true;
  return DeliverEnd(false, "", size);
}

const AVPacket* VelAvCodec::DeliveredAudioPacket() const {
  return DeliveredAudio != nullptr && DeliveredAudio->data != nullptr ? DeliveredAudio : nullptr;
}

void VelAvCodec::StopReadingAhead() {
  if (Ahead != nullptr) Ahead->Stop();
  if (FormatContext != nullptr) FormatContext->interrupt_callback = {nullptr, nullptr};
  for (AheadSlot& slot : AheadSlots) {
    Api->av_frame_free(&slot.Picture);
    Api->av_packet_free(&slot.Audio);
  }
  AheadSlots.clear();
  Api->av_packet_free(&DeliveredAudio);
  Api->av_frame_free(&DeliveredPicture);
  AheadEnded = false;
}

}  // namespace VELAVCODEC
