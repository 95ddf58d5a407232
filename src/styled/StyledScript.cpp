#include "styled/StyledScript.h"

#include <QFont>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "platform/CodePage.h"
#include "styled/StyledLimits.h"
#include "styled/StyledMarkup.h"
#include "subtitles/AssReader.h"
#include "subtitles/SubtitleEncoding.h"
#include "subtitles/SubtitleNumbers.h"

namespace STYLEDSCRIPT {
namespace {

using SUBTITLEFILE::SubtitleCue;
using SUBTITLEFILE::SubtitleDocument;

std::string Colour(uint32_t bgr, int alpha = 0) {
  char text[16];
  std::snprintf(text, sizeof text, "&H%02X%06X", alpha & 0xFF, unsigned(bgr & 0xFFFFFF));
  return text;
}

std::string StyleLine(const BaseStyle& base) {
  const SUBTITLEFONT::SubtitleFont& font = base.Font;
  const SUBTITLELOOK::SubtitleLook& look = base.Look;
  const bool box = look.BoxOpacity > 0;
  const int boxAlpha = 255 - std::clamp(look.BoxOpacity, 0, 100) * 255 / 100;
  std::string name = font.Name;
  std::replace(name.begin(), name.end(), ',', ' ');
  char line[512];
  std::snprintf(line, sizeof line,
                "Style: Default,%s,%d,%s,%s,%s,%s,%d,%d,%d,%d,100,100,0,0,%d,%d,%d,2,0,0,%d,%d\n",
                name.c_str(), StyleFontSize(font), Colour(font.Color).c_str(),
                Colour(font.Color).c_str(), Colour(look.OutlineColor).c_str(),
                box ? Colour(look.BoxColor, boxAlpha).c_str() : Colour(look.ShadowColor).c_str(),
                font.Bold ? -1 : 0, font.Italic ? -1 : 0, font.Underline ? -1 : 0,
                font.StrikeOut ? -1 : 0, box ? 4 : 1, std::clamp(look.Outline, 0, 8),
                std::clamp(look.Shadow, 0, 8), std::clamp(look.Margin, 0, 1000) + 1,
                base.LeftToRight ? 1 : -1);
  return line;
}

std::string OwnHeader(const BaseStyle& base, int32_t width, int32_t height) {
  return "[Script Info]\nScriptType: v4.00+\nPlayResX: " + std::to_string(width) +
         "\nPlayResY: " + std::to_string(height) +
         "\nWrapStyle: 0\nScaledBorderAndShadow: yes\nYCbCr Matrix: None\n\n[V4+ Styles]\n"
         "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
         "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
         "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n" +
         StyleLine(base) +
         "\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, "
         "Effect, Text\n";
}

// The drawing reads UTF-8. Text read as 8-bit is turned into it as plain
// drawing turns it into characters, unless its format is UTF-8 by rule.
class TextDecoder {
 public:
  TextDecoder(const SubtitleDocument& document, int charset)
      : document_(document), charset_(charset) {}
  std::string operator()(std::string_view bytes) const {
    if (document_.Utf8 || (document_.Traits.Utf8ByRule && SUBTITLEFILE::IsUtf8(bytes)))
      return std::string(bytes);
    return CODEPAGE::DecodeSubtitleText(std::string(bytes), charset_).toStdString();
  }

 private:
  const SubtitleDocument& document_;
  int charset_;
};

std::string EventFields(std::size_t order, std::string_view layerAndStyle, std::string_view text) {
  return std::to_string(order) + "," + std::string(layerAndStyle) + "," + std::string(text);
}

// A header's WrapStyle 2 turns wrapping off.
bool ScriptWrapsLines(std::string_view header) {
  return STYLEDLIMITS::HeaderNumber(header, "wrapstyle", 0) != 2;
}

// An ASS event's text as the drawing gets it: with the breaks its lines
// need when the script wraps them, held to the limits.
STYLEDLIMITS::LimitedEvent AssEventText(std::string_view text, const EventLayout& layout) {
  return STYLEDLIMITS::LimitEvent(
      layout.Wraps ? STYLEDMARKUP::AddLineBreakOpportunities(text) : std::string(text),
      layout.Resolution, layout.Extent, layout.Wraps);
}

// The limited text's fields, ink and cut into the event.
void SetText(StyledEvent& event, std::string fieldsBeforeText, STYLEDLIMITS::LimitedEvent text) {
  event.Fields = std::move(fieldsBeforeText) + text.Text;
  event.Ink = text.Ink;
  event.Cut = text.Cut;
}

// An ASS event in the order the drawing takes a stream's events, its layer
// and margins held to their ranges; false when the line has fewer fields
// than the format names.
bool SetAssEventFields(StyledEvent& out, std::size_t order, std::string_view line,
                       const std::vector<std::string>& format, const EventLayout& layout) {
  const SUBTITLEFILE::AssEvent event = SUBTITLEFILE::SplitAssEvent(line, format);
  auto orZero = [](std::string_view value) {
    return value.empty() ? std::string_view("0") : value;
  };
  const STYLEDLIMITS::Resolution& resolution = layout.Resolution;
  std::string fields = std::to_string(order) + ",";
  for (const std::string& value :
       {STYLEDLIMITS::LimitLayer(orZero(event.Layer)), std::string(event.Style),
        std::string(event.Name),
        STYLEDLIMITS::LimitMargin(orZero(event.MarginL), resolution, false),
        STYLEDLIMITS::LimitMargin(orZero(event.MarginR), resolution, false),
        STYLEDLIMITS::LimitMargin(orZero(event.MarginV), resolution, true),
        std::string(event.Effect)})
    fields.append(value).append(",");
  SetText(out, std::move(fields), AssEventText(event.Text, layout));
  return event.Complete;
}

// A WebVTT cue's settings as margins and an alignment, the way a browser
// places the cue's box: position and size across, line down from the top
// (or up from the bottom when negative).
struct CuePlacement {
  int Alignment = 2;
  int MarginL = 0, MarginR = 0, MarginV = 0;
};

CuePlacement PlaceWebVttCue(std::string_view settings, int32_t width, int32_t height,
                            int lineHeight, int baseMargin) {
  std::string align = "center";
  double position = -1, size = 100, line = 0;
  bool hasLine = false, linePercent = false;
  std::size_t begin = 0;
  while (begin < settings.size()) {
    std::size_t end = settings.find_first_of(" \t", begin);
    if (end == std::string_view::npos) end = settings.size();
    const std::string_view setting = settings.substr(begin, end - begin);
    const std::size_t colon = setting.find(':');
    if (colon != std::string_view::npos) {
      const std::string name(setting.substr(0, colon));
      std::string value(setting.substr(colon + 1));
      value = value.substr(0, value.find(','));
      const bool percent = !value.empty() && value.back() == '%';
      // Held to the widest range any setting takes before it is used.
      const SUBTITLEFILE::Decimal scanned = SUBTITLEFILE::ScanDecimal(value);
      const double number = std::isfinite(scanned.Value) ? scanned.Value : 0.0;
      if (name == "align") align = value;
      if (name == "position" && percent) position = std::clamp(number, 0.0, 100.0);
      if (name == "size" && percent) size = std::clamp(number, 0.0, 100.0);
      if (name == "line" && !value.empty()) {
        hasLine = true;
        linePercent = percent;
        line = percent ? std::clamp(number, 0.0, 100.0) : std::clamp(number, -1000.0, 1000.0);
      }
    }
    begin = end + 1;
  }
  const bool left = align == "start" || align == "left";
  const bool right = align == "end" || align == "right";
  if (position < 0) position = left ? 0 : right ? 100 : 50;
  double boxLeft = left ? position : right ? position - size : position - size / 2;
  boxLeft = std::clamp(boxLeft, 0.0, 100.0 - size);
  CuePlacement placement;
  placement.MarginL = int(std::lround(boxLeft * width / 100));
  placement.MarginR = int(std::lround((100 - boxLeft - size) * width / 100));
  const int across = left ? 1 : right ? 3 : 2;
  bool top = false;
  int margin = baseMargin;
  if (hasLine && linePercent) {
    top = line <= 50;
    margin = int(std::lround((top ? line : 100 - line) * height / 100));
  } else if (hasLine) {
    top = line >= 0;
    margin = top ? int(line) * lineHeight : int(-line - 1) * lineHeight + baseMargin;
  }
  placement.MarginV = std::clamp(margin, 0, height);
  placement.Alignment = across + (top ? 6 : 0);
  return placement;
}

std::string ConvertedText(const SubtitleDocument& document, const SubtitleCue& cue,
                          const TextDecoder& decode) {
  std::vector<std::string> lines;
  STYLEDMARKUP::TagState state;
  const SUBTITLEFILE::CueMarkup markup = document.Traits.Markup;
  if (markup == SUBTITLEFILE::CueMarkup::MicroDvdCodes)
    return cue.TextCount == 0 ? std::string()
                              : STYLEDMARKUP::MicroDvdText(decode(document.CueLine(cue, 0)));
  for (std::size_t i = 0; i < cue.TextCount; ++i) {
    const std::string line = decode(document.CueLine(cue, i));
    lines.push_back(markup == SUBTITLEFILE::CueMarkup::WebVttTags
                        ? STYLEDMARKUP::WebVttLine(line, state)
                        : STYLEDMARKUP::SubRipLine(line, state));
  }
  return STYLEDMARKUP::JoinLines(lines);
}

}  // namespace

StyledScript TrackScript(const std::string& assHeader, const BaseStyle& base, int32_t width,
                         int32_t height) {
  StyledScript script;
  if (assHeader.empty()) {
    script.Header = OwnHeader(base, width, height);
  } else {
    script.Header = STYLEDLIMITS::LimitStyles(assHeader, STYLEDLIMITS::ScriptResolution(assHeader));
  }
  return script;
}

EventLayout EventLayoutOf(const std::string& assHeader, const BaseStyle& base, int32_t width,
                          int32_t height) {
  if (assHeader.empty())
    return {{std::max(width, 1), std::max(height, 1)},
            true,
            STYLEDLIMITS::ScriptStyleExtent(OwnHeader(base, width, height))};
  const STYLEDLIMITS::Resolution resolution = STYLEDLIMITS::ScriptResolution(assHeader);
  return {resolution, ScriptWrapsLines(assHeader),
          STYLEDLIMITS::ScriptStyleExtent(STYLEDLIMITS::LimitStyles(assHeader, resolution))};
}

StyledEvent TrackEvent(TrackText form, const std::string& text, std::size_t order,
                       const EventLayout& layout) {
  StyledEvent event;
  if (form == TrackText::AssEvent) {
    // "ReadOrder,Layer,Style,Name,MarginL,MarginR,MarginV,Effect,Text": ours
    // replaces the read order.
    static const std::vector<std::string> kPacketFormat = {
        "layer", "style", "name", "marginl", "marginr", "marginv", "effect", "text"};
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos ||
        !SetAssEventFields(event, order, std::string_view(text).substr(comma + 1), kPacketFormat,
                           layout))
      event = StyledEvent{};
    return event;
  }
  std::vector<std::string> lines;
  STYLEDMARKUP::TagState state;
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(form == TrackText::WebVtt ? STYLEDMARKUP::WebVttLine(line, state)
                                              : STYLEDMARKUP::SubRipLine(line, state));
    begin = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  const std::string converted =
      STYLEDMARKUP::AddLineBreakOpportunities(STYLEDMARKUP::JoinLines(lines));
  SetText(event, EventFields(order, "0,Default,,0,0,0,", ""),
          STYLEDLIMITS::LimitEvent(converted, layout.Resolution, layout.Extent, layout.Wraps));
  return event;
}

int64_t FrameTimeMs(int64_t frame, double framesPerSecond) {
  if (!(framesPerSecond > 0)) return 0;
  // Beyond any film's length, and far enough inside the 64-bit range that
  // a delay and a cue's time add up without overflow.
  constexpr double kLongestMs = 1e13;
  return std::llround(
      std::clamp(double(frame) * 1000.0 / framesPerSecond, -kLongestMs, kLongestMs));
}

int StyleFontSize(const SUBTITLEFONT::SubtitleFont& font) {
  QFont qfont(QString::fromStdString(font.Name));
  // The pixel size plain drawing puts on a font of these points.
  qfont.setPixelSize(
      std::max(SUBTITLEFONT::PixelsOfPoints(
                   std::clamp(font.Size, SUBTITLEFONT::kMinFontSize, SUBTITLEFONT::kMaxFontSize)),
               1));
  const QFontMetrics metrics(qfont);
  return std::max(1, metrics.ascent() + metrics.descent());
}

StyledScript BuildScript(const SUBTITLEFILE::SubtitleFile& file, const BaseStyle& base,
                         int32_t width, int32_t height) {
  const SubtitleDocument& document = file.Document();
  const double fps = file.FrameRate();
  const SUBTITLEFILE::FormatTraits& traits = document.Traits;
  const bool assEvents = traits.Fields == SUBTITLEFILE::CueFields::AssEvent;
  const bool cueSettings = traits.Fields == SUBTITLEFILE::CueFields::WebVttSettings;
  StyledScript script;
  const EventLayout layout =
      EventLayoutOf(traits.OwnStyles ? document.ScriptHeader : std::string(), base, width, height);
  const STYLEDLIMITS::Resolution& resolution = layout.Resolution;
  script.Header = traits.OwnStyles ? STYLEDLIMITS::LimitStyles(document.ScriptHeader, resolution)
                                   : OwnHeader(base, width, height);
  const TextDecoder decode(document, base.Font.Charset);
  const int64_t delayMs = FrameTimeMs(file.DelayFrames(), fps);
  const int lineHeight = StyleFontSize(base.Font) + 2 * std::max(base.Look.Outline, 0);
  SUBTITLEFILE::SubtitleEntry entry;
  for (std::size_t i = 0; i < document.Cues.size() && fps > 0; ++i) {
    const SubtitleCue& cue = document.Cues[i];
    if (!cue.Usable) continue;
    StyledEvent event;
    std::string text;
    if (traits.KeepsOwnTimes) {
      event.StartMs = file.MappedMilliseconds(cue.Start, cue.Start) + delayMs;
      event.EndMs = file.MappedMilliseconds(cue.End, cue.Start) + delayMs;
    } else {
      file.ReadEntry(i, entry);
      event.StartMs = FrameTimeMs(entry.Start, fps);
      event.EndMs = FrameTimeMs(int64_t(entry.End) + 1, fps);
    }
    if (event.EndMs <= event.StartMs) continue;
    if (assEvents) {
      SetAssEventFields(event, i, decode(document.TextOf(cue.Fields)), document.EventFormat,
                        layout);
    } else {
      text = STYLEDMARKUP::AddLineBreakOpportunities(ConvertedText(document, cue, decode));
      CuePlacement placement;
      if (cueSettings)
        placement = PlaceWebVttCue(document.TextOf(cue.Fields), width, height, lineHeight,
                                   std::clamp(base.Look.Margin, 0, 1000) + 1);
      const std::string override =
          cueSettings ? "{\\an" + std::to_string(placement.Alignment) + "}" : std::string();
      SetText(event,
              EventFields(i,
                          "0,Default,," + std::to_string(placement.MarginL) + "," +
                              std::to_string(placement.MarginR) + "," +
                              std::to_string(placement.MarginV) + ",",
                          override),
              STYLEDLIMITS::LimitEvent(text, resolution, layout.Extent, layout.Wraps));
    }
    script.Events.push_back(std::move(event));
  }
  return script;
}

}  // namespace STYLEDSCRIPT
