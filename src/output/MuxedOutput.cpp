#include "output/MuxedOutput.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

#include "compressors/CompressorCatalog.h"
#include "compressors/CompressorFactory.h"
#include "output/Mp4Length.h"
#include "output/OutputTexts.h"
#include "platform/ProgramInfo.h"

namespace MEDIAOUTPUT {
namespace {

constexpr const char* kAudioName = "Audio Stream [Unchanged]";

const AVOutputFormat* FormatOf(Container container) {
  const char* name = container == Container::Matroska ? "matroska"
                     : container == Container::WebM   ? "webm"
                                                      : "mp4";
  return av_guess_format(name, nullptr, nullptr);
}

// A stream's name as Matroska and MP4 readers show it.
void NameStream(AVStream* stream, const char* name) {
  av_dict_set(&stream->metadata, "title", name, 0);
  av_dict_set(&stream->metadata, "handler_name", name, 0);
}

bool CopyExtraData(AVCodecParameters* parameters, const uint8_t* data, size_t size) {
  if (size == 0) return true;
  parameters->extradata = static_cast<uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
  if (parameters->extradata == nullptr) return false;
  std::memcpy(parameters->extradata, data, size);
  parameters->extradata_size = int(size);
  return true;
}

// Stream side data takes the buffer over when added.
bool AddSideData(AVStream* stream, AVPacketSideDataType type, void* data, size_t size) {
  if (data == nullptr) return false;
  if (av_stream_add_side_data(stream, type, static_cast<uint8_t*>(data), size) >= 0) return true;
  av_free(data);
  return false;
}

// The container states an HDR stream's mastering display and light levels
// as well: players read them there, and VP9 has no other place for them.
bool AddHdrMetadata(AVStream* stream, const PICTURECOLOUR::HdrMetadata& hdr) {
  if (hdr.Mastering.Present) {
    AVMasteringDisplayMetadata* display = av_mastering_display_metadata_alloc();
    if (display == nullptr) return false;
    const PICTURECOLOUR::MasteringDisplay& m = hdr.Mastering;
    for (int i = 0; i < 3; ++i) {
      display->display_primaries[i][0] = {m.PrimaryX[i], 50000};
      display->display_primaries[i][1] = {m.PrimaryY[i], 50000};
    }
    display->white_point[0] = {m.WhiteX, 50000};
    display->white_point[1] = {m.WhiteY, 50000};
    display->max_luminance = {int(std::min<int64_t>(m.MaxLuminance, INT32_MAX)), 10000};
    display->min_luminance = {int(std::min<int64_t>(m.MinLuminance, INT32_MAX)), 10000};
    display->has_primaries = display->has_luminance = 1;
    if (!AddSideData(stream, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, display, sizeof *display))
      return false;
  }
  if (hdr.Light.Present) {
    size_t size = 0;
    AVContentLightMetadata* light = av_content_light_metadata_alloc(&size);
    if (light == nullptr) return false;
    light->MaxCLL = hdr.Light.MaxCll;
    light->MaxFALL = hdr.Light.MaxFall;
    if (!AddSideData(stream, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, light, size)) return false;
  }
  return true;
}

int64_t Rescaled(int64_t time, AVRational from, AVRational to) {
  return time == VELAVCODEC::kNoTime ? AV_NOPTS_VALUE : av_rescale_q(time, from, to);
}

}  // namespace

MuxedOutput::~MuxedOutput() { Finish(); }

// Pictures the compressor still holds are written, then the indexes; the
// file is closed before its MP4 header is completed, so that nothing the
// muxer still holds can land on the change.
void MuxedOutput::Finish() {
  if (converted_ && headerWritten_ &&
      !converted_->Finish([this](AVPacket* p) { return MuxConverted(p); }))
    notes_.push_back("The end of the sound could not be written");
  converted_.reset();
  if (compressor_ && headerWritten_) {
    uint64_t ignored = 0;
    videoBytes_ = videoBytes_ ? videoBytes_ : &ignored;
    compressor_->Finish([this](const COMPRESSOR::Chunk& chunk) { return WriteVideoChunk(chunk); });
    videoBytes_ = nullptr;
  }
  compressor_.reset();
  if (copied_ && headerWritten_ && !copied_->Finish())
    notes_.push_back("The last pictures could not be written");
  copied_.reset();
  if (context_ != nullptr && headerWritten_) {
    if (!carried_.Finish([this](AVPacket* p) { return av_interleaved_write_frame(context_, p); }))
      notes_.push_back("The end of the kept subtitle tracks could not be written");
    for (std::string& line : carried_.Report()) notes_.push_back(std::move(line));
  }
  if (context_ != nullptr) {
    const bool finished = headerWritten_ && av_write_trailer(context_) >= 0;
    const bool closed = context_->pb == nullptr || avio_closep(&context_->pb) >= 0;
    if (container_ == Container::Mp4 && finished && closed) StateMp4Length();
    avformat_free_context(context_);
    context_ = nullptr;
  }
  av_packet_free(&packet_);
}

std::vector<std::string> MuxedOutput::Close() {
  Finish();
  return std::exchange(notes_, {});
}

// A file whose header cannot be completed stays as the muxer left it: it
// plays, and readers that walk its fragments still find its whole length.
void MuxedOutput::StateMp4Length() {
  int64_t end = INT64_MIN;
  AVRational base{1, 1};
  for (const auto& [stream, streamEnd] : {std::pair{video_, videoEnd_}, {audio_, audioEnd_}}) {
    if (stream == nullptr || streamEnd == INT64_MIN) continue;
    if (end == INT64_MIN || av_compare_ts(streamEnd, stream->time_base, end, base) > 0) {
      end = streamEnd;
      base = stream->time_base;
    }
  }
  if (end <= 0) return;
  const std::string reason =
      MP4LENGTH::UnstatedReason(MP4LENGTH::StateLength(path_, {end, base.num, base.den}));
  if (!reason.empty())
    notes_.push_back("The MP4 file's length could not be written into its header (" + reason +
                     "); it plays, and players that read its fragments find the length");
}

Setup MuxedOutput::Fail(const std::string& text) {
  error_ = text;
  return Setup::Failed;
}

// "Output video: HEVC (x265), 8-bit 4:2:0, colour unspecified" or with the
// primaries, transfer and matrix the stream states; for the newer codecs.
std::string MuxedOutput::VideoDescription() const {
  if (video_ == nullptr || compressorName_.empty()) return {};
  const AVCodecParameters* parameters = video_->codecpar;
  const AVPixFmtDescriptor* pixels = av_pix_fmt_desc_get(AVPixelFormat(parameters->format));
  std::string text = "Output video: " + compressorName_;
  if (pixels != nullptr)
    text += ", " + std::to_string(pixels->comp[0].depth) + "-bit " +
            (pixels->log2_chroma_w == 1 ? pixels->log2_chroma_h == 1 ? "4:2:0" : "4:2:2" : "4:4:4");
  const bool stated = parameters->color_primaries != AVCOL_PRI_UNSPECIFIED ||
                      parameters->color_trc != AVCOL_TRC_UNSPECIFIED ||
                      parameters->color_space != AVCOL_SPC_UNSPECIFIED;
  if (!stated) return text + ", colour unspecified";
  const auto name = [](const char* value) { return std::string(value ? value : "?"); };
  return text + ", colour " + name(av_color_primaries_name(parameters->color_primaries)) + "/" +
         name(av_color_transfer_name(parameters->color_trc)) + "/" +
         name(av_color_space_name(parameters->color_space)) + " " +
         name(av_color_range_name(parameters->color_range));
}

const char* MuxedOutput::ContainerName() const {
  return container_ == Container::Matroska ? "a Matroska"
         : container_ == Container::WebM   ? "a WebM"
                                           : "an MP4";
}

// Everything that could refuse the job comes before the file is made.
Setup MuxedOutput::Create(const OutputRequest& request) {
  const VELAVCODEC::SourceStreams& source = request.Source;
  if (!CheckAudio(source, request.ConvertAudio)) return Setup::Failed;
  const Setup chosen = ChooseCompressor(request);
  if (chosen != Setup::Ready) return chosen;
  if (request.CopyUntouched && !SetUpCopying(request)) return Setup::Failed;
  plan_ = PlanCarried(source, request.Keeping, FormatOf(container_), request.Drawn,
                      request.ConvertAudio);
  if (!OpenFile(request) || !(copied_ ? AddCopiedVideoStream(request) : AddVideoStream(request)) ||
      !AddAudioStream(source) || !AddCarriedStreams(request))
    return Setup::Failed;
  AVDictionary* options = nullptr;
  if (container_ == Container::Mp4) {
    // Fragments of a second stand on their own: nothing depends on an index
    // at the end. The header waits for the first, so that it states the
    // streams' start offsets.
    av_dict_set(&options, "movflags", "delay_moov+default_base_moof", 0);
    av_dict_set(&options, "frag_duration", "1000000", 0);
  }
  const int initialised = avformat_init_output(context_, &options);
  av_dict_free(&options);
  if (initialised < 0) return Fail("Can't create output video stream...");
  // After the muxer's set-up, which names the library instead.
  av_dict_set(&context_->metadata, "encoder", PROGRAMINFO::SoftwareText().c_str(), 0);
  av_dict_set(&context_->metadata, "encoding_tool", PROGRAMINFO::SoftwareText().c_str(), 0);
  if (avformat_write_header(context_, nullptr) < 0)
    return Fail("Can't create output video stream...");
  headerWritten_ = true;
  return Setup::Ready;
}

// Sound the container cannot hold is refused, or converted where asked.
bool MuxedOutput::CheckAudio(const VELAVCODEC::SourceStreams& source, bool convert) {
  const AVCodecParameters* parameters = source.AudioParameters;
  if (parameters == nullptr) return true;
  if (avformat_query_codec(FormatOf(container_), parameters->codec_id, FF_COMPLIANCE_NORMAL) == 1)
    return true;
  convertTo_ = CONVERTEDAUDIO::TargetFor(FormatOf(container_));
  if (convert && CONVERTEDAUDIO::Holds(FormatOf(container_), convertTo_)) {
    const AVCodecDescriptor* codec = avcodec_descriptor_get(parameters->codec_id);
    convertedFrom_ = codec != nullptr ? codec->name : "its";
    return true;
  }
  const AVCodecDescriptor* codec = avcodec_descriptor_get(parameters->codec_id);
  Fail(std::string("[MediaOutput::Create] Audio codec can't be stored in ") + ContainerName() +
       " file... (sound " + std::to_string(source.AudioRecord.Track) + ", " +
       (codec != nullptr ? codec->name : "unknown codec") + ": --convert-audio converts it to " +
       CONVERTEDAUDIO::TargetName(convertTo_) + ")");
  return false;
}

Setup MuxedOutput::ChooseCompressor(const OutputRequest& request) {
  ENCODERCHOICE::EncoderChoice choice;
  if (!request.Chooser || !request.Chooser({}, choice)) return Setup::NoCompressor;
  const COMPRESSORCATALOG::CompressorInfo* info = COMPRESSORCATALOG::FindCompressor(choice.Codec);
  if (info == nullptr)
    return Fail(OUTPUTTEXTS::CompressedStreamErrorText(COMPRESSOR::Status::NoCompressor));
  const AVCodec* encoder = info->encoder ? avcodec_find_encoder_by_name(info->encoder) : nullptr;
  if (encoder == nullptr ||
      avformat_query_codec(FormatOf(container_), encoder->id, FF_COMPLIANCE_NORMAL) != 1)
    return Fail("[MediaOutput::Create] Pictures of the compressor " + info->name +
                " can't be stored in " + ContainerName() + " file...");
  codecId_ = encoder->id;
  // Only the newer codecs say so: the log of a job with the others stays as
  // it was.
  if (!info->aviCarries) compressorName_ = info->name;
  choice_ = choice;
  compressor_ = COMPRESSOR::MakeCompressor(*info, choice, true);
  const VELAVCODEC::VideoStreamValues& source = request.Source.Video;
  // Bottom-up, as the pictures come.
  if (compressor_->Start({source.Width, source.Height, false}, uint32_t(source.VideoScale),
                         uint32_t(source.VideoRate), &format_) != COMPRESSOR::Status::Ok)
    return Fail(OUTPUTTEXTS::CompressedStreamErrorText(COMPRESSOR::Status::CompressorFailed));
  if (source.FramesPerSecond > 0) frameSeconds_ = 1.0 / source.FramesPerSecond;
  return Setup::Ready;
}

bool MuxedOutput::OpenFile(const OutputRequest& request) {
  if (avformat_alloc_output_context2(&context_, FormatOf(container_), nullptr,
                                     request.Path.c_str()) < 0) {
    Fail(OUTPUTTEXTS::OutputFileErrorText(OUTPUTTEXTS::FileProblem::Memory));
    return false;
  }
  // Matroska's segment and track UIDs are random unless asked not to be:
  // the same job must write the same file.
  if (container_ != Container::Mp4) context_->flags |= AVFMT_FLAG_BITEXACT;
  packet_ = av_packet_alloc();
  if (packet_ == nullptr) {
    Fail(OUTPUTTEXTS::OutputFileErrorText(OUTPUTTEXTS::FileProblem::Memory));
    return false;
  }
  path_ = request.Path;
  const int opened = avio_open(&context_->pb, request.Path.c_str(), AVIO_FLAG_WRITE);
  if (opened < 0) {
    lastErrno_ = openErrno_ = AVUNERROR(opened);
    Fail(OUTPUTTEXTS::OutputFileErrorText(OUTPUTTEXTS::FileProblem::Open));
    return false;
  }
  return true;
}

bool MuxedOutput::AddVideoStream(const OutputRequest& request) {
  video_ = avformat_new_stream(context_, nullptr);
  if (video_ == nullptr) return Fail("Can't create output video stream..."), false;
  AVCodecParameters* parameters = video_->codecpar;
  parameters->codec_type = AVMEDIA_TYPE_VIDEO;
  parameters->codec_id = AVCodecID(codecId_);
  parameters->width = format_.Width;
  parameters->height = std::abs(format_.Height);
  parameters->format = format_.PixelFormat;
  parameters->color_range = AVColorRange(format_.ColourRange);
  parameters->color_primaries = AVColorPrimaries(format_.Primaries);
  parameters->color_trc = AVColorTransferCharacteristic(format_.Transfer);
  parameters->color_space = AVColorSpace(format_.Matrix);
  if (!CopyExtraData(parameters, format_.ExtraData.data(), format_.ExtraData.size()) ||
      !AddHdrMetadata(video_, format_.Hdr))
    return Fail("Can't create output video stream..."), false;
  video_->time_base = AVRational{1, 90000};
  video_->avg_frame_rate = av_d2q(request.Source.AverageFramesPerSecond, 1 << 20);
  NameStream(video_, request.Transcode ? "Video Stream [Transcoded]" : "Video Stream [Subtitled]");
  return true;
}

bool MuxedOutput::AddAudioStream(const VELAVCODEC::SourceStreams& source) {
  const AVCodecParameters* parameters = source.AudioParameters;
  if (parameters == nullptr) return true;
  audioBaseNum_ = source.AudioTimeBaseNum;
  audioBaseDen_ = source.AudioTimeBaseDen;
  if (!convertedFrom_.empty()) {
    if (!AddConvertedStream(*parameters)) return false;
    DescribeAudioStream(source.AudioRecord);
    return true;
  }
  audio_ = avformat_new_stream(context_, nullptr);
  if (audio_ == nullptr || avcodec_parameters_copy(audio_->codecpar, parameters) < 0)
    return Fail("Can't create output audio stream..."), false;
  audio_->codecpar->codec_tag = 0;
  audio_->time_base = AVRational{audioBaseNum_, audioBaseDen_};
  NameStream(audio_, kAudioName);
  DescribeAudioStream(source.AudioRecord);
  return true;
}

// The chosen sound keeps what the source says of it; it is the default one
// where others come with it.
void MuxedOutput::DescribeAudioStream(const VELAVCODEC::StoredStream& record) {
  for (const auto& [name, value] : record.AllTags)
    if (CopiedTag(name) && name != "title")
      av_dict_set(&audio_->metadata, name.c_str(), value.c_str(), 0);
  if (!record.Title.empty()) NameStream(audio_, record.Title.c_str());
  audio_->disposition = record.Disposition & ~AV_DISPOSITION_ATTACHED_PIC;
  const bool othersToo =
      std::any_of(plan_.Streams.begin(), plan_.Streams.end(), [](const CarriedStream& carried) {
        return carried.Source.What == VELAVCODEC::StoredStream::Kind::Sound;
      });
  if (othersToo) audio_->disposition |= AV_DISPOSITION_DEFAULT;
}

bool MuxedOutput::AddCarriedStreams(const OutputRequest& request) {
  const std::string problem =
      carried_.AddStreams(context_, plan_, request.Source, request.Source.Video.StartSeconds);
  if (!problem.empty()) return Fail("Can't create output stream (" + problem + ")..."), false;
  // "Output streams: video (burned), sound 1 eng (default), chapters 3"
  std::string line =
      std::string("Output streams: video (") + (request.Transcode ? "transcoded" : "burned") + ")";
  if (audio_ != nullptr) line += ", " + StreamName(request.Source.AudioRecord, audio_->disposition);
  int attachments = 0;
  for (unsigned i = 0; i < context_->nb_streams; ++i)
    attachments += context_->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_ATTACHMENT;
  for (const std::string& name : carried_.Names()) line += ", " + name;
  if (context_->nb_chapters > 0) line += ", chapters " + std::to_string(context_->nb_chapters);
  if (attachments > 0) line += ", attachments " + std::to_string(attachments);
  streamsLine_ = line;
  return true;
}

std::vector<std::string> MuxedOutput::StreamNotes() const {
  std::vector<std::string> notes = plan_.Notes;
  if (!streamsLine_.empty()) notes.push_back(streamsLine_);
  return notes;
}

bool MuxedOutput::WriteStreamPacket(int32_t stream, const SourcePacket& packet, uint64_t& bytes) {
  const bool written = carried_.Write(
      stream, packet.Packet, packet.Data, packet.Size, packet.Pts, packet.Dts, packet.Duration,
      packet.Key, [this](AVPacket* p) { return av_interleaved_write_frame(context_, p); });
  if (!written) {
    error_ = "Can't write output streams...";
    return false;
  }
  bytes += uint64_t(std::max(packet.Size, 0));
  return true;
}

bool MuxedOutput::AddConvertedStream(const AVCodecParameters& source) {
  converted_ = std::make_unique<CONVERTEDAUDIO::ConvertedAudio>();
  const std::string target = CONVERTEDAUDIO::TargetName(convertTo_);
  const std::string problem =
      converted_->Open(source, AVRational{audioBaseNum_, audioBaseDen_}, convertTo_,
                       (context_->oformat->flags & AVFMT_GLOBALHEADER) != 0);
  if (!problem.empty())
    return Fail("[MediaOutput::Create] The sound can't be converted to " + target + ": " + problem +
                "..."),
           false;
  audio_ = avformat_new_stream(context_, nullptr);
  if (audio_ == nullptr || !converted_->FillParameters(audio_->codecpar))
    return Fail("Can't create output audio stream..."), false;
  audio_->time_base = converted_->TimeBase();
  NameStream(audio_, ("Audio Stream [" + target + "]").c_str());
  return true;
}

std::string MuxedOutput::AudioDescription() const {
  if (!converted_ || audio_ == nullptr) return {};
  const AVCodecParameters* converted = audio_->codecpar;
  return std::string("Output audio: ") + CONVERTEDAUDIO::TargetName(convertTo_) + ", " +
         std::to_string(converted->ch_layout.nb_channels) + " channels, " +
         std::to_string(converted->bit_rate / 1000) + " kb/s, converted from " + convertedFrom_ +
         ", which " + ContainerName() + " file can't hold";
}

// An encoded packet, its times in the conversion's time base.
bool MuxedOutput::MuxConverted(AVPacket* packet) {
  av_packet_rescale_ts(packet, converted_->TimeBase(), audio_->time_base);
  packet->stream_index = audio_->index;
  if (!RiseAudioTimes(packet, packet->duration)) return true;
  const int64_t start = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
  const int64_t end = start != AV_NOPTS_VALUE ? start + packet->duration : INT64_MIN;
  if (convertedBytes_ != nullptr) *convertedBytes_ += uint64_t(packet->size);
  if (!Written(av_interleaved_write_frame(context_, packet), "Can't write audio output..."))
    return false;
  audioEnd_ = std::max(audioEnd_, end);
  return true;
}

bool MuxedOutput::Written(int result, const char* text) {
  if (result >= 0) return true;
  if (result != AVERROR_EOF && AVUNERROR(result) > 0 && AVUNERROR(result) < 4096)
    lastErrno_ = AVUNERROR(result);
  error_ = text;
  return false;
}

bool MuxedOutput::WritePicture(const BMPFRAME::BmpView& picture, double seconds, uint64_t& bytes) {
  if (copied_) {
    const uint64_t before = copied_->BytesCounter();
    const bool written = copied_->WritePicture(picture, CopyTicks(seconds));
    bytes += copied_->BytesCounter() - before;
    return written || Failed(copied_->Error());
  }
  return WriteCompressed(seconds, bytes, [&](const COMPRESSOR::ChunkSink& sink) {
    return compressor_->Compress(picture.Pixels(), picture.ImageSize(), sink);
  });
}

bool MuxedOutput::TakesPlanar() const {
  return copied_ ? copied_->TakesPlanar() : compressor_ && compressor_->TakesPlanar();
}

bool MuxedOutput::WriteMixedPicture(const PLANARPICTURE::MixedPicture& picture, double seconds,
                                    uint64_t& bytes) {
  if (copied_) {
    const uint64_t before = copied_->BytesCounter();
    const bool written = copied_->WriteMixedPicture(picture, CopyTicks(seconds));
    bytes += copied_->BytesCounter() - before;
    return written || Failed(copied_->Error());
  }
  return WriteCompressed(seconds, bytes, [&](const COMPRESSOR::ChunkSink& sink) {
    return compressor_->CompressMixed(picture, sink);
  });
}

bool MuxedOutput::WriteCompressed(
    double seconds, uint64_t& bytes,
    const std::function<COMPRESSOR::Status(const COMPRESSOR::ChunkSink&)>& compress) {
  // Strictly rising times: a muxer refuses two pictures at one time.
  int64_t pts = std::llround(seconds / av_q2d(video_->time_base));
  if (videoTimes_.Place(pts, FrameTicks()) == RISINGTIMES::RisingTimes::Verdict::Dropped)
    return true;
  pending_.push_back(pts);
  videoBytes_ = &bytes;
  const COMPRESSOR::Status result =
      compress([this](const COMPRESSOR::Chunk& chunk) { return WriteVideoChunk(chunk); });
  videoBytes_ = nullptr;
  if (result == COMPRESSOR::Status::Ok) return true;
  if (error_.empty()) error_ = "Can't write video output...";
  return false;
}

// The muxer keeps a packet until it interleaves it. The encoder's own packet
// goes to it as it is, by its reference, with nothing of the encoder's but
// the bytes; bare bytes are copied by the muxer.
COMPRESSOR::Status MuxedOutput::WriteVideoChunk(const COMPRESSOR::Chunk& chunk) {
  AVPacket* packet = chunk.packet;
  if (packet != nullptr) {
    av_packet_free_side_data(packet);
  } else {
    packet = packet_;
    packet->data = static_cast<uint8_t*>(const_cast<void*>(chunk.data));  // only read
    packet->size = int(chunk.size);
  }
  packet->pos = -1;
  packet->pts = packet->dts = pending_.empty() ? videoTimes_.Last() : pending_.front();
  if (!pending_.empty()) pending_.pop_front();
  packet->duration = FrameTicks();
  packet->flags = chunk.key ? AV_PKT_FLAG_KEY : 0;
  packet->stream_index = video_->index;
  const int64_t end = packet->pts + packet->duration;
  // Leaves the packet blank, written or not.
  const int result = av_interleaved_write_frame(context_, packet);
  if (!Written(result, "Can't write video output...")) return COMPRESSOR::Status::WriteFailed;
  videoEnd_ = std::max(videoEnd_, end);
  if (videoBytes_) *videoBytes_ += chunk.size;
  return COMPRESSOR::Status::Ok;
}

bool MuxedOutput::WriteAudio(const AudioPacket& packet, uint64_t& bytes) {
  if (audio_ == nullptr) return true;
  // A reference to the source's buffer, or else the bare bytes, which the
  // muxer copies: the packet outlives this call in the muxer's queue.
  AVPacket* out = packet_;
  const AVPacket* source = packet.Packet;
  if (source != nullptr && source->buf != nullptr && source->data == packet.Data) {
    out->buf = av_buffer_ref(source->buf);
    if (out->buf == nullptr) {
      error_ = "Can't write audio output...";
      return false;
    }
  }
  out->data = const_cast<uint8_t*>(packet.Data);  // only read
  out->size = packet.Size;
  out->pos = -1;
  const AVRational base{audioBaseNum_, audioBaseDen_};
  if (converted_) return WriteConverted(packet, bytes);
  out->pts = Rescaled(packet.Pts, base, audio_->time_base);
  out->dts = Rescaled(packet.Dts, base, audio_->time_base);
  out->duration = packet.Duration > 0 ? av_rescale_q(packet.Duration, base, audio_->time_base) : 0;
  out->flags = packet.Key ? AV_PKT_FLAG_KEY : 0;
  out->stream_index = audio_->index;
  // The muxer chose the stream's clock when the header was written.
  if (!audioClock_.Started())
    audioClock_.Start(base, audio_->time_base, audio_->codecpar->sample_rate);
  const int64_t step = audioClock_.PlacePacket(*out, *audio_->codecpar);
  if (!RiseAudioTimes(out, step)) {
    av_packet_unref(out);
    return true;
  }
  const bool written =
      audioBitstream_.Write(out, *audio_->codecpar, audio_->time_base, [this](AVPacket* filtered) {
        const int64_t start = filtered->pts != AV_NOPTS_VALUE ? filtered->pts : filtered->dts;
        const int64_t end = start != AV_NOPTS_VALUE ? start + filtered->duration : INT64_MIN;
        if (!Written(av_interleaved_write_frame(context_, filtered), "Can't write audio output..."))
          return false;
        audioEnd_ = std::max(audioEnd_, end);
        return true;
      });
  if (!written) {
    if (error_.empty()) error_ = "Can't write audio output...";
    return false;
  }
  bytes += uint64_t(packet.Size);
  return true;
}

// Decode order rises strictly; the presentation time moves with it. False:
// the packet repeats the last one's time and is left out.
bool MuxedOutput::RiseAudioTimes(AVPacket* packet, int64_t step) {
  const bool hasDts = packet->dts != AV_NOPTS_VALUE;
  int64_t time = hasDts ? packet->dts : packet->pts;
  const int64_t was = time;
  static_assert(RISINGTIMES::kNoTime == AV_NOPTS_VALUE);
  const auto verdict = audioTimes_.Place(time, step);
  if (verdict == RISINGTIMES::RisingTimes::Verdict::Dropped) return false;
  if (was == AV_NOPTS_VALUE) return true;  // the muxer times it
  if (hasDts) {
    if (packet->pts != AV_NOPTS_VALUE) packet->pts += time - was;
    packet->dts = time;
  } else {
    packet->pts = time;
  }
  return true;
}

// The decoder takes the packet in the source's own times.
bool MuxedOutput::WriteConverted(const AudioPacket& packet, uint64_t& bytes) {
  AVPacket* in = packet_;
  in->pts = packet.Pts == VELAVCODEC::kNoTime ? AV_NOPTS_VALUE : packet.Pts;
  in->dts = packet.Dts == VELAVCODEC::kNoTime ? AV_NOPTS_VALUE : packet.Dts;
  in->duration = std::max<int64_t>(packet.Duration, 0);
  in->flags = packet.Key ? AV_PKT_FLAG_KEY : 0;
  convertedBytes_ = &bytes;
  const bool written = converted_->Write(*in, [this](AVPacket* p) { return MuxConverted(p); });
  convertedBytes_ = nullptr;
  av_packet_unref(in);
  if (!written && error_.empty()) error_ = "Can't write audio output...";
  return written;
}

int64_t MuxedOutput::FrameTicks() const {
  return std::max<int64_t>(1, std::llround(frameSeconds_ / av_q2d(video_->time_base)));
}

TimeRepairs MuxedOutput::Repairs() const {
  TimeRepairs repairs;
  repairs.MendedPictures = videoTimes_.Mended();
  repairs.DroppedPictures = videoTimes_.Dropped();
  repairs.MendedAudio = audioTimes_.Mended();
  repairs.DroppedAudio = audioTimes_.Dropped();
  repairs.RefusedAudio = audioBitstream_.Refused() + (converted_ ? converted_->Refused() : 0);
  // Sound runs on without pauses; a picture may stand for seconds.
  repairs.Gaps = audioTimes_.Gaps();
  repairs.LeftOutKept = carried_.LeftOut();
  repairs.MendedKept = carried_.Mended();
  return repairs;
}

}  // namespace MEDIAOUTPUT

// Copying the untouched stretches.
namespace MEDIAOUTPUT {

// The compressor chosen stays as it is where the source's video can't be
// continued by it: the whole film is then encoded, and CopyRefusal says
// why. False: the copy could not be set up for another reason.
bool MuxedOutput::SetUpCopying(const OutputRequest& request) {
  const VELAVCODEC::SourceStreams& streams = request.Source;
  const VELAVCODEC::VideoStreamValues& source = streams.Video;
  const AVCodecParameters* video = streams.VideoParameters;
  ENCODERCHOICE::EncoderChoice matched = choice_;
  if (request.CopyVeto != nullptr && !request.CopyVeto->empty()) {
    copyRefusal_ = *request.CopyVeto;
    return true;
  }
  copyRefusal_ = video == nullptr ? "the source's video can't be read as packets"
                                  : COPIEDVIDEO::MatchSource(*video, codecId_, matched);
  if (!copyRefusal_.empty()) return true;
  COPIEDVIDEO::Setup setup;
  setup.Codec = video->codec_id == AV_CODEC_ID_HEVC ? NALUNITS::Codec::Hevc : NALUNITS::Codec::H264;
  if (video->extradata_size > 0)
    setup.Record.assign(video->extradata, video->extradata + video->extradata_size);
  setup.Width = source.Width;
  setup.Height = source.Height;
  setup.FrameScale = uint32_t(source.VideoScale);
  setup.FrameRate = uint32_t(source.VideoRate);
  setup.BaseNum = streams.VideoTimeBaseNum;
  setup.BaseDen = streams.VideoTimeBaseDen;
  if (setup.BaseNum <= 0 || setup.BaseDen <= 0) {
    copyRefusal_ = "the source's video has no clock";
    return true;
  }
  setup.DecodeLeadTicks = std::llround(std::clamp(request.DecodeLeadSeconds, 0.0, 10.0) *
                                       setup.BaseDen / setup.BaseNum);
  const COMPRESSORCATALOG::CompressorInfo* info = COMPRESSORCATALOG::FindCompressor(choice_.Codec);
  if (info == nullptr) return Fail("Can't create output video stream..."), false;
  setup.Compressor = *info;
  setup.Choice = matched;
  copyOrigin_ = std::llround(source.StartSeconds * setup.BaseDen / setup.BaseNum);
  copyBaseNum_ = setup.BaseNum;
  copyBaseDen_ = setup.BaseDen;
  // The encoders are made one a stretch; the one for the whole film goes.
  compressor_.reset();
  copied_ = std::make_unique<COPIEDVIDEO::CopiedVideo>();
  const std::string problem = copied_->Start(setup, [this](AVPacket* p) { return MuxCopied(p); });
  if (problem.empty()) return true;
  copied_.reset();
  copyRefusal_ = problem;
  compressor_ = COMPRESSOR::MakeCompressor(*info, choice_, true);
  COMPRESSOR::EncodedFormat format;
  if (compressor_->Start({source.Width, source.Height, false}, uint32_t(source.VideoScale),
                         uint32_t(source.VideoRate), &format) != COMPRESSOR::Status::Ok)
    return Fail(OUTPUTTEXTS::CompressedStreamErrorText(COMPRESSOR::Status::CompressorFailed)),
           false;
  return true;
}

// The source's own stream record; the encoded stretches bring their sets in
// the stream, which MP4 states with the sample entries that allow it.
bool MuxedOutput::AddCopiedVideoStream(const OutputRequest& request) {
  video_ = avformat_new_stream(context_, nullptr);
  if (video_ == nullptr ||
      avcodec_parameters_copy(video_->codecpar, request.Source.VideoParameters) < 0)
    return Fail("Can't create output video stream..."), false;
  AVCodecParameters* parameters = video_->codecpar;
  parameters->codec_tag = 0;
  if (container_ == Container::Mp4)
    parameters->codec_tag = parameters->codec_id == AV_CODEC_ID_HEVC ? MKTAG('h', 'e', 'v', '1')
                                                                     : MKTAG('a', 'v', 'c', '3');
  video_->time_base = AVRational{copyBaseNum_, copyBaseDen_};
  video_->avg_frame_rate = av_d2q(request.Source.AverageFramesPerSecond, 1 << 20);
  NameStream(video_, "Video Stream [Subtitled]");
  return true;
}

int64_t MuxedOutput::CopyTicks(double seconds) const {
  return std::llround(seconds * copyBaseDen_ / copyBaseNum_);
}

bool MuxedOutput::Failed(const std::string& text) {
  if (error_.empty()) error_ = text.empty() ? "Can't write video output..." : text;
  return false;
}

bool MuxedOutput::WriteVideoPacket(const VideoPacket& packet, uint64_t& bytes) {
  if (!copied_) return Failed("Can't write video output...");
  // Times read from the file that can't be counted from the start go
  // missing, as the output's own rules then place them.
  const auto fromStart = [this](int64_t time) {
    int64_t moved = 0;
    if (time == VELAVCODEC::kNoTime || __builtin_sub_overflow(time, copyOrigin_, &moved))
      return VELAVCODEC::kNoTime;
    return moved;
  };
  VideoPacket moved = packet;
  moved.Pts = fromStart(packet.Pts);
  moved.Dts = fromStart(packet.Dts);
  const uint64_t before = copied_->BytesCounter();
  const bool written = copied_->WriteCopied(moved);
  bytes += copied_->BytesCounter() - before;
  return written || Failed(copied_->Error());
}

// A packet on the source's clock, from its start.
bool MuxedOutput::MuxCopied(AVPacket* packet) {
  av_packet_rescale_ts(packet, AVRational{copyBaseNum_, copyBaseDen_}, video_->time_base);
  packet->stream_index = video_->index;
  const int64_t end = packet->pts + packet->duration;
  if (!Written(av_interleaved_write_frame(context_, packet), "Can't write video output..."))
    return false;
  videoEnd_ = std::max(videoEnd_, end);
  return true;
}

int64_t MuxedOutput::CopiedPictures() const { return copied_ ? copied_->CopiedPictures() : 0; }
int64_t MuxedOutput::EncodedPictures() const { return copied_ ? copied_->EncodedPictures() : 0; }

}  // namespace MEDIAOUTPUT
