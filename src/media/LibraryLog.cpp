#include "media/LibraryLog.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "media/private/EntryPoints.h"

namespace LIBRARYLOG {
namespace {

constexpr size_t kMaxLineLength = 1024;
// A damaged stream can report one decoding error per picture, each with other
// numbers in it; the log keeps the first of them.
constexpr size_t kMaxLinesPerRun = 100;
constexpr const char* kLeftOut = "[FFmpeg] Further messages of this job are left out...";

std::atomic<int> gThreshold{AV_LOG_ERROR};

struct Collected {
  std::mutex mutex;
  std::vector<std::string> pending;
  std::unordered_set<std::string> seen;  // since BeginRun
  size_t runLines = 0;
  std::string lastError;  // the latest error line, even when not kept again
  // Lets the job's every pass skip the lock when there is nothing.
  std::atomic<bool> hasLines{false};
};

// Never destroyed: FFmpeg's threads may still report while the program ends.
Collected& State() {
  static Collected* state = new Collected;
  return *state;
}

// A message can come in pieces; each thread joins its own.
struct PartialLine {
  std::string text;
  std::string source;
  bool error = false;
};
thread_local PartialLine tPartial;

// The name FFmpeg gives the reporting object: the demuxer ("mov" of
// "mov,mp4,m4a,3gp,3g2,mj2"), the codec ("h264", "libx264").
std::string SourceName(void* context) {
  if (context == nullptr) return {};
  const AVClass* objectClass = *static_cast<const AVClass* const*>(context);
  if (objectClass == nullptr) return {};
  const char* name = objectClass->item_name ? objectClass->item_name(context) : nullptr;
  if (name == nullptr || *name == '\0' || std::strcmp(name, "NULL") == 0)
    name = objectClass->class_name;
  const std::string text = name ? name : "";
  return text.substr(0, text.find(','));
}

std::string StyledLine(const PartialLine& line, std::string text) {
  while (!text.empty() && std::strchr(" \t\r.:", text.back()) != nullptr) text.pop_back();
  if (line.error) text += "...";
  return "[FFmpeg" + (line.source.empty() ? std::string() : "::" + line.source) + "] " + text;
}

void Add(std::string line, bool error) {
  Collected& state = State();
  std::lock_guard lock(state.mutex);
  if (error) state.lastError = line;
  if (state.runLines >= kMaxLinesPerRun || !state.seen.insert(line).second) return;
  if (++state.runLines == kMaxLinesPerRun) line = kLeftOut;
  state.pending.push_back(std::move(line));
  state.hasLines.store(true, std::memory_order_release);
}

void FinishLines(PartialLine& partial) {
  for (size_t end; (end = partial.text.find('\n')) != std::string::npos;) {
    std::string text = partial.text.substr(0, end);
    partial.text.erase(0, end + 1);
    if (text.find_first_not_of(" \t\r") != std::string::npos)
      Add(StyledLine(partial, std::move(text)), partial.error);
  }
  // A piece that never ends its line is not kept for ever.
  if (partial.text.size() > kMaxLineLength) {
    Add(StyledLine(partial, std::move(partial.text)), partial.error);
    partial.text.clear();
  }
}

void Collect(void* context, int level, const char* format, std::va_list arguments) {
  level &= 0xFF;  // the rest are colour hints
  if (format == nullptr || level > gThreshold.load(std::memory_order_relaxed)) return;
  char piece[kMaxLineLength];
  std::va_list copy;
  va_copy(copy, arguments);
  std::vsnprintf(piece, sizeof piece, format, copy);
  va_end(copy);
  PartialLine& partial = tPartial;
  if (partial.text.empty()) {
    partial.source = SourceName(context);
    partial.error = level <= AV_LOG_ERROR;
  }
  partial.text += piece;
  FinishLines(partial);
}

}  // namespace

void SetDetail(Detail detail) {
  gThreshold.store(detail == Detail::Everything ? AV_LOG_INFO : AV_LOG_ERROR);
}

Callback LogCallback() { return Collect; }

void RouteLibraryLog(const VELAVCODEC::EntryPoints& api) {
  if (api.av_log_set_callback != nullptr) api.av_log_set_callback(Collect);
}

std::vector<std::string> TakeLines() {
  Collected& state = State();
  if (!state.hasLines.load(std::memory_order_acquire)) return {};
  std::lock_guard lock(state.mutex);
  state.hasLines.store(false, std::memory_order_relaxed);
  return std::exchange(state.pending, {});
}

std::string TakeLastError() {
  Collected& state = State();
  std::lock_guard lock(state.mutex);
  return std::exchange(state.lastError, {});
}

void BeginRun() {
  Collected& state = State();
  std::lock_guard lock(state.mutex);
  state.lastError.clear();
  state.seen.clear();
  state.runLines = 0;
  // What came before belongs to no job.
  state.pending.clear();
  state.hasLines.store(false, std::memory_order_relaxed);
}

}  // namespace LIBRARYLOG
