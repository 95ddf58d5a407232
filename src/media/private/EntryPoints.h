#pragma once

// The FFmpeg entry points the decoder front end calls, looked up by name in
// the four libraries. The headers give the types only: nothing of FFmpeg is
// linked, every call goes through this table.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/buffer.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/hdr_dynamic_metadata.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/rational.h>
#include <libswscale/swscale.h>
}

namespace VELAVCODEC {

enum class Library { Codec, Format, Util, Scale };

// X(name, library): every entry is required.
#define VELAVCODEC_ENTRY_POINTS(X)        \
  X(avformat_version, Format)             \
  X(avformat_open_input, Format)          \
  X(avformat_find_stream_info, Format)    \
  X(av_read_frame, Format)                \
  X(av_seek_frame, Format)                \
  X(avformat_close_input, Format)         \
  X(avformat_get_riff_audio_tags, Format) \
  X(av_codec_get_tag, Format)             \
  X(avcodec_version, Codec)               \
  X(avcodec_find_decoder, Codec)          \
  X(avcodec_alloc_context3, Codec)        \
  X(avcodec_free_context, Codec)          \
  X(avcodec_parameters_to_context, Codec) \
  X(avcodec_open2, Codec)                 \
  X(avcodec_send_packet, Codec)           \
  X(avcodec_decode_subtitle2, Codec)      \
  X(avsubtitle_free, Codec)               \
  X(avcodec_receive_frame, Codec)         \
  X(avcodec_flush_buffers, Codec)         \
  X(av_packet_alloc, Codec)               \
  X(av_packet_free, Codec)                \
  X(av_packet_unref, Codec)               \
  X(av_packet_move_ref, Codec)            \
  X(avcodec_string, Codec)                \
  X(av_get_audio_frame_duration2, Codec)  \
  X(av_get_bits_per_sample, Codec)        \
  X(avutil_version, Util)                 \
  X(av_frame_alloc, Util)                 \
  X(av_mallocz, Util)                     \
  X(av_frame_free, Util)                  \
  X(av_frame_unref, Util)                 \
  X(av_frame_move_ref, Util)              \
  X(av_frame_get_side_data, Util)         \
  X(av_frame_apply_cropping, Util)        \
  X(av_image_get_buffer_size, Util)       \
  X(av_image_fill_arrays, Util)           \
  X(av_dict_get, Util)                    \
  X(av_log_set_callback, Util)            \
  X(av_reduce, Util)                      \
  X(av_rescale, Util)                     \
  X(av_opt_set_int, Util)                 \
  X(av_buffer_create, Util)               \
  X(av_buffer_pool_init, Util)            \
  X(av_buffer_pool_get, Util)             \
  X(av_buffer_pool_uninit, Util)          \
  X(av_pix_fmt_desc_get, Util)            \
  X(av_strerror, Util)                    \
  X(swscale_version, Scale)               \
  X(sws_getCachedContext, Scale)          \
  X(sws_scale, Scale)                     \
  X(sws_freeContext, Scale)               \
  X(sws_alloc_context, Scale)             \
  X(sws_init_context, Scale)              \
  X(sws_scale_frame, Scale)

struct EntryPoints {
#define VELAVCODEC_DECLARE(name, library) decltype(&::name) name = nullptr;
  VELAVCODEC_ENTRY_POINTS(VELAVCODEC_DECLARE)
#undef VELAVCODEC_DECLARE
};

}  // namespace VELAVCODEC
