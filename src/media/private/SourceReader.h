#pragma once

// The source's packets in reading order. While a subtitle track is
// collected, containers may store its packets well after the pictures they
// belong to (an MP4's chunks come a second or more apart), so the packets are
// read some seconds of the source ahead of those handed on: the track's
// packets are collected as soon as they are read, the others wait their turn
// in the order they were read. Packets of streams nobody reads are dropped
// on the way.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "media/SubtitleTrack.h"

struct AVFormatContext;
struct AVPacket;
struct AVStream;

namespace VELAVCODEC {

struct EntryPoints;

class SourceReader {
 public:
  struct Setup {
    AVFormatContext* Format = nullptr;
    int VideoStream = -1, AudioStream = -1;
    // The track collected, or -1: then packets are read straight from the
    // source, without looking ahead.
    int SubtitleStream = -1;
    // Where the job's pictures count from, in the source's seconds.
    double VideoStartSeconds = 0.0;
    SUBTITLETRACK::PacketCollector* Collected = nullptr;
    // Other streams whose packets are read too, in ascending order.
    const std::vector<int32_t>* Kept = nullptr;
  };
  explicit SourceReader(const EntryPoints& api) : api_(api) {}
  ~SourceReader();
  SourceReader(const SourceReader&) = delete;
  SourceReader& operator=(const SourceReader&) = delete;

  void Start(const Setup& setup);
  // The next packet into `packet`: av_read_frame's result.
  int Read(AVPacket* packet);
  // Before a seek: the packets waiting go.
  void Drop();
  // After the track's packets before a clip were collected by a reading of
  // their own: those that start no later than this are not collected again.
  void CollectedUntil(int64_t milliseconds) { collectedUntilMs_ = milliseconds; }
  // When the source closes: the spare packets go too.
  void Release();

 private:
  void FillLookAhead();
  AVPacket* SparePacket();
  bool PacketSeconds(const AVPacket* packet, double& seconds) const;
  void Collect(const AVPacket* packet);
  bool Read(int stream) const;

  const EntryPoints& api_;
  Setup setup_;
  // Packets waiting in reading order, empty ones for reuse, the latest time
  // read, and the reading's result once it stopped (0 before).
  std::deque<AVPacket*> held_;
  std::vector<AVPacket*> spare_;
  double readSeconds_ = 0.0;
  int endResult_ = 0;
  int64_t collectedUntilMs_ = INT64_MIN;
};

// A track's packet timed from the first picture, as the job counts its
// pictures. False for a packet without bytes or time.
bool TrackPacketOf(const AVPacket* packet, const AVStream* stream, double videoStartSeconds,
                   SUBTITLETRACK::TrackPacket& collected);

}  // namespace VELAVCODEC
