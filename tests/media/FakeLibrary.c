// A stand-in for the FFmpeg libraries: it has the four version functions and
// nothing else. MAJOR_SHIFT moves every major version away from the headers'.
#include <libavcodec/version.h>
#include <libavformat/version.h>
#include <libavutil/version.h>
#include <libswscale/version.h>

#define SHIFTED(version) ((version) - (MAJOR_SHIFT << 16))

unsigned avcodec_version(void) { return SHIFTED(LIBAVCODEC_VERSION_INT); }
unsigned avformat_version(void) { return SHIFTED(LIBAVFORMAT_VERSION_INT); }
unsigned avutil_version(void) { return SHIFTED(LIBAVUTIL_VERSION_INT); }
unsigned swscale_version(void) { return SHIFTED(LIBSWSCALE_VERSION_INT); }
