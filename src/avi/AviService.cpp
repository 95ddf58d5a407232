// The AVI file service over AviWriter and the compressors. Handles count
// references as the original service does: a stream holds its file, a
// compressed stream holds its source, and the file is completed when the
// last reference goes.
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "avi/AviCompressor.h"
#include "avi/AviWriter.h"
#include "avi/Vfw.h"
#include "compressors/Compressor.h"
#include "compressors/CompressorFactory.h"

// A compressor that writes ahead hands a picture's chunks back later than
// the call that took the picture. Chunks written to the other streams in
// the meantime wait here, so that the file has every chunk where a
// compressor without write-ahead would have put it: after the chunks of the
// pictures handed in before it. The file is the same however the threads
// ran.
struct HeldChunk {
  int stream = -1;
  std::vector<uint8_t> bytes;
  bool key = false;
  uint64_t afterPictures = 0;  // written once this many pictures are done
};

struct AviFileObject {
  AVIWRITER::AviWriter writer;
  ULONG references = 1;
  uint64_t picturesIn = 0;    // handed to a compressed stream
  uint64_t picturesDone = 0;  // whose chunks are all written
  std::deque<HeldChunk> held;
  std::vector<HeldChunk> spare;  // written ones, their buffers kept for reuse
};

struct AviStreamObject {
  AviFileObject* file = nullptr;
  int index = -1;                     // the file's stream
  AviStreamObject* source = nullptr;  // set for a compressed stream
  std::unique_ptr<COMPRESSOR::Compressor> compressor;
  bool notifiesPictureEnds = false;  // the compressor says when a picture is done
  ULONG references = 1;
};

namespace {

// The chunks held until the pictures done so far; a failed write ends the
// writing, and what is left is dropped.
HRESULT WriteHeld(AviFileObject* file) {
  HRESULT result = AVIERR_OK;
  while (!file->held.empty() && file->held.front().afterPictures <= file->picturesDone) {
    const HeldChunk& chunk = file->held.front();
    if (result == AVIERR_OK)
      result = file->writer.WriteChunk(chunk.stream, chunk.bytes.data(),
                                       uint32_t(chunk.bytes.size()), chunk.key, nullptr);
    try {
      file->spare.push_back(std::move(file->held.front()));
    } catch (const std::bad_alloc&) {
      // Its buffer is simply not reused.
    }
    file->held.pop_front();
  }
  return result;
}

// No picture is left to wait for (the compressed stream has finished).
HRESULT WriteAllHeld(AviFileObject* file) {
  file->picturesDone = file->picturesIn;
  return WriteHeld(file);
}

ULONG ReleaseFile(AviFileObject* file) {
  const ULONG left = --file->references;
  if (left == 0) {
    WriteAllHeld(file);
    file->writer.Finish();
    delete file;
  }
  return left;
}

// The sink that a compressed stream's frames go to, counting their bytes;
// the file's own failure is kept for the call that reports it.
COMPRESSOR::ChunkSink SinkInto(AviStreamObject* stream, LONG* bytes, HRESULT* failure) {
  return [stream, bytes, failure](const COMPRESSOR::Chunk& chunk) {
    HRESULT result =
        stream->file->writer.WriteChunk(stream->index, chunk.data, chunk.size, chunk.key, nullptr);
    if (result == AVIERR_OK) *bytes += LONG(chunk.size);
    if (result != AVIERR_OK && failure != nullptr) *failure = result;
    return AVICOMPRESSOR::StatusOf(result);
  };
}

// Once a picture's chunks are written, the chunks held for it follow.
HRESULT PictureDone(AviFileObject* file) {
  ++file->picturesDone;
  return WriteHeld(file);
}

// One picture through the stream's compressor, by `compress`.
HRESULT CompressPicture(
    AviStreamObject* stream, LONG* samples, LONG* bytes,
    const std::function<COMPRESSOR::Status(const COMPRESSOR::ChunkSink&)>& compress) {
  AviFileObject* file = stream->file;
  ++file->picturesIn;
  LONG written = 0;
  HRESULT sinkFailure = AVIERR_OK;
  const COMPRESSOR::Status status = compress(SinkInto(stream->source, &written, &sinkFailure));
  HRESULT result = status == COMPRESSOR::Status::WriteFailed && sinkFailure != AVIERR_OK
                       ? sinkFailure
                       : AVICOMPRESSOR::AviResultOf(status);
  // Otherwise every chunk of the picture has come by now.
  if (!stream->notifiesPictureEnds) {
    const HRESULT held = WriteAllHeld(file);
    if (result == AVIERR_OK) result = held;
  }
  if (samples) *samples = result == AVIERR_OK ? 1 : 0;
  if (bytes) *bytes = written;
  return result;
}

// A chunk of a stream without a compressor: written, or held while pictures
// handed in before it are still being compressed.
HRESULT WriteUncompressed(AviStreamObject* stream, const void* buffer, LONG size, bool key,
                          LONG* samples) {
  AviFileObject* file = stream->file;
  if (file->picturesDone >= file->picturesIn)
    return file->writer.WriteChunk(stream->index, buffer, uint32_t(size), key, samples);
  try {
    HeldChunk chunk;
    if (!file->spare.empty()) {
      chunk = std::move(file->spare.back());
      file->spare.pop_back();
    }
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    chunk.stream = stream->index;
    chunk.bytes.assign(bytes, bytes + size);
    chunk.key = key;
    chunk.afterPictures = file->picturesIn;
    file->held.push_back(std::move(chunk));
  } catch (const std::bad_alloc&) {
    return AVIERR_MEMORY;
  }
  // As many samples as the writer will count for it.
  const DWORD sampleSize = file->writer.Info(stream->index).dwSampleSize;
  if (samples) *samples = sampleSize > 0 ? LONG(DWORD(size) / sampleSize) : 1;
  return AVIERR_OK;
}

}  // namespace

HRESULT AVIFileOpenA(PAVIFILE* ppfile, const char* szFile, UINT uMode, const void* handler) {
  if (ppfile == nullptr) return AVIERR_BADPARAM;
  *ppfile = nullptr;
  if (szFile == nullptr) return AVIERR_BADPARAM;
  if (handler != nullptr) return REGDB_E_CLASSNOTREG;
  // Only writing new files is offered.
  if (!(uMode & OF_CREATE) || !(uMode & (OF_WRITE | OF_READWRITE))) return AVIERR_UNSUPPORTED;
  auto file = std::make_unique<AviFileObject>();
  HRESULT result = file->writer.Create(szFile);
  if (result != AVIERR_OK) return result;
  *ppfile = file.release();
  return AVIERR_OK;
}

HRESULT AVIFileCreateStreamA(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFOA* psi) {
  if (ppavi) *ppavi = nullptr;
  if (pfile == nullptr) return AVIERR_BADHANDLE;
  if (ppavi == nullptr || psi == nullptr) return AVIERR_BADPARAM;
  auto stream = std::make_unique<AviStreamObject>();
  HRESULT result = pfile->writer.AddStream(*psi, &stream->index);
  if (result != AVIERR_OK) return result;
  stream->file = pfile;
  ++pfile->references;
  *ppavi = stream.release();
  return AVIERR_OK;
}

HRESULT AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM psSource,
                                const AVICOMPRESSOPTIONS* lpOptions, const void* handler) {
  if (ppsCompressed) *ppsCompressed = nullptr;
  if (psSource == nullptr) return AVIERR_BADHANDLE;
  if (ppsCompressed == nullptr || lpOptions == nullptr) return AVIERR_BADPARAM;
  if (handler != nullptr) return REGDB_E_CLASSNOTREG;
  if (psSource->source != nullptr ||
      psSource->file->writer.Info(psSource->index).fccType != streamtypeVIDEO ||
      (lpOptions->fccType != 0 && lpOptions->fccType != streamtypeVIDEO))
    return AVIERR_UNSUPPORTED;
  const COMPRESSORCATALOG::CompressorInfo* info =
      COMPRESSORCATALOG::FindCompressor(lpOptions->fccHandler);
  if (info == nullptr) return AVIERR_NOCOMPRESSOR;
  std::vector<BYTE> parms;
  if (lpOptions->lpParms && !AVIReadBlock(lpOptions->lpParms, &parms)) return AVIERR_BADPARAM;
  auto stream = std::make_unique<AviStreamObject>();
  stream->compressor = COMPRESSOR::MakeCompressor(*info, AVICOMPRESSOR::ChoiceOf(*lpOptions));
  AviFileObject* file = psSource->file;
  stream->notifiesPictureEnds = stream->compressor->NotifyPictureEnds(
      [file] { return AVICOMPRESSOR::StatusOf(PictureDone(file)); });
  stream->file = file;
  stream->index = psSource->index;
  stream->source = psSource;
  ++psSource->references;
  ++psSource->file->references;
  psSource->file->writer.SetHandler(psSource->index, info->code);
  *ppsCompressed = stream.release();
  return AVIERR_OK;
}

HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG, const void* lpFormat, LONG cbFormat) {
  if (pavi == nullptr) return AVIERR_BADHANDLE;
  if (lpFormat == nullptr || cbFormat <= 0) return AVIERR_BADPARAM;
  AVIWRITER::AviWriter& writer = pavi->file->writer;
  if (pavi->compressor == nullptr) return writer.SetFormat(pavi->index, lpFormat, size_t(cbFormat));
  if (size_t(cbFormat) < sizeof(BITMAPINFOHEADER)) return AVIERR_BADFORMAT;
  if (writer.HasFormat(pavi->index)) return AVIERR_UNSUPPORTED;
  BITMAPINFOHEADER input;
  std::memcpy(&input, lpFormat, sizeof input);
  COMPRESSOR::BgrFormat pictures;
  if (!AVICOMPRESSOR::BgrFormatOf(input, pictures)) return AVIERR_BADFORMAT;
  const AVISTREAMINFOA& info = writer.Info(pavi->index);
  COMPRESSOR::EncodedFormat encoded;
  const COMPRESSOR::Status started =
      pavi->compressor->Start(pictures, info.dwScale, info.dwRate, &encoded);
  if (started != COMPRESSOR::Status::Ok) return AVICOMPRESSOR::AviResultOf(started);
  const std::vector<uint8_t> output = AVICOMPRESSOR::StreamFormatOf(encoded, input);
  return writer.SetFormat(pavi->index, output.data(), output.size());
}

HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG, LONG, const void* lpBuffer, LONG cbBuffer,
                       DWORD dwFlags, LONG* plSampWritten, LONG* plBytesWritten) {
  if (plSampWritten) *plSampWritten = 0;
  if (plBytesWritten) *plBytesWritten = 0;
  if (pavi == nullptr) return AVIERR_BADHANDLE;
  if (cbBuffer < 0 || (lpBuffer == nullptr && cbBuffer > 0)) return AVIERR_BADPARAM;
  if (pavi->compressor)
    return CompressPicture(pavi, plSampWritten, plBytesWritten, [&](const auto& sink) {
      return pavi->compressor->Compress(lpBuffer, size_t(cbBuffer), sink);
    });
  HRESULT result =
      WriteUncompressed(pavi, lpBuffer, cbBuffer, (dwFlags & AVIIF_KEYFRAME) != 0, plSampWritten);
  if (result == AVIERR_OK && plBytesWritten) *plBytesWritten = cbBuffer;
  return result;
}

bool AVIStreamTakesPlanar(PAVISTREAM pavi) {
  return pavi != nullptr && pavi->compressor && pavi->file->writer.HasFormat(pavi->index) &&
         pavi->compressor->TakesPlanar();
}

HRESULT AVIStreamWriteMixed(PAVISTREAM pavi, const PLANARPICTURE::MixedPicture& picture,
                            LONG* plSampWritten, LONG* plBytesWritten) {
  if (plSampWritten) *plSampWritten = 0;
  if (plBytesWritten) *plBytesWritten = 0;
  if (pavi == nullptr) return AVIERR_BADHANDLE;
  if (!AVIStreamTakesPlanar(pavi)) return AVIERR_UNSUPPORTED;
  return CompressPicture(pavi, plSampWritten, plBytesWritten, [&](const auto& sink) {
    return pavi->compressor->CompressMixed(picture, sink);
  });
}

HRESULT AVIFileWriteData(PAVIFILE pfile, DWORD ckid, const void* lpData, LONG cbData) {
  if (pfile == nullptr) return AVIERR_BADHANDLE;
  if (lpData == nullptr || cbData <= 0) return AVIERR_BADPARAM;
  return pfile->writer.AddHeaderData(ckid, lpData, size_t(cbData));
}

HRESULT AVIFileEndRecord(PAVIFILE pfile) { return pfile == nullptr ? AVIERR_BADHANDLE : AVIERR_OK; }

ULONG AVIStreamRelease(PAVISTREAM pavi) {
  if (pavi == nullptr) return 0;
  const ULONG left = --pavi->references;
  if (left > 0) return left;
  if (pavi->compressor) {
    // Frames the encoder still holds become the last chunks of the stream.
    LONG ignored = 0;
    pavi->compressor->Finish(SinkInto(pavi->source, &ignored, nullptr));
    WriteAllHeld(pavi->file);
    AVIStreamRelease(pavi->source);
  }
  ReleaseFile(pavi->file);
  delete pavi;
  return 0;
}

int AVIFileLastErrno(PAVIFILE pfile) { return pfile == nullptr ? 0 : pfile->writer.LastErrno(); }

ULONG AVIFileRelease(PAVIFILE pfile) { return pfile == nullptr ? 0 : ReleaseFile(pfile); }

int AVISaveOptions(const SaveOptionsChooser& chooser, void* owner, UINT uiFlags, int nStreams,
                   PAVISTREAM* ppavi, AVICOMPRESSOPTIONS** plpOptions) {
  if (!chooser || nStreams < 1 || ppavi == nullptr || plpOptions == nullptr) return 0;
  for (int i = 0; i < nStreams; ++i) {
    AVICOMPRESSOPTIONS* options = plpOptions[i];
    if (options == nullptr || chooser(owner, uiFlags, options) != 1) return 0;
    options->fccType = streamtypeVIDEO;
    options->dwFlags |= AVICOMPRESSF_VALID;
  }
  return 1;
}
