#include "job/SubtitleJob.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>

#include "job/OutputFormat.h"
#include "picture/BmpFrame.h"

namespace SUBTITLEJOB {

using JOBHOST::JobControl;
using JOBOPTIONS::JobOptions;

namespace {

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Blanks and control characters count as empty around a file name.
bool IsBlank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return uint8_t(c) <= ' '; });
}

// A source without audio gets no audio stream: a stream with an all-zero
// format would make the file invalid.
bool HasAudio(const VELAVCODEC::VelAvCodec& d) {
  return d.AudioStreamCount > 0 && d.AudioStream >= 0;
}

}  // namespace

SubtitleJob::SubtitleJob(JOBHOST::JobHost& host, VELAVCODEC::VelAvCodec* decoder,
                         SUBTITLEFILE::SubtitleFile& subtitles,
                         SUBTITLEOVERLAY::SubtitleOverlay& overlay)
    : host_(host), decoder_(decoder), subtitles_(subtitles), overlay_(overlay) {
  host_.job_ = this;
}

// Only the output is released here: the decoder, subtitles and overlay may
// already be gone.
SubtitleJob::~SubtitleJob() {
  ReleaseOutput();
  if (host_.job_ == this) host_.job_ = nullptr;
}

JobEnd SubtitleJob::Start(const JobOptions& options) {
  // Stop enables Start while the loop is still finishing its pass.
  if (active_ || decoder_ == nullptr || !Validate(options)) return JobEnd::NotStarted;
  active_ = true;
  quietEnd_ = false;
  EnterWorkingState();
  JobEnd end = JobEnd::SetupFailed;
  if (OpenSource(options) && OpenSubtitles(options)) {
    const std::optional<JobEnd> failed = CreateOutput(options);
    end = failed ? *failed : RunFrameLoop(options);
  }
  active_ = false;
  return end;
}

bool SubtitleJob::Validate(const JobOptions& options) {
  const char* missing = nullptr;
  if (IsBlank(options.SourceVideo))
    missing = "Please choose a source video file!";
  else if (IsBlank(options.Subtitle) && !options.TranscodeVideo)
    missing = "Please choose a subtitle file!";
  else if (IsBlank(options.DestinationVideo))
    missing = "Please choose a destination video file!";
  if (missing != nullptr) host_.ShowMessageBox(MessageKind::Information, "", missing);
  return missing == nullptr;
}

void SubtitleJob::EnterWorkingState() {
  SetIdleControls(false);
  host_.ShowStatistics(JOBSTATISTICS::ResetTexts());
  host_.SetProgressPosition(0);
  host_.AppendLog("-=[ START ]=-");
}

bool SubtitleJob::OpenSource(const JobOptions& options) {
  if (!decoder_->PreOpen(options.SourceVideo)) {
    Fail(decoder_->ErrorText);
    return false;
  }
  host_.AppendLog(decoder_->Info);
  decoder_->SelectVideoStream(std::max(options.VideoStream, 0));
  decoder_->SelectAudioStream(std::max(options.AudioStream, 0));
  if (!decoder_->Open()) {
    Fail(decoder_->ErrorText);
    return false;
  }
  return true;
}

bool SubtitleJob::OpenSubtitles(const JobOptions& options) {
  if (options.TranscodeVideo) return true;
  subtitles_.Reading = options.Reading;
  if (!subtitles_.Open(options.Subtitle)) {
    Fail(subtitles_.ErrorText);
    return false;
  }
  host_.AppendLog(subtitles_.Info);
  // The delay in milliseconds is turned into frames with the frame rate.
  subtitles_.FrameRate = decoder_->FramesPerSecond;
  if (options.UseFrames)
    subtitles_.SetDelayFrames(options.DelayFrames);
  else
    subtitles_.SetDelayMilliseconds(options.DelayMilliseconds);
  return true;
}

// Nothing when the output is ready for the frame loop, else how the job ended.
std::optional<JobEnd> SubtitleJob::CreateOutput(const JobOptions& options) {
  output_ = std::make_unique<JobOutput>();
  JobOutput& out = *output_;
  PAVIFILE file = nullptr;
  const HRESULT opened = AVIFileOpenA(&file, options.DestinationVideo.c_str(),
                                      OF_CREATE | OF_SHARE_DENY_NONE | OF_READWRITE, nullptr);
  out.File.reset(file);
  if (opened != AVIERR_OK) return Fail(OUTPUTFORMAT::OutputFileErrorText(opened));
  out.VideoInfo = OUTPUTFORMAT::VideoStreamInfo(*decoder_, options.TranscodeVideo);
  PAVISTREAM video = nullptr;
  const HRESULT created = AVIFileCreateStreamA(file, &video, &out.VideoInfo);
  out.Video.reset(video);
  if (created != AVIERR_OK) return Fail("Can't create output video stream...");
  AVICOMPRESSOPTIONS* choices[1] = {&out.Compress.Options};
  if (AVISaveOptions(host_.CompressorChooser(), host_.OwnerWindow(),
                     ICMF_CHOOSE_KEYFRAME | ICMF_CHOOSE_DATARATE, 1, &video, choices) != 1) {
    host_.AppendLog("[BEGIN INFO]");
    host_.AppendLog("User has not selected a codec for compression...");
    host_.AppendLog("[END INFO]");
    CloseAll();
    return JobEnd::NoCompressor;
  }
  PAVISTREAM compressed = nullptr;
  const HRESULT made = AVIMakeCompressedStream(&compressed, video, &out.Compress.Options, nullptr);
  out.Compressed.reset(compressed);
  if (made != AVIERR_OK) return Fail(OUTPUTFORMAT::CompressedStreamErrorText(made));
  if (HasAudio(*decoder_) && !CreateAudioStream(options)) return JobEnd::SetupFailed;
  const std::vector<uint8_t> software = OUTPUTFORMAT::SoftwareInfoBlock();
  AVIFileWriteData(file, ckidLIST, software.data(), LONG(software.size()));
  overlay_.Setup(options.Font, decoder_->Width);
  overlay_.AutoSizeLine = options.AutoSize;
  return std::nullopt;
}

bool SubtitleJob::CreateAudioStream(const JobOptions& options) {
  JobOutput& out = *output_;
  out.AudioInfo = OUTPUTFORMAT::AudioStreamInfo(*decoder_, options.FixAudioVBR);
  PAVISTREAM audio = nullptr;
  const HRESULT created = AVIFileCreateStreamA(out.File.get(), &audio, &out.AudioInfo);
  out.Audio.reset(audio);
  if (created != AVIERR_OK) {
    Fail("Can't create output audio stream...");
    return false;
  }
  const std::vector<uint8_t> format = OUTPUTFORMAT::AudioFormatBlock(*decoder_);
  if (AVIStreamSetFormat(audio, 0, format.data(), LONG(format.size())) != AVIERR_OK) {
    Fail("Can't set audio output format...");
    return false;
  }
  return true;
}

SUBTITLESCHEDULE::SubtitleSchedule::Fetch SubtitleJob::FetchEntry() {
  return [this](int32_t& start, int32_t& end) -> const SUBTITLEFILE::TextLines& {
    return subtitles_.NextEntry(start, end);
  };
}

JobEnd SubtitleJob::RunFrameLoop(const JobOptions& options) {
  counters_ = LoopCounters{};
  counters_.Figures.TotalFrames = decoder_->FrameCount;
  host_.SetProgressMaximum(counters_.Figures.TotalFrames);
  if (!options.TranscodeVideo) schedule_.Begin(FetchEntry(), 0);
  running_ = true;
  refreshDue_ = false;
  host_.SetRefreshTimer(true);
  counters_.StartMs = counters_.LastRefreshMs = NowMs();
  JobEnd end = JobEnd::Stopped;
  while (running_) {
    int32_t kind = 0;
    int32_t size = 0;
    uint8_t* data = decoder_->GetNextData(kind, size);
    const bool delivered = data != nullptr && size > 0;
    if (delivered && kind == VELAVCODEC::VelAvCodec::KindVideo) {
      if (!HandlePicture(data, options.TranscodeVideo)) {
        end = JobEnd::WriteFailed;
        break;
      }
    } else if (delivered && kind == VELAVCODEC::VelAvCodec::KindAudio) {
      if (!HandleAudio(data, size)) {
        end = JobEnd::WriteFailed;
        break;
      }
    }
    if (refreshDue_) RefreshStatistics();
    host_.ProcessMessages();
    if (size < 1) {
      end = JobEnd::SourceEnded;
      break;
    }
  }
  host_.SetRefreshTimer(false);
  CloseAll();
  host_.AppendLog("-=[ END ]=-");
  if (!quietEnd_) host_.ShowMessageBox(MessageKind::Information, "", "OK");
  return end;
}

// The first picture gives the stream its format and is written too, as
// sample 0, so decoded picture k is output sample k.
bool SubtitleJob::HandlePicture(uint8_t* image, bool transcode) {
  int32_t& index = counters_.Figures.FrameIndex;
  if (!transcode) {
    const auto actions = schedule_.ForFrame(index);
    if (actions.Draw) overlay_.DrawSubtitle(schedule_.Lines());
    if (actions.Overlay) overlay_.OverlaySubtitle(image);
  }
  const BMPFRAME::BmpView frame(image);
  PAVISTREAM compressed = output_->Compressed.get();
  if (index == 0 &&
      AVIStreamSetFormat(compressed, 0, frame.Info(), LONG(frame.FormatSize())) != AVIERR_OK) {
    ReportError("Can't set video output format...");
    return false;
  }
  LONG written = 0;
  if (AVIStreamWrite(compressed, index, 1, frame.Pixels(), LONG(frame.ImageSize()), 0, nullptr,
                     &written) != AVIERR_OK) {
    ReportError("Can't write video output...");
    return false;
  }
  counters_.Figures.VideoBytes += uint64_t(std::max<LONG>(written, 0));
  ++index;
  host_.ShowPreview(frame.Info());
  if (!transcode) schedule_.AfterFrame(FetchEntry(), index);
  host_.SetProgressPosition(index);
  return true;
}

bool SubtitleJob::HandleAudio(const uint8_t* packet, int32_t size) {
  PAVISTREAM audio = output_->Audio.get();
  if (audio == nullptr) return true;
  LONG written = 0;
  if (AVIStreamWrite(audio, counters_.AudioIndex, 1, packet, size, AVIIF_KEYFRAME, nullptr,
                     &written) != AVIERR_OK) {
    ReportError("Can't write audio output...");
    return false;
  }
  counters_.Figures.AudioBytes += uint64_t(std::max<LONG>(written, 0));
  ++counters_.AudioIndex;
  return true;
}

void SubtitleJob::RefreshStatistics() {
  refreshDue_ = false;
  host_.SetRefreshTimer(true);
  const int64_t now = NowMs();
  JOBSTATISTICS::Progress& progress = counters_.Figures;
  progress.MsSinceStart = uint64_t(std::max<int64_t>(now - counters_.StartMs, 0));
  progress.MsSinceLastRefresh = uint32_t(std::max<int64_t>(now - counters_.LastRefreshMs, 0));
  host_.ShowStatistics(JOBSTATISTICS::ComputeStatistics(progress));
  progress.LastRefreshFrame = progress.FrameIndex;
  counters_.LastRefreshMs = now;
}

void SubtitleJob::RefreshTimerTick() {
  host_.SetRefreshTimer(false);
  refreshDue_ = true;
}

void SubtitleJob::Stop() {
  if (!running_) return;
  if (!host_.AskYesNo("STOP PROCESSING...", "Are you sure?")) return;
  EndRunning();
}

void SubtitleJob::EndRunning(bool quiet) {
  if (!active_) return;
  quietEnd_ = quietEnd_ || quiet;
  running_ = false;
  host_.SetControlEnabled(JobControl::Stop, false);
  host_.SetControlEnabled(JobControl::Start, true);
}

void SubtitleJob::CloseAll() {
  host_.AppendLog("Closing all...");
  SetIdleControls(true);
  if (decoder_ != nullptr) decoder_->Close();
  subtitles_.Clear();
  overlay_.ClearImage();
  ReleaseOutput();
  running_ = false;
}

void SubtitleJob::ReleaseOutput() { output_.reset(); }

void SubtitleJob::SetIdleControls(bool idle) {
  for (JobControl control : {JobControl::SourceVideo, JobControl::Subtitle,
                             JobControl::DestinationVideo, JobControl::Start})
    host_.SetControlEnabled(control, idle);
  host_.SetControlEnabled(JobControl::Stop, !idle);
  host_.SetControlEnabled(JobControl::Options, idle);
}

void SubtitleJob::ReportError(const std::string& text) {
  host_.AppendLog("[BEGIN ERROR]");
  host_.AppendLog(text);
  host_.AppendLog("[END ERROR]");
  host_.ShowMessageBox(MessageKind::Error, "", text);
}

JobEnd SubtitleJob::Fail(const std::string& text) {
  ReportError(text);
  CloseAll();
  return JobEnd::SetupFailed;
}

}  // namespace SUBTITLEJOB
