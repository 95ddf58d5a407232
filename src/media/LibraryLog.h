#pragma once

// FFmpeg's own messages: routed through a callback of ours instead of going
// to standard error. The callback may run on any of FFmpeg's threads, so it
// only collects whole lines under a lock; the job's thread takes them once
// per pass and puts them into its log.
#include <cstdarg>
#include <string>
#include <vector>

namespace VELAVCODEC {
struct EntryPoints;
}

namespace LIBRARYLOG {

// What is kept: errors only, or FFmpeg's warnings and information as well.
enum class Detail { Errors, Everything };
void SetDetail(Detail detail);

// FFmpeg's log callback type (av_log_set_callback).
using Callback = void (*)(void* context, int level, const char* format, std::va_list arguments);
// The callback; every FFmpeg the program uses is given it, the decoder's
// libraries and those the compressors link.
Callback LogCallback();
// Gives the decoder's libraries the callback.
void RouteLibraryLog(const VELAVCODEC::EntryPoints& api);

// The lines collected since the last call, in their order, each in the form
// "[FFmpeg::mov] moov atom not found...". A text already taken since
// BeginRun is not taken again, so a damaged stream's flood of one error shows
// once.
std::vector<std::string> TakeLines();
// The latest error line FFmpeg reported since the last call (or BeginRun),
// whether or not it was kept: the cause of a failure that follows it.
std::string TakeLastError();
// A new job: texts taken before may show again.
void BeginRun();

}  // namespace LIBRARYLOG
