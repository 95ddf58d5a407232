#include "shell/WatchedFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <filesystem>
#include <system_error>

#include "shell/FolderJobs.h"

namespace WATCHEDFOLDER {
namespace {

namespace fs = std::filesystem;

}  // namespace

std::vector<std::string> Settling::Look(const std::map<std::string, Seen>& files, int64_t nowMs) {
  std::vector<std::string> settled;
  for (auto it = watched_.begin(); it != watched_.end();)
    it = files.count(it->first) == 0 ? watched_.erase(it) : std::next(it);
  for (const auto& [name, seen] : files) {
    auto found = watched_.find(name);
    if (found == watched_.end() || !(found->second.seen == seen)) {
      watched_[name] = {seen, nowMs};
      continue;
    }
    if (nowMs - found->second.sinceMs >= settleMs_) settled.push_back(name);
  }
  return settled;
}

State::State(std::string path) : path_(std::move(path)) { Load(); }

void State::Load() {
  entries_.clear();
  QFile file(QString::fromStdString(path_));
  if (!file.open(QIODevice::ReadOnly)) return;
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
  for (const QJsonValue& value : document.object().value("files").toArray()) {
    const QJsonObject entry = value.toObject();
    const std::string source = entry.value("source").toString().toStdString();
    // Written as decimal text: a double holds neither exactly.
    bool sized = false, timed = false;
    const qulonglong size = entry.value("size").toString().toULongLong(&sized);
    const qlonglong modified = entry.value("modified_ns").toString().toLongLong(&timed);
    const QString outcome = entry.value("status").toString();
    if (source.empty() || !sized || !timed || (outcome != "done" && outcome != "failed")) continue;
    entries_[source] = {{uintmax_t(size), int64_t(modified)},
                        outcome == "done" ? Outcome::Done : Outcome::Failed};
  }
}

bool State::Settled(const std::string& source, const Seen& seen) {
  Load();
  const auto found = entries_.find(source);
  return found != entries_.end() && found->second.seen == seen;
}

bool State::Record(const std::string& source, const Seen& seen, Outcome outcome) {
  const int lock = open((path_ + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
  if (lock >= 0) flock(lock, LOCK_EX);
  Load();
  entries_[source] = {seen, outcome};
  const bool written = Save();
  if (lock >= 0) close(lock);
  return written;
}

bool State::Save() const {
  QJsonArray files;
  for (const auto& [name, entry] : entries_)
    files.append(QJsonObject{{"source", QString::fromStdString(name)},
                             {"size", QString::number(qulonglong(entry.seen.Size))},
                             {"modified_ns", QString::number(qlonglong(entry.seen.ModifiedNs))},
                             {"status", entry.outcome == Outcome::Done ? "done" : "failed"}});
  QSaveFile file(QString::fromStdString(path_));
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(QJsonDocument(QJsonObject{{"files", files}}).toJson());
  return file.commit();
}

std::map<std::string, Seen> VideosIn(const std::string& folder) {
  std::map<std::string, Seen> videos;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code fileError;
    if (!it->is_regular_file(fileError) || !FOLDERJOBS::IsVideoName(it->path().string())) continue;
    const uintmax_t size = it->file_size(fileError);
    const auto modified = it->last_write_time(fileError);
    if (fileError) continue;
    videos[it->path().string()] = {
        size,
        int64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch())
                    .count())};
  }
  return videos;
}

std::string OutputFor(const std::string& source, const std::string& outputFolder,
                      const std::string& format) {
  return (fs::path(outputFolder) / (fs::path(source).stem().string() + "." + format)).string();
}

std::string TemporaryFor(const std::string& output) {
  const fs::path path(output);
  // The container follows the name's suffix, which the job reads.
  return (path.parent_path() / ("." + path.stem().string() + ".part" + path.extension().string()))
      .string();
}

}  // namespace WATCHEDFOLDER
