#include "media/VelAvCodec.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "media/LibraryLog.h"
#include "media/private/EntryPoints.h"
#include "media/private/LibraryBinding.h"
#include "media/private/PacketRouter.h"
#include "media/private/PictureDecoder.h"
#include "media/private/PictureScaler.h"
#include "media/private/PlanarConverter.h"
#include "media/private/ReadAheadQueue.h"
#include "media/private/SourceReader.h"
#include "media/private/ToneMapper.h"

namespace VELAVCODEC {
namespace {

// Index of the (k+1)-th stream of the kind, or -1.
int NthStreamOfKind(const int32_t (&kinds)[32], int32_t kind, int k) {
  for (int i = 0, seen = 0; i < 32; ++i)
    if (kinds[i] == kind && seen++ == k) return i;
  return -1;
}

}  // namespace

VelException::VelException(const char* text) {
  std::memset(Message, 0, sizeof(Message));
  std::strncpy(Message, text, sizeof(Message) - 1);
}

VelAvCodec::LibraryNames VelAvCodec::DefaultLibraryNames() {
  auto soname = [](const char* stem, int major) {
    return std::string(stem) + ".so." + std::to_string(major);
  };
  return {soname("libavcodec", LIBAVCODEC_VERSION_MAJOR),
          soname("libavformat", LIBAVFORMAT_VERSION_MAJOR),
          soname("libavutil", LIBAVUTIL_VERSION_MAJOR),
          soname("libswscale", LIBSWSCALE_VERSION_MAJOR)};
}

VelAvCodec::VelAvCodec(const std::string& avcodec, const std::string& avformat,
                       const std::string& avutil, const std::string& swscale)
    : Api(std::make_unique<EntryPoints>()),
      Reader(std::make_unique<SourceReader>(*Api)),
      Router(std::make_unique<PacketRouter>()),
      VideoDecoding(std::make_unique<PictureDecoder>(*Api)) {
  ResetFields();
  LibraryHandles handles;
  const std::string error = BindLibraries(avcodec, avformat, avutil, swscale, handles, *Api);
  if (!error.empty()) throw VelException(error.c_str());
  LIBRARYLOG::RouteLibraryLog(*Api);
  Scaler = std::make_unique<PictureScaler>(*Api);
  Converter = std::make_unique<PlanarConverter>(*Api);
  ToneMap = std::make_unique<ToneMapper>(*Api);
  AvCodecLibrary = handles.AvCodec;
  AvFormatLibrary = handles.AvFormat;
  AvUtilLibrary = handles.AvUtil;
  SwScaleLibrary = handles.SwScale;
}

VelAvCodec::~VelAvCodec() {
  Close();
  Reader.reset();  // before its library goes
  Scaler.reset();
  Converter.reset();
  ToneMap.reset();
  *Api = EntryPoints();
  LibraryHandles handles{AvCodecLibrary, AvFormatLibrary, AvUtilLibrary, SwScaleLibrary};
  UnloadLibraries(handles);
}

void VelAvCodec::SetReading(ReadingSetup setup) {
  PlanarWanted = setup.Planar;
  Kept = std::move(setup.KeptStreams);
  std::sort(Kept.begin(), Kept.end());
  if (Packet != nullptr) StartReader();
  PacketRouter::Setup routing{
      .Fates = std::move(setup.Fates), .BaseNum = VideoTimeBaseNum, .BaseDen = VideoTimeBaseDen};
  if (const AVCodecParameters* video = VideoParameters();
      video != nullptr && video->extradata != nullptr && video->extradata_size > 0) {
    routing.ExtraData = video->extradata;
    routing.ExtraSize = size_t(video->extradata_size);
  }
  Router->Start(std::move(routing));
  StartClip(setup.ClipFromSeconds, setup.ClipToSeconds);
}

// The reading of the opened source, with the chosen subtitle track.
void VelAvCodec::StartReader() {
  Reader->Start({.Format = FormatContext,
                 .VideoStream = VideoStream,
                 .AudioStream = AudioStream,
                 .SubtitleStream = SubtitleStream,
                 .VideoStartSeconds = VideoStartSeconds,
                 .Collected = &Subtitles,
                 .Kept = &Kept});
}

void VelAvCodec::ResetFields() {
  std::fill(std::begin(StreamKinds), std::end(StreamKinds), -1);
  VideoStream = AudioStream = SubtitleStream = -1;
  Subtitles.Clear();
  SubtitleStreams.clear();
  VideoStreamCount = AudioStreamCount = 0;
  static_cast<VideoStreamValues&>(*this) = VideoStreamValues();
  static_cast<AudioStreamValues&>(*this) = AudioStreamValues();
  RgbStride = 0;
  InputEnded = ReadFailed = false;
  Router->Start({});
  VideoDecoding->Start({});
  PlanarWanted = false;
  Kept.clear();
  Clip = {};
  DeliveredStream = -1;
  VideoTimeBaseNum = VideoTimeBaseDen = 1;
  PicturePts = kNoTime;
  InputFailed = false;
  InputError = "";
  DeliveredTime = {};
  AudioTimes = VideoPacketTimes = {};
  AudioTimeBaseNum = AudioTimeBaseDen = 1;
}

void VelAvCodec::SelectVideoStream(int k) {
  const int index = NthStreamOfKind(StreamKinds, KindVideo, k);
  if (index >= 0) VideoStream = index;
}

void VelAvCodec::SelectAudioStream(int k) {
  const int index = NthStreamOfKind(StreamKinds, KindAudio, k);
  if (index >= 0) AudioStream = index;
}

void VelAvCodec::ReleaseBuffers() {
  Reader->Release();
  Reader->Start({});
  if (Packet != nullptr) Api->av_packet_free(&Packet);
  if (WaitingCopy != nullptr) Api->av_packet_free(&WaitingCopy);
  if (AfterLeading != nullptr) Api->av_packet_free(&AfterLeading);
  if (DeliveredCopy != nullptr) Api->av_packet_free(&DeliveredCopy);
  if (DecodedFrame != nullptr) Api->av_frame_free(&DecodedFrame);
  if (AudioCheckFrame != nullptr) Api->av_frame_free(&AudioCheckFrame);
  if (PlanarFrame != nullptr) Api->av_frame_free(&PlanarFrame);
  if (ToneFrame != nullptr) Api->av_frame_free(&ToneFrame);
  if (ToneMap) ToneMap->Release();
  PlanarHeld = false;
  if (Scaler) Scaler->ClearTarget();
  if (Converter) Converter->Release();
  Frame.Release();
  RgbStorage.reset();
  RgbBuffer = nullptr;
  std::vector<uint8_t>().swap(AudioBuffer);
  std::vector<uint8_t>().swap(AudioExtraBuffer);
}

void VelAvCodec::ReleaseCodecs() {
  // The contexts are our own (filled from the stream's parameters), so they
  // are freed rather than only closed.
  if (VideoCodecContext != nullptr) Api->avcodec_free_context(&VideoCodecContext);
  if (AudioCodecContext != nullptr) Api->avcodec_free_context(&AudioCodecContext);
  VideoCodec = nullptr;
  AudioCodec = nullptr;
}

void VelAvCodec::Close() {
  StopReadingAhead();  // before anything it reads goes
  FileName.clear();
  Info.clear();
  ResetFields();
  ReleaseBuffers();
  ReleaseCodecs();
  if (FormatContext != nullptr) Api->avformat_close_input(&FormatContext);
}

}  // namespace VELAVCODEC
