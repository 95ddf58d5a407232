#include "cli/JsonEvents.h"

#include <QJsonDocument>
#include <QString>
#include <cmath>
#include <ostream>

namespace JSONEVENTS {
namespace {

constexpr uint64_t kProgressSpacingMs = 500;

// Figures a reader shows, not measures: a few decimals are enough, and keep
// the lines short.
double Rounded(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

}  // namespace

QString TextOf(const std::string& bytes) {
  // The decoder puts U+FFFD for every byte that starts no valid sequence.
  return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

const char* StatusName(Status status) {
  switch (status) {
    case Status::Ok:
      return "ok";
    case Status::Stopped:
      return "stopped";
    case Status::Failed:
      break;
  }
  return "failed";
}

JsonEvents::JsonEvents(std::ostream& out) : out_(out) {}

void JsonEvents::SetSource(const std::string& path) { source_ = path; }

// The kind comes first, where a reader's eye (or grep) looks for it;
// QJsonObject sorts its keys, so the rest follows it in its own order.
void JsonEvents::Write(const char* kind, QJsonObject fields) {
  if (!source_.empty()) fields.insert("source", TextOf(source_));
  const QByteArray rest = QJsonDocument(fields).toJson(QJsonDocument::Compact);
  out_ << "{\"event\":\"" << kind << '"';
  if (rest.size() > 2) out_ << ',';
  out_.write(rest.constData() + 1, rest.size() - 1);
  out_ << '\n';
  out_.flush();
}

bool JsonEvents::Progress(const JOBSTATISTICS::Progress& figures) {
  if (lastProgressMs_ && figures.MsSinceStart < *lastProgressMs_ + kProgressSpacingMs) return false;
  lastProgressMs_ = figures.MsSinceStart;
  const int64_t frame = figures.FrameIndex, frames = figures.TotalFrames;
  QJsonObject event{
      {"frame", qint64(frame)},
      {"frames", qint64(frames)},
      {"percent", frames > 0 ? Rounded(100.0 * double(frame) / double(frames), 2) : 0.0},
      {"elapsed_s", Rounded(double(figures.MsSinceStart) / 1000.0, 3)},
      {"bytes", qint64(figures.AudioBytes + figures.VideoBytes)}};
  double fps = 0;
  if (figures.MsSinceLastRefresh > 0)
    fps = double(frame - figures.LastRefreshFrame) * 1000.0 / figures.MsSinceLastRefresh;
  event.insert("fps", Rounded(fps, 2));
  event.insert("eta_s", Rounded(double(JOBSTATISTICS::RemainingMs(figures)) / 1000.0, 1));
  if (figures.CopiedFrames >= 0) {
    event.insert("copied", qint64(figures.CopiedFrames));
    event.insert("encoded", qint64(frame));
  }
  Write("progress", std::move(event));
  return true;
}

void JsonEvents::Log(const std::string& text) {
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    Write("log", {{"text", TextOf(text.substr(start, end - start))}});
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

void JsonEvents::Error(const std::string& text) { Write("error", {{"text", TextOf(text)}}); }

void JsonEvents::Done(Status status, const std::string& output, int64_t frames,
                      const std::string& message) {
  Write("done", {{"status", StatusName(status)},
                 {"output", TextOf(output)},
                 {"frames", qint64(frames)},
                 {"message", TextOf(message)}});
}

}  // namespace JSONEVENTS
