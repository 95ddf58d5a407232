// Probing a source, and opening its chosen streams.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include "media/VelAvCodec.h"
#include "media/private/AviAudioFormat.h"
#include "media/private/EntryPoints.h"
#include "media/private/HdrProbe.h"
#include "media/private/PictureDecoder.h"
#include "media/private/PictureScaler.h"
#include "media/private/PlanarConverter.h"
#include "media/private/StreamReport.h"

namespace VELAVCODEC {
namespace {

constexpr size_t kFirstAudioBufferSize = 256 * 1024;  // grows with larger packets
constexpr size_t kPixelAlignment = 64;
constexpr size_t kScalerSlack = 256;  // vector stores may run past a row's end

bool Known(int64_t time) { return time != AV_NOPTS_VALUE; }

bool Valid(AVRational rate) { return rate.num > 0 && rate.den > 0; }

double StartOf(const AVStream* stream) {
  if (!Known(stream->start_time)) return 0.0;
  return double(stream->start_time) * stream->time_base.num / stream->time_base.den;
}

// A buffer whose byte at `offset` lies on a kPixelAlignment boundary.
uint8_t* AllocateAligned(std::unique_ptr<uint8_t[]>& storage, size_t size, size_t offset) {
  storage.reset(new (std::nothrow) uint8_t[size + kPixelAlignment + kScalerSlack]);
  if (!storage) return nullptr;
  const auto base = reinterpret_cast<uintptr_t>(storage.get()) + offset;
  const size_t shift = (kPixelAlignment - base % kPixelAlignment) % kPixelAlignment;
  return storage.get() + shift;
}

// The stream's real base rate, unless it is far off the average rate: a base
// rate twice the average or more is a field rate or a container's clock (1000
// for millisecond timestamps), not a picture rate.
AVRational ChooseFrameRate(AVRational base, AVRational average) {
  if (Valid(base) && Valid(average)) {
    const double ratio = av_q2d(base) / av_q2d(average);
    if (ratio > 1.9 || ratio < 0.5) return average;
  }
  if (Valid(base)) return base;
  if (Valid(average)) return average;
  return AVRational{25, 1};
}

// One core is left to the compressor's own thread, which encodes while the
// next picture is decoded: on two cores the decoder's extra threads only
// switched in and out. TOLVANE_DECODER_THREADS (1 to 64) sets the count, to
// check that it changes nothing of the file.
int DecoderThreads() {
  if (const char* asked = std::getenv("TOLVANE_DECODER_THREADS")) {
    const std::string_view text(asked);
    int count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (error == std::errc() && end == text.data() + text.size() && count >= 1 && count <= 64)
      return count;
  }
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 2 ? int(cores - 1) : 1;
}

}  // namespace

bool VelAvCodec::PreOpen(const std::string& fileName) {
  if (FormatContext != nullptr) Close();
  if (!ReadStreams(fileName)) {
    Close();
    return false;
  }
  Info = ReportFormat(*Api, FormatContext, 0, fileName);
  ClassifyStreams();
  if (VideoStreamCount == 0) {
    ErrorText = "[VelAvCodec::PreOpen] No video stream found...";
    Close();
    return false;
  }
  FileName = fileName;
  return true;
}

bool VelAvCodec::ReadStreams(const std::string& fileName) {
  OpenFailure.clear();
  if (const int opened =
          Api->avformat_open_input(&FormatContext, fileName.c_str(), nullptr, nullptr);
      opened != 0) {
    ErrorText = "[VelAvCodec::PreOpen] Can't open input file...";
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    Api->av_strerror(opened, reason, sizeof reason);
    OpenFailure = reason;
    return false;
  }
  if (Api->avformat_find_stream_info(FormatContext, nullptr) < 0) {
    ErrorText = "[VelAvCodec::PreOpen] Can't read streams info...";
    return false;
  }
  return true;
}

void VelAvCodec::ClassifyStreams() {
  for (unsigned i = 0; i < FormatContext->nb_streams && i < 32; ++i) {
    const AVMediaType type = FormatContext->streams[i]->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_VIDEO) {
      ++VideoStreamCount;
      StreamKinds[i] = KindVideo;
    } else if (type == AVMEDIA_TYPE_AUDIO) {
      ++AudioStreamCount;
      StreamKinds[i] = KindAudio;
    } else if (type == AVMEDIA_TYPE_SUBTITLE) {
      SubtitleStreams.push_back(int32_t(i));
    }
  }
}

const AVCodecParameters* VelAvCodec::AudioParameters() const {
  if (FormatContext == nullptr || AudioStream < 0) return nullptr;
  return FormatContext->streams[AudioStream]->codecpar;
}

const AVCodecParameters* VelAvCodec::VideoParameters() const {
  if (FormatContext == nullptr || VideoStream < 0) return nullptr;
  return FormatContext->streams[VideoStream]->codecpar;
}

double VelAvCodec::AverageFramesPerSecond() const {
  if (FormatContext == nullptr || VideoStream < 0) return FramesPerSecond;
  const AVRational average = FormatContext->streams[VideoStream]->avg_frame_rate;
  return Valid(average) ? av_q2d(average) : FramesPerSecond;
}

SourceStreams VelAvCodec::Streams() const {
  SourceStreams streams;
  streams.Video = *this;
  streams.Audio = *this;
  streams.HasAudio = AudioStreamCount > 0 && AudioStream >= 0;
  streams.VideoTimeBaseNum = VideoTimeBaseNum;
  streams.VideoTimeBaseDen = VideoTimeBaseDen;
  streams.AudioTimeBaseNum = AudioTimeBaseNum;
  streams.AudioTimeBaseDen = AudioTimeBaseDen;
  streams.AverageFramesPerSecond = AverageFramesPerSecond();
  streams.VideoParameters = VideoParameters();
  streams.AudioParameters = AudioParameters();
  streams.VideoRecord = RecordOf(VideoStream);
  streams.AudioRecord = RecordOf(AudioStream);
  streams.Others = OtherStreams();
  streams.Chapters = Chapters();
  if (FormatContext != nullptr) streams.FileTags = TagsOf(FormatContext->metadata);
  return streams;
}

// Every entry, in the dictionary's order.
Tags VelAvCodec::TagsOf(const AVDictionary* dictionary) const {
  Tags tags;
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = Api->av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr)
    tags.emplace_back(entry->key, entry->value != nullptr ? entry->value : "");
  return tags;
}

StoredStream VelAvCodec::RecordOf(int index) const {
  StoredStream record;
  if (FormatContext == nullptr || index < 0 || unsigned(index) >= FormatContext->nb_streams)
    return record;
  const AVStream* stream = FormatContext->streams[index];
  const AVMediaType type = stream->codecpar->codec_type;
  record.Index = int32_t(index);
  switch (type) {
    case AVMEDIA_TYPE_AUDIO:
      record.What = StoredStream::Kind::Sound;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      record.What = StoredStream::Kind::Subtitles;
      break;
    case AVMEDIA_TYPE_ATTACHMENT:
      record.What = StoredStream::Kind::Attachment;
      break;
    default:
      break;
  }
  if (type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_SUBTITLE) {
    for (int i = 0; i <= index; ++i)
      record.Track += FormatContext->streams[i]->codecpar->codec_type == type;
  }
  if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && stream->attached_pic.size > 0) {
    record.What = StoredStream::Kind::Attachment;
    record.Picture = stream->attached_pic.data;
    record.PictureSize = stream->attached_pic.size;
  }
  record.Parameters = stream->codecpar;
  record.TimeBaseNum = stream->time_base.num;
  record.TimeBaseDen = stream->time_base.den;
  record.StartTime = Known(stream->start_time) ? stream->start_time : kNoTime;
  record.Disposition = stream->disposition;
  record.AllTags = TagsOf(stream->metadata);
  for (const auto& [name, value] : record.AllTags) {
    if (name == "language") record.Language = value;
    if (name == "title") record.Title = value;
  }
  return record;
}

std::vector<OtherStream> VelAvCodec::OtherStreams() const {
  std::vector<OtherStream> others;
  if (FormatContext == nullptr) return others;
  for (unsigned i = 0; i < FormatContext->nb_streams; ++i) {
    if (int(i) == VideoStream || int(i) == AudioStream) continue;
    others.push_back(RecordOf(int(i)));
  }
  return others;
}

std::vector<SourceChapter> VelAvCodec::Chapters() const {
  std::vector<SourceChapter> chapters;
  if (FormatContext == nullptr) return chapters;
  for (unsigned i = 0; i < FormatContext->nb_chapters; ++i) {
    const AVChapter* chapter = FormatContext->chapters[i];
    if (chapter == nullptr || chapter->time_base.num <= 0 || chapter->time_base.den <= 0) continue;
    chapters.push_back({chapter->id, chapter->time_base.num, chapter->time_base.den, chapter->start,
                        chapter->end, TagsOf(chapter->metadata)});
  }
  return chapters;
}

bool VelAvCodec::Open(const OpenSetup& setup) {
  AudioForAvi = setup.AudioForAvi;
  Geometry = setup.Geometry;
  const bool ok = OpenStreams();
  if (!ok) Close();
  return ok;
}

bool VelAvCodec::OpenStreams() {
  if (FormatContext == nullptr || VideoStream == -1 ||
      (AudioStream == -1 && AudioStreamCount > 0)) {
    ErrorText = "[VelAvCodec::Open] No usable streams...";
    return false;
  }
  StopReadingAhead();
  ReleaseBuffers();  // a second Open starts afresh
  ReleaseCodecs();
  InputEnded = ReadFailed = false;
  InputFailed = false;
  damagedPictures_ = damagedAudio_ = 0;
  if (!OpenDecoder(VideoStream, VideoCodecContext, VideoCodec, true)) return false;
  SetVideoFields();
  ReadPictureForm();
  if (!ApplyGeometry()) return false;
  if (!AllocateVideoBuffers()) return false;
  if (AudioStream != -1) {
    if (!OpenDecoder(AudioStream, AudioCodecContext, AudioCodec, false)) return false;
    if (!SetAudioFields()) return false;
  }
  Packet = Api->av_packet_alloc();
  if (Packet == nullptr) return FailAllocation();
  AudioBuffer.resize(kFirstAudioBufferSize);
  StartReader();
  VideoDecoding->Start({VideoCodecContext, DecodedFrame, Packet, &damagedPictures_});
  return true;
}

bool VelAvCodec::OpenDecoder(int stream, AVCodecContext*& context, const AVCodec*& codec,
                             bool video) {
  const AVCodecParameters* parameters = FormatContext->streams[stream]->codecpar;
  codec = Api->avcodec_find_decoder(parameters->codec_id);
  if (codec == nullptr) {
    ErrorText = video ? "[VelAvCodec::Open] Can't find video codec..."
                      : "[VelAvCodec::Open] Can't find audio codec...";
    return false;
  }
  context = Api->avcodec_alloc_context3(codec);
  bool opened = context != nullptr && Api->avcodec_parameters_to_context(context, parameters) >= 0;
  if (opened && video) {
    // Frame threads hand each picture out one packet later per thread, and
    // the sound read meanwhile would go into the file earlier: the file
    // would differ with the machine's cores. Slices change no order.
    context->thread_count = DecoderThreads();
    context->thread_type = FF_THREAD_SLICE;
    opened = context->width > 0 && context->height > 0;
  }
  if (opened) opened = Api->avcodec_open2(context, codec, nullptr) >= 0;
  if (!opened) {
    ErrorText = video ? "[VelAvCodec::Open] Can't open video codec..."
                      : "[VelAvCodec::Open] Can't open audio codec...";
  }
  return opened;
}

void VelAvCodec::SetVideoFields() {
  const AVStream* stream = FormatContext->streams[VideoStream];
  Width = VideoCodecContext->width;
  Height = VideoCodecContext->height;
  FrameImageSize = int32_t(BMPFRAME::ImageBytes(Width, Height));
  const int64_t start = FormatContext->start_time;
  const int64_t duration = FormatContext->duration;
  StartSeconds = Known(start) ? double(start) * 0.000001 : 0.0;
  DurationSeconds = Known(duration) ? double(duration) * 0.000001 : StartSeconds + 1.0;
  LengthKnown = Known(duration);
  AVRational rate = ChooseFrameRate(stream->r_frame_rate, stream->avg_frame_rate);
  VariableRate = Valid(stream->avg_frame_rate) &&
                 std::fabs(av_q2d(stream->avg_frame_rate) / av_q2d(rate) - 1.0) > 0.001;
  VideoStartSeconds = StartOf(stream);
  VideoTimeBaseNum = stream->time_base.num;
  VideoTimeBaseDen = stream->time_base.den;
  VideoRate = rate.num;
  VideoScale = rate.den;
  FramesPerSecond = double(VideoRate) / VideoScale;
  // The container's duration is already a length: the start time is not
  // subtracted again.
  const double length = Known(duration) ? DurationSeconds : DurationSeconds - StartSeconds;
  FrameCount = int32_t(length * FramesPerSecond);
}

// The HDR metadata is looked for only where the transfer says HDR: the
// look costs a second opening of the file.
void VelAvCodec::ReadPictureForm() {
  const AVCodecContext* context = VideoCodecContext;
  PICTURECOLOUR::PictureForm& form = Form;
  form = {};
  const AVPixFmtDescriptor* pixels = Api->av_pix_fmt_desc_get(context->pix_fmt);
  if (pixels != nullptr) {
    form.BitDepth = std::clamp(pixels->comp[0].depth, 1, 16);
    constexpr uint64_t kNotYuv = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL |
                                 AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL;
    form.Yuv = (pixels->flags & kNotYuv) == 0 && pixels->nb_components >= 3;
    form.Subsampled420 = pixels->log2_chroma_w == 1 && pixels->log2_chroma_h == 1;
  }
  form.Primaries = context->color_primaries;
  form.Transfer = context->color_trc;
  form.Matrix = context->colorspace;
  form.FullRange = context->color_range == AVCOL_RANGE_JPEG;
  if (form.IsHdr()) form.Hdr = ReadFirstHdrMetadata(*Api, FileName, VideoStream);
}

bool VelAvCodec::AllocateVideoBuffers() {
  DecodedFrame = Api->av_frame_alloc();
  PlanarFrame = Api->av_frame_alloc();
  if (DecodedFrame == nullptr || PlanarFrame == nullptr ||
      !Frame.Allocate(Width, Height, kPixelAlignment, kScalerSlack))
    return FailAllocation();
  const size_t frameSize = Frame.size() + kScalerSlack;
  // Odd sizes never take the planar path, so they need no converter.
  if (Width % 2 == 0 && Height % 2 == 0 && !Converter->Prepare(Width, Height))
    return FailAllocation();
  if (Frame.Stride() % 16 == 0) {
    // The scaler writes the rows bottom-up straight into the frame buffer.
    if (!Scaler->SetTarget(Frame.data(), frameSize, Frame.Row(Height - 1), -int(Frame.Stride()),
                           Width, Height))
      return FailAllocation();
    return true;
  }
  // The scaler writes rows of other strides more slowly and with a warning,
  // so those pictures go through an aligned top-down copy.
  RgbStride =
      int32_t((size_t(Width) * 3 + kPixelAlignment - 1) / kPixelAlignment * kPixelAlignment);
  const size_t rgbSize = size_t(RgbStride) * size_t(Height);
  RgbBuffer = AllocateAligned(RgbStorage, rgbSize, 0);
  if (RgbBuffer == nullptr ||
      !Scaler->SetTarget(RgbBuffer, rgbSize, RgbBuffer, RgbStride, Width, Height))
    return FailAllocation();
  return true;
}

bool VelAvCodec::FailAllocation() {
  ErrorText = "[VelAvCodec::Open] Can't alocate memory for video frames...";
  return false;
}

bool VelAvCodec::SetAudioFields() {
  const AVStream* stream = FormatContext->streams[AudioStream];
  const bool fromAvi = std::strcmp(FormatContext->iformat->name, "avi") == 0;
  AudioTimeBaseNum = stream->time_base.num;
  AudioTimeBaseDen = stream->time_base.den;
  const AviAudioFit fit = DescribeAviAudio(*Api, stream, fromAvi, AudioExtraBuffer, *this);
  if (!AudioForAvi) return true;
  switch (fit) {
    case AviAudioFit::Fits:
      break;
    case AviAudioFit::NoFormatTag:
      ErrorText = "[VelAvCodec::Open] Audio codec can't be stored in an AVI file...";
      return false;
    case AviAudioFit::NoParameters:
      ErrorText = "[VelAvCodec::Open] Audio stream has no sample rate or no channels...";
      return false;
    case AviAudioFit::Untimed:
      ErrorText =
          "[VelAvCodec::Open] Audio codec can't be timed in an AVI file: its packets have no "
          "fixed duration...";
      return false;
  }
  SetAudioTiming();
  return true;
}

void VelAvCodec::SetAudioTiming() {
  const AVStream* audio = FormatContext->streams[AudioStream];
  const AVStream* video = FormatContext->streams[VideoStream];
  double length = -1.0;
  if (Known(audio->duration))
    length = double(audio->duration) * audio->time_base.num / audio->time_base.den;
  else if (Known(FormatContext->duration))
    length = double(FormatContext->duration) * 0.000001;
  // The output's video starts with the first picture, so the audio's start
  // counts from the video stream's. Audio that starts earlier loses the
  // packets that end before the first picture (GetNextData skips them).
  const double lead = StartOf(audio) - StartOf(video);
  AudioStart = lead > 0 ? int32_t(ToAudioUnits(*this, lead)) : 0;
  if (lead < 0 && length > 0) length = std::max(length + lead, 0.0);
  AudioLength = length > 0 ? int32_t(ToAudioUnits(*this, length)) : 0;
  if (lead < 0) SetVideoStartForAudioLead(-lead);
}

// What is left of the audio's lead once the packets before the first picture
// are skipped: less than one packet, which AVI can only state in whole
// pictures of delay for the video.
void VelAvCodec::SetVideoStartForAudioLead(double lead) {
  const AVCodecParameters* codec = FormatContext->streams[AudioStream]->codecpar;
  double packet = 0.0;
  if (!AudioIsPcm && AudioSampleSize == 0 && AudioRate > 0)
    packet = double(AudioScale) / AudioRate;
  else if (AudioIsPcm && codec->sample_rate > 0)
    packet = 1.0 / codec->sample_rate;  // PCM packets are cut to the sample
  const double left = packet > 0 ? std::fmod(lead, packet) : 0.0;
  VideoStartFrames = int32_t(std::llround(left * FramesPerSecond));
}

}  // namespace VELAVCODEC
