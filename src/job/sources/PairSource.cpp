#include "job/sources/PairSource.h"

#include <algorithm>

#include "drawing/PairDrawer.h"
#include "job/sources/TrackSources.h"

namespace PAIRSOURCE {

JOBOPTIONS::JobOptions SecondOptions(const JOBOPTIONS::JobOptions& options) {
  JOBOPTIONS::JobOptions second = options;
  second.Subtitle = options.SecondSubtitle;
  second.SubtitleTrack = 0;
  second.SubtitleLanguages.clear();
  second.SecondSubtitle.clear();
  second.SecondSubtitleTrack = 0;
  return second;
}

PairSource::PairSource(const JOBOPTIONS::JobOptions& options, SUBTITLESOURCE::Materials materials,
                       std::function<void()> pulse, std::unique_ptr<SubtitleSource> first,
                       const VELAVCODEC::VelAvCodec& decoder)
    : SubtitleSource(options, materials, pulse), first_(std::move(first)) {
  const SUBTITLESOURCE::Materials second{secondFile_, secondOverlay_, secondStyled_};
  if (options.SecondSubtitle.empty())
    second_ = TRACKSOURCES::AheadTrackSource(SecondOptions(options), decoder, second,
                                             std::move(pulse), options.SecondSubtitleTrack - 1);
  else
    second_ = SUBTITLESOURCE::MakeSubtitleSource(SecondOptions(options), decoder, second,
                                                 std::move(pulse));
}

SUBTITLESOURCE::Opened PairSource::Open(VELAVCODEC::VelAvCodec& decoder) {
  SUBTITLESOURCE::Opened opened = first_->Open(decoder);
  secondFailed_ = false;
  if (!opened.Done) return opened;
  if (!second_) {
    opened.Done = false;
    opened.Error = SUBTITLESOURCE::kNoSuchTrack;
    return opened;
  }
  SUBTITLESOURCE::Opened second = second_->Open(decoder);
  secondFailed_ = !second.Done;
  for (std::string& line : second.Log) opened.Log.push_back(std::move(line));
  for (std::string& line : second.Found) opened.Found.push_back("Second subtitles: " + line);
  if (second.Done) return opened;
  opened.Done = false;
  opened.Error = second.Error;
  opened.Cause = second.Cause;
  opened.Unopened = second.Unopened;
  opened.UnopenedFile = options_.SecondSubtitle;
  return opened;
}

// Smart copying leaves alone only the pictures neither subtitle touches.
std::string PairSource::ShownTimes(const VELAVCODEC::VelAvCodec& decoder,
                                   std::vector<SMARTPLAN::Shown>& shown) const {
  std::vector<SMARTPLAN::Shown> second;
  std::string error = first_->ShownTimes(decoder, shown);
  if (error.empty())
    error = second_ ? second_->ShownTimes(decoder, second) : SUBTITLESOURCE::kNoSuchTrack;
  shown.insert(shown.end(), second.begin(), second.end());
  std::stable_sort(
      shown.begin(), shown.end(),
      [](const SMARTPLAN::Shown& a, const SMARTPLAN::Shown& b) { return a.From < b.From; });
  return error;
}

bool PairSource::ComesWithReading() const {
  return first_->ComesWithReading() || (second_ && second_->ComesWithReading());
}

std::vector<std::string> PairSource::TakeNotes() {
  std::vector<std::string> notes = first_->TakeNotes();
  if (second_)
    for (std::string& note : second_->TakeNotes()) notes.push_back(std::move(note));
  return notes;
}

std::string PairSource::UnopenedReason() const {
  return secondFailed_ && second_ ? second_->UnopenedReason() : first_->UnopenedReason();
}

std::string PairSource::UnopenedFile() const {
  return secondFailed_ ? options_.SecondSubtitle : first_->UnopenedFile();
}

std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> PairSource::NewDrawer(
    VELAVCODEC::VelAvCodec& decoder, std::string& error) {
  secondFailed_ = false;
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> first = first_->MakeDrawer(decoder, error);
  if (!first) return nullptr;
  if (!second_) {
    error = SUBTITLESOURCE::kNoSuchTrack;
    return nullptr;
  }
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> second = second_->MakeDrawer(decoder, error);
  if (!second) {
    secondFailed_ = true;
    return nullptr;
  }
  const PAIRDRAWER::SecondPlace place = JOBOPTIONS::SecondAbove(options_)
                                            ? PAIRDRAWER::SecondPlace::Above
                                            : PAIRDRAWER::SecondPlace::Top;
  return std::make_unique<PAIRDRAWER::PairDrawer>(std::move(first), std::move(second), place,
                                                  decoder.Width, decoder.Height);
}

}  // namespace PAIRSOURCE
