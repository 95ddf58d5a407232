#include "job/PicturesToText.h"

#include <QSaveFile>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "media/DisplaySetDecoder.h"
#include "media/SubtitleTrack.h"
#include "media/VelAvCodec.h"
#include "ocr/SetReader.h"
#include "tracks/Languages.h"

namespace PICTURESTOTEXT {
namespace {

using SUBTITLEBITMAPS::DisplaySet;

std::string Clock(int64_t ms) {
  ms = std::max<int64_t>(ms, 0);
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", (long long)(ms / 3600000),
                (long long)(ms / 60000 % 60), (long long)(ms / 1000 % 60), (long long)(ms % 1000));
  return text;
}

// The stream's packets and description, from a picture file or the track.
std::string ReadPackets(VELAVCODEC::VelAvCodec& decoder, const Request& request,
                        SUBTITLETRACK::TrackInfo& info,
                        std::vector<SUBTITLETRACK::TrackPacket>& packets, std::string& language) {
  const std::string file = !request.Pictures.empty()                              ? request.Pictures
                           : DISPLAYSETDECODER::IsPictureFileName(request.Source) ? request.Source
                                                                                  : "";
  if (!file.empty()) return DISPLAYSETDECODER::ReadPictureFile(decoder, file, info, packets);
  if (!decoder.PreOpen(request.Source)) return decoder.ErrorText;
  int track = request.Track;
  const std::vector<VELAVCODEC::StoredStream> tracks = decoder.SubtitleTrackRecords();
  for (int k = 0; track == 0 && k < int(tracks.size()); ++k)
    if (decoder.SelectSubtitleTrack(k) &&
        SUBTITLETRACK::IsPicture(decoder.SubtitleTrackInfo().Codec))
      track = k + 1;
  if (track <= 0 || !decoder.SelectSubtitleTrack(track - 1))
    return "the source has no " + (request.Track > 0
                                       ? "subtitle track " + std::to_string(request.Track)
                                       : std::string("picture subtitle track"));
  info = decoder.SubtitleTrackInfo();
  if (!SUBTITLETRACK::IsPicture(info.Codec))
    return "subtitle track " + std::to_string(track) + " is text, not pictures";
  language = tracks[size_t(track - 1)].Language;
  return decoder.ReadWholeSubtitleTrack(packets);
}

}  // namespace

std::string LanguagesFor(const std::string& asked, const std::string& trackLanguage) {
  if (!asked.empty()) return asked;
  for (const std::string& installed : SETREADER::SetReader::Installed())
    if (LANGUAGES::SameLanguage(installed, trackLanguage)) return installed;
  return "eng";
}

std::string ReadCues(const VELAVCODEC::VelAvCodec& libraries, const SUBTITLETRACK::TrackInfo& info,
                     const std::vector<SUBTITLETRACK::TrackPacket>& packets, bool forcedOnly,
                     std::vector<Cue>& cues, Result& result, const std::function<void()>& pulse) {
  cues.clear();
  DISPLAYSETDECODER::DisplaySetDecoder pictures(libraries);
  if (std::string error = pictures.Open(info); !error.empty()) return error;
  std::vector<DisplaySet> sets;
  for (const SUBTITLETRACK::TrackPacket& packet : packets) pictures.Decode(packet, sets);
  // A track marked forced is forced whole.
  if (forcedOnly && !info.Forced)
    for (DisplaySet& set : sets)
      std::erase_if(set.Bitmaps, [](const SUBTITLEBITMAPS::Bitmap& b) { return !b.Forced; });
  std::vector<SUBTITLEBITMAPS::SetTime> times;
  for (const DisplaySet& set : sets)
    times.push_back({set.StartMs, set.EndMs, !set.Bitmaps.empty()});
  const std::vector<SUBTITLEBITMAPS::ShownSpan> spans =
      SUBTITLEBITMAPS::ShownSpans(times, pictures.SetsLastUntilNext());
  result.Sets = int64_t(spans.size());

  // Half the sets a thread, each with a reader of its own.
  std::vector<std::string> texts(spans.size());
  const size_t threads = std::min<size_t>(2, std::max<size_t>(1, spans.size()));
  std::vector<std::string> problems(threads);
  std::vector<std::thread> readers;
  std::atomic<size_t> finished = 0;
  for (size_t t = 0; t < threads; ++t)
    readers.emplace_back([&, t] {
      SETREADER::SetReader reader;
      problems[t] = reader.Open(result.Languages);
      if (problems[t].empty())
        for (size_t k = t; k < spans.size(); k += threads)
          texts[k] = reader.Read(sets[spans[k].Set]);
      ++finished;
    });
  while (pulse && finished < threads) {
    pulse();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  for (std::thread& reader : readers) reader.join();
  for (const std::string& problem : problems)
    if (!problem.empty()) return problem;
  for (size_t k = 0; k < spans.size(); ++k)
    if (!texts[k].empty()) cues.push_back({spans[k].StartMs, spans[k].EndMs, std::move(texts[k])});
  result.Cues = int64_t(cues.size());
  if (pictures.DamagedPackets() > 0)
    result.Log.push_back(
        "[PictureSubtitles] Some subtitle pictures are damaged; what could be "
        "read is kept");
  return {};
}

std::string SubRipOf(const std::vector<Cue>& cues) {
  std::string srt;
  for (size_t k = 0; k < cues.size(); ++k)
    srt += std::to_string(k + 1) + "\n" + Clock(cues[k].StartMs) + " --> " + Clock(cues[k].EndMs) +
           "\n" + cues[k].Text + "\n\n";
  return srt;
}

std::string WriteText(VELAVCODEC::VelAvCodec& decoder, const Request& request, Result& result,
                      const std::function<void()>& pulse) {
  SUBTITLETRACK::TrackInfo info;
  std::vector<SUBTITLETRACK::TrackPacket> packets;
  std::string trackLanguage;
  std::string error = ReadPackets(decoder, request, info, packets, trackLanguage);
  if (!error.empty()) return error;
  result.Languages = LanguagesFor(request.Languages, trackLanguage);
  std::vector<Cue> cues;
  if (error = ReadCues(decoder, info, packets, request.ForcedOnly, cues, result, pulse);
      !error.empty())
    return error;
  const std::string srt = SubRipOf(cues);
  QSaveFile file(QString::fromStdString(request.Output));
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(srt.data(), qint64(srt.size())) != qint64(srt.size()) || !file.commit())
    return "cannot write '" + request.Output + "': " + file.errorString().toStdString();
  result.Log.push_back("Read " + std::to_string(result.Sets) + " picture sets in " +
                       result.Languages + ": " + std::to_string(result.Cues) + " cues written to " +
                       request.Output);
  return {};
}

}  // namespace PICTURESTOTEXT
