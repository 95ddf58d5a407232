#include "job/StillPicture.h"

#include "job/OutputColour.h"

#include <QImage>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "drawing/SubtitleOverlay.h"
#include "job/PictureClock.h"
#include "job/PictureShape.h"
#include "job/SubtitleChoice.h"
#include "job/SubtitleSource.h"
#include "subtitles/SubtitleUnit.h"

namespace STILLPICTURE {
namespace {

using VELAVCODEC::VelAvCodec;

// options: languages or the forced track become what was found, as the job
// finds them (the first opening finds them; the others take them). The
// picture's shape is planned by the first opening too.
bool OpenSource(VelAvCodec& decoder, JOBOPTIONS::JobOptions& options,
                std::optional<PICTURESHAPE::Planned>& shape,
                std::vector<std::string>* log = nullptr) {
  if (!decoder.PreOpen(options.SourceVideo)) return false;
  decoder.SelectVideoStream(std::max(options.VideoStream, 0));
  decoder.SelectAudioStream(std::max(options.AudioStream, 0));
  const SUBTITLECHOICE::Chosen chosen = SUBTITLECHOICE::ChooseSubtitles(options, decoder);
  if (log != nullptr) log->insert(log->end(), chosen.Log.begin(), chosen.Log.end());
  if (!chosen.Found) {
    decoder.Close();
    decoder.ErrorText = chosen.Error;
    return false;
  }
  std::string error;
  if (!SUBTITLESOURCE::SelectTrack(options, decoder, error)) {
    decoder.Close();
    decoder.ErrorText = error;
    return false;
  }
  if (!shape) {
    shape.emplace();
    if (std::string problem = PICTURESHAPE::Plan(options.Shape, decoder, *shape);
        !problem.empty()) {
      decoder.Close();
      decoder.ErrorText = std::move(problem);
      return false;
    }
    if (log != nullptr) log->insert(log->end(), shape->Log.begin(), shape->Log.end());
  }
  // A still has no sound: it is opened as the source has it.
  if (!decoder.Open({.AudioForAvi = false, .Geometry = shape->Geometry})) return false;
  // A still is an SDR picture: an HDR source's is tone-mapped, as an SDR
  // output's pictures are.
  if (OUTPUTCOLOUR::ToneMappable({decoder.VideoValues().Form, decoder.Width, decoder.Height}))
    decoder.SetToneMapping(true);
  return true;
}

bool CopyPicture(const uint8_t* picture, BMPFRAME::BmpFrame& still) {
  const BMPFRAME::BmpView view(const_cast<uint8_t*>(picture));
  if (!still.Allocate(view.Width(), view.Height())) return false;
  std::memcpy(still.Pixels(), view.Pixels(), BMPFRAME::ImageBytes(view.Width(), view.Height()));
  return true;
}

// Output picture `place` as the job's frame loop writes it: decoded from the
// start and placed on the output's rate by the job's own clock, repeats and
// drops included. A repeat shows the picture before once the job keeps
// copies (from the start for a source of varying rate, else from its first
// repeat), and the later picture before that.
uint8_t* CountToPlace(VelAvCodec& decoder, int64_t place, BMPFRAME::BmpFrame& previous) {
  PICTURECLOCK::PictureClock clock;
  clock.Start(decoder.FramesPerSecond);
  bool keeping = decoder.VideoValues().VariableRate;
  bool held = false;
  double end = 0.0;
  for (;;) {
    int32_t kind = 0, size = 0;
    uint8_t* data = decoder.GetNextData(kind, size);
    if (data == nullptr || size <= 0) break;
    if (kind != VelAvCodec::KindVideo) continue;
    const int64_t first = clock.NextPlace();
    const VelAvCodec::PictureTime time = decoder.DeliveredPictureTime();
    const auto placement = clock.Place(time.Timed, time.Seconds);
    if (time.Timed) end = time.Seconds + time.DurationSeconds;
    if (placement.Drop) continue;
    if (place < first + placement.Repeats) return held ? previous.data() : data;
    if (place == first + placement.Repeats) return data;
    if (placement.Repeats > 0) keeping = true;
    if (keeping) {
      if (!CopyPicture(data, previous)) return nullptr;
      held = true;
    }
  }
  // The last picture lasts until its end.
  const int64_t last = clock.NextPlace();
  if (held && place < last + clock.RepeatsUntil(end)) return previous.data();
  return nullptr;
}

// The seek finds the index-th picture in presentation order; it is the job's
// picture there only when the clock puts it at that place (no gap, no drop
// before it). Else the pictures are counted from the start.
uint8_t* FindPicture(VelAvCodec& decoder, JOBOPTIONS::JobOptions options,
                     std::optional<PICTURESHAPE::Planned>& shape,
                     const SUBTITLESOURCE::SubtitleSource& source, int32_t index,
                     BMPFRAME::BmpFrame& previous) {
  // A track's packets before the picture are all needed: its still is
  // counted from the start, as the job reads it.
  if (!source.ComesWithReading()) {
    VelAvCodec::SeekResult result;
    uint8_t* picture = decoder.SeekPicture(index, result);
    PICTURECLOCK::PictureClock clock;
    clock.Start(decoder.FramesPerSecond);
    const VelAvCodec::PictureTime time = decoder.DeliveredPictureTime();
    if (result == VelAvCodec::SeekResult::Found && time.Timed &&
        clock.PlaceOf(time.Seconds) == index)
      return picture;
    if (!OpenSource(decoder, options, shape)) return nullptr;
  }
  uint8_t* picture;
  picture = CountToPlace(decoder, index, previous);
  if (picture == nullptr)
    decoder.ErrorText = "[VelAvCodec::SeekPicture] No picture at that time...";
  return picture;
}

// The subtitle due at picture `index`, drawn by the drawer the job would
// draw with, set up as the job sets it up: the pictures before it go by
// undrawn, so that the schedule's entries and a track's packets stand as
// the job's do there. Empty, or why it can't be drawn.
std::string DrawDueSubtitle(VelAvCodec& decoder, SUBTITLESOURCE::SubtitleSource& source,
                            const PICTURESHAPE::Planned& shape, int32_t index, uint8_t* picture) {
  std::string error;
  const auto drawer =
      PICTURESHAPE::Placed(source.MakeDrawer(decoder, error), shape, decoder.Width, decoder.Height);
  if (!drawer) return error;
  for (int32_t frame = 0; frame < index; ++frame) drawer->Pass(frame);
  const int64_t ms = SUBTITLESOURCE::PictureTime(decoder.FramesPerSecond, index);
  if (drawer->Prepare(index, ms, false).Shows) drawer->DrawOnto(picture);
  return {};
}

// The still of an opened source.
bool ComposeOpened(VelAvCodec& decoder, const JOBOPTIONS::JobOptions& options,
                   std::optional<PICTURESHAPE::Planned>& shape, double seconds,
                   BMPFRAME::BmpFrame& still, std::string& error,
                   std::vector<std::string>& finding) {
  SUBTITLEFILE::SubtitleFile subtitles;
  SUBTITLEOVERLAY::SubtitleOverlay overlay;
  STYLEDRENDERER::StyledRenderer styled;
  const auto source =
      SUBTITLESOURCE::MakeSubtitleSource(options, decoder, {subtitles, overlay, styled});
  SUBTITLESOURCE::Opened opened = source->Open(decoder);
  finding = std::move(opened.Found);
  if (!opened.Done) {
    error = opened.Error;
    return false;
  }
  const int32_t index = PictureIndexAt(seconds, decoder.FramesPerSecond);
  BMPFRAME::BmpFrame previous;
  uint8_t* picture = FindPicture(decoder, options, shape, *source, index, previous);
  if (picture == nullptr) {
    error = decoder.ErrorText;
    return false;
  }
  error = DrawDueSubtitle(decoder, *source, *shape, index, picture);
  if (!error.empty()) return false;
  if (CopyPicture(picture, still)) return true;
  error = "[StillPicture::Compose] Can't allocate memory for the picture...";
  return false;
}

}  // namespace

int32_t PictureIndexAt(double seconds, double framesPerSecond) {
  const double index = std::floor(seconds * framesPerSecond + 1e-6);
  if (!std::isfinite(index) || index < 0) return 0;
  return index >= double(INT32_MAX) ? INT32_MAX : int32_t(index);
}

bool ComposeStill(VelAvCodec& decoder, const JOBOPTIONS::JobOptions& options, double seconds,
                  BMPFRAME::BmpFrame& still, std::string& error, std::vector<std::string>* found) {
  std::vector<std::string> finding;
  JOBOPTIONS::JobOptions chosen = options;
  std::optional<PICTURESHAPE::Planned> shape;
  bool done = OpenSource(decoder, chosen, shape, &finding);
  if (!done)
    error = decoder.ErrorText;
  else
    done = ComposeOpened(decoder, chosen, shape, seconds, still, error, finding);
  decoder.Close();
  if (found != nullptr) *found = std::move(finding);
  return done;
}

bool IsAnInput(const JOBOPTIONS::JobOptions& options, const std::string& fileName) {
  for (const std::string* input : {&options.SourceVideo, &options.Subtitle}) {
    std::error_code error;
    if (!input->empty() && std::filesystem::equivalent(*input, fileName, error)) return true;
  }
  return false;
}

bool WritePng(const BMPFRAME::BmpFrame& still, const std::string& fileName, std::string& error) {
  if (still.empty()) {
    error = "[StillPicture::WritePng] No picture to write...";
    return false;
  }
  // Rows are stored bottom-up: mirrored into a top-down image.
  const QImage bottomUp(still.Pixels(), still.Width(), still.Height(), int(still.Stride()),
                        QImage::Format_BGR888);
  if (bottomUp.mirrored().save(QString::fromLocal8Bit(fileName.c_str()), "PNG")) return true;
  error = "[StillPicture::WritePng] Can't write the picture file...";
  return false;
}

}  // namespace STILLPICTURE
