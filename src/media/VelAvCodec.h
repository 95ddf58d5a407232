#pragma once

// The decoder front end: binds the FFmpeg libraries at run time, probes a
// source, opens its chosen streams and hands out pictures and audio packets.
//
// The public fields (and the stream values it derives from) are read by the
// job and the window.
#include <atomic>
#include <climits>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "media/PacketFate.h"
#include "media/SourceStreams.h"
#include "media/StreamValues.h"
#include "media/SubtitleTrack.h"
#include "picture/BmpFrame.h"
#include "picture/PictureExtent.h"
#include "picture/PlanarPicture.h"

struct AVDictionary;
struct AVCodecParameters;
struct AVFormatContext;
struct AVCodecContext;
struct AVCodec;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace READAHEADQUEUE {
class ReadAheadQueue;
}

namespace VELAVCODEC {

struct EntryPoints;
class PacketRouter;
class PictureDecoder;
class PictureScaler;
class PlanarConverter;
class SourceReader;
class ToneMapper;

// The one exception of the program: thrown only by the constructor.
struct VelException {
  char Message[1024];
  explicit VelException(const char* text);
};

// The stream values are a private base: the fields the job has always read
// of the decoder stay its public fields, the rest are told through
// VideoValues and AudioValues.
class VelAvCodec : private VideoStreamValues, private AudioStreamValues {
 public:
  using AudioStreamValues::AudioBitsPerSample;
  using AudioStreamValues::AudioBlockAlign;
  using AudioStreamValues::AudioBytesPerSecond;
  using AudioStreamValues::AudioChannels;
  using AudioStreamValues::AudioExtraData;
  using AudioStreamValues::AudioExtraSize;
  using AudioStreamValues::AudioFormatTag;
  using AudioStreamValues::AudioLength;
  using AudioStreamValues::AudioRate;
  using AudioStreamValues::AudioSampleRate;
  using AudioStreamValues::AudioSampleSize;
  using AudioStreamValues::AudioScale;
  using AudioStreamValues::AudioStart;
  using VideoStreamValues::DurationSeconds;
  using VideoStreamValues::FrameCount;
  using VideoStreamValues::FrameImageSize;
  using VideoStreamValues::FramesPerSecond;
  using VideoStreamValues::Height;
  using VideoStreamValues::StartSeconds;
  using VideoStreamValues::VideoRate;
  using VideoStreamValues::VideoScale;
  using VideoStreamValues::Width;

  // File names of the four libraries; an empty name loads ./dll/lib<name>.so.
  // Throws VelException when a library or an entry point is missing.
  VelAvCodec(const std::string& avcodec, const std::string& avformat, const std::string& avutil,
             const std::string& swscale);
  ~VelAvCodec();
  VelAvCodec(const VelAvCodec&) = delete;
  VelAvCodec& operator=(const VelAvCodec&) = delete;

  // Opens the source, writes its report into Info and counts its streams;
  // false (and closed) unless it holds a video stream among its first 32.
  bool PreOpen(const std::string& fileName);
  // k: position in the list of video (audio) streams; out of range keeps
  // the current choice.
  void SelectVideoStream(int k);
  void SelectAudioStream(int k);
  // The part of the source's pictures handed out, and their size: every
  // picture is cropped, then scaled, before anything else sees it (the
  // frame buffer, planar pictures, Width and Height are the result's).
  struct PictureGeometry {
    int CropX = 0, CropY = 0, CropWidth = 0, CropHeight = 0;  // no size: the whole picture
    int Width = 0, Height = 0;                                // none: the crop's size
    bool Crops() const { return CropWidth > 0 && CropHeight > 0; }
    bool Scales() const { return Width > 0 && Height > 0; }
  };
  // What an opening is for.
  struct OpenSetup {
    // True: the audio is described for an AVI stream, which refuses codecs
    // AVI cannot carry or time, and loses the packets before the first
    // picture. False: the audio is handed out as the source has it, for a
    // container that keeps its times, or for a still, which has no sound.
    bool AudioForAvi = true;
    // None: the pictures as the source has them. A crop must lie inside
    // the source's pictures (else Open fails).
    PictureGeometry Geometry;
  };
  // Opens the chosen streams and sets the picture and audio values. Fails
  // (and closes) also when the audio codec has no wave format tag and the
  // audio is described for AVI.
  bool Open(const OpenSetup& setup);
  bool Open() { return Open(OpenSetup{}); }
  // Returns the delivered data, or nullptr. kind: 86 ('V') picture in the
  // frame buffer (a complete bottom-up 24-bit BMP image), 65 ('A') audio
  // packet. Data was delivered exactly when size > 0; it stays valid until
  // the next call or Close. Every picture of the source is delivered, also
  // those the decoder still holds at the end of the input.
  uint8_t* GetNextData(int32_t& kind, int32_t& size);
  void Close();

  // One item handed out, with all that tells of it.
  struct Delivery {
    enum class Kind { None, Picture, Audio, VideoPacket, StreamPacket };
    Kind What = Kind::None;
    uint8_t* Data = nullptr;
    // Above 0: delivered; 0: the input ended; below 0: reading failed
    // (ErrorText says why).
    int32_t Size = 0;
    // A picture: its presentation time in seconds from VideoStartSeconds
    // and how long it lasts, when Timed; its planes when it is still
    // planar (valid until the next delivery), else null.
    bool Timed = false;
    double Seconds = 0.0, DurationSeconds = 0.0;
    const PLANARPICTURE::PlanarPicture* Planar = nullptr;
    // An audio packet: its times in the audio stream's time base from the
    // source's start (kNoTime when missing), and the source's packet when
    // it was handed out as it is (see DeliveredAudioPacket).
    // A video packet (see ReadingSetup): its times on the video stream's own
    // clock (VideoTimeBase, kNoTime when missing), and the packet itself.
    // A picture: Pts is its presentation time on the video stream's clock.
    // A packet of a kept stream (ReadingSetup's KeptStreams): its times on
    // its stream's own clock, as a video packet's.
    int64_t Pts = 0, Dts = 0, Duration = 0;
    bool Key = true;
    const AVPacket* Packet = nullptr;
    // A packet of a kept stream: the stream's index in the source.
    int32_t Stream = -1;
  };
  // GetNextData's item as a value.
  Delivery Deliver();

  // After Open, before the first GetNextData: from here on a thread of its
  // own reads and decodes up to `depth` items ahead of GetNextData, which
  // hands them out in the same order with the same values. The pictures are
  // converted by GetNextData, on the caller's thread. False (reading stays
  // on the caller's thread) when the thread or its slots can't be made.
  // Close stops it.
  bool StartReadingAhead(size_t depth = 4);

  // After Open, before reading: planar pictures in 10 bits rather than 8,
  // for an output that keeps deep colour. False when the source's pictures
  // cannot be kept planar or memory is short.
  bool SetPlanarDepth(int depth);
  int PlanarDepth() const;
  // After Open, before reading: an HDR source's 10-bit 4:2:0 pictures are
  // tone-mapped to 8-bit BT.709 before anything else sees them (the planar
  // path, BGR, stills). False when the source is not such or memory is
  // short.
  bool SetToneMapping(bool on);
  bool ToneMapping() const;
  // Null when the picture delivered last is in the frame buffer.
  const PLANARPICTURE::PlanarPicture* DeliveredPlanar() const;
  bool ConvertRows(const PLANARPICTURE::RowBand& band);
  // The whole kept picture; DeliveredPlanar is null afterwards.
  bool ConvertPicture();

  // Where the picture lies inside the frame over a few pictures spread
  // over the film (see PICTUREEXTENT::ExtentFinder).
  struct MeasuredExtent {
    PICTUREEXTENT::Rect Extent;
    int FrameWidth = 0, FrameHeight = 0;
    int Sampled = 0, Lit = 0;
  };
  // After PreOpen, with the video stream chosen: `samples` pictures from
  // a reading of its own (the first and last few percent of the film left
  // out), each the first after a seek. Empty on success, else why not.
  std::string MeasureExtent(int samples, MeasuredExtent& measured) const;

  // How SeekPicture ended.
  enum class SeekResult {
    Found,
    Missing,    // the source has no such picture, or it could not be converted
    Uncounted,  // the packets or pictures lack timestamps to find it by: only
                // decoding from the start finds it
  };
  // After Open, in place of GetNextData: the picture `index` (counted from 0
  // as GetNextData delivers them) in the frame buffer. The video packets are
  // read up to it without decoding, which tells its timestamp; then it is
  // decoded from the key frame before it. nullptr with ErrorText unless
  // Found. Only Close or Open may follow.
  uint8_t* SeekPicture(int32_t index, SeekResult& result);

  static constexpr int32_t KindVideo = 86;
  static constexpr int32_t KindAudio = 65;
  static constexpr int32_t KindVideoPacket = 80;
  static constexpr int32_t KindStreamPacket = 83;

  using PacketFate = VELAVCODEC::PacketFate;
  // How the opened source is read: given after Open, before the first item;
  // Close forgets it.
  struct ReadingSetup {
    // A YUV picture at the opened (even) size is handed out in 8-bit 4:2:0
    // on video levels, as decoded when it came in that form, else converted
    // to it. DeliveredPlanar tells where it is, and the frame buffer holds
    // nothing of it until ConvertRows or ConvertPicture; both answer false
    // with ErrorText when the conversion fails.
    bool Planar = false;
    // In keyframe order; empty: every packet is decoded.
    std::vector<PacketFate> Fates;
    // Indices of other streams (neither the chosen video nor the chosen
    // audio stream) whose packets are handed out as the source stores them
    // (KindStreamPacket), in reading order among the rest. The subtitle
    // track being collected is handed out too when it is among them (an
    // output keeps what of it is not drawn).
    std::vector<int32_t> KeptStreams;
    // Only a clip of the source, on the pictures' clock (a picture's
    // Delivery::Seconds): reading starts from the keyframe before the
    // start (seeking where the source allows it, else reading through),
    // the pictures before it are decoded and let go, and reading ends once
    // every picture and sound packet before the end is out. Sound keeps the
    // packet that covers the start (an AVI's PCM is cut there, as at the
    // first picture), the kept streams their packets from the start on (a
    // kept sound stream, too, the one that covers it), and a copied
    // stretch's packets outside the clip are let go. The times handed out
    // stay the source's.
    double ClipFromSeconds = 0.0;
    double ClipToSeconds = kWholeSource;
  };
  static constexpr double kWholeSource = 1.0e300;
  void SetReading(ReadingSetup setup);

  // The source's subtitle tracks. After PreOpen, before Open: chooses the
  // k-th (from 0) for collecting; false when there is none such or its
  // codec is none this program reads (text, or disc pictures).
  int32_t SubtitleTrackCount() const;
  // "eng, SubRip": the k-th track's language, when it states one, and codec.
  std::string SubtitleTrackName(int k) const;
  bool SelectSubtitleTrack(int k);
  // After PreOpen: the subtitle tracks as stored, in their order (Track
  // counts them from 1).
  std::vector<StoredStream> SubtitleTrackRecords() const;
  // After PreOpen: the index-th stream as stored (a blank record for none).
  StoredStream StreamRecord(int index) const { return RecordOf(index); }
  // How many packets each subtitle track holds, from a reading of the source
  // of its own. Empty on success, else why not.
  std::string CountSubtitlePackets(std::vector<int64_t>& counts) const;
  // The chosen track's codec and header, and the fonts attached to the
  // source. Valid while the source is open.
  SUBTITLETRACK::TrackInfo SubtitleTrackInfo() const;
  // The same of the k-th track (from 0), chosen or not; a blank record for
  // none such.
  SUBTITLETRACK::TrackInfo SubtitleTrackInfoOf(int k) const;
  // The chosen track's packets the reading has passed since the last call.
  void TakeSubtitlePackets(std::vector<SUBTITLETRACK::TrackPacket>& packets);
  // Every packet of the chosen track, timed as the reading gives them, from
  // a reading of the source of its own (the job's reading is untouched).
  // Empty on success, else why not.
  std::string ReadWholeSubtitleTrack(std::vector<SUBTITLETRACK::TrackPacket>& packets) const;
  // The same of the k-th track (from 0), chosen or not: a second subtitle
  // track is read whole ahead of the job.
  std::string ReadWholeSubtitleTrackOf(int k,
                                       std::vector<SUBTITLETRACK::TrackPacket>& packets) const;

  // What the reading met of damage since the source was opened: pictures
  // that did not decode whole (or at all), and audio packets the audio
  // decoder refused (they are still copied as the source stores them).
  struct SourceDamage {
    int64_t DamagedPictures = 0;
    int64_t DamagedAudioPackets = 0;
  };
  SourceDamage Damage() const { return {damagedPictures_.load(), damagedAudio_.load()}; }

  // When the picture delivered last (by GetNextData or SeekPicture) is due:
  // its presentation time in seconds from VideoStartSeconds and how long it
  // lasts; Timed is false when the source gives no time for it.
  struct PictureTime {
    bool Timed = false;
    double Seconds = 0.0, DurationSeconds = 0.0;
  };
  PictureTime DeliveredPictureTime() const { return DeliveredTime; }
  static constexpr int64_t kNoTime = VELAVCODEC::kNoTime;

  // The source's packet that holds the audio delivered last, when it was
  // handed out as it is (reading ahead), for a container that keeps packets
  // and so takes a reference instead of a copy; null otherwise. Valid as long
  // as the delivered data. Its buffer belongs to the decoder's libraries,
  // which are those the muxers link (the same major version at least): a
  // reference must go before the libraries do.
  const AVPacket* DeliveredAudioPacket() const;

  // The chosen audio stream's codec parameters, for a container that copies
  // them; null without audio. Valid while the source is open.
  const AVCodecParameters* AudioParameters() const;
  // The same of the video stream, for a container that copies its packets.
  const AVCodecParameters* VideoParameters() const;
  // The video stream's average frame rate, for a container's header.
  double AverageFramesPerSecond() const;
  // After Open: what an output is told of the chosen streams.
  SourceStreams Streams() const;
  // The source's streams but the chosen video and audio ones, in file order.
  std::vector<OtherStream> OtherStreams() const;
  // The source's chapters, in file order.
  std::vector<SourceChapter> Chapters() const;
  // The values of the chosen streams, as Open set them.
  const VideoStreamValues& VideoValues() const { return *this; }
  const AudioStreamValues& AudioValues() const { return *this; }

  // The bound libraries' entry points, for readers of other streams that
  // work alongside (picture subtitles). Valid as long as the decoder.
  const EntryPoints& Libraries() const { return *Api; }

  std::string FileName;
  std::string Info;
  std::string ErrorText;
  // The library's reason the file could not be opened at all ("No such file
  // or directory"); empty otherwise. Kept apart from ErrorText, whose wording
  // the log has always had.
  std::string OpenFailure;

  int32_t StreamKinds[32];
  int32_t VideoStream = -1;
  int32_t VideoStreamCount = 0;
  int32_t AudioStream = -1;
  int32_t AudioStreamCount = 0;

 public:
  // The sonames of the FFmpeg the program was built with ("libavcodec.so.59",
  // ...): the defaults of the settings' [DLL] keys.
  struct LibraryNames {
    std::string AvCodec;
    std::string AvFormat;
    std::string AvUtil;
    std::string SwScale;
  };
  static LibraryNames DefaultLibraryNames();

 private:
  bool ReadStreams(const std::string& fileName);
  SUBTITLETRACK::TrackInfo InfoOfSubtitleStream(int32_t subtitleStream) const;
  std::string ReadWholeSubtitleStream(int32_t subtitleStream,
                                      std::vector<SUBTITLETRACK::TrackPacket>& packets) const;
  StoredStream RecordOf(int index) const;
  Tags TagsOf(const AVDictionary* dictionary) const;
  void ClassifyStreams();
  bool OpenStreams();
  bool OpenDecoder(int stream, AVCodecContext*& context, const AVCodec*& codec, bool video);
  void SetVideoFields();
  void ReadPictureForm();
  bool AllocateVideoBuffers();
  bool FailAllocation();
  bool SetAudioFields();
  void SetAudioTiming();
  void SetVideoStartForAudioLead(double lead);
  bool SkipsAudioPacket();
  // The clip ReadingSetup asked for; Asked is false for the whole source.
  struct ClipReading {
    bool Asked = false;
    double FromSeconds = 0.0, ToSeconds = kWholeSource;
    bool PicturesDone = false, SoundDone = false;
  };
  ClipReading Clip;
  void StartClip(double fromSeconds, double toSeconds);
  void CollectTrackBeforeClip();
  double PacketSeconds(const AVPacket* packet, bool ending) const;
  bool ClipDropsPicture(const AVFrame* picture);
  bool ClipDropsPacket(const AVPacket* packet, bool sound);
  void EndClipWhenDone();
  void StartReader();
  SUBTITLETRACK::PacketCollector Subtitles;
  // The subtitle streams' indices, in file order (they have no kind of their
  // own in StreamKinds: they are never delivered, only collected).
  std::vector<int32_t> SubtitleStreams;
  // AsStored: a video packet of a copied stretch, or a kept stream's packet.
  enum class ReadResult { Picture, Audio, AsStored, End, Failed };
  ReadResult ReadNext();
  enum class Items { PicturesAndSound, PicturesOnly };
  ReadResult DecodeUntilItem(Items items);
  bool ReadIntoSlot(size_t slot);
  uint8_t* TakeAhead(int32_t& kind, int32_t& size);
  void StopReadingAhead();
  uint8_t* DeliverEnd(bool failed, const char* error, int32_t& size);
  void ReadingFailed(const char* text);
  void SetPictureTime(const AVFrame* picture);
  bool DecodeNextPicture();
  bool DecodeNextVideoPicture();
  SeekResult TimestampOfPicture(int32_t index, int64_t& time);
  bool SeekBefore(int64_t time);
  bool HoldForLeading();
  bool CollectLeading();
  int ReadOrResume();
  ReadResult TakeVideoPacket();
  ReadResult DrainBeforeCopy();
  uint8_t* DeliverAsStored(AVPacket* packet, int32_t& kind, int32_t& size);
  bool KeepsStream(int stream) const;
  bool IsSoundStream(int stream) const;
  void CheckAudioPacket(const AVPacket* packet);
  uint8_t* DeliverPicture(AVFrame* picture, int32_t& kind, int32_t& size);
  uint8_t* DeliverAudio(AVPacket* packet, int32_t& kind, int32_t& size, bool copy);
  bool ScaleToFrameBuffer(const AVFrame* picture);
  bool ApplyGeometry();
  bool CropPicture(AVFrame* picture);
  bool FitsOpenedSize(const AVFrame* picture) const;
  static constexpr const char* kCantScaleText = "[VelAvCodec::GetNextData] Can't scale image...";
  bool CanDeliverPlanar(const AVFrame* picture) const;
  bool MapTones(AVFrame* picture);
  bool IsNativePlanar(const AVFrame* picture) const;
  bool HoldPlanarPicture(AVFrame* picture);
  void ReleasePlanarPicture();
  void ReleaseBuffers();
  void ReleaseCodecs();
  void ResetFields();

  // The chosen subtitle track's stream, or -1.
  int32_t SubtitleStream = -1;
  // The streams' clocks, set by Open.
  int32_t VideoTimeBaseNum = 1, VideoTimeBaseDen = 1;
  int32_t AudioTimeBaseNum = 1, AudioTimeBaseDen = 1;
  // Reading stopped on an error rather than at the end of the input; size was
  // -1 and ErrorText says what failed.
  bool ReadFailed = false;
  // The times of what was delivered last: a picture (and its time on the
  // video stream's clock), an audio packet (on the audio stream's clock,
  // counted from the source's start, StartSeconds), a copied video packet.
  struct PacketTimes {
    int64_t Pts = kNoTime, Dts = kNoTime, Duration = 0;
    bool Key = true;
  };
  PictureTime DeliveredTime;
  int64_t PicturePts = kNoTime;
  PacketTimes AudioTimes, VideoPacketTimes;
  int32_t DeliveredStream = -1;
  // ReadingSetup's KeptStreams, in order.
  std::vector<int32_t> Kept;

  // What the opening and the reading were set up for.
  bool AudioForAvi = true;
  bool PlanarWanted = false;
  PictureGeometry Geometry;
  // The pictures' size once cropped, before they are scaled.
  int32_t CroppedWidth = 0, CroppedHeight = 0;

  std::unique_ptr<EntryPoints> Api;
  // The reading's three parts: the source's packets in order, the video
  // packets' fates (copied or decoded), and the video decoder's state.
  std::unique_ptr<SourceReader> Reader;
  std::unique_ptr<PacketRouter> Router;
  std::unique_ptr<PictureDecoder> VideoDecoding;
  void* AvCodecLibrary = nullptr;
  void* AvFormatLibrary = nullptr;
  void* AvUtilLibrary = nullptr;
  void* SwScaleLibrary = nullptr;

  AVFormatContext* FormatContext = nullptr;
  AVPacket* Packet = nullptr;
  AVCodecContext* VideoCodecContext = nullptr;
  const AVCodec* VideoCodec = nullptr;
  AVCodecContext* AudioCodecContext = nullptr;
  const AVCodec* AudioCodec = nullptr;
  AVFrame* DecodedFrame = nullptr;
  AVFrame* AudioCheckFrame = nullptr;  // the audio decoder's output, looked at and let go
  // Counted on the reading thread, read by the job's.
  std::atomic<int64_t> damagedPictures_{0}, damagedAudio_{0};
  // The picture delivered last while it is kept planar.
  AVFrame* PlanarFrame = nullptr;
  PLANARPICTURE::PlanarPicture PlanarView;
  bool PlanarHeld = false;
  std::unique_ptr<PictureScaler> Scaler;  // its context is kept across sources
  std::unique_ptr<PlanarConverter> Converter;
  std::unique_ptr<ToneMapper> ToneMap;
  AVFrame* ToneFrame = nullptr;

  // The frame buffer, its pixel rows on a 64-byte boundary.
  BMPFRAME::BmpFrame Frame;
  // Top-down picture for strides the scaler writes slowly (not a multiple
  // of 16); its rows are copied into the frame buffer.
  std::unique_ptr<uint8_t[]> RgbStorage;
  uint8_t* RgbBuffer = nullptr;
  int32_t RgbStride = 0;
  std::vector<uint8_t> AudioBuffer;
  std::vector<uint8_t> AudioExtraBuffer;  // made-up extra data, when the source has none

  // The input ended: the decoder is drained of the pictures it holds.
  bool InputEnded = false;
  // A copied open keyframe whose leading pictures are decoded in place of
  // their packets waits in WaitingCopy while they are collected; the packet
  // that ends them waits in AfterLeading.
  AVPacket* AfterLeading = nullptr;
  AVPacket* WaitingCopy = nullptr;
  // What GetNextData handed out of a video packet, without reading ahead.
  AVPacket* DeliveredCopy = nullptr;
  // Reading's own failure, kept apart from ReadFailed and ErrorText because
  // the read-ahead thread sets it.
  bool InputFailed = false;
  const char* InputError = "";

  // Reading ahead: each slot holds one item as ReadNext left it, moved out
  // of DecodedFrame or Packet by reference.
  struct AheadSlot {
    ReadResult Result = ReadResult::End;
    AVFrame* Picture = nullptr;
    AVPacket* Audio = nullptr;  // or a copied video packet
    const char* Error = "";
  };
  std::unique_ptr<READAHEADQUEUE::ReadAheadQueue> Ahead;
  std::vector<AheadSlot> AheadSlots;
  AVPacket* DeliveredAudio = nullptr;  // handed out, kept until the next call
  AVFrame* DeliveredPicture = nullptr;
  bool AheadEnded = false;
};

}  // namespace VELAVCODEC
