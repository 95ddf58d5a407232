#include "output/AviOutput.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "avi/AviCompressor.h"
#include "compressors/CompressorCatalog.h"
#include "output/OutputFormat.h"

namespace MEDIAOUTPUT {
namespace {}  // namespace

AviOutput::~AviOutput() {
  if (file_) AVIFileEndRecord(file_.get());
}

Setup AviOutput::Fail(const std::string& text) {
  error_ = text;
  return Setup::Failed;
}

Setup AviOutput::Create(const OutputRequest& request) {
  const VELAVCODEC::SourceStreams& source = request.Source;
  PAVIFILE file = nullptr;
  path_ = request.Path;
  const HRESULT opened = AVIFileOpenA(&file, request.Path.c_str(),
                                      OF_CREATE | OF_SHARE_DENY_NONE | OF_READWRITE, nullptr);
  // The service keeps no file object for a file it could not make, so the
  // reason is taken while open(2) has left it.
  openErrno_ = opened == AVIERR_FILEOPEN ? errno : 0;
  file_.reset(file);
  if (opened != AVIERR_OK) return Fail(OUTPUTFORMAT::OutputFileErrorText(opened));
  videoInfo_ = OUTPUTFORMAT::VideoStreamInfo(source.Video, request.Transcode);
  PAVISTREAM video = nullptr;
  const HRESULT created = AVIFileCreateStreamA(file, &video, &videoInfo_);
  video_.reset(video);
  if (created != AVIERR_OK) return Fail("Can't create output video stream...");
  // The service's choice is made by the job's chooser, in the service's
  // record.
  const COMPRESSORCATALOG::CompressorInfo* refused = nullptr;
  const SaveOptionsChooser chooser = [&request, &refused](void*, UINT flags,
                                                          AVICOMPRESSOPTIONS* options) {
    ENCODERCHOICE::EncoderChoice choice;
    if (!request.Chooser || !request.Chooser(AVICOMPRESSOR::RequestOf(flags), choice)) return 0;
    const COMPRESSORCATALOG::CompressorInfo* info = COMPRESSORCATALOG::FindCompressor(choice.Codec);
    if (info != nullptr && !info->aviCarries) {
      refused = info;
      return 0;
    }
    AVICOMPRESSOR::FillOptions(choice, *options);
    return 1;
  };
  AVICOMPRESSOPTIONS* choices[1] = {&compress_.Options};
  if (AVISaveOptions(chooser, nullptr, ICMF_CHOOSE_KEYFRAME | ICMF_CHOOSE_DATARATE, 1, &video,
                     choices) != 1) {
    if (refused == nullptr) return Setup::NoCompressor;
    // Nothing of the file stays: the newer codecs need another container.
    Abandon();
    return Fail("[MediaOutput::Create] Pictures of the compressor " + refused->name +
                " can't be stored in an AVI file: write Matroska (.mkv), MP4 (.mp4) or WebM "
                "(.webm)...");
  }
  PAVISTREAM compressed = nullptr;
  const HRESULT made = AVIMakeCompressedStream(&compressed, video, &compress_.Options, nullptr);
  compressed_.reset(compressed);
  if (made != AVIERR_OK) return Fail(OUTPUTFORMAT::CompressedStreamErrorText(made));
  // A source without audio gets no audio stream: a stream with an all-zero
  // format would make the file invalid.
  if (source.HasAudio && !CreateAudioStream(request)) return Setup::Failed;
  const std::vector<uint8_t> software = OUTPUTFORMAT::SoftwareInfoBlock();
  AVIFileWriteData(file, ckidLIST, software.data(), LONG(software.size()));
  return Setup::Ready;
}

void AviOutput::Abandon() {
  compressed_.reset();
  audio_.reset();
  video_.reset();
  if (!file_) return;
  file_.reset();
  std::remove(path_.c_str());
}

bool AviOutput::CreateAudioStream(const OutputRequest& request) {
  audioInfo_ = OUTPUTFORMAT::AudioStreamInfo(request.Source.Audio, request.FixAudioVbr);
  PAVISTREAM audio = nullptr;
  const HRESULT created = AVIFileCreateStreamA(file_.get(), &audio, &audioInfo_);
  audio_.reset(audio);
  if (created != AVIERR_OK) {
    Fail("Can't create output audio stream...");
    return false;
  }
  const std::vector<uint8_t> format = OUTPUTFORMAT::AudioFormatBlock(request.Source.Audio);
  if (AVIStreamSetFormat(audio, 0, format.data(), LONG(format.size())) != AVIERR_OK) {
    Fail("Can't set audio output format...");
    return false;
  }
  return true;
}

// The first picture gives the stream its format and is written too, as
// sample 0, so output picture k is sample k.
bool AviOutput::WritePicture(const BMPFRAME::BmpView& picture, double, uint64_t& bytes) {
  PAVISTREAM compressed = compressed_.get();
  if (pictures_ == 0 &&
      AVIStreamSetFormat(compressed, 0, picture.Info(), LONG(picture.FormatSize())) != AVIERR_OK) {
    error_ = "Can't set video output format...";
    return false;
  }
  LONG written = 0;
  if (AVIStreamWrite(compressed, pictures_, 1, picture.Pixels(), LONG(picture.ImageSize()), 0,
                     nullptr, &written) != AVIERR_OK) {
    error_ = "Can't write video output...";
    return false;
  }
  bytes += uint64_t(std::max<LONG>(written, 0));
  ++pictures_;
  return true;
}

bool AviOutput::TakesPlanar() const {
  return pictures_ > 0 && AVIStreamTakesPlanar(compressed_.get());
}

bool AviOutput::WriteMixedPicture(const PLANARPICTURE::MixedPicture& picture, double,
                                  uint64_t& bytes) {
  LONG written = 0;
  if (AVIStreamWriteMixed(compressed_.get(), picture, nullptr, &written) != AVIERR_OK) {
    error_ = "Can't write video output...";
    return false;
  }
  bytes += uint64_t(std::max<LONG>(written, 0));
  ++pictures_;
  return true;
}

bool AviOutput::WriteAudio(const AudioPacket& packet, uint64_t& bytes) {
  if (!audio_) return true;
  LONG written = 0;
  if (AVIStreamWrite(audio_.get(), packets_, 1, packet.Data, packet.Size, AVIIF_KEYFRAME, nullptr,
                     &written) != AVIERR_OK) {
    error_ = "Can't write audio output...";
    return false;
  }
  bytes += uint64_t(std::max<LONG>(written, 0));
  ++packets_;
  return true;
}

int AviOutput::LastErrno() const { return file_ ? AVIFileLastErrno(file_.get()) : 0; }

}  // namespace MEDIAOUTPUT
