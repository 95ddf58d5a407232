#pragma once

// What a Matroska, MP4 or WebM output carries of the source besides the
// burned picture and the chosen sound: the other sound and subtitle tracks,
// packet for packet, the attachments, the chapters and the tags. The plan is
// made before the file is: what each container can hold is asked of
// libavformat, and what it cannot is left out with a line saying so.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/SourceStreams.h"
#include "output/ConvertedAudio.h"
#include "output/SoftText.h"
#include "output/StreamKeeping.h"

struct AVFormatContext;
struct AVOutputFormat;
struct AVPacket;
struct AVStream;

namespace MEDIAOUTPUT {

struct CarriedStream {
  VELAVCODEC::StoredStream Source;
  enum class Way {
    AsStored,       // packet for packet
    AsText,         // a text track in the form the container holds text in
    WithoutForced,  // the drawn track's pictures that are not forced
    Attachment,     // a file the source carries (a font, a cover)
    Converted,      // sound re-encoded, which the container can't hold as it is
  };
  Way How = Way::AsStored;
  int32_t Codec = 0;  // what it is written as (an AVCodecID)
};

struct CarriedPlan {
  std::vector<CarriedStream> Streams;  // in the output's order, after the sound
  std::vector<std::string> Notes;      // what is left out, and why: a line each
  bool Chapters = false, FileTags = false;
};

// convertAudio: sound the container can't hold is converted (as the chosen
// sound is) rather than left out.
CarriedPlan PlanCarried(const VELAVCODEC::SourceStreams& source, const StreamKeeping& keeping,
                        const AVOutputFormat* container, const DrawnTrack& drawn,
                        bool convertAudio);

// "sound 2 fra 'Commentary' (commentary)": a stream as the log names it, its
// number the source's; marks as the output writes them.
std::string StreamName(const VELAVCODEC::StoredStream& stream, int32_t disposition);

// The source's tags an output copies: the figures a muxer counts anew
// (lengths, bit rates, the writing program) are left out.
bool CopiedTag(const std::string& name);

// Writes the plan's streams into the output file.
class CarriedWriter {
 public:
  CarriedWriter();
  ~CarriedWriter();
  CarriedWriter(const CarriedWriter&) = delete;
  CarriedWriter& operator=(const CarriedWriter&) = delete;

  // Before the header: the streams, chapters and tags. originSeconds: the
  // source's start, which the output's times count from. A stream whose
  // conversion can't be set up is taken out of the plan with a note. Empty
  // when set up, else what failed.
  std::string AddStreams(AVFormatContext* context, CarriedPlan& plan,
                         const VELAVCODEC::SourceStreams& source, double originSeconds);
  // The tracks as the log names them, with the marks they are written with.
  std::vector<std::string> Names() const;
  // The source's streams whose packets the output takes.
  std::vector<int32_t> Taken() const;

  // What the muxer's interleaved write gives; false stops the job.
  using Mux = std::function<int(AVPacket* packet)>;
  // One packet of a taken stream, its times on the stream's own clock.
  // False only when the file can no longer be written: a packet the muxer
  // refuses is counted and left out.
  bool Write(int32_t stream, const AVPacket* source, const uint8_t* data, int32_t size, int64_t pts,
             int64_t dts, int64_t duration, bool key, const Mux& mux);
  // What is still held (text whose end was not known), once reading ended.
  bool Finish(const Mux& mux);

  // Packets of the carried streams left out (refused by the muxer, or
  // repeating their stream's last time) and times mended.
  int64_t LeftOut() const;
  int64_t Mended() const;
  // Lines for the log once the file is written: what the soft copy of the
  // drawn track kept.
  std::vector<std::string> Report() const;

 private:
  struct Carried;
  std::string AddChapters(AVFormatContext* context,
                          const std::vector<VELAVCODEC::SourceChapter>& chapters,
                          double originSeconds);
  bool WriteSound(Carried& carried, AVPacket* out, const Mux& mux);
  bool WriteSubtitle(Carried& carried, AVPacket* out, const Mux& mux);
  bool WriteText(Carried& carried, AVPacket* out, const Mux& mux);
  bool WriteConverted(Carried& carried, AVPacket* out, const Mux& mux);
  CONVERTEDAUDIO::ConvertedAudio::Sink ConvertedSink(Carried& carried, const Mux& mux);
  bool MuxSound(Carried& carried, AVPacket* out, int64_t step, const Mux& mux);
  bool WriteSoftPictures(Carried& carried, AVPacket* out, const Mux& mux);
  std::string SetUpConversion(Carried& carried);
  bool AddAttachment(AVFormatContext* context, const VELAVCODEC::StoredStream& stored);
  SOFTTEXT::TextConversion::Sink TextSink(Carried& carried, const Mux& mux);
  // Counts a packet the muxer refused.
  bool Refused(int result);
  bool Writable() const;

  AVFormatContext* context_ = nullptr;
  std::vector<std::unique_ptr<Carried>> carried_;
  AVPacket* packet_ = nullptr;
  int64_t leftOut_ = 0;
};

}  // namespace MEDIAOUTPUT
