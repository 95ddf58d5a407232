#pragma once

// The FFmpeg entry points that reading a whole audio track for speech
// alignment needs beyond the decoder's table (EntryPoints.h): channel
// layouts, and libswresample, which only alignment loads, so that a system
// without it loses alignment and nothing else.
extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace AUDIOSAMPLES {

enum class AudioLibrary { Util, Resample };

// X(name, library): every entry is required.
#define AUDIOSAMPLES_ENTRY_POINTS(X)            \
  X(av_channel_layout_index_from_channel, Util) \
  X(av_channel_layout_default, Util)            \
  X(av_channel_layout_copy, Util)               \
  X(av_channel_layout_uninit, Util)             \
  X(swr_alloc_set_opts2, Resample)              \
  X(swr_set_matrix, Resample)                   \
  X(swr_init, Resample)                         \
  X(swr_convert, Resample)                      \
  X(swr_get_delay, Resample)                    \
  X(swr_free, Resample)

struct AudioEntryPoints {
#define AUDIOSAMPLES_DECLARE(name, library) decltype(&::name) name = nullptr;
  AUDIOSAMPLES_ENTRY_POINTS(AUDIOSAMPLES_DECLARE)
#undef AUDIOSAMPLES_DECLARE
};

}  // namespace AUDIOSAMPLES
