#include "job/SubtitleJob.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>

#include "job/JobAlign.h"
#include "job/JobDamage.h"
#include "job/JobLog.h"
#include "job/OutputPath.h"
#include "job/SubtitleChoice.h"
#include "media/LibraryLog.h"
#include "output/OutputFactory.h"
#include "picture/BmpFrame.h"

namespace SUBTITLEJOB {

using JOBOPTIONS::JobOptions;

namespace {

// FFmpeg's messages since the last call, collected from its threads.
void AppendLibraryLines(JOBHOST::JobHost& host) {
  for (const std::string& line : LIBRARYLOG::TakeLines()) host.AppendLog(line);
}

// The system's words for an error number; nothing for none.
std::string ReasonOf(int error) { return error != 0 ? std::strerror(error) : std::string(); }

// An audio or copied video packet as the decoder handed it out.
MEDIAOUTPUT::SourcePacket PacketOf(const VELAVCODEC::VelAvCodec::Delivery& delivered) {
  return {delivered.Packet, delivered.Data,     delivered.Size, delivered.Pts,
          delivered.Dts,    delivered.Duration, delivered.Key};
}

}  // namespace

SubtitleJob::SubtitleJob(JOBHOST::JobHost& host, JOBMATERIALS::JobMaterials& materials)
    : host_(host),
      decoder_(materials.Decoder.get()),
      subtitles_(*materials.Subtitles),
      overlay_(*materials.Overlay),
      styled_(*materials.Styled) {
  host_.job_ = this;
}

// Only the output is released here: the decoder, subtitles and overlay may
// already be gone.
SubtitleJob::~SubtitleJob() {
  ReleaseOutput();
  if (host_.job_ == this) host_.job_ = nullptr;
}

JobEnd SubtitleJob::Start(const JobOptions& options) {
  // A stop frees Start while the loop is still finishing its pass.
  if (Active() || decoder_ == nullptr || !Validate(options)) return JobEnd::NotStarted;
  state_ = State::SettingUp;
  EnterWorkingState();
  JobEnd end = JobEnd::SetupFailed;
  const std::string sameFile = OUTPUTPATH::SameFileError(options);
  output_ = MEDIAOUTPUT::MakeOutput(MEDIAOUTPUT::ContainerOf(options.DestinationVideo));
  if (!sameFile.empty()) {
    Fail(sameFile);
  } else if (JobOptions chosen = options;
             ChooseClip(chosen) && OpenSource(chosen) && ClipFitsFilm() && OpenSubtitles(chosen)) {
    const std::optional<JobEnd> failed = CreateOutput(chosen);
    end = failed ? *failed : RunFrameLoop(chosen);
  }
  // Still active while the front reacts: no other job may begin from there.
  host_.JobEnded(end);
  state_ = State::Idle;
  return end;
}

bool SubtitleJob::Validate(const JobOptions& options) {
  const char* missing = JOBOPTIONS::MissingFileRequest(JOBOPTIONS::FirstMissingFile(options));
  if (missing != nullptr) host_.InputMissing(missing);
  return missing == nullptr;
}

void SubtitleJob::EnterWorkingState() {
  host_.PhaseChanged(JobPhase::Working);
  host_.ShowStatistics(JOBSTATISTICS::ResetTexts(), JOBSTATISTICS::Progress{});
  host_.SetProgressPosition(0);
  LIBRARYLOG::BeginRun();
  host_.AppendLog("-=[ START ]=-");
}

// options: languages or the forced track become what was found.
bool SubtitleJob::OpenSource(JobOptions& options) {
  if (!decoder_->PreOpen(options.SourceVideo)) {
    Fail(decoder_->ErrorText, "", {options.SourceVideo, decoder_->OpenFailure});
    return false;
  }
  host_.AppendLog(decoder_->Info);
  decoder_->SelectVideoStream(std::max(options.VideoStream, 0));
  decoder_->SelectAudioStream(std::max(options.AudioStream, 0));
  const SUBTITLECHOICE::Chosen chosen = SUBTITLECHOICE::ChooseSubtitles(options, *decoder_);
  for (const std::string& line : chosen.Log) host_.AppendLog(line);
  if (!chosen.Found) {
    Fail(chosen.Error);
    return false;
  }
  std::string error;
  if (!SUBTITLESOURCE::SelectTrack(options, *decoder_, error)) {
    Fail(error);
    return false;
  }
  if (const std::string error = PICTURESHAPE::Plan(options.Shape, *decoder_, shape_);
      !error.empty()) {
    Fail(error);
    return false;
  }
  for (const std::string& line : shape_.Log) host_.AppendLog(line);
  // The container decides how the decoder describes the sound.
  if (!decoder_->Open({.AudioForAvi = output_->NeedsAviAudio(), .Geometry = shape_.Geometry})) {
    Fail(decoder_->ErrorText);
    return false;
  }
  return true;
}

bool SubtitleJob::OpenSubtitles(const JobOptions& options) {
  // The window keeps answering while a long film's audio is read.
  source_ = SUBTITLESOURCE::MakeSubtitleSource(options, *decoder_, {subtitles_, overlay_, styled_},
                                               [this] { host_.ProcessMessages(); });
  const SUBTITLESOURCE::Opened opened = source_->Open(*decoder_);
  for (const std::string& line : opened.Log) host_.AppendLog(line);
  for (const std::string& line : opened.Found) host_.AppendLog(line);
  if (!opened.Done)
    Fail(opened.Error, opened.Cause,
         {opened.UnopenedFile.empty() ? options.Subtitle : opened.UnopenedFile, opened.Unopened});
  return opened.Done;
}

// The user's choice, with the depth and colour the output keeps of the
// source's. The older containers' compressors write 8 bits, as ever.
bool SubtitleJob::ChooseCompressor(const ENCODERCHOICE::ChoiceRequest& asked,
                                   ENCODERCHOICE::EncoderChoice& choice,
                                   const JOBOPTIONS::JobOptions& options) {
  if (!host_.ChooseCompressor(asked, choice)) return false;
  const COMPRESSORCATALOG::CompressorInfo* info = COMPRESSORCATALOG::FindCompressor(choice.Codec);
  if (info == nullptr) return true;  // the output says so
  const VELAVCODEC::VelAvCodec& source = *decoder_;
  const OUTPUTCOLOUR::Asked wanted =
      OUTPUTCOLOUR::AskedOf(choice.Asked, options.BitDepth, options.Sdr, options.SubtitleNits);
  colour_ = OUTPUTCOLOUR::Decide(*info, {source.VideoValues().Form, source.Width, source.Height},
                                 wanted.BitDepth, wanted.Sdr);
  if (!colour_.Error.empty()) {
    choiceError_ = colour_.Error;
    return false;
  }
  OUTPUTCOLOUR::Apply(colour_, source.VideoValues().Form, choice);
  if (colour_.ToneMaps) copyVeto_ = "an HDR source written as SDR is tone-mapped on every picture";
  inkColours_ =
      OUTPUTCOLOUR::InkColoursFor(colour_, source.VideoValues().Form, wanted.SubtitleNits);
  if (!colour_.Note.empty()) host_.AppendLog(colour_.Note);
  return true;
}

// An HDR source written as SDR is tone-mapped as it is decoded. Deep
// pictures stay planar from the decoder to the encoder, the subtitle
// blended in as ink: they never go through 8-bit BGR.
bool SubtitleJob::StartDeepPictures() {
  if (colour_.ToneMaps && !decoder_->SetToneMapping(true)) {
    ReportError("[SubtitleJob::Start] Can't alocate memory for video frames...");
    return false;
  }
  if (colour_.BitDepth == 8) return true;
  if (decoder_->SetPlanarDepth(colour_.BitDepth) &&
      drawer_->GivePlanarInk(decoder_->Width, decoder_->Height))
    return true;
  ReportError("[SubtitleJob::Start] Can't alocate memory for video frames...");
  return false;
}

// Nothing when the output is ready for the frame loop, else how the job ended.
std::optional<JobEnd> SubtitleJob::CreateOutput(const JobOptions& options) {
  MEDIAOUTPUT::OutputRequest request;
  request.Path = options.DestinationVideo;
  request.Transcode = options.TranscodeVideo;
  request.FixAudioVbr = options.FixAudioVBR;
  request.ConvertAudio = options.ConvertAudio;
  request.Source = decoder_->Streams();
  request.Keeping = options.Keeping;
  StartClip(request);
  request.Drawn = {options.SubtitleTrack, options.ForcedOnly};
  request.Chooser = [this, &options](const ENCODERCHOICE::ChoiceRequest& asked,
                                     ENCODERCHOICE::EncoderChoice& choice) {
    return ChooseCompressor(asked, choice, options);
  };
  colour_ = {};
  inkColours_.reset();
  choiceError_.clear();
  // Copying needs to know when a subtitle shows before the output is made.
  if (options.CopyUntouched)
    if (const std::optional<JobEnd> failed = MakeJobDrawer(options)) return failed;
  PlanCopying(options, request);
  switch (output_->Create(request)) {
    case MEDIAOUTPUT::Setup::Ready:
      break;
    case MEDIAOUTPUT::Setup::Failed:
      return Fail(output_->ErrorText(), "",
                  {options.DestinationVideo, ReasonOf(output_->OpenErrno())});
    case MEDIAOUTPUT::Setup::NoCompressor:
      if (!choiceError_.empty()) {
        output_->Abandon();
        return Fail(choiceError_);
      }
      for (const std::string& line :
           JOBLOG::InfoBlock("User has not selected a codec for compression..."))
        host_.AppendLog(line);
      CloseAll();
      return JobEnd::NoCompressor;
  }
  StartCopying(options);
  for (const std::string& line : output_->StreamNotes()) host_.AppendLog(line);
  const std::string described = output_->VideoDescription();
  if (!described.empty()) host_.AppendLog(described);
  const std::string sound = output_->AudioDescription();
  if (!sound.empty()) host_.AppendLog(sound);
  if (!drawer_) return MakeJobDrawer(options);
  return std::nullopt;
}

// Nothing when the drawer is ready, else how the job ended.
std::optional<JobEnd> SubtitleJob::MakeJobDrawer(const JobOptions& /*options*/) {
  std::string error;
  drawer_ = PICTURESHAPE::Placed(source_->MakeDrawer(*decoder_, error), shape_, decoder_->Width,
                                 decoder_->Height);
  if (!drawer_) {
    for (const std::string& line : source_->TakeNotes()) host_.AppendLog(line);
    return Fail(error, "", {source_->UnopenedFile(), source_->UnopenedReason()});
  }
  LogDrawerNotes();
  return std::nullopt;
}

JobEnd SubtitleJob::RunFrameLoop(const JobOptions& options) {
  counters_ = LoopCounters{};
  conversionFailed_ = false;
  counters_.Figures.TotalFrames = decoder_->FrameCount;
  if (clip_.Asked) {
    const double fps = decoder_->FramesPerSecond;
    // A source of unknown length counts to the clip's end, if it has one.
    double last = clip_.ToSeconds * fps;
    if (decoder_->VideoValues().LengthKnown || !std::isfinite(last))
      last = std::min<double>(last, decoder_->FrameCount);
    counters_.Figures.TotalFrames =
        int32_t(std::clamp<double>(std::ceil(last - clip_.FromSeconds * fps), 1.0, INT32_MAX));
  }
  // Progress counts the pictures encoded.
  if (copying_) {
    const double fps = decoder_->FramesPerSecond;
    counters_.Figures.TotalFrames =
        int32_t(std::clamp<double>(std::ceil(copyPlan_.EncodedSeconds * fps), 1.0, INT32_MAX));
    counters_.Figures.CopiedFrames = 0;
    counters_.Figures.TotalCopiedFrames = int64_t(std::clamp<double>(
        std::round((copyPlan_.TotalSeconds - copyPlan_.EncodedSeconds) * fps), 0.0, INT32_MAX));
  }
  host_.SetProgressMaximum(counters_.Figures.TotalFrames);
  clock_.Start(decoder_->FramesPerSecond);
  held_.Held = false;
  held_.LastEnd = 0.0;
  lastScheduledFrame_ = -1;
  state_ = State::Looping;
  refreshDue_ = false;
  host_.SetRefreshTimer(true);
  counters_.StartMs = counters_.LastRefreshMs = JOBSTATISTICS::NowMs();
  JobEnd end = JobEnd::Stopped;
  // A source whose rate may vary keeps a copy of every picture from the start.
  if (decoder_->VideoValues().VariableRate && !output_->KeepsPictureTimes() &&
      !KeepPictureCopies()) {
    state_ = State::Stopping;
    end = JobEnd::WriteFailed;
  }
  // Pictures stay planar where the compressor takes them so; the next ones
  // decode while this one is drawn and compressed (on failure the loop reads
  // them itself).
  VELAVCODEC::VelAvCodec::ReadingSetup reading{.Planar = true};
  if (copying_) reading.Fates = copyPlan_.Fates;
  reading.KeptStreams = output_->TakenStreams();
  if (clip_.Asked) {
    reading.ClipFromSeconds = clip_.FromSeconds;
    reading.ClipToSeconds = clip_.ToSeconds;
  }
  decoder_->SetReading(std::move(reading));
  if (!StartDeepPictures()) {
    state_ = State::Stopping;
    end = JobEnd::WriteFailed;
  }
  decoder_->StartReadingAhead();
  using Kind = VELAVCODEC::VelAvCodec::Delivery::Kind;
  while (state_ == State::Looping) {
    delivered_ = decoder_->Deliver();
    if (delivered_.What == Kind::Picture) {
      if (!HandlePicture(delivered_.Data)) {
        end = conversionFailed_ ? SourceFailure() : JobEnd::WriteFailed;
        break;
      }
    } else if (delivered_.What == Kind::VideoPacket) {
      if (!HandleVideoPacket(delivered_)) {
        end = JobEnd::WriteFailed;
        break;
      }
    } else if (delivered_.What == Kind::Audio) {
      if (!HandleAudio(delivered_)) {
        end = JobEnd::WriteFailed;
        break;
      }
    } else if (delivered_.What == Kind::StreamPacket) {
      if (!output_->WriteStreamPacket(delivered_.Stream, PacketOf(delivered_),
                                      counters_.Figures.AudioBytes)) {
        ReportWriteError(output_->ErrorText());
        end = JobEnd::WriteFailed;
        break;
      }
    }
    AppendLibraryLines(host_);
    if (refreshDue_) RefreshStatistics();
    host_.ProcessMessages();
    if (delivered_.Size < 1) {
      end = delivered_.Size < 0 ? SourceFailure() : EndOfSource();
      break;
    }
  }
  delivered_ = {};
  if (drawer_) {
    drawer_->Finished();
    LogDrawerNotes();
  }
  // The figures end on the counts the log gives, not on those of the last tick.
  if (copying_) RefreshStatistics();
  host_.SetRefreshTimer(false);
  // A loop that broke off left a shorter file than the source would give.
  const bool brokeOff = end == JobEnd::WriteFailed || end == JobEnd::SourceFailed;
  end = ReportDamage(end, options.Strict);
  host_.LoopEnded(end);
  LogRateConversion();
  LogCopyCounts();
  // Copied pictures count with those written.
  const int64_t written = counters_.Figures.FrameIndex + (output_ ? output_->CopiedPictures() : 0);
  CloseAll();
  if (brokeOff && written > 0)
    Note(JobNote::PartialOutput, "the first " + std::to_string(written) +
                                     " pictures were written to " + options.DestinationVideo);
  host_.AppendLog("-=[ END ]=-");
  return end;
}

// A job over a damaged source says so in one line; a strict one fails.
JobEnd SubtitleJob::ReportDamage(JobEnd end, bool strict) {
  const std::string damage = JOBDAMAGE::Summary(decoder_->Damage(), output_->Repairs());
  if (damage.empty()) return end;
  Note(JobNote::Damage, damage);
  if (!strict || end != JobEnd::SourceEnded) return end;
  ReportError("[SubtitleJob::Start] The source is damaged, and --strict asks for a sound one...");
  return JobEnd::SourceFailed;
}

void SubtitleJob::Note(JobNote note, const std::string& text) {
  host_.AppendLog(text);
  host_.NoteReported(note, text);
}

// A read, decode or conversion error is not the end of the source: it is
// reported, and what was written so far stays in a complete file.
JobEnd SubtitleJob::SourceFailure() {
  ReportError(decoder_->ErrorText);
  return JobEnd::SourceFailed;
}

JobEnd SubtitleJob::EndOfSource() {
  if (held_.Held && !WriteRepeats(held_.Last.data(), clock_.RepeatsUntil(held_.LastEnd)))
    return JobEnd::WriteFailed;
  if (counters_.Figures.FrameIndex == 0 && output_->CopiedPictures() == 0) {
    ReportError("[SubtitleJob::Start] No picture could be read from the source video...");
    return JobEnd::SourceFailed;
  }
  return JobEnd::SourceEnded;
}

void SubtitleJob::LogRateConversion() {
  if (clock_.Repeated() == 0 && clock_.Dropped() == 0) return;
  host_.AppendLog(std::to_string(clock_.Repeated()) + " pictures repeated and " +
                  std::to_string(clock_.Dropped()) + " dropped for a constant rate of " +
                  JOBSTATISTICS::NumberText(decoder_->FramesPerSecond) + " pictures a second...");
}

// From here on every picture is kept as decoded, so that the places after it
// can repeat it.
bool SubtitleJob::KeepPictureCopies() {
  if (held_.Kept) return true;
  if (!held_.Last.Allocate(decoder_->Width, decoder_->Height) ||
      !held_.Repeat.Allocate(decoder_->Width, decoder_->Height)) {
    ReportError("[SubtitleJob::Start] Can't alocate memory for video frames...");
    return false;
  }
  held_.Kept = true;
  return true;
}

// Places the decoded picture on the output's frame rate: for a source of
// constant rate every picture is written once, in order.
bool SubtitleJob::HandlePicture(uint8_t* image) {
  if (output_->KeepsPictureTimes()) return WriteTimedPicture(image);
  // A clip's rate counts from its start.
  const double seconds = delivered_.Seconds - clip_.FromSeconds;
  const auto placement = clock_.Place(delivered_.Timed, seconds);
  if (delivered_.Timed) held_.LastEnd = seconds + delivered_.DurationSeconds;
  if (placement.Drop) return true;
  // Copies are kept as BGR.
  if ((placement.Repeats > 0 || held_.Kept) && !ConvertDeliveredPicture()) return false;
  if (placement.Repeats > 0) {
    // Without a copy of the picture before (none yet, or the rate seemed
    // constant), this one fills the places before it.
    const uint8_t* repeated = held_.Held ? held_.Last.data() : image;
    if (!KeepPictureCopies() || !WriteRepeats(repeated, placement.Repeats)) return false;
  }
  if (held_.Kept) {
    std::memcpy(held_.Last.data(), image, held_.Last.size());
    held_.Held = true;
  }
  return WritePicture(image, Origin::Delivered);
}

// The picture is whole in the frame buffer from here on: its planes are
// no longer handed out.
bool SubtitleJob::ConvertDeliveredPicture() {
  conversionFailed_ = !decoder_->ConvertPicture();
  delivered_.Planar = nullptr;
  return !conversionFailed_;
}

bool SubtitleJob::WriteRepeats(const uint8_t* picture, int64_t count) {
  for (int64_t i = 0; i < count; ++i) {
    std::memcpy(held_.Repeat.data(), picture, held_.Repeat.size());
    if (!WritePicture(held_.Repeat.data(), Origin::Copy)) return false;
  }
  return true;
}

// A container that keeps times takes every picture once, at its own time;
// the subtitles are due by that time too.
bool SubtitleJob::WriteTimedPicture(uint8_t* image) {
  const VELAVCODEC::VelAvCodec& d = *decoder_;
  const double seconds =
      delivered_.Timed ? delivered_.Seconds : counters_.Figures.FrameIndex / d.FramesPerSecond;
  return WritePicture(image, Origin::Delivered,
                      seconds + d.VideoValues().VideoStartSeconds - d.StartSeconds);
}

// One output picture: the due subtitle drawn in, then written. seconds: its
// time from the source's start, for a container that keeps times.
bool SubtitleJob::WritePicture(uint8_t* image, Origin origin, double seconds) {
  int32_t& index = counters_.Figures.FrameIndex;
  // Frames count at the output's rate; a container that keeps times counts
  // them by the picture's time. The subtitles stay on the source's frames.
  if (index == 0 && clip_.Asked) clipFirstFrame_ = FrameOfFirstClipPicture();
  int32_t frame = index + clipFirstFrame_;
  if (output_->KeepsPictureTimes()) {
    const double due =
        (seconds - decoder_->VideoValues().VideoStartSeconds + decoder_->StartSeconds) *
        decoder_->FramesPerSecond;
    frame = std::max(lastScheduledFrame_, int32_t(std::llround(std::max(due, 0.0))));
    lastScheduledFrame_ = frame;
  }
  const PLANARPICTURE::PlanarPicture* planar =
      origin == Origin::Delivered ? PlanarToWrite() : nullptr;
  if (conversionFailed_) return false;
  PLANARPICTURE::MixedPicture mixed;
  if (planar != nullptr) {
    mixed.Planes = *planar;
    mixed.Bgr = image;
    mixed.Colours = inkColours_.get();
  }
  if (!DrawSubtitle(frame, image, planar, mixed)) return false;
  const BMPFRAME::BmpView picture(image);
  uint64_t& bytes = counters_.Figures.VideoBytes;
  const double at = output_->KeepsPictureTimes() ? seconds - clipShiftSeconds_ : seconds;
  const bool written = planar ? output_->WriteMixedPicture(mixed, at, bytes)
                              : output_->WritePicture(picture, at, bytes);
  if (!written) {
    ReportWriteError(output_->ErrorText());
    return false;
  }
  ++index;
  // A planar picture was never converted: no preview is open, unless the
  // picture is deep.
  if (planar == nullptr)
    host_.ShowPreview(picture);
  else if (planar->BitDepth > 8 && host_.ShowsPreview())
    ShowDeepPreview(frame, image);
  drawer_->PictureDone(frame + 1);
  host_.SetProgressPosition(index);
  return true;
}

// A deep picture went to the compressor as it is; the preview gets it in BGR,
// the subtitle drawn as a BGR picture takes it. An HDR picture shows its code
// values. A preview that cannot be made is left out: the file is unharmed.
void SubtitleJob::ShowDeepPreview(int32_t frame, uint8_t* image) {
  if (!decoder_->ConvertPicture()) return;
  if (drawer_->Prepare(frame, SUBTITLESOURCE::PictureTime(decoder_->FramesPerSecond, frame), false)
          .Shows)
    drawer_->DrawOnto(image);
  host_.ShowPreview(BMPFRAME::BmpView(image));
}

// The delivered picture as the decoder left it, when it is planar and the
// compressor takes it so; otherwise it is converted here (null).
const PLANARPICTURE::PlanarPicture* SubtitleJob::PlanarToWrite() {
  const PLANARPICTURE::PlanarPicture* planar = delivered_.Planar;
  if (planar == nullptr) return nullptr;
  // Deep pictures are written as they are; the preview is made after.
  if (planar->BitDepth > 8) return planar;
  if (output_->TakesPlanar() && !host_.ShowsPreview()) return planar;
  ConvertDeliveredPicture();
  return nullptr;
}

// The due subtitle onto the picture: a planar one takes the drawer's ink,
// or else has the rows the drawing covers converted, which make the band the
// compressor takes from BGR.
bool SubtitleJob::DrawSubtitle(int32_t frame, uint8_t* image,
                               const PLANARPICTURE::PlanarPicture* planar,
                               PLANARPICTURE::MixedPicture& mixed) {
  const SUBTITLEDRAWER::Coverage coverage = drawer_->Prepare(
      frame, SUBTITLESOURCE::PictureTime(decoder_->FramesPerSecond, frame), planar != nullptr);
  LogDrawerNotes();
  if (!coverage.Shows) return true;
  if (planar != nullptr && coverage.PlanarInk != nullptr) {
    mixed.Band = coverage.PlanarInk->Band();
    mixed.Ink = coverage.PlanarInk;
    return true;
  }
  if (planar != nullptr && planar->BitDepth > 8) return true;  // no ink: drawn nowhere
  if (planar != nullptr && !ConvertRowsOf(coverage.InkRows, planar->Height, mixed.Band))
    return false;
  drawer_->DrawOnto(image);
  return true;
}

// The rows a drawing covers, converted from the planar picture so that it
// can be drawn on.
bool SubtitleJob::ConvertRowsOf(std::pair<int32_t, int32_t> inkRows, int32_t height,
                                PLANARPICTURE::RowBand& band) {
  band = PLANARPICTURE::BandOfBmpRows(inkRows.first, inkRows.second, height);
  if (decoder_->ConvertRows(band)) return true;
  conversionFailed_ = true;
  return false;
}

void SubtitleJob::LogDrawerNotes() {
  if (!drawer_) return;
  for (const std::string& note : drawer_->TakeNotes()) host_.AppendLog(note);
}

bool SubtitleJob::HandleAudio(const VELAVCODEC::VelAvCodec::Delivery& packet) {
  if (!output_->WriteAudio(ClippedAudio(packet), counters_.Figures.AudioBytes)) {
    ReportWriteError(output_->ErrorText());
    return false;
  }
  ++counters_.AudioIndex;
  return true;
}

void SubtitleJob::RefreshStatistics() {
  refreshDue_ = false;
  host_.SetRefreshTimer(true);
  const int64_t now = JOBSTATISTICS::NowMs();
  JOBSTATISTICS::Progress& progress = counters_.Figures;
  progress.MsSinceStart = uint64_t(std::max<int64_t>(now - counters_.StartMs, 0));
  progress.MsSinceLastRefresh = uint32_t(std::max<int64_t>(now - counters_.LastRefreshMs, 0));
  if (copying_ && output_) progress.CopiedFrames = output_->CopiedPictures();
  host_.ShowStatistics(JOBSTATISTICS::ComputeStatistics(progress), progress);
  progress.LastRefreshFrame = progress.FrameIndex;
  counters_.LastRefreshMs = now;
}

void SubtitleJob::RefreshTimerTick() {
  host_.SetRefreshTimer(false);
  refreshDue_ = true;
}

void SubtitleJob::EndRunning() {
  if (!Active()) return;
  state_ = State::Stopping;
  host_.PhaseChanged(JobPhase::Stopping);
}

void SubtitleJob::CloseAll() {
  host_.AppendLog("Closing all...");
  host_.PhaseChanged(JobPhase::Idle);
  if (decoder_ != nullptr) decoder_->Close();
  drawer_.reset();
  source_.reset();
  subtitles_.Clear();
  overlay_.ClearImage();
  styled_.Clear();
  if (output_)
    for (const std::string& line : output_->Close()) host_.AppendLog(line);
  ReleaseOutput();
  if (state_ == State::Looping) state_ = State::Stopping;
  AppendLibraryLines(host_);  // the encoders report as they close
}

void SubtitleJob::ReleaseOutput() { output_.reset(); }

// The cause goes with the error: the system's reason for a failed write,
// else what made a file unreadable, else the library's latest error.
void SubtitleJob::ReportError(const std::string& text, const std::string& reason) {
  AppendLibraryLines(host_);  // FFmpeg's reason comes before ours
  const std::string libraryCause = LIBRARYLOG::TakeLastError();
  for (const std::string& line : JOBLOG::ErrorBlock(text)) host_.AppendLog(line);
  // The library's lines are in the log already.
  if (!reason.empty()) host_.AppendLog(reason);
  host_.ErrorReported(text, reason.empty() ? libraryCause : reason);
}

// The file's own reason goes with the error.
void SubtitleJob::ReportWriteError(const std::string& text) {
  const int error = output_ ? output_->LastErrno() : 0;
  ReportError(text, ReasonOf(error));
}

JobEnd SubtitleJob::Fail(const std::string& text, const std::string& cause,
                         const Unopened& unopened) {
  ReportError(text, cause);
  if (!unopened.Reason.empty()) host_.FileUnopened(unopened.Path, unopened.Reason);
  CloseAll();
  return JobEnd::SetupFailed;
}

}  // namespace SUBTITLEJOB

// Copying the pictures no subtitle touches.
namespace SUBTITLEJOB {

void SubtitleJob::PlanCopying(const JobOptions& options, MEDIAOUTPUT::OutputRequest& request) {
  copying_ = false;
  copyVeto_.clear();
  if (shape_.Changes()) copyVeto_ = "a crop or scale changes every picture";
  copyPlan_ = {};
  if (!options.CopyUntouched) return;
  std::vector<SMARTPLAN::Shown> shown;
  const std::string unknown = source_->ShownTimes(*decoder_, shown);
  copyPlan_.Refusal = unknown;
  if (unknown.empty()) copyPlan_ = SMARTCOPY::Prepare(options, *decoder_, shown);
  request.CopyUntouched = copyPlan_.Refusal.empty();
  request.DecodeLeadSeconds = copyPlan_.DecodeLeadSeconds;
  request.CopyVeto = &copyVeto_;
}

// The decoder hands the copied stretches on from here on.
void SubtitleJob::StartCopying(const JobOptions& options) {
  if (!options.CopyUntouched) return;
  copying_ = output_->CopiesVideo();
  if (!copying_) {
    const std::string refusal =
        copyPlan_.Refusal.empty() ? output_->CopyRefusal() : copyPlan_.Refusal;
    host_.AppendLog(SMARTCOPY::RefusalLine(refusal));
    return;
  }
  host_.AppendLog(SMARTCOPY::PlanLine(copyPlan_));
}

bool SubtitleJob::HandleVideoPacket(const VELAVCODEC::VelAvCodec::Delivery& packet) {
  if (output_->WriteVideoPacket(PacketOf(packet), counters_.Figures.VideoBytes)) return true;
  ReportWriteError(output_->ErrorText());
  return false;
}

void SubtitleJob::LogCopyCounts() {
  if (!copying_ || !output_) return;
  host_.AppendLog(std::to_string(output_->CopiedPictures()) + " pictures copied and " +
                  std::to_string(output_->EncodedPictures()) + " encoded");
}

}  // namespace SUBTITLEJOB

// A clip of the film.
namespace SUBTITLEJOB {

bool SubtitleJob::ChooseClip(const JobOptions& options) {
  clipFirstFrame_ = 0;
  clipShiftSeconds_ = 0.0;
  clipAudioShift_ = 0;
  const std::string error =
      CLIPRANGE::ParseRange(options.ClipStart, options.ClipEnd, options.ClipDuration, clip_);
  if (error.empty()) return true;
  Fail("[SubtitleJob::Start] " + error + "...");
  return false;
}

// The film's length is known once the source is open: a start past it
// leaves nothing to write.
bool SubtitleJob::ClipFitsFilm() {
  const VELAVCODEC::VelAvCodec& d = *decoder_;
  const double film = d.VideoValues().LengthKnown
                          ? d.DurationSeconds - (d.VideoValues().VideoStartSeconds - d.StartSeconds)
                          : 0.0;
  const std::string error = CLIPRANGE::CheckAgainstFilm(clip_, film);
  if (error.empty()) return true;
  Fail(error);
  return false;
}

// The output is told of a source that starts where the clip does: the
// kept streams, copied pictures and chapters count their times from there,
// and what ends before it is left out. The chapters after the clip go.
void SubtitleJob::StartClip(MEDIAOUTPUT::OutputRequest& request) {
  if (!clip_.Asked) return;
  const VELAVCODEC::VelAvCodec& d = *decoder_;
  const double videoStart = d.VideoValues().VideoStartSeconds;
  clipShiftSeconds_ = videoStart - d.StartSeconds + clip_.FromSeconds;
  const VELAVCODEC::SourceStreams& source = request.Source;
  // The source's start and clock come from its file: a shift beyond any
  // clock moves nothing.
  const double ticks =
      clipShiftSeconds_ * source.AudioTimeBaseDen / std::max(source.AudioTimeBaseNum, 1);
  clipAudioShift_ = std::fabs(ticks) < 9.0e18 ? std::llround(ticks) : 0;
  request.Source.Video.StartSeconds = videoStart + clip_.FromSeconds;
  request.Source.Chapters =
      CLIPRANGE::ChaptersBefore(request.Source.Chapters, videoStart + clip_.ToSeconds);
}

// The sound's times count from the clip's start too; the packet that covers
// it starts a little before.
MEDIAOUTPUT::SourcePacket SubtitleJob::ClippedAudio(
    const VELAVCODEC::VelAvCodec::Delivery& packet) const {
  MEDIAOUTPUT::SourcePacket clipped = PacketOf(packet);
  if (!clip_.Asked) return clipped;
  for (int64_t* time : {&clipped.Pts, &clipped.Dts})
    if (*time != VELAVCODEC::kNoTime && __builtin_sub_overflow(*time, clipAudioShift_, time))
      *time = VELAVCODEC::kNoTime;
  return clipped;
}

// The source's frame of the clip's first picture, on the output's rate:
// where its subtitles are due.
int32_t SubtitleJob::FrameOfFirstClipPicture() {
  const double fps = decoder_->FramesPerSecond;
  const double seconds = delivered_.Timed ? delivered_.Seconds : clip_.FromSeconds;
  const double frame = std::llround(std::max(seconds, 0.0) * fps);
  const int32_t first = int32_t(std::clamp<double>(frame, 0.0, INT32_MAX / 2));
  // The drawing walks to it as a still's does.
  for (int32_t passed = 0; passed < first; ++passed) drawer_->Pass(passed);
  return first;
}

}  // namespace SUBTITLEJOB
