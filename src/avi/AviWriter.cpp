#include "avi/AviWriter.h"

#include <algorithm>
#include <cstring>

namespace AVIWRITER {

using AVIBYTES::AviBytes;
using AVIINDEX::AviChunkEntry;

namespace {

// Room kept in the header for a video format not yet known when the first
// chunk is written (a codec's extra data), and for late header chunks.
constexpr size_t kFormatRoom = 16384;
constexpr size_t kHeaderDataRoom = 1024;
constexpr size_t kJunkHeader = 8;

constexpr DWORD AVIF_HASINDEX = 0x10;
constexpr DWORD AVIF_TRUSTCKTYPE = 0x800;

FOURCC StreamChunkId(int index, const char suffix[2]) {
  return MakeFourCC(char('0' + index / 10), char('0' + index % 10), suffix[0], suffix[1]);
}

bool IsUncompressedVideo(const std::vector<uint8_t>& format) {
  BITMAPINFOHEADER header;
  std::memcpy(&header, format.data(), sizeof header);
  return header.biCompression == BI_RGB;
}

void AppendJunk(AviBytes& out, size_t total) {
  size_t at = out.BeginChunk(MakeFourCC('J', 'U', 'N', 'K'));
  out.Zeros(total - kJunkHeader);
  out.EndChunk(at);
}

// The format a stream gets when none was set: what its info describes.
std::vector<uint8_t> DefaultFormat(const AVISTREAMINFOA& info) {
  AviBytes out;
  if (info.fccType == streamtypeVIDEO) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = info.rcFrame.right - info.rcFrame.left;
    header.biHeight = info.rcFrame.bottom - info.rcFrame.top;
    header.biPlanes = 1;
    header.biBitCount = 24;
    out.Raw(&header, sizeof header);
  } else {
    out.Zeros(sizeof(WAVEFORMATEX));
  }
  return out.Bytes();
}

}  // namespace

HRESULT AviWriter::Create(const std::string& path) {
  return file_.Create(path) ? AVIERR_OK : AVIERR_FILEOPEN;
}

HRESULT AviWriter::AddStream(const AVISTREAMINFOA& info, int* index) {
  if (started_ || finished_) return AVIERR_UNSUPPORTED;
  if (streams_.size() >= 100) return AVIERR_UNSUPPORTED;
  Stream stream;
  stream.info = info;
  stream.info.szName[sizeof stream.info.szName - 1] = 0;
  *index = int(streams_.size());
  stream.indexId = MakeFourCC('i', 'x', char('0' + *index / 10), char('0' + *index % 10));
  streams_.push_back(std::move(stream));
  return AVIERR_OK;
}

HRESULT AviWriter::SetFormat(int index, const void* format, size_t size) {
  Stream& stream = streams_[index];
  const auto* bytes = static_cast<const uint8_t*>(format);
  if (!stream.format.empty()) {
    bool same =
        stream.format.size() == size && std::equal(bytes, bytes + size, stream.format.data());
    return same ? AVIERR_OK : AVIERR_UNSUPPORTED;
  }
  const bool video = stream.info.fccType == streamtypeVIDEO;
  if (size < (video ? sizeof(BITMAPINFOHEADER) : 16)) return AVIERR_BADFORMAT;
  // The header so far holds a default format of 40 (video) or 18 bytes.
  const size_t placeholder = video ? sizeof(BITMAPINFOHEADER) : sizeof(WAVEFORMATEX);
  if (started_ && size + size % 2 > placeholder && !HeaderFits(size + size % 2 - placeholder))
    return AVIERR_BADSIZE;
  stream.format.assign(bytes, bytes + size);
  if (video)
    stream.chunkId = StreamChunkId(index, IsUncompressedVideo(stream.format) ? "db" : "dc");
  else if (stream.info.fccType == streamtypeAUDIO)
    stream.chunkId = StreamChunkId(index, "wb");
  else
    stream.chunkId = StreamChunkId(index, "dc");
  // Chunks of another stream started the file: the header on disk still
  // holds a made-up format. A file whose writer never finishes must name the
  // compressor its chunks need before the first of them.
  if (started_ && !WriteHeaderInPlace()) return AVIERR_FILEWRITE;
  return AVIERR_OK;
}

HRESULT AviWriter::AddHeaderData(FOURCC ckid, const void* data, size_t size) {
  if (finished_) return AVIERR_UNSUPPORTED;
  if (started_ && !HeaderFits(size + 8)) return AVIERR_BADSIZE;
  const auto* bytes = static_cast<const uint8_t*>(data);
  headerData_.push_back({ckid, std::vector<uint8_t>(bytes, bytes + size)});
  return AVIERR_OK;
}

bool AviWriter::HeaderFits(size_t extra) const {
  return BuildHeader().size() + extra + kJunkHeader <= headerRoom_;
}

uint64_t AviWriter::Samples(const Stream& stream, uint64_t chunks, uint64_t bytes) const {
  if (stream.info.fccType == streamtypeVIDEO || stream.info.dwSampleSize == 0) return chunks;
  return bytes / stream.info.dwSampleSize;
}

int AviWriter::VideoStream() const {
  for (size_t i = 0; i < streams_.size(); ++i)
    if (streams_[i].info.fccType == streamtypeVIDEO) return int(i);
  return -1;
}

HRESULT AviWriter::WriteChunk(int index, const void* data, uint32_t size, bool key, LONG* samples) {
  if (finished_) return AVIERR_UNSUPPORTED;
  Stream& stream = streams_[index];
  if (stream.format.empty()) return AVIERR_BADFORMAT;
  if (!started_) {
    HRESULT result = StartFirstRiff();
    if (result != AVIERR_OK) return result;
  }
  const uint64_t moviData = file_.End() - (moviStart_ + 12);
  if (riffOpen_ && moviData > 0 && moviData + 8 + size > riffLimit_) {
    HRESULT result = CloseRiff(false);
    if (result != AVIERR_OK) return result;
  }
  // A RIFF that could not be started after the last one closed (a full
  // disk) is tried again, so no chunk lands outside a RIFF.
  if (!riffOpen_) {
    HRESULT result = StartNextRiff();
    if (result != AVIERR_OK) return result;
  }
  const AviChunkEntry entry{file_.End(), size, key};
  if (!file_.AppendChunk(stream.chunkId, data, size)) return AVIERR_FILEWRITE;
  stream.riffChunks.push_back(entry);
  if (riffCount_ == 1) {
    idx1_.push_back({stream.chunkId, entry});
    ++stream.firstRiffChunks;
  }
  const uint64_t before = Samples(stream, stream.chunks, stream.bytes);
  ++stream.chunks;
  stream.bytes += size;
  stream.maxChunk = std::max(stream.maxChunk, size);
  if (samples) *samples = LONG(Samples(stream, stream.chunks, stream.bytes) - before);
  return AVIERR_OK;
}

HRESULT AviWriter::StartFirstRiff() {
  size_t room = BuildHeader().size() + kHeaderDataRoom + kJunkHeader;
  for (const Stream& stream : streams_)
    if (stream.format.empty()) room += kFormatRoom;
  // The header as far as it is known already, so that a file whose writer
  // never finishes still describes its streams.
  std::vector<uint8_t> header = BuildHeader();
  AviBytes start;
  start.FourCC(MakeFourCC('R', 'I', 'F', 'F'));
  start.U32(0);
  start.FourCC(MakeFourCC('A', 'V', 'I', ' '));
  start.Raw(header.data(), header.size());
  AppendJunk(start, room - header.size());
  start.FourCC(ckidLIST);
  start.U32(0);
  start.FourCC(MakeFourCC('m', 'o', 'v', 'i'));
  if (!file_.Append(start.Bytes().data(), start.Size())) return AVIERR_FILEWRITE;
  started_ = true;
  riffOpen_ = true;
  headerRoom_ = room;
  riffStart_ = 0;
  moviStart_ = start.Size() - 12;
  riffCount_ = 1;
  return AVIERR_OK;
}

HRESULT AviWriter::StartNextRiff() {
  for (const Stream& stream : streams_)
    if (stream.superIndex.size() >= AVIINDEX::kSuperIndexEntries) return AVIERR_FILEWRITE;
  AviBytes start;
  start.FourCC(MakeFourCC('R', 'I', 'F', 'F'));
  start.U32(0);
  start.FourCC(MakeFourCC('A', 'V', 'I', 'X'));
  start.FourCC(ckidLIST);
  start.U32(0);
  start.FourCC(MakeFourCC('m', 'o', 'v', 'i'));
  const uint64_t at = file_.End();
  if (!file_.Append(start.Bytes().data(), start.Size())) return AVIERR_FILEWRITE;
  riffStart_ = at;
  moviStart_ = at + 12;
  ++riffCount_;
  riffOpen_ = true;
  return AVIERR_OK;
}

bool AviWriter::AppendStandardIndexes() {
  bool ok = true;
  for (Stream& stream : streams_) {
    if (stream.riffChunks.empty()) continue;
    std::vector<uint8_t> index =
        AVIINDEX::StandardIndex(stream.chunkId, stream.riffChunks, moviStart_);
    uint64_t bytes = 0;
    for (const AviChunkEntry& chunk : stream.riffChunks) bytes += chunk.size;
    const uint64_t at = file_.End();
    if (file_.AppendChunk(stream.indexId, index.data(), uint32_t(index.size()))) {
      stream.superIndex.push_back({at, uint32_t(index.size() + 8),
                                   uint32_t(Samples(stream, stream.riffChunks.size(), bytes))});
    } else {
      ok = false;
    }
    stream.riffChunks.clear();
  }
  return ok;
}

// An RIFF that is not the only one gets ix## chunks at the end of its movi
// list; the first RIFF gets idx1 after its movi list.
HRESULT AviWriter::CloseRiff(bool last) {
  riffOpen_ = false;
  bool ok = true;
  if (!last || riffCount_ > 1) ok = AppendStandardIndexes();
  ok = file_.WriteU32At(moviStart_ + 4, uint32_t(file_.End() - moviStart_ - 8)) && ok;
  if (riffCount_ == 1) {
    std::vector<uint8_t> idx1 = AVIINDEX::Idx1(idx1_, moviStart_ + 8);
    hasIdx1_ =
        file_.AppendChunk(MakeFourCC('i', 'd', 'x', '1'), idx1.data(), uint32_t(idx1.size()));
    ok = hasIdx1_ && ok;
    idx1_.clear();
    idx1_.shrink_to_fit();
  }
  ok = file_.WriteU32At(riffStart_ + 4, uint32_t(file_.End() - riffStart_ - 8)) && ok;
  for (Stream& stream : streams_) stream.riffChunks.clear();
  return ok ? AVIERR_OK : AVIERR_FILEWRITE;
}

HRESULT AviWriter::Finish() {
  if (finished_) return AVIERR_OK;
  finished_ = true;
  if (!file_.IsOpen()) return AVIERR_FILEWRITE;
  HRESULT result = started_ ? AVIERR_OK : StartFirstRiff();
  if (started_) {
    HRESULT closed = riffOpen_ ? CloseRiff(true) : AVIERR_OK;
    if (result == AVIERR_OK) result = closed;
    if (!WriteHeaderInPlace()) result = AVIERR_FILEWRITE;
  }
  if (!file_.Close() && result == AVIERR_OK) result = AVIERR_FILEWRITE;
  return result;
}

// The header lists, padded to the room kept for them after "RIFF....AVI ".
bool AviWriter::WriteHeaderInPlace() {
  AviBytes header;
  std::vector<uint8_t> lists = BuildHeader();
  header.Raw(lists.data(), lists.size());
  AppendJunk(header, headerRoom_ - lists.size());
  return file_.WriteAt(12, header.Bytes().data(), header.Size());
}

std::vector<uint8_t> AviWriter::BuildHeader() const {
  AviBytes out;
  size_t hdrl = out.BeginList(MakeFourCC('h', 'd', 'r', 'l'));
  AppendMainHeader(out);
  for (size_t i = 0; i < streams_.size(); ++i) AppendStreamList(out, int(i));
  size_t odml = out.BeginList(MakeFourCC('o', 'd', 'm', 'l'));
  size_t dmlh = out.BeginChunk(MakeFourCC('d', 'm', 'l', 'h'));
  const int video = VideoStream();
  out.U32(video >= 0 ? uint32_t(streams_[video].chunks) : 0);
  out.Zeros(244);
  out.EndChunk(dmlh);
  out.EndChunk(odml);
  out.EndChunk(hdrl);
  for (const HeaderData& data : headerData_)
    out.Chunk(data.ckid, data.data.data(), data.data.size());
  return out.Bytes();
}

void AviWriter::AppendMainHeader(AviBytes& out) const {
  const int video = VideoStream();
  uint32_t microSeconds = 0, frames = 0, maxChunk = 0;
  int32_t width = 0, height = 0;
  if (video >= 0) {
    const Stream& stream = streams_[video];
    if (stream.info.dwRate)
      microSeconds = uint32_t(1000000ull * stream.info.dwScale / stream.info.dwRate);
    frames = riffCount_ > 1 ? stream.firstRiffChunks : uint32_t(stream.chunks);
    BITMAPINFOHEADER header;
    std::vector<uint8_t> format =
        stream.format.empty() ? DefaultFormat(stream.info) : stream.format;
    std::memcpy(&header, format.data(), sizeof header);
    width = header.biWidth;
    height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  }
  for (const Stream& stream : streams_) maxChunk = std::max(maxChunk, stream.maxChunk);
  size_t avih = out.BeginChunk(MakeFourCC('a', 'v', 'i', 'h'));
  out.U32(microSeconds);
  out.U32(0);  // max bytes per second
  out.U32(0);  // padding granularity
  out.U32((hasIdx1_ ? AVIF_HASINDEX : 0) | AVIF_TRUSTCKTYPE);
  out.U32(frames);
  out.U32(0);  // initial frames
  out.U32(uint32_t(streams_.size()));
  out.U32(maxChunk + 8);
  out.U32(uint32_t(width));
  out.U32(uint32_t(height));
  out.Zeros(16);
  out.EndChunk(avih);
}

void AviWriter::AppendStreamList(AviBytes& out, int index) const {
  const Stream& stream = streams_[index];
  const AVISTREAMINFOA& info = stream.info;
  size_t strl = out.BeginList(MakeFourCC('s', 't', 'r', 'l'));
  size_t strh = out.BeginChunk(MakeFourCC('s', 't', 'r', 'h'));
  out.FourCC(info.fccType);
  out.FourCC(info.fccHandler);
  out.U32(info.dwFlags);
  out.U16(info.wPriority);
  out.U16(info.wLanguage);
  out.U32(info.dwInitialFrames);
  out.U32(info.dwScale);
  out.U32(info.dwRate);
  out.U32(info.dwStart);
  out.U32(uint32_t(Samples(stream, stream.chunks, stream.bytes)));
  out.U32(stream.chunks ? stream.maxChunk : info.dwSuggestedBufferSize);
  out.U32(info.dwQuality);
  out.U32(info.dwSampleSize);
  out.U16(uint16_t(info.rcFrame.left));
  out.U16(uint16_t(info.rcFrame.top));
  out.U16(uint16_t(info.rcFrame.right));
  out.U16(uint16_t(info.rcFrame.bottom));
  out.EndChunk(strh);
  const std::vector<uint8_t> format = stream.format.empty() ? DefaultFormat(info) : stream.format;
  out.Chunk(MakeFourCC('s', 't', 'r', 'f'), format.data(), format.size());
  if (stream.superIndex.empty())
    AppendJunk(out, AVIINDEX::kSuperIndexChunkSize + kJunkHeader);
  else
    AVIINDEX::AppendSuperIndex(out, stream.chunkId, stream.superIndex);
  out.Chunk(MakeFourCC('s', 't', 'r', 'n'), info.szName, std::strlen(info.szName) + 1);
  out.EndChunk(strl);
}

}  // namespace AVIWRITER
