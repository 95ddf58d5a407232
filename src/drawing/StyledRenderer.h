#pragma once

// The styled drawing: a script rendered by libass at each picture's time
// and laid over the picture. Set up once per job; a picture costs the drawing
// only when what shows changes, and the blending only the pixels the text
// covers. The drawing is composed in the form the picture has (BGR, or the
// planes an encoder takes) when a picture of that form first asks for it.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "drawing/PlanarBlend.h"
#include "drawing/SubtitleBlend.h"
#include "styled/StyledScript.h"

struct ass_renderer;
struct ass_track;

namespace STYLEDRENDERER {

class StyledRenderer {
 public:
  StyledRenderer();
  ~StyledRenderer();
  StyledRenderer(const StyledRenderer&) = delete;
  StyledRenderer& operator=(const StyledRenderer&) = delete;

  // Fonts to use beside the system's (a source's attachments): name and
  // contents.
  using Fonts = std::vector<std::pair<std::string, std::string>>;
  // Empty on success, else why the drawing can't be had.
  std::string Setup(const STYLEDSCRIPT::StyledScript& script, int32_t width, int32_t height,
                    const Fonts& fonts = {});
  // An event that comes after the set-up (a track read with the source),
  // in order of their starts; left out, and said once, when too many show
  // at once or they would take too much ink.
  void AddEvent(const STYLEDSCRIPT::StyledEvent& event);
  // Draws what shows at that time; false when nothing does.
  bool Render(int64_t milliseconds);
  // Lays the last drawing over a complete bottom-up 24-bit BMP image of the
  // set-up size.
  void Overlay(uint8_t* frameBuffer);
  // The last drawing as ink for a planar picture of the set-up size (even
  // sides only); null when it leaves the picture as it is. Valid until the
  // next Render.
  const PLANARBLEND::PlanarBlendPicture* PlanarInk();
  // Lines for the job's log since the last call (once each).
  std::vector<std::string> TakeNotes();
  void Clear();

  bool Ready() const { return renderer_ != nullptr; }

 private:
  struct Library;
  void ComposeBgr();
  void ComposePlanar();
  void SetColourMatrix(const std::string& header);
  enum class Admission { Admitted, TooMany, TooMuchInk };
  Admission Admit(const STYLEDSCRIPT::StyledEvent& event);
  static std::string InkNote();
  static std::string CutNote();
  void EndUntimedEvent(int64_t nextStartMs);

  std::unique_ptr<Library> library_;
  ass_renderer* renderer_ = nullptr;
  ass_track* track_ = nullptr;
  // The last drawing (valid until the next render) and its compositions,
  // each made on first use.
  const void* images_ = nullptr;
  SUBTITLEBLEND::BlendPicture picture_;
  PLANARBLEND::PlanarBlendPicture planar_;
  bool pictureStale_ = false, planarStale_ = false;
  // Colours are moved from the script's matrix to the picture's (BT.601).
  bool convertFrom709_ = false;
  std::vector<std::string> notes_;
  // The events handed over that may still show: their ends and ink.
  struct Shown {
    int64_t EndMs;
    double Ink;
  };
  std::vector<Shown> shown_;
  bool crowdNoted_ = false, inkNoted_ = false, cutNoted_ = false;
  // The track's last event when it was untimed: its index among libass's.
  int untimedEvent_ = -1;
  bool damageNoted_ = false;
};

}  // namespace STYLEDRENDERER
