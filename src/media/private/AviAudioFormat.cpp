#include "media/private/AviAudioFormat.h"

#include <cmath>
#include <numeric>

namespace VELAVCODEC {
namespace {

// Wave format tags for packets that carry their own ADTS headers.
constexpr int32_t kTagAdtsAac = 0x1600;

bool IsPcm(AVCodecID id) { return id >= AV_CODEC_ID_PCM_S16LE && id < AV_CODEC_ID_ADPCM_IMA_QT; }

int32_t FormatTagOf(const EntryPoints& api, const AVCodecParameters* codec, bool fromAvi) {
  if (fromAvi && codec->codec_tag != 0 && codec->codec_tag <= 0xFFFF)
    return int32_t(codec->codec_tag);
  if (codec->codec_id == AV_CODEC_ID_AAC && codec->extradata_size == 0) return kTagAdtsAac;
  const AVCodecTag* tables[] = {api.avformat_get_riff_audio_tags(), nullptr};
  const unsigned tag = api.av_codec_get_tag(tables, codec->codec_id);
  return tag <= 0xFFFF ? int32_t(tag) : 0;
}

int32_t BitsPerSampleOf(const EntryPoints& api, const AVCodecParameters* codec) {
  switch (codec->codec_id) {
    case AV_CODEC_ID_ATRAC3:
    case AV_CODEC_ID_G723_1:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_GSM_MS:
      return 0;
    default:
      break;
  }
  if (const int bits = api.av_get_bits_per_sample(codec->codec_id)) return bits;
  return codec->bits_per_coded_sample != 0 ? codec->bits_per_coded_sample : 16;
}

int32_t BlockAlignOf(const AVCodecParameters* codec, int32_t bits, int32_t channels) {
  switch (codec->codec_id) {
    case AV_CODEC_ID_MP2:
      return int32_t((144 * codec->bit_rate - 1) / std::max(codec->sample_rate, 1) + 1);
    case AV_CODEC_ID_MP3:
      return 576 * (codec->sample_rate <= (24000 + 32000) / 2 ? 1 : 2);
    case AV_CODEC_ID_AC3:
      return 3840;  // largest frame
    case AV_CODEC_ID_AAC:
      return 768 * channels;  // largest frame
    case AV_CODEC_ID_G723_1:
      return 24;
    default:
      break;
  }
  if (codec->block_align != 0) return codec->block_align;
  return bits * channels / std::gcd(8, std::max(bits, 1));
}

int32_t SamplesPerFrame(const EntryPoints& api, const AVCodecParameters* codec) {
  const int samples = api.av_get_audio_frame_duration2(const_cast<AVCodecParameters*>(codec), 0);
  return samples != 0 ? samples : codec->frame_size;
}

// False when the packets have neither a fixed duration nor a block size, so
// that no scale and rate time them.
bool SetTimeUnits(const EntryPoints& api, const AVCodecParameters* codec, AudioStreamValues& f) {
  const int32_t samples = SamplesPerFrame(api, codec);
  if (IsPcm(codec->codec_id)) {
    // Counted in blocks of one sample for every channel.
    f.AudioScale = f.AudioSampleSize = f.AudioBlockAlign;
    f.AudioRate = f.AudioBytesPerSecond;
  } else if (samples > 0 && f.AudioSampleRate > 0) {
    // One packet is one frame of the codec.
    f.AudioScale = samples;
    f.AudioRate = f.AudioSampleRate;
    f.AudioSampleSize = 0;
  } else if (codec->block_align <= 0) {
    return false;
  } else {
    f.AudioSampleSize = codec->block_align;
    int64_t scale = codec->block_align != 0 ? codec->block_align * 8 : 8;
    int64_t rate = codec->bit_rate != 0 ? codec->bit_rate : 8 * int64_t(f.AudioSampleRate);
    const int64_t g = std::gcd(scale, rate);
    f.AudioScale = int32_t(g != 0 ? scale / g : scale);
    f.AudioRate = int32_t(g != 0 ? rate / g : rate);
  }
  if (f.AudioScale <= 0 || f.AudioRate <= 0) f.AudioScale = f.AudioRate = 1;
  return true;
}

// The layer-3 extension FFmpeg's own AVI writer adds to the wave format.
void SetMp3Extra(std::vector<uint8_t>& storage) {
  storage = {1, 0, 2, 0, 0, 0, 0x80, 0x04, 1, 0, 0x71, 0x05};
}

void SetExtraData(const AVCodecParameters* codec, bool fromAvi, std::vector<uint8_t>& storage,
                  AudioStreamValues& f) {
  storage.clear();
  if (!fromAvi && codec->codec_id == AV_CODEC_ID_MP3 && codec->extradata_size == 0) {
    SetMp3Extra(storage);
    f.AudioExtraData = storage.data();
    f.AudioExtraSize = int32_t(storage.size());
    return;
  }
  f.AudioExtraData = codec->extradata;
  f.AudioExtraSize = codec->extradata != nullptr ? codec->extradata_size : 0;
}

}  // namespace

AviAudioFit DescribeAviAudio(const EntryPoints& api, const AVStream* stream, bool fromAvi,
                             std::vector<uint8_t>& extraStorage, AudioStreamValues& f) {
  const AVCodecParameters* codec = stream->codecpar;
  f = AudioStreamValues();
  f.AudioFormatTag = FormatTagOf(api, codec, fromAvi);
  if (f.AudioFormatTag == 0) return AviAudioFit::NoFormatTag;
  // A stream without them would make a file that no reader opens.
  if (codec->sample_rate <= 0 || codec->ch_layout.nb_channels <= 0)
    return AviAudioFit::NoParameters;
  f.AudioIsPcm = IsPcm(codec->codec_id);
  f.AudioChannels = codec->ch_layout.nb_channels;
  f.AudioSampleRate = codec->sample_rate;
  f.AudioBitsPerSample = BitsPerSampleOf(api, codec);
  f.AudioBlockAlign = BlockAlignOf(codec, f.AudioBitsPerSample, f.AudioChannels);
  if (f.AudioBlockAlign <= 0) f.AudioBlockAlign = 1;
  f.AudioBytesPerSecond =
      IsPcm(codec->codec_id) ? f.AudioSampleRate * f.AudioBlockAlign : int32_t(codec->bit_rate / 8);
  if (!SetTimeUnits(api, codec, f)) return AviAudioFit::Untimed;
  SetExtraData(codec, fromAvi, extraStorage, f);
  return AviAudioFit::Fits;
}

int64_t ToAudioUnits(const AudioStreamValues& format, double seconds) {
  return int64_t(std::llround(seconds * format.AudioRate / format.AudioScale));
}

}  // namespace VELAVCODEC
