// The events of --progress json as a reader parses them: one object a line,
// strings a JSON parser takes whatever bytes they came from, progress no
// more often than twice a second.
#include "cli/JsonEvents.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <sstream>
#include <vector>

namespace {

using JSONEVENTS::JsonEvents;
using JSONEVENTS::Status;

// Every line as a JSON object; a line that is not one fails the test.
std::vector<QJsonObject> Parsed(const std::string& text) {
  std::vector<QJsonObject> events;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
    EXPECT_TRUE(document.isObject()) << line;
    events.push_back(document.object());
  }
  EXPECT_TRUE(text.empty() || text.back() == '\n') << "the last event is not a whole line";
  return events;
}

JOBSTATISTICS::Progress FiguresAt(uint64_t ms, int32_t frame) {
  JOBSTATISTICS::Progress figures;
  figures.MsSinceStart = ms;
  figures.FrameIndex = frame;
  figures.TotalFrames = 400;
  figures.LastRefreshFrame = frame - 25;
  figures.MsSinceLastRefresh = 1000;
  figures.VideoBytes = 1000;
  figures.AudioBytes = 24;
  return figures;
}

}  // namespace

TEST(JsonEventsTest, EachEventIsOneObjectNamedFirst) {
  std::ostringstream out;
  JsonEvents events(out);
  events.Log("[ BEGIN MOVIE INFO ]\nInput #0\n[ END MOVIE INFO ]");
  events.Error("Can't create output video file...\nA disk error occurred while opening the file.");
  events.Done(Status::Failed, "out.avi", 0, "cannot open 'out.avi': No such file or directory");
  const std::string text = out.str();
  const std::vector<QJsonObject> parsed = Parsed(text);
  // A log entry of three lines is three events; an error stays one.
  ASSERT_EQ(parsed.size(), 5u) << text;
  EXPECT_EQ(parsed[0]["text"].toString(), "[ BEGIN MOVIE INFO ]");
  EXPECT_EQ(parsed[2]["text"].toString(), "[ END MOVIE INFO ]");
  EXPECT_EQ(parsed[3]["event"].toString(), "error");
  EXPECT_TRUE(
      parsed[3]["text"].toString().endsWith("\nA disk error occurred while opening the file."));
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.starts_with("{\"event\":\"")) << line;

  const QJsonObject& done = parsed[4];
  EXPECT_EQ(done["event"].toString(), "done");
  EXPECT_EQ(done["status"].toString(), "failed");
  EXPECT_EQ(done["output"].toString(), "out.avi");
  EXPECT_TRUE(done["frames"].isDouble());
  EXPECT_EQ(done["frames"].toInteger(), 0);
  EXPECT_EQ(done["message"].toString(), "cannot open 'out.avi': No such file or directory");

  std::ostringstream stopped;
  JsonEvents other(stopped);
  other.Done(Status::Stopped, "a.mkv", 1234567890123, "stopped");
  other.Done(Status::Ok, "a.mkv", 7, "done");
  const std::vector<QJsonObject> ends = Parsed(stopped.str());
  ASSERT_EQ(ends.size(), 2u);
  EXPECT_EQ(ends[0]["status"].toString(), "stopped");
  EXPECT_EQ(ends[0]["frames"].toInteger(), 1234567890123);
  EXPECT_EQ(ends[1]["status"].toString(), "ok");
}

// A file name is bytes: control characters are escaped, and what is not
// UTF-8 becomes U+FFFD rather than a line no parser takes.
TEST(JsonEventsTest, ControlCharactersAndInvalidUtf8AreEscaped) {
  std::ostringstream out;
  JsonEvents events(out);
  const std::string name = std::string("clip\x01\x1f\t\"\\") + "\xff\xc3(" + "\xc3\xa9" + ".mkv";
  events.Error("cannot open '" + name + "': No such file or directory");
  events.Done(Status::Failed, name, 0, std::string("nul \0 inside", 12));
  const std::string text = out.str();
  EXPECT_NE(text.find("\\u0001"), std::string::npos) << text;
  EXPECT_NE(text.find("\\u001f"), std::string::npos) << text;
  EXPECT_EQ(text.find('\x01'), std::string::npos);
  EXPECT_EQ(text.find('\xff'), std::string::npos);
  const std::vector<QJsonObject> parsed = Parsed(text);
  ASSERT_EQ(parsed.size(), 2u) << text;
  const QString expected = QString::fromUtf16(u"clip\u0001\u001f\t\"\\\uFFFD\uFFFD(\u00e9.mkv");
  EXPECT_EQ(parsed[1]["output"].toString(), expected);
  EXPECT_EQ(parsed[0]["text"].toString(),
            "cannot open '" + expected + "': No such file or directory");
  EXPECT_EQ(parsed[1]["message"].toString(), QString::fromUtf16(u"nul \u0000 inside", 12));
}

TEST(JsonEventsTest, SourceNamesEveryEventOnceSet) {
  std::ostringstream out;
  JsonEvents events(out);
  events.Log("before");
  events.SetSource("/in/film\xff.mkv");
  events.Log("after");
  events.Progress(FiguresAt(1000, 100));
  events.Done(Status::Ok, "/out/film.mkv", 100, "done");
  const std::vector<QJsonObject> parsed = Parsed(out.str());
  ASSERT_EQ(parsed.size(), 4u);
  EXPECT_FALSE(parsed[0].contains("source"));
  for (size_t i = 1; i < parsed.size(); ++i)
    EXPECT_EQ(parsed[i]["source"].toString(), QString::fromUtf16(u"/in/film\uFFFD.mkv")) << i;
}

TEST(JsonEventsTest, ProgressFiguresAndTheirPace) {
  std::ostringstream out;
  JsonEvents events(out);
  EXPECT_TRUE(events.Progress(FiguresAt(1000, 100)));
  EXPECT_FALSE(events.Progress(FiguresAt(1499, 110)));  // too soon
  EXPECT_TRUE(events.Progress(FiguresAt(1500, 120)));
  JOBSTATISTICS::Progress copying = FiguresAt(2100, 300);
  copying.CopiedFrames = 950;
  EXPECT_TRUE(events.Progress(copying));
  const std::vector<QJsonObject> parsed = Parsed(out.str());
  ASSERT_EQ(parsed.size(), 3u) << out.str();

  const QJsonObject& first = parsed[0];
  EXPECT_EQ(first["event"].toString(), "progress");
  EXPECT_EQ(first["frame"].toInteger(), 100);
  EXPECT_EQ(first["frames"].toInteger(), 400);
  EXPECT_DOUBLE_EQ(first["percent"].toDouble(), 25.0);
  EXPECT_DOUBLE_EQ(first["elapsed_s"].toDouble(), 1.0);
  EXPECT_DOUBLE_EQ(first["fps"].toDouble(), 25.0);
  // 100 frames in a second: the other 300 take three more.
  EXPECT_DOUBLE_EQ(first["eta_s"].toDouble(), 3.0);
  EXPECT_EQ(first["bytes"].toInteger(), 1024);
  EXPECT_FALSE(first.contains("copied"));
  EXPECT_FALSE(first.contains("encoded"));
  EXPECT_EQ(parsed[1]["frame"].toInteger(), 120);
  EXPECT_DOUBLE_EQ(parsed[1]["percent"].toDouble(), 30.0);

  EXPECT_EQ(parsed[2]["copied"].toInteger(), 950);
  EXPECT_EQ(parsed[2]["encoded"].toInteger(), 300);
  EXPECT_DOUBLE_EQ(parsed[2]["percent"].toDouble(), 75.0);
}
