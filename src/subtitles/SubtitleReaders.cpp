#include "subtitles/SubtitleReaders.h"

#include "subtitles/AssReader.h"
#include "subtitles/MicroDvdReader.h"
#include "subtitles/SubRipReader.h"
#include "subtitles/WebVttReader.h"

namespace SUBTITLEFILE {
namespace {

// Listed here rather than registering themselves: a reader whose object
// file nothing refers to would be left out of the static library's users.
constinit const MicroDvdReader kMicroDvd;
constinit const SubRipReader kSubRip;
constinit const AssReader kAss;
constinit const WebVttReader kWebVtt;

// Asked in this order, the first to recognise the lines reading them: a
// file that starts as MicroDVD is MicroDVD whatever lines follow.
const SubtitleReader* const kReaders[] = {&kMicroDvd, &kSubRip};
// Only styled drawing knows what to do with these.
const SubtitleReader* const kStyledReaders[] = {&kAss, &kWebVtt};

template <std::size_t Count>
const SubtitleReader* FirstRecognising(const SubtitleReader* const (&readers)[Count],
                                       const SubtitleLines& lines) {
  for (const SubtitleReader* reader : readers)
    if (reader->Recognises(lines)) return reader;
  return nullptr;
}

}  // namespace

const SubtitleReader* FindReader(const SubtitleLines& lines) {
  if (const SubtitleReader* reader = FirstRecognising(kReaders, lines)) return reader;
  return lines.Options().Styled ? FirstRecognising(kStyledReaders, lines) : nullptr;
}

const char* StyledOnlyFormat(const SubtitleLines& lines) {
  const SubtitleReader* reader = FirstRecognising(kStyledReaders, lines);
  return reader != nullptr ? reader->Name() : nullptr;
}

}  // namespace SUBTITLEFILE
