// The source's subtitle tracks: choosing one, describing it, and collecting
// its packets as the reading passes them.
#include "media/VelAvCodec.h"

#include <algorithm>

#include "media/private/EntryPoints.h"
#include "media/private/SourceReader.h"

namespace SUBTITLETRACK {

TrackCodec CodecOfLibraryId(int codecId) {
  switch (codecId) {
    case AV_CODEC_ID_SUBRIP:
    case AV_CODEC_ID_TEXT:
      return TrackCodec::SubRip;
    case AV_CODEC_ID_ASS:
    case AV_CODEC_ID_SSA:
      return TrackCodec::Ass;
    case AV_CODEC_ID_MOV_TEXT:
      return TrackCodec::MovText;
    case AV_CODEC_ID_WEBVTT:
      return TrackCodec::WebVtt;
    case AV_CODEC_ID_HDMV_PGS_SUBTITLE:
      return TrackCodec::Pgs;
    case AV_CODEC_ID_DVD_SUBTITLE:
      return TrackCodec::VobSub;
    case AV_CODEC_ID_DVB_SUBTITLE:
      return TrackCodec::Dvb;
    default:
      return TrackCodec::Unsupported;
  }
}

std::string MovTextOf(const std::string& sample) {
  if (sample.size() < 2) return {};
  const std::size_t length = (std::size_t(uint8_t(sample[0])) << 8) | uint8_t(sample[1]);
  return sample.substr(2, std::min(length, sample.size() - 2));
}

}  // namespace SUBTITLETRACK

namespace VELAVCODEC {

int32_t VelAvCodec::SubtitleTrackCount() const { return int32_t(SubtitleStreams.size()); }

std::string VelAvCodec::SubtitleTrackName(int k) const {
  if (FormatContext == nullptr || k < 0 || k >= SubtitleTrackCount()) return {};
  const AVStream* stream = FormatContext->streams[SubtitleStreams[size_t(k)]];
  static const char* const kCodecNames[] = {"",        "SubRip", "ASS",    "mov_text", "WebVTT",
                                            "unknown", "PGS",    "VobSub", "DVB"};
  std::string name = kCodecNames[int(SUBTITLETRACK::CodecOfLibraryId(stream->codecpar->codec_id))];
  const AVDictionaryEntry* language = Api->av_dict_get(stream->metadata, "language", nullptr, 0);
  if (language != nullptr && language->value[0] != 0)
    name = std::string(language->value) + ", " + name;
  if (stream->disposition & AV_DISPOSITION_FORCED) name += ", forced";
  return name;
}

bool VelAvCodec::SelectSubtitleTrack(int k) {
  SubtitleStream = k >= 0 && k < SubtitleTrackCount() ? SubtitleStreams[size_t(k)] : -1;
  Subtitles.Clear();
  if (Packet != nullptr) StartReader();
  return SubtitleStream >= 0 && SUBTITLETRACK::CodecOfLibraryId(
                                    FormatContext->streams[SubtitleStream]->codecpar->codec_id) !=
                                    SUBTITLETRACK::TrackCodec::Unsupported;
}

SUBTITLETRACK::TrackInfo VelAvCodec::SubtitleTrackInfo() const {
  return InfoOfSubtitleStream(SubtitleStream);
}

SUBTITLETRACK::TrackInfo VelAvCodec::SubtitleTrackInfoOf(int k) const {
  if (k < 0 || k >= SubtitleTrackCount()) return {};
  return InfoOfSubtitleStream(SubtitleStreams[size_t(k)]);
}

SUBTITLETRACK::TrackInfo VelAvCodec::InfoOfSubtitleStream(int32_t subtitleStream) const {
  SUBTITLETRACK::TrackInfo info;
  if (FormatContext == nullptr || subtitleStream < 0) return info;
  const AVCodecParameters* parameters = FormatContext->streams[subtitleStream]->codecpar;
  info.Codec = SUBTITLETRACK::CodecOfLibraryId(parameters->codec_id);
  const bool picture = SUBTITLETRACK::IsPicture(info.Codec);
  if ((info.Codec == SUBTITLETRACK::TrackCodec::Ass || picture) &&
      parameters->extradata != nullptr && parameters->extradata_size > 0)
    info.Header.assign(reinterpret_cast<const char*>(parameters->extradata),
                       size_t(parameters->extradata_size));
  if (picture) {
    info.CanvasWidth = SUBTITLETRACK::CanvasSideOf(parameters->width);
    info.CanvasHeight = SUBTITLETRACK::CanvasSideOf(parameters->height);
    info.Forced =
        (FormatContext->streams[subtitleStream]->disposition & AV_DISPOSITION_FORCED) != 0;
  }
  for (unsigned i = 0; i < FormatContext->nb_streams; ++i) {
    const AVStream* stream = FormatContext->streams[i];
    if (stream->codecpar->codec_type != AVMEDIA_TYPE_ATTACHMENT ||
        stream->codecpar->extradata == nullptr)
      continue;
    const AVDictionaryEntry* name = Api->av_dict_get(stream->metadata, "filename", nullptr, 0);
    info.Fonts.emplace_back(name ? name->value : "attachment",
                            std::string(reinterpret_cast<const char*>(stream->codecpar->extradata),
                                        size_t(stream->codecpar->extradata_size)));
  }
  return info;
}

namespace {

// The most a whole track read ahead may hold.
constexpr int64_t kLargestTrackBytes = int64_t(1) << 30;

}  // namespace

std::string VelAvCodec::ReadWholeSubtitleTrack(
    std::vector<SUBTITLETRACK::TrackPacket>& packets) const {
  return ReadWholeSubtitleStream(SubtitleStream, packets);
}

std::string VelAvCodec::ReadWholeSubtitleTrackOf(
    int k, std::vector<SUBTITLETRACK::TrackPacket>& packets) const {
  packets.clear();
  if (k < 0 || k >= SubtitleTrackCount()) return "the source has no such subtitle track";
  return ReadWholeSubtitleStream(SubtitleStreams[size_t(k)], packets);
}

std::string VelAvCodec::ReadWholeSubtitleStream(
    int32_t subtitleStream, std::vector<SUBTITLETRACK::TrackPacket>& packets) const {
  packets.clear();
  if (FormatContext == nullptr || subtitleStream < 0) return "no subtitle track is chosen";
  AVFormatContext* format = nullptr;
  if (Api->avformat_open_input(&format, FileName.c_str(), nullptr, nullptr) < 0)
    return "the source can't be read again";
  std::string error;
  AVPacket* packet = Api->av_packet_alloc();
  if (packet == nullptr) error = "not enough memory";
  if (error.empty() && unsigned(subtitleStream) >= format->nb_streams)
    error = "the source's streams changed";
  int64_t bytes = 0;
  while (error.empty() && Api->av_read_frame(format, packet) >= 0) {
    SUBTITLETRACK::TrackPacket collected;
    if (packet->stream_index == subtitleStream &&
        TrackPacketOf(packet, format->streams[subtitleStream], VideoStartSeconds, collected)) {
      bytes += packet->size;
      if (bytes > kLargestTrackBytes) error = "the subtitle track is too large";
      packets.push_back(std::move(collected));
    }
    Api->av_packet_unref(packet);
  }
  Api->av_packet_free(&packet);
  Api->avformat_close_input(&format);
  if (!error.empty()) packets.clear();
  return error;
}

std::vector<StoredStream> VelAvCodec::SubtitleTrackRecords() const {
  std::vector<StoredStream> records;
  for (const int32_t stream : SubtitleStreams) records.push_back(RecordOf(stream));
  return records;
}

std::string VelAvCodec::CountSubtitlePackets(std::vector<int64_t>& counts) const {
  counts.assign(SubtitleStreams.size(), 0);
  if (FormatContext == nullptr) return "no source is open";
  AVFormatContext* format = nullptr;
  if (Api->avformat_open_input(&format, FileName.c_str(), nullptr, nullptr) < 0)
    return "the source can't be read again";
  AVPacket* packet = Api->av_packet_alloc();
  std::string error = packet == nullptr ? "not enough memory" : "";
  while (error.empty() && Api->av_read_frame(format, packet) >= 0) {
    const auto track =
        std::find(SubtitleStreams.begin(), SubtitleStreams.end(), packet->stream_index);
    if (track != SubtitleStreams.end() && packet->size > 0)
      ++counts[size_t(track - SubtitleStreams.begin())];
    Api->av_packet_unref(packet);
  }
  Api->av_packet_free(&packet);
  Api->avformat_close_input(&format);
  return error;
}

void VelAvCodec::TakeSubtitlePackets(std::vector<SUBTITLETRACK::TrackPacket>& packets) {
  Subtitles.TakeAll(packets);
}

}  // namespace VELAVCODEC
