#include "output/CarriedStreams.h"

#include <strings.h>
#include <algorithm>
#include <climits>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include "output/AudioBitstream.h"
#include "output/ForcedSets.h"
#include "output/RisingTimes.h"
#include "output/SoftText.h"
#include "output/SoundClock.h"

namespace MEDIAOUTPUT {
namespace {

using VELAVCODEC::StoredStream;
using Kind = StoredStream::Kind;

std::string CodecName(const StoredStream& stream) {
  const AVCodecDescriptor* codec =
      stream.Parameters != nullptr ? avcodec_descriptor_get(stream.Parameters->codec_id) : nullptr;
  return codec != nullptr ? codec->name : "unknown codec";
}

const char* KindWord(Kind kind) {
  switch (kind) {
    case Kind::Sound:
      return "sound";
    case Kind::Subtitles:
      return "subtitles";
    case Kind::Attachment:
      return "attachment";
    case Kind::Other:
      break;
  }
  return "stream";
}

std::string ContainerWords(const AVOutputFormat* container) {
  const std::string name = container != nullptr ? container->name : "";
  return name == "matroska" ? "a Matroska file" : name == "webm" ? "a WebM file" : "an MP4 file";
}

bool Holds(const AVOutputFormat* container, const StoredStream& stream) {
  return stream.Parameters != nullptr &&
         avformat_query_codec(container, stream.Parameters->codec_id, FF_COMPLIANCE_NORMAL) == 1;
}

// Only Matroska keeps files beside its tracks.
bool HoldsAttachments(const AVOutputFormat* container) {
  return container != nullptr && std::strcmp(container->name, "matroska") == 0;
}

bool IsPictureCodec(const StoredStream& stream) {
  if (stream.Parameters == nullptr) return false;
  const int codec = stream.Parameters->codec_id;
  return codec == AV_CODEC_ID_HDMV_PGS_SUBTITLE || codec == AV_CODEC_ID_DVD_SUBTITLE;
}

std::string LeftOut(const StoredStream& stream, const AVOutputFormat* container) {
  std::string name = KindWord(stream.What);
  name[0] = char(name[0] - 'a' + 'A');
  if (stream.Track > 0) name += " " + std::to_string(stream.Track);
  return name + " (" + CodecName(stream) + ") can't be stored in " + ContainerWords(container) +
         "; it is left out";
}

std::string NotKept(const StoredStream& stream, const std::string& why) {
  std::string name = KindWord(stream.What);
  name[0] = char(name[0] - 'a' + 'A');
  if (stream.Track > 0) name += " " + std::to_string(stream.Track);
  return name + " (" + CodecName(stream) + ") can't be kept (" + why + "); it is left out";
}

std::string TagValue(const VELAVCODEC::Tags& tags, const char* name) {
  for (const auto& [key, value] : tags)
    if (strcasecmp(key.c_str(), name) == 0) return value;
  return {};
}

bool Valid(AVRational base) { return base.num > 0 && base.den > 0; }

// time - origin, or no time where that can't be counted.
int64_t FromOrigin(int64_t time, int64_t origin) {
  int64_t moved = 0;
  if (time == VELAVCODEC::kNoTime || __builtin_sub_overflow(time, origin, &moved))
    return AV_NOPTS_VALUE;
  return moved;
}

bool CopyBytes(AVCodecParameters* parameters, const uint8_t* data, int32_t size) {
  av_freep(&parameters->extradata);
  parameters->extradata_size = 0;
  if (data == nullptr || size <= 0) return true;
  parameters->extradata =
      static_cast<uint8_t*>(av_mallocz(size_t(size) + AV_INPUT_BUFFER_PADDING_SIZE));
  if (parameters->extradata == nullptr) return false;
  std::memcpy(parameters->extradata, data, size_t(size));
  parameters->extradata_size = size;
  return true;
}

void CopyTags(AVDictionary** into, const VELAVCODEC::Tags& tags) {
  for (const auto& [name, value] : tags)
    if (CopiedTag(name)) av_dict_set(into, name.c_str(), value.c_str(), 0);
}

}  // namespace

bool CopiedTag(const std::string& name) {
  static const char* const kCounted[] = {"DURATION",        "BPS",           "NUMBER_OF_FRAMES",
                                         "NUMBER_OF_BYTES", "encoder",       "encoding_tool",
                                         "major_brand",     "minor_version", "compatible_brands",
                                         "handler_name",    "vendor_id"};
  for (const char* counted : kCounted)
    if (strcasecmp(name.c_str(), counted) == 0) return false;
  return strncasecmp(name.c_str(), "_STATISTICS_", 12) != 0 && !name.empty();
}

CarriedPlan PlanCarried(const VELAVCODEC::SourceStreams& source, const StreamKeeping& keeping,
                        const AVOutputFormat* container, const DrawnTrack& drawn,
                        bool convertAudio) {
  const CONVERTEDAUDIO::Target target = CONVERTEDAUDIO::TargetFor(container);
  CarriedPlan plan;
  std::vector<CarriedStream> sound, subtitles, attachments;
  for (const StoredStream& stream : source.Others) {
    switch (stream.What) {
      case Kind::Sound:
        if (!keeping.Sound.Keeps(stream.Track)) break;
        if (Holds(container, stream)) {
          sound.push_back({stream});
        } else if (convertAudio && CONVERTEDAUDIO::Holds(container, target)) {
          sound.push_back(
              {stream, CarriedStream::Way::Converted, CONVERTEDAUDIO::TargetCodec(target)});
          plan.Notes.push_back("Sound " + std::to_string(stream.Track) + " (" + CodecName(stream) +
                               ") is converted to " + CONVERTEDAUDIO::TargetName(target) +
                               ", which " + ContainerWords(container) + " can hold");
        } else {
          plan.Notes.push_back(LeftOut(stream, container));
        }
        break;
      case Kind::Subtitles:
        if (stream.Track == drawn.Track) {
          // In the picture already, unless only its forced pictures are.
          if (drawn.ForcedOnly && IsPictureCodec(stream) && Holds(container, stream))
            subtitles.push_back(
                {stream, CarriedStream::Way::WithoutForced, stream.Parameters->codec_id});
          break;
        }
        if (!keeping.Subtitles.Keeps(stream.Track)) break;
        if (const AVCodecID kept = stream.Parameters != nullptr
                                       ? SOFTTEXT::KeptTextCodec(container, *stream.Parameters)
                                       : AV_CODEC_ID_NONE;
            kept != AV_CODEC_ID_NONE)
          subtitles.push_back({stream,
                               kept == stream.Parameters->codec_id ? CarriedStream::Way::AsStored
                                                                   : CarriedStream::Way::AsText,
                               kept});
        else
          plan.Notes.push_back(LeftOut(stream, container));
        break;
      case Kind::Attachment:
        if (!keeping.Attachments) break;
        if (HoldsAttachments(container))
          attachments.push_back({stream, CarriedStream::Way::Attachment});
        else
          plan.Notes.push_back("The attachment '" + TagValue(stream.AllTags, "filename") +
                               "' can't be stored in " + ContainerWords(container) +
                               "; it is left out");
        break;
      case Kind::Other:
        plan.Notes.push_back("Stream " + std::to_string(stream.Index) + " (" + CodecName(stream) +
                             ") is not a kind of stream that is kept; it is left out");
        break;
    }
  }
  for (auto* kind : {&sound, &subtitles, &attachments})
    plan.Streams.insert(plan.Streams.end(), kind->begin(), kind->end());
  plan.Chapters = keeping.Chapters && !source.Chapters.empty();
  plan.FileTags = keeping.Chapters;
  return plan;
}

std::string StreamName(const StoredStream& stream, int32_t disposition) {
  std::string name = KindWord(stream.What);
  if (stream.What == Kind::Attachment)
    return name + " '" + TagValue(stream.AllTags, "filename") + "'";
  if (stream.Track > 0) name += " " + std::to_string(stream.Track);
  if (!stream.Language.empty() && stream.Language != "und") name += " " + stream.Language;
  if (!stream.Title.empty()) name += " '" + stream.Title + "'";
  static const std::pair<int, const char*> kMarks[] = {
      {AV_DISPOSITION_DEFAULT, "default"},
      {AV_DISPOSITION_FORCED, "forced"},
      {AV_DISPOSITION_COMMENT, "commentary"},
      {AV_DISPOSITION_HEARING_IMPAIRED, "hearing impaired"},
      {AV_DISPOSITION_VISUAL_IMPAIRED, "visually impaired"},
      {AV_DISPOSITION_ORIGINAL, "original"}};
  std::string marks;
  for (const auto& [mark, word] : kMarks)
    if (disposition & mark) marks += std::string(marks.empty() ? "" : ", ") + word;
  return marks.empty() ? name : name + " (" + marks + ")";
}

// One carried stream in the output.
struct CarriedWriter::Carried {
  CarriedStream Plan;
  AVStream* Out = nullptr;
  AVRational SourceBase{1, 1};
  int64_t Origin = 0;  // the source's start on the stream's clock
  RISINGTIMES::RisingTimes Times;
  AUDIOBITSTREAM::AudioBitstream Bitstream;
  SOUNDCLOCK::SoundClock Clock;
  int64_t LastSubtitleTime = AV_NOPTS_VALUE;
  int64_t MendedSubtitles = 0;
  std::unique_ptr<SOFTTEXT::TextConversion> Text;
  std::unique_ptr<FORCEDSETS::SoftCopy> Soft;
  std::unique_ptr<CONVERTEDAUDIO::ConvertedAudio> Sound;
  std::vector<uint8_t> SoftBytes;  // reused: grows only
};

CarriedWriter::CarriedWriter() = default;

CarriedWriter::~CarriedWriter() { av_packet_free(&packet_); }

std::string CarriedWriter::AddStreams(AVFormatContext* context, CarriedPlan& plan,
                                      const VELAVCODEC::SourceStreams& source,
                                      double originSeconds) {
  context_ = context;
  packet_ = av_packet_alloc();
  if (packet_ == nullptr) return "memory";
  std::vector<CarriedStream> added;
  for (const CarriedStream& planned : plan.Streams) {
    const StoredStream& stored = planned.Source;
    if (stored.Parameters == nullptr) continue;
    auto carried = std::make_unique<Carried>();
    carried->Plan = planned;
    if (planned.How == CarriedStream::Way::Attachment) {
      if (!AddAttachment(context, stored)) return "memory";
      added.push_back(planned);
      continue;
    }
    carried->SourceBase = AVRational{stored.TimeBaseNum, stored.TimeBaseDen};
    const std::string problem =
        Valid(carried->SourceBase) ? SetUpConversion(*carried) : std::string("it has no clock");
    if (!problem.empty()) {
      plan.Notes.push_back(NotKept(stored, problem));
      continue;
    }
    AVStream* out = avformat_new_stream(context, nullptr);
    if (out == nullptr) return "memory";
    if (carried->Text) {
      if (!carried->Text->FillParameters(out->codecpar)) return "memory";
      out->time_base = carried->Text->TimeBase();
    } else if (carried->Sound) {
      if (!carried->Sound->FillParameters(out->codecpar)) return "memory";
      out->time_base = carried->Sound->TimeBase();
    } else {
      if (avcodec_parameters_copy(out->codecpar, stored.Parameters) < 0) return "memory";
      out->codecpar->codec_tag = 0;
      out->time_base = carried->SourceBase;
    }
    carried->Origin =
        std::llround(originSeconds * carried->SourceBase.den / carried->SourceBase.num);
    CopyTags(&out->metadata, stored.AllTags);
    if (!stored.Title.empty()) av_dict_set(&out->metadata, "handler_name", stored.Title.c_str(), 0);
    out->disposition = stored.Disposition & ~AV_DISPOSITION_ATTACHED_PIC;
    // The chosen sound is the default one.
    if (stored.What == Kind::Sound) out->disposition &= ~AV_DISPOSITION_DEFAULT;
    // What is left of the drawn track is no longer its forced pictures.
    if (planned.How == CarriedStream::Way::WithoutForced)
      out->disposition &= ~AV_DISPOSITION_FORCED;
    carried->Out = out;
    carried_.push_back(std::move(carried));
    added.push_back(planned);
  }
  plan.Streams = std::move(added);
  if (plan.FileTags) CopyTags(&context->metadata, source.FileTags);
  if (plan.Chapters) return AddChapters(context, source.Chapters, originSeconds);
  return {};
}

// A file the source carries; a cover is a picture stream there and a file
// in Matroska.
bool CarriedWriter::AddAttachment(AVFormatContext* context, const StoredStream& stored) {
  AVStream* out = avformat_new_stream(context, nullptr);
  if (out == nullptr || avcodec_parameters_copy(out->codecpar, stored.Parameters) < 0) return false;
  out->codecpar->codec_tag = 0;
  out->codecpar->codec_type = AVMEDIA_TYPE_ATTACHMENT;
  if (stored.Picture != nullptr && !CopyBytes(out->codecpar, stored.Picture, stored.PictureSize))
    return false;
  CopyTags(&out->metadata, stored.AllTags);
  if (TagValue(stored.AllTags, "filename").empty())
    av_dict_set(&out->metadata, "filename", ("attachment" + std::to_string(stored.Index)).c_str(),
                0);
  if (TagValue(stored.AllTags, "mimetype").empty())
    av_dict_set(&out->metadata, "mimetype", "application/octet-stream", 0);
  return true;
}

std::string CarriedWriter::SetUpConversion(Carried& carried) {
  const StoredStream& stored = carried.Plan.Source;
  switch (carried.Plan.How) {
    case CarriedStream::Way::AsText:
      carried.Text = std::make_unique<SOFTTEXT::TextConversion>();
      return carried.Text->Open(*stored.Parameters, carried.SourceBase,
                                AVCodecID(carried.Plan.Codec));
    case CarriedStream::Way::WithoutForced:
      carried.Soft = std::make_unique<FORCEDSETS::SoftCopy>(
          stored.Parameters->codec_id == AV_CODEC_ID_DVD_SUBTITLE
              ? FORCEDSETS::SoftCopy::Codec::VobSub
              : FORCEDSETS::SoftCopy::Codec::Pgs);
      return {};
    case CarriedStream::Way::Converted:
      carried.Sound = std::make_unique<CONVERTEDAUDIO::ConvertedAudio>();
      return carried.Sound->Open(*stored.Parameters, carried.SourceBase,
                                 carried.Plan.Codec == AV_CODEC_ID_AAC
                                     ? CONVERTEDAUDIO::Target::Aac
                                     : CONVERTEDAUDIO::Target::Opus,
                                 (context_->oformat->flags & AVFMT_GLOBALHEADER) != 0);
    case CarriedStream::Way::AsStored:
    case CarriedStream::Way::Attachment:
      break;
  }
  return {};
}

std::string CarriedWriter::AddChapters(AVFormatContext* context,
                                       const std::vector<VELAVCODEC::SourceChapter>& chapters,
                                       double originSeconds) {
  for (const VELAVCODEC::SourceChapter& chapter : chapters) {
    const AVRational base{chapter.TimeBaseNum, chapter.TimeBaseDen};
    if (!Valid(base)) continue;
    const int64_t origin = std::llround(originSeconds * base.den / base.num);
    const int64_t start = FromOrigin(chapter.Start, origin);
    const int64_t end = FromOrigin(chapter.End, origin);
    if (start == AV_NOPTS_VALUE || end == AV_NOPTS_VALUE || end <= 0 || end < start) continue;
    auto* copied = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
    if (copied == nullptr) return "memory";
    copied->id = chapter.Id;
    copied->time_base = base;
    copied->start = std::max<int64_t>(start, 0);
    copied->end = end;
    CopyTags(&copied->metadata, chapter.AllTags);
    if (av_dynarray_add_nofree(&context->chapters, reinterpret_cast<int*>(&context->nb_chapters),
                               copied) < 0) {
      av_dict_free(&copied->metadata);
      av_free(copied);
      return "memory";
    }
  }
  return {};
}

std::vector<std::string> CarriedWriter::Names() const {
  std::vector<std::string> names;
  for (const auto& carried : carried_) {
    std::string name = StreamName(carried->Plan.Source, carried->Out->disposition);
    if (carried->Soft) name += " without its forced pictures";
    names.push_back(std::move(name));
  }
  return names;
}

std::vector<int32_t> CarriedWriter::Taken() const {
  std::vector<int32_t> taken;
  for (const auto& carried : carried_)
    if (carried->Out != nullptr) taken.push_back(carried->Plan.Source.Index);
  return taken;
}

bool CarriedWriter::Write(int32_t stream, const AVPacket* source, const uint8_t* data, int32_t size,
                          int64_t pts, int64_t dts, int64_t duration, bool key, const Mux& mux) {
  auto found = std::find_if(carried_.begin(), carried_.end(), [stream](const auto& carried) {
    return carried->Out != nullptr && carried->Plan.Source.Index == stream;
  });
  if (found == carried_.end() || size <= 0) return true;
  Carried& carried = **found;
  AVPacket* out = packet_;
  // With what the source says beside the bytes (samples to skip, ...).
  if (source != nullptr && av_packet_copy_props(out, source) < 0) return false;
  if (source != nullptr && source->buf != nullptr && source->data == data) {
    out->buf = av_buffer_ref(source->buf);
    if (out->buf == nullptr) return false;
  }
  out->data = const_cast<uint8_t*>(data);  // only read
  out->size = size;
  out->pos = -1;
  const AVRational base = carried.Out->time_base;
  // A conversion takes the times on its source's clock.
  const AVRational to = carried.Text || carried.Sound ? carried.SourceBase : base;
  const auto moved = [&](int64_t time) {
    const int64_t from = FromOrigin(time, carried.Origin);
    return from == AV_NOPTS_VALUE ? from : av_rescale_q(from, carried.SourceBase, to);
  };
  out->pts = moved(pts);
  out->dts = moved(dts);
  out->duration = duration > 0 ? av_rescale_q(duration, carried.SourceBase, to) : 0;
  out->flags = key ? AV_PKT_FLAG_KEY : 0;
  out->stream_index = carried.Out->index;
  if (carried.Sound) return WriteConverted(carried, out, mux);
  if (carried.Plan.Source.What == Kind::Sound) return WriteSound(carried, out, mux);
  if (carried.Text) return WriteText(carried, out, mux);
  if (carried.Soft) return WriteSoftPictures(carried, out, mux);
  return WriteSubtitle(carried, out, mux);
}

// The conversion takes the times on the source's clock and gives them on
// its own.
bool CarriedWriter::WriteText(Carried& carried, AVPacket* out, const Mux& mux) {
  const bool written = carried.Text->Write(*out, TextSink(carried, mux));
  av_packet_unref(out);
  return written;
}

SOFTTEXT::TextConversion::Sink CarriedWriter::TextSink(Carried& carried, const Mux& mux) {
  return [this, &carried, &mux](AVPacket* converted) {
    av_packet_rescale_ts(converted, carried.Text->TimeBase(), carried.Out->time_base);
    converted->stream_index = carried.Out->index;
    return WriteSubtitle(carried, converted, mux);
  };
}

// What the soft copy gives goes in the packet's place, with its times.
bool CarriedWriter::WriteSoftPictures(Carried& carried, AVPacket* out, const Mux& mux) {
  const FORCEDSETS::SoftCopy::Outcome outcome =
      carried.Soft->Take(out->data, size_t(out->size), carried.SoftBytes);
  av_buffer_unref(&out->buf);
  if (outcome == FORCEDSETS::SoftCopy::Outcome::Failed) return false;
  if (outcome == FORCEDSETS::SoftCopy::Outcome::LeftOut || carried.SoftBytes.empty()) {
    av_packet_unref(out);
    return true;
  }
  // The muxer copies bytes it is not given a reference to.
  out->data = carried.SoftBytes.data();
  out->size = int(carried.SoftBytes.size());
  return WriteSubtitle(carried, out, mux);
}

bool CarriedWriter::Finish(const Mux& mux) {
  for (const auto& carried : carried_) {
    if (carried->Text && !carried->Text->Finish(TextSink(*carried, mux))) return false;
    if (carried->Sound && !carried->Sound->Finish(ConvertedSink(*carried, mux))) return false;
  }
  return true;
}

std::vector<std::string> CarriedWriter::Report() const {
  std::vector<std::string> lines;
  for (const auto& carried : carried_) {
    if (!carried->Soft) continue;
    const int64_t burned = carried->Soft->BurnedSets();
    const int64_t kept = carried->Soft->KeptSets();
    lines.push_back("Subtitles " + std::to_string(carried->Plan.Source.Track) + ": " +
                    std::to_string(burned) + (burned == 1 ? " set" : " sets") +
                    " with forced pictures burned, " + std::to_string(kept) +
                    (kept == 1 ? " set" : " sets") + " kept soft without them");
  }
  return lines;
}

bool CarriedWriter::Refused(int result) {
  if (result >= 0) return false;
  ++leftOut_;
  return true;
}

// Whether the file can still be written after the muxer refused a packet.
bool CarriedWriter::Writable() const {
  return context_ == nullptr || context_->pb == nullptr || context_->pb->error == 0;
}

bool CarriedWriter::WriteSound(Carried& carried, AVPacket* out, const Mux& mux) {
  const AVCodecParameters& parameters = *carried.Out->codecpar;
  // The muxer chose the stream's clock when the header was written.
  if (!carried.Clock.Started())
    carried.Clock.Start(carried.SourceBase, carried.Out->time_base, parameters.sample_rate);
  const int64_t step = carried.Clock.PlacePacket(*out, parameters);
  return MuxSound(carried, out, step, mux);
}

// Times rise in every stream of the file; sound with a header on each
// packet loses it on the way.
bool CarriedWriter::MuxSound(Carried& carried, AVPacket* out, int64_t step, const Mux& mux) {
  const bool hasDts = out->dts != AV_NOPTS_VALUE;
  int64_t time = hasDts ? out->dts : out->pts;
  const int64_t was = time;
  if (carried.Times.Place(time, step) == RISINGTIMES::RisingTimes::Verdict::Dropped) {
    av_packet_unref(out);
    return true;
  }
  if (was != AV_NOPTS_VALUE) {
    if (hasDts && out->pts != AV_NOPTS_VALUE) out->pts += time - was;
    (hasDts ? out->dts : out->pts) = time;
  }
  bool writable = true;
  carried.Bitstream.Write(out, *carried.Out->codecpar, carried.Out->time_base,
                          [&](AVPacket* filtered) {
                            if (Refused(mux(filtered))) writable = Writable();
                            return writable;
                          });
  av_packet_unref(out);
  return writable;
}

bool CarriedWriter::WriteConverted(Carried& carried, AVPacket* out, const Mux& mux) {
  const bool written = carried.Sound->Write(*out, ConvertedSink(carried, mux));
  av_packet_unref(out);
  return written;
}

CONVERTEDAUDIO::ConvertedAudio::Sink CarriedWriter::ConvertedSink(Carried& carried,
                                                                  const Mux& mux) {
  return [this, &carried, &mux](AVPacket* converted) {
    av_packet_rescale_ts(converted, carried.Sound->TimeBase(), carried.Out->time_base);
    converted->stream_index = carried.Out->index;
    return MuxSound(carried, converted, std::max<int64_t>(converted->duration, 1), mux);
  };
}

// Subtitles may share a time (two lines shown at once); they must not go
// back.
bool CarriedWriter::WriteSubtitle(Carried& carried, AVPacket* out, const Mux& mux) {
  int64_t& time = out->dts != AV_NOPTS_VALUE ? out->dts : out->pts;
  if (time != AV_NOPTS_VALUE && carried.LastSubtitleTime != AV_NOPTS_VALUE &&
      time < carried.LastSubtitleTime) {
    if (out->pts != AV_NOPTS_VALUE && &time != &out->pts)
      out->pts += carried.LastSubtitleTime - time;
    time = carried.LastSubtitleTime;
    ++carried.MendedSubtitles;
  }
  if (time != AV_NOPTS_VALUE) carried.LastSubtitleTime = time;
  const bool writable = !Refused(mux(out)) || Writable();
  av_packet_unref(out);
  return writable;
}

int64_t CarriedWriter::LeftOut() const {
  int64_t leftOut = leftOut_;
  for (const auto& carried : carried_)
    leftOut += carried->Times.Dropped() + carried->Bitstream.Refused() +
               (carried->Sound ? carried->Sound->Refused() : 0);
  return leftOut;
}

int64_t CarriedWriter::Mended() const {
  int64_t mended = 0;
  for (const auto& carried : carried_) mended += carried->Times.Mended() + carried->MendedSubtitles;
  return mended;
}

}  // namespace MEDIAOUTPUT
