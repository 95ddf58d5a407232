#include "media/private/StreamReport.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <memory>

namespace VELAVCODEC {
namespace {

void AppendF(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));

void AppendF(std::string& text, const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (length > 0) {
    const size_t end = text.size();
    text.resize(end + size_t(length) + 1);
    std::vsnprintf(text.data() + end, size_t(length) + 1, format, again);
    text.resize(end + size_t(length));
  }
  va_end(again);
}

int64_t Gcd(int64_t a, int64_t b) {
  while (b != 0) {
    const int64_t r = a % b;
    a = b;
    b = r;
  }
  return a;
}

const char* DictValue(const EntryPoints& api, const AVDictionary* dict, const char* key) {
  const AVDictionaryEntry* entry = api.av_dict_get(dict, key, nullptr, 0);
  return entry != nullptr ? entry->value : nullptr;
}

struct CodecContextDeleter {
  const EntryPoints* api;
  void operator()(AVCodecContext* context) const { api->avcodec_free_context(&context); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

// The stream's parameters in a codec context, as avcodec_string reads them.
CodecContextPtr ContextOf(const EntryPoints& api, const AVStream* stream) {
  CodecContextPtr context(api.avcodec_alloc_context3(nullptr), CodecContextDeleter{&api});
  if (context && api.avcodec_parameters_to_context(context.get(), stream->codecpar) < 0)
    context.reset();
  return context;
}

void AppendAspectRatios(const EntryPoints& api, std::string& info, const AVStream* stream) {
  const AVRational stream_sar = stream->sample_aspect_ratio;
  const AVCodecParameters* codec = stream->codecpar;
  const AVRational codec_sar = codec->sample_aspect_ratio;
  if (stream_sar.num == 0) return;
  if (int64_t(stream_sar.num) * codec_sar.den == int64_t(codec_sar.num) * stream_sar.den) return;
  int dar_num = 0, dar_den = 0;
  api.av_reduce(&dar_num, &dar_den, int64_t(codec->width) * stream_sar.num,
                int64_t(codec->height) * stream_sar.den, 1024 * 1024);
  AppendF(info, ", PAR %d:%d DAR %d:%d", stream_sar.num, stream_sar.den, dar_num, dar_den);
}

void AppendVideoRates(std::string& info, const AVStream* stream, const AVCodecContext* context) {
  const AVRational tbr = stream->r_frame_rate;
  const AVRational tbn = stream->time_base;
  if (tbr.num != 0 && tbr.den != 0) AppendRate(info, double(tbr.num) / tbr.den, "tbr");
  if (tbn.num != 0 && tbn.den != 0) AppendRate(info, 1.0 / (double(tbn.num) / tbn.den), "tbn");
  if (context == nullptr) return;
  const AVRational tbc = context->time_base;
  if (tbc.num != 0 && tbc.den != 0) AppendRate(info, 1.0 / (double(tbc.num) / tbc.den), "tbc");
}

void ReportStream(const EntryPoints& api, std::string& info, const AVFormatContext* format,
                  int fileNumber, int index) {
  const AVStream* stream = format->streams[index];
  const AVRational tb = stream->time_base;
  int64_t g = Gcd(tb.num, tb.den);
  if (g == 0) g = 1;  // a 0/0 time base prints as 0/0
  const char* language = DictValue(api, stream->metadata, "language");
  CodecContextPtr context = ContextOf(api, stream);
  char description[256] = "";
  if (context) api.avcodec_string(description, sizeof(description), context.get(), 0);

  AppendF(info, "    Stream #%d.%d", fileNumber, index);
  if (format->iformat->flags & AVFMT_SHOW_IDS) AppendF(info, "[0x%x]", stream->id);
  if (language != nullptr) AppendF(info, "(%s)", language);
  AppendF(info, ", %d/%d", int(tb.num / g), int(tb.den / g));
  AppendF(info, ": %s", description);
  AppendAspectRatios(api, info, stream);
  if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
    AppendVideoRates(info, stream, context.get());
  info += "\r\n";
}

void AppendContainerLine(const EntryPoints& api, std::string& info, const AVFormatContext* format) {
  info += "Duration: ";
  info += format->duration != AV_NOPTS_VALUE ? FormatDuration(format->duration) : "N/A";
  if (format->start_time != AV_NOPTS_VALUE)
    info += ", start: " + FormatStart(api, format->start_time);
  info += ", bitrate: ";
  if (format->bit_rate != 0)
    AppendF(info, "%lld kb/s", static_cast<long long>(format->bit_rate / 1000));
  else
    info += "N/A";
  info += "\r\n";
}

void AppendStreams(const EntryPoints& api, std::string& info, const AVFormatContext* format,
                   int fileNumber) {
  if (format->nb_programs == 0) {
    for (unsigned i = 0; i < format->nb_streams; ++i)
      ReportStream(api, info, format, fileNumber, int(i));
    return;
  }
  for (unsigned p = 0; p < format->nb_programs; ++p) {
    const AVProgram* program = format->programs[p];
    const char* name = DictValue(api, program->metadata, "name");
    AppendF(info, "  Program %d %s\r\n", program->id, name != nullptr ? name : "");
    for (unsigned k = 0; k < program->nb_stream_indexes; ++k)
      if (program->stream_index[k] < format->nb_streams)
        ReportStream(api, info, format, fileNumber, int(program->stream_index[k]));
  }
}

}  // namespace

double RoundHalfEven(double x) {
  const double up = x + 0.5;
  if (up != std::floor(up)) return std::floor(up);
  const double whole = up;  // x lies exactly half-way
  return std::fmod(whole, 2.0) == 0.0 ? std::ceil(x) : std::floor(x);
}

void AppendRate(std::string& info, double rate, const char* unit) {
  const uint64_t v = uint64_t(int64_t(RoundHalfEven(rate * 100)));
  if (v % 100 != 0)
    AppendF(info, ", %3.2f %s", rate, unit);
  else if (v % (100 * 1000) != 0)
    AppendF(info, ", %1.0f %s", rate, unit);
  else
    AppendF(info, ", %1.0fk %s", rate * 0.001, unit);
}

std::string FormatDuration(int64_t microseconds) {
  const int64_t s = microseconds / 1000000;
  const int64_t us = microseconds % 1000000;
  const int64_t minutesTotal = s / 60;
  std::string text;
  AppendF(text, "%02d:%02d:%02d.%02d", int(minutesTotal / 60), int(minutesTotal % 60), int(s % 60),
          int(us * 100 / 1000000));
  return text;
}

std::string FormatStart(const EntryPoints& api, int64_t microseconds) {
  std::string text;
  AppendF(text, "%d.%06d", int(microseconds / 1000000),
          int(api.av_rescale(microseconds % 1000000, 1000000, 1000000)));
  return text;
}

std::string ReportFormat(const EntryPoints& api, const AVFormatContext* format, int fileNumber,
                         const std::string& fileName) {
  std::string info = "[ BEGIN MOVIE INFO ]\r\n";
  AppendF(info, "%s #%d, %s, %s '%s'\r\n", "Input", fileNumber, format->iformat->name, "from",
          fileName.c_str());
  AppendContainerLine(api, info, format);
  AppendStreams(api, info, format, fileNumber);
  info += "[ END MOVIE INFO ]";
  return info;
}

}  // namespace VELAVCODEC
