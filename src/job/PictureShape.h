#pragma once

// The output picture's shape as the options ask it: the part of the
// source's pictures kept (a crop, found or given), the size they are
// scaled to, and where the subtitle goes on them.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/ShapeOptions.h"
#include "media/VelAvCodec.h"
#include "picture/PictureExtent.h"

namespace SUBTITLEDRAWER {
class SubtitleDrawer;
}

namespace PICTURESHAPE {

// Pictures measured for --crop auto and the bars below the picture.
constexpr int kExtentSamples = 40;

// The output's size for pictures of `width` x `height` once cropped: the
// scale asked, or one side asked and the other following the aspect the
// picture is shown at (its pixels `pixelAspect` times as wide as high; the
// output's are square), even; as they are without either.
std::pair<int, int> OutputSize(const ShapeOptions& options, int width, int height,
                               double pixelAspect = 1.0);

// "Crop: 1920x800 at 0,140 (black bars above and below)".
std::string CropLine(const PICTUREEXTENT::Rect& crop, int width, int height);

// What the job and the still do with the shape asked.
struct Planned {
  VELAVCODEC::VelAvCodec::PictureGeometry Geometry;
  Place Where = Place::Bottom;
  int RaisePercent = 0;
  int PictureScalePercent = 100;
  // The rows of the black bar below the picture in the output, from its
  // first; none (0) when the source has no bar there or it is cropped away.
  int BarTop = 0, BarRows = 0;
  // The source's frame, before the crop.
  int FrameWidth = 0, FrameHeight = 0;
  std::vector<std::string> Log;
  bool Changes() const { return Geometry.Crops() || Geometry.Scales(); }
  bool Places() const { return Where != Place::Bottom || RaisePercent > 0; }
};

// After PreOpen with the streams chosen, before Open: the source measured
// where the options need it. Empty on success, else why not.
std::string Plan(const ShapeOptions& options, const VELAVCODEC::VelAvCodec& decoder,
                 Planned& planned);

// The drawer, moved to the place asked on pictures of that size (and disc
// pictures, which a canvas over the whole frame places, moved by the
// crop); as it is when the subtitle stays at the bottom uncropped.
std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> Placed(
    std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> drawer, const Planned& planned, int width,
    int height);

}  // namespace PICTURESHAPE
