// Decodes every picture of a video file through the decoder front end, as
// the job does, and prints how many pictures and audio packets it handed out
// and how long that took.
#include <chrono>
#include <cstdio>

#include "media/VelAvCodec.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: decode_benchmark FILE\n");
    return 2;
  }
  const auto names = VELAVCODEC::VelAvCodec::DefaultLibraryNames();
  try {
    VELAVCODEC::VelAvCodec decoder(names.AvCodec, names.AvFormat, names.AvUtil, names.SwScale);
    const auto start = std::chrono::steady_clock::now();
    bool opened = decoder.PreOpen(argv[1]);
    if (opened) {
      decoder.SelectVideoStream(0);
      decoder.SelectAudioStream(0);
      opened = decoder.Open();
    }
    if (!opened) {
      std::fprintf(stderr, "%s\n", decoder.ErrorText.c_str());
      return 1;
    }
    long pictures = 0, packets = 0;
    unsigned checksum = 0;
    int32_t kind = 0, size = 0;
    while (const uint8_t* data = decoder.GetNextData(kind, size)) {
      checksum += data[size - 1];  // touch the data as a consumer would
      if (kind == VELAVCODEC::VelAvCodec::KindVideo)
        ++pictures;
      else
        ++packets;
    }
    decoder.Close();
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("pictures %ld, audio packets %ld, %.3f s (%.1f pictures/s), checksum %u\n",
                pictures, packets, seconds.count(), pictures / seconds.count(), checksum);
  } catch (const VELAVCODEC::VelException& error) {
    std::fprintf(stderr, "%s\n", error.Message);
    return 1;
  }
  return 0;
}
