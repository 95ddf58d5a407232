#pragma once

// Where the subtitles of a job or a still come from: none (a copy without
// subtitles), a file read plain or styled, the source's own text or picture
// track, or a file of disc pictures. One kind each, made once from the
// options by MakeSubtitleSource; the job and the still ask the source and
// never tell the kinds apart themselves, so a still shows what the job
// writes.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drawing/StyledRenderer.h"
#include "drawing/SubtitleDrawer.h"
#include "drawing/SubtitleOverlay.h"
#include "job/JobOptions.h"
#include "job/SmartPlan.h"
#include "media/VelAvCodec.h"
#include "subtitles/SubtitleUnit.h"

namespace SUBTITLESOURCE {

inline constexpr char kNoSuchTrack[] =
    "[SubtitleJob] The source has no such subtitle track, or none of text...";

// What a source draws with, lent by the front; they outlive the source.
struct Materials {
  SUBTITLEFILE::SubtitleFile& Subtitles;
  SUBTITLEOVERLAY::SubtitleOverlay& Overlay;
  STYLEDRENDERER::StyledRenderer& Styled;
};

// What opening the subtitles came to.
struct Opened {
  bool Done = true;
  // For the job's log before the finding: a file's report, or a note.
  std::vector<std::string> Log;
  // The alignment's finding, which a still reports too.
  std::vector<std::string> Found;
  std::string Error, Cause;
  // The system's reason the subtitle file could not be opened at all; empty
  // otherwise.
  std::string Unopened;
  // The file Unopened is of, when it is not the options' subtitle file.
  std::string UnopenedFile;
};

class SubtitleSource {
 public:
  // pulse: called now and then while subtitles are aligned to the speech,
  // so that a window keeps answering; may be empty.
  SubtitleSource(const JOBOPTIONS::JobOptions& options, Materials materials,
                 std::function<void()> pulse);
  virtual ~SubtitleSource() = default;
  SubtitleSource(const SubtitleSource&) = delete;
  SubtitleSource& operator=(const SubtitleSource&) = delete;

  // After the decoder opened the source: the subtitles read, timed to the
  // source and aligned when asked.
  virtual Opened Open(VELAVCODEC::VelAvCodec& decoder);
  // After Open: the drawer, which must go before the source. Null with
  // `error` when the drawing can't be set up.
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> MakeDrawer(VELAVCODEC::VelAvCodec& decoder,
                                                             std::string& error);
  // After MakeDrawer: when a subtitle shows, in seconds from the first
  // picture, as the drawing will have it. Empty on success, else why it
  // can't be known.
  virtual std::string ShownTimes(const VELAVCODEC::VelAvCodec& decoder,
                                 std::vector<SMARTPLAN::Shown>& shown) const = 0;
  // The subtitles come with the source's reading, so a picture's subtitle
  // needs every picture before it read.
  virtual bool ComesWithReading() const { return false; }
  // What the set-up found worth a line of the log, also when it failed.
  virtual std::vector<std::string> TakeNotes() { return {}; }
  // After MakeDrawer failed: the reason the subtitle file could not be
  // opened at all, for the sources that open it only then; empty otherwise.
  virtual std::string UnopenedReason() const { return {}; }
  // The file UnopenedReason is of.
  virtual std::string UnopenedFile() const { return options_.Subtitle; }

 protected:
  virtual std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> NewDrawer(VELAVCODEC::VelAvCodec& decoder,
                                                                    std::string& error) = 0;
  // The source's own track is burned as it is timed: a note when the
  // options ask for an alignment.
  Opened TrackOpened() const;

  const JOBOPTIONS::JobOptions options_;
  Materials materials_;
  std::function<void()> pulse_;
};

// After PreOpen, before Open: chooses the source's track when the options
// name one. False with the error when it has none such.
bool SelectTrack(const JOBOPTIONS::JobOptions& options, VELAVCODEC::VelAvCodec& decoder,
                 std::string& error);

// After the track was chosen.
std::unique_ptr<SubtitleSource> MakeSubtitleSource(const JOBOPTIONS::JobOptions& options,
                                                   const VELAVCODEC::VelAvCodec& decoder,
                                                   Materials materials,
                                                   std::function<void()> pulse = nullptr);

// The picture's time for the drawing.
int64_t PictureTime(double framesPerSecond, int32_t frame);

}  // namespace SUBTITLESOURCE
