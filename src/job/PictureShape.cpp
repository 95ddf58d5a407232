#include "job/PictureShape.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "drawing/PlacedDrawer.h"
#include "drawing/SubtitleDrawer.h"

extern "C" {
#include <libavcodec/codec_par.h>
}

namespace PICTURESHAPE {
namespace {

// A bar lower than this share of the output's height (1/20) holds no line.
constexpr int kBarShare = 20;

int Even(double value) { return std::max(2, int(std::lround(value / 2.0)) * 2); }

// A side the user gives: 4:2:0 pictures have even sides, so an odd one
// loses its last column or row; never below the smallest size a scale takes.
int EvenSide(int side) { return std::max(16, side & ~1); }

// The shape of the source's pixels (a DVD's are not square), from a ratio
// the file states: an absent or unlikely one is square.
double PixelAspect(AVRational ratio) {
  if (ratio.num <= 0 || ratio.den <= 0) return 1.0;
  const double aspect = double(ratio.num) / ratio.den;
  return aspect >= 0.25 && aspect <= 4.0 ? aspect : 1.0;
}

}  // namespace

std::pair<int, int> OutputSize(const ShapeOptions& options, int width, int height,
                               double pixelAspect) {
  if (const auto size = ParseSize(options.Scale))
    return {EvenSide(size->first), EvenSide(size->second)};
  if (width <= 0 || height <= 0) return {width, height};
  const double aspect = double(width) * pixelAspect / height;
  const int wide = EvenSide(options.Width), high = EvenSide(options.Height);
  if (options.Width > 0 && options.Height > 0) return {wide, high};
  if (options.Width > 0) return {wide, Even(wide / aspect)};
  if (options.Height > 0) return {Even(high * aspect), high};
  return {width, height};
}

std::string CropLine(const PICTUREEXTENT::Rect& crop, int width, int height) {
  return "Crop: " + std::to_string(crop.Width) + "x" + std::to_string(crop.Height) + " at " +
         std::to_string(crop.X) + "," + std::to_string(crop.Y) + " (" +
         PICTUREEXTENT::BarsText(crop, width, height) + ")";
}

std::string Plan(const ShapeOptions& options, const VELAVCODEC::VelAvCodec& decoder,
                 Planned& planned) {
  planned = {};
  const std::optional<CropAsked> crop = ParseCrop(options.Crop);
  const std::optional<Place> place = ParsePlace(options.Place);
  if (!crop) return "bad crop '" + options.Crop + "'";
  if (!place) return "bad subtitle place '" + options.Place + "'";
  planned.Where = *place;
  planned.RaisePercent = std::clamp(options.Raise, 0, 50);
  planned.PictureScalePercent = std::clamp(options.PictureScale, 50, 200);
  const AVCodecParameters* video = decoder.VideoParameters();
  if (video == nullptr) return "the source has no video stream";
  int width = video->width, height = video->height;
  VELAVCODEC::VelAvCodec::MeasuredExtent measured;
  const bool measures = crop->Kind == CropKind::Auto || *place == Place::Bars;
  if (measures) {
    const std::string error = decoder.MeasureExtent(kExtentSamples, measured);
    if (!error.empty()) return "Can't find the picture's black bars: " + error;
    width = measured.FrameWidth;
    height = measured.FrameHeight;
  }
  planned.FrameWidth = width;
  planned.FrameHeight = height;
  PICTUREEXTENT::Rect kept{0, 0, width, height};
  if (crop->Kind == CropKind::Auto) {
    kept = measured.Extent;
    planned.Log.push_back(CropLine(kept, width, height));
  } else if (crop->Kind == CropKind::Exact) {
    kept = crop->Exact;
    if (kept.X + kept.Width > width || kept.Y + kept.Height > height)
      return "The crop " + options.Crop + " does not fit the picture (" + std::to_string(width) +
             "x" + std::to_string(height) + ")";
    planned.Log.push_back(CropLine(kept, width, height));
  }
  if (kept.X != 0 || kept.Y != 0 || kept.Width != width || kept.Height != height)
    planned.Geometry = {kept.X, kept.Y, kept.Width, kept.Height, 0, 0};
  const bool scales = !options.Scale.empty() || options.Width > 0 || options.Height > 0;
  const auto [outWidth, outHeight] =
      OutputSize(options, kept.Width, kept.Height, PixelAspect(video->sample_aspect_ratio));
  if (scales && (outWidth != kept.Width || outHeight != kept.Height)) {
    planned.Geometry.Width = outWidth;
    planned.Geometry.Height = outHeight;
    planned.Log.push_back("Scale: " + std::to_string(kept.Width) + "x" +
                          std::to_string(kept.Height) + " to " + std::to_string(outWidth) + "x" +
                          std::to_string(outHeight));
  }
  if (*place == Place::Bars) {
    // The bar left below the picture, in the output's rows.
    const int pictureEnd = measured.Extent.Y + measured.Extent.Height;
    const int keptEnd = kept.Y + kept.Height;
    const double rowScale = double(outHeight) / kept.Height;
    const int barRows = int(std::lround((keptEnd - pictureEnd) * rowScale)) & ~1;
    if (measured.Lit > 0 && barRows >= outHeight / kBarShare && barRows > 0) {
      planned.BarRows = barRows;
      planned.BarTop = outHeight - barRows;
    } else {
      planned.Log.push_back(
          "Subtitle place: the picture has no black bar below it, the subtitles go at the bottom");
    }
  }
  return {};
}

std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> Placed(
    std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> drawer, const Planned& planned, int width,
    int height) {
  const VELAVCODEC::VelAvCodec::PictureGeometry& geometry = planned.Geometry;
  if (!drawer) return drawer;
  if (geometry.Crops())
    drawer->ShowFramePart(planned.FrameWidth, planned.FrameHeight, geometry.CropX, geometry.CropY,
                          geometry.CropWidth, geometry.CropHeight);
  if (planned.PictureScalePercent != 100)
    drawer->ScalePictures(planned.PictureScalePercent / 100.0);
  if (!planned.Places()) return drawer;
  PLACEDDRAWER::Placement placement;
  placement.Place = planned.Where == Place::Top    ? PLACEDDRAWER::Where::Top
                    : planned.Where == Place::Bars ? PLACEDDRAWER::Where::Bars
                                                   : PLACEDDRAWER::Where::Bottom;
  placement.Height = height;
  placement.BarTop = planned.BarTop;
  placement.BarRows = planned.BarRows;
  placement.RaiseRows = int(std::lround(double(height) * planned.RaisePercent / 100.0));
  const auto place = [&placement, width](std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> inner) {
    PLACEDDRAWER::Placement own = placement;
    own.AnyRows = inner->IsBottomLine();
    if (own.Place == PLACEDDRAWER::Where::Bars && own.BarRows > 0)
      inner->FitPicturesInRows(own.BarRows);
    return std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer>(
        std::make_unique<PLACEDDRAWER::PlacedDrawer>(std::move(inner), own, width));
  };
  if (drawer->PlaceFirst(place)) return drawer;
  return place(std::move(drawer));
}

}  // namespace PICTURESHAPE
