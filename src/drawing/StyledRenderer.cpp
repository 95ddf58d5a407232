#include "drawing/StyledRenderer.h"

extern "C" {
#include <ass/ass.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

#include "styled/StyledLimits.h"

namespace STYLEDRENDERER {
namespace {

// What libass may keep between pictures.
constexpr int kGlyphCacheEntries = 2000;
constexpr int kBitmapCacheMegabytes = 64;

// The drawing's own messages are for its developers, not the job's log.
void QuietMessages(int, const char*, va_list, void*) {}

struct Rgb {
  double Red, Green, Blue;
};

// A colour meant for pictures coded with BT.709 as the BT.601 colour that
// codes to the same luma and chroma.
Rgb From709To601(const Rgb& c) {
  constexpr double kr = 0.2126, kb = 0.0722, kr2 = 0.299, kb2 = 0.114;
  const double y = kr * c.Red + (1 - kr - kb) * c.Green + kb * c.Blue;
  const double cb = (c.Blue - y) / (2 * (1 - kb));
  const double cr = (c.Red - y) / (2 * (1 - kr));
  const double red = y + 2 * (1 - kr2) * cr;
  const double blue = y + 2 * (1 - kb2) * cb;
  const double green = (y - kr2 * red - kb2 * blue) / (1 - kr2 - kb2);
  return {red, green, blue};
}

uint8_t Byte(double value) { return uint8_t(std::clamp(std::lround(value), 0L, 255L)); }

Rgb ColourOf(const ASS_Image& image) {
  return {double(image.color >> 24), double((image.color >> 16) & 0xFF),
          double((image.color >> 8) & 0xFF)};
}

SUBTITLEBLEND::CoverageImage CoverageOf(const ASS_Image& image) {
  SUBTITLEBLEND::CoverageImage coverage;
  coverage.Left = image.dst_x;
  coverage.Top = image.dst_y;
  coverage.Width = image.w;
  coverage.Height = image.h;
  coverage.Stride = image.stride;
  coverage.Bitmap = image.bitmap;
  coverage.Opacity = uint8_t(255 - (image.color & 0xFF));
  return coverage;
}

}  // namespace

struct StyledRenderer::Library {
  ASS_Library* Handle = nullptr;
  ~Library() {
    if (Handle) ass_library_done(Handle);
  }
};

StyledRenderer::StyledRenderer() = default;
StyledRenderer::~StyledRenderer() { Clear(); }

void StyledRenderer::Clear() {
  if (track_) ass_free_track(track_);
  if (renderer_) ass_renderer_done(renderer_);
  track_ = nullptr;
  renderer_ = nullptr;
  library_.reset();
  images_ = nullptr;
  picture_.Clear();
  pictureStale_ = planarStale_ = false;
  notes_.clear();
  shown_.clear();
  crowdNoted_ = inkNoted_ = cutNoted_ = false;
  damageNoted_ = false;
  untimedEvent_ = -1;
}

std::string StyledRenderer::Setup(const STYLEDSCRIPT::StyledScript& script, int32_t width,
                                  int32_t height, const Fonts& fonts) {
  Clear();
  if (width <= 0 || height <= 0) return "Styled subtitles need a picture size";
  library_ = std::make_unique<Library>();
  library_->Handle = ass_library_init();
  if (library_->Handle == nullptr) return "The styled subtitle drawing can't be started";
  ass_set_message_cb(library_->Handle, QuietMessages, nullptr);
  ass_set_extract_fonts(library_->Handle, 1);
  for (const auto& [name, contents] : fonts) {
    std::string copy = contents;  // the call takes no const data
    std::string fontName = name;
    ass_add_font(library_->Handle, fontName.data(), copy.data(), int(copy.size()));
  }
  renderer_ = ass_renderer_init(library_->Handle);
  // Planar pictures have even sides.
  const bool planarToo = width % 2 == 0 && height % 2 == 0;
  if (renderer_ == nullptr || !picture_.Allocate(width, height) ||
      (planarToo && !planar_.Allocate(width, height))) {
    Clear();
    return "The styled subtitle drawing can't be started";
  }
  ass_set_frame_size(renderer_, width, height);
  ass_set_storage_size(renderer_, width, height);
  ass_set_shaper(renderer_, ASS_SHAPING_COMPLEX);
  ass_set_cache_limits(renderer_, kGlyphCacheEntries, kBitmapCacheMegabytes);
  ass_set_fonts(renderer_, nullptr, "sans-serif", ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
  track_ = ass_new_track(library_->Handle);
  if (track_ == nullptr) {
    Clear();
    return "The styled subtitle drawing can't be started";
  }
  std::string header = script.Header;
  ass_process_codec_private(track_, header.data(), int(header.size()));
  // In order of their starts, so that the bound on events at once sees
  // them as they will show.
  std::vector<const STYLEDSCRIPT::StyledEvent*> byStart;
  for (const STYLEDSCRIPT::StyledEvent& event : script.Events) byStart.push_back(&event);
  std::stable_sort(byStart.begin(), byStart.end(),
                   [](auto* a, auto* b) { return a->StartMs < b->StartMs; });
  std::size_t crowded = 0, inked = 0, cut = 0;
  for (const STYLEDSCRIPT::StyledEvent* event : byStart) {
    const Admission admission = Admit(*event);
    crowded += admission == Admission::TooMany;
    inked += admission == Admission::TooMuchInk;
    cut += event->Cut;
  }
  if (crowded > 0)
    notes_.push_back(std::to_string(crowded) + " subtitle events left out: more than " +
                     std::to_string(STYLEDLIMITS::kMaximumEventsAtOnce) + " at once");
  if (inked > 0) notes_.push_back(std::to_string(inked) + InkNote());
  if (cut > 0) notes_.push_back(std::to_string(cut) + CutNote());
  SetColourMatrix(script.Header);
  return {};
}

void StyledRenderer::AddEvent(const STYLEDSCRIPT::StyledEvent& event) {
  if (track_ == nullptr) return;
  EndUntimedEvent(event.StartMs);
  if (event.EndMs <= event.StartMs || event.Fields.empty()) {
    if (!damageNoted_) notes_.push_back("Damaged subtitle packets are skipped");
    damageNoted_ = true;
    return;
  }
  if (event.Cut && !cutNoted_) notes_.push_back("Some" + CutNote());
  cutNoted_ = cutNoted_ || event.Cut;
  const Admission admission = Admit(event);
  if (admission == Admission::Admitted && event.Untimed) untimedEvent_ = track_->n_events - 1;
  if (admission == Admission::TooMany && !crowdNoted_) {
    notes_.push_back("Subtitle events left out: more than " +
                     std::to_string(STYLEDLIMITS::kMaximumEventsAtOnce) + " at once");
    crowdNoted_ = true;
  }
  if (admission == Admission::TooMuchInk && !inkNoted_) {
    notes_.push_back("Some" + InkNote());
    inkNoted_ = true;
  }
}

// An untimed event lasts until the track's next event starts (as a
// mov_text sample does), its guessed end at most.
void StyledRenderer::EndUntimedEvent(int64_t nextStartMs) {
  if (untimedEvent_ < 0 || untimedEvent_ >= track_->n_events) return;
  ASS_Event& last = track_->events[untimedEvent_];
  if (nextStartMs > last.Start && nextStartMs < last.Start + last.Duration)
    last.Duration = nextStartMs - last.Start;
  untimedEvent_ = -1;
}

// Events come in order of their starts: those over by this one's start no
// longer count against the bounds.
StyledRenderer::Admission StyledRenderer::Admit(const STYLEDSCRIPT::StyledEvent& event) {
  shown_.erase(std::remove_if(shown_.begin(), shown_.end(),
                              [&](const Shown& shown) { return shown.EndMs <= event.StartMs; }),
               shown_.end());
  if (int(shown_.size()) >= STYLEDLIMITS::kMaximumEventsAtOnce) return Admission::TooMany;
  double ink = event.Ink;
  for (const Shown& shown : shown_) ink += shown.Ink;
  if (ink > STYLEDLIMITS::kMaximumInkAtOnce) return Admission::TooMuchInk;
  shown_.push_back({event.EndMs, event.Ink});
  std::string fields = event.Fields;  // the call takes no const data
  ass_process_chunk(track_, fields.data(), int(fields.size()), event.StartMs,
                    event.EndMs - event.StartMs);
  return Admission::Admitted;
}

std::string StyledRenderer::InkNote() {
  return " subtitle events left out: the text shown at once would cover the picture more than " +
         std::to_string(int(STYLEDLIMITS::kMaximumInkAtOnce)) + " times";
}

std::string StyledRenderer::CutNote() {
  return " subtitle events cut short: their text would cover the picture more than " +
         std::to_string(int(STYLEDLIMITS::kMaximumEventInk)) + " times";
}

void StyledRenderer::SetColourMatrix(const std::string& header) {
  const std::size_t at = header.find("YCbCr Matrix:");
  if (at == std::string::npos) return;
  const std::string value = header.substr(at, header.find('\n', at) - at);
  convertFrom709_ = value.find("709") != std::string::npos;
}

bool StyledRenderer::Render(int64_t milliseconds) {
  if (renderer_ == nullptr) return false;
  int changed = 0;
  ASS_Image* images = ass_render_frame(renderer_, track_, milliseconds, &changed);
  // Unchanged images keep their compositions, but the list is the new one.
  if (changed != 0 || (images != nullptr) != (images_ != nullptr))
    pictureStale_ = planarStale_ = true;
  images_ = images;
  return images_ != nullptr;
}

void StyledRenderer::ComposeBgr() {
  pictureStale_ = false;
  picture_.BeginComposite();
  for (auto* image = static_cast<const ASS_Image*>(images_); image; image = image->next) {
    Rgb colour = ColourOf(*image);
    if (convertFrom709_) colour = From709To601(colour);
    SUBTITLEBLEND::CoverageImage coverage = CoverageOf(*image);
    coverage.Red = Byte(colour.Red);
    coverage.Green = Byte(colour.Green);
    coverage.Blue = Byte(colour.Blue);
    picture_.Composite(coverage);
  }
  picture_.EndComposite();
}

// A script made for BT.709 pictures gets its colours coded with BT.709
// straight away.
void StyledRenderer::ComposePlanar() {
  planarStale_ = false;
  planar_.BeginComposite();
  for (auto* image = static_cast<const ASS_Image*>(images_); image; image = image->next) {
    const Rgb colour = ColourOf(*image);
    planar_.Composite(CoverageOf(*image), PLANARBLEND::VideoLevelsOf(colour.Red, colour.Green,
                                                                     colour.Blue, convertFrom709_));
  }
}

void StyledRenderer::Overlay(uint8_t* frameBuffer) {
  if (images_ == nullptr) return;
  if (pictureStale_) ComposeBgr();
  picture_.Blend(frameBuffer, 0);
}

const PLANARBLEND::PlanarBlendPicture* StyledRenderer::PlanarInk() {
  if (images_ == nullptr || planar_.Width() == 0) return nullptr;
  if (planarStale_) ComposePlanar();
  return planar_.empty() ? nullptr : &planar_;
}

std::vector<std::string> StyledRenderer::TakeNotes() { return std::exchange(notes_, {}); }

}  // namespace STYLEDRENDERER
