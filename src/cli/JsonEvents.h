#pragma once

// The events a program reads from a run with --progress json: one compact
// JSON object a line on standard output, each flushed as it is written, so
// that a reader sees a job's state at once and can parse every line alone.
// A job's run ends with exactly one done event.
#include <QJsonObject>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "job/JobStatistics.h"

namespace JSONEVENTS {

enum class Status { Ok, Failed, Stopped };

class JsonEvents {
 public:
  explicit JsonEvents(std::ostream& out);

  // Every event from here on names the source it is about, for a reader
  // that is handed the events of many jobs at once.
  void SetSource(const std::string& path);

  // The figures of a refresh; left out (false) when the last one written is
  // less than half a second older by the job's own clock.
  bool Progress(const JOBSTATISTICS::Progress& figures);
  // One event for each line of the text.
  void Log(const std::string& text);
  void Error(const std::string& text);
  // frames: the pictures written, copied ones included.
  void Done(Status status, const std::string& output, int64_t frames, const std::string& message);

 private:
  void Write(const char* kind, QJsonObject fields);

  std::ostream& out_;
  std::string source_;
  std::optional<uint64_t> lastProgressMs_;
};

// Bytes as a JSON string takes them: UTF-8, anything that is not valid
// UTF-8 (a file name in another encoding) as U+FFFD.
QString TextOf(const std::string& bytes);

const char* StatusName(Status status);

}  // namespace JSONEVENTS
