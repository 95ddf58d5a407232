#include "media/NalUnits.h"

#include <functional>

namespace NALUNITS {
namespace {

// Calls `unit` with the first header byte or two of every NAL unit.
bool ForEachUnit(const uint8_t* data, std::size_t size, int lengthSize,
                 const std::function<void(const uint8_t*, std::size_t)>& unit) {
  if (lengthSize > 0) {
    std::size_t at = 0;
    while (at < size) {
      if (size - at < std::size_t(lengthSize)) return false;
      std::size_t length = 0;
      for (int i = 0; i < lengthSize; ++i) length = (length << 8) | data[at + std::size_t(i)];
      at += std::size_t(lengthSize);
      if (length == 0 || length > size - at) return false;
      unit(data + at, length);
      at += length;
    }
    return true;
  }
  // Start codes: 00 00 01, the unit runs to the next one.
  bool any = false;
  for (std::size_t at = 0; at + 3 <= size; ++at) {
    if (data[at] != 0 || data[at + 1] != 0 || data[at + 2] != 1) continue;
    const std::size_t begin = at + 3;
    std::size_t end = begin;
    while (end + 3 <= size && !(data[end] == 0 && data[end + 1] == 0 && data[end + 2] == 1)) ++end;
    if (end + 3 > size) end = size;
    if (end > begin) {
      unit(data + begin, end - begin);
      any = true;
    }
    at = end - 1;
  }
  return any;
}

}  // namespace

int LengthSizeOf(Codec codec, const uint8_t* extradata, std::size_t size) {
  // avcC: version 1, and the length size in the fifth byte; hvcC: version 1
  // and the length size in byte 21.
  const std::size_t at = codec == Codec::H264 ? 4 : 21;
  if (extradata == nullptr || size <= at || extradata[0] != 1) return 0;
  return (extradata[at] & 3) + 1;
}

KeyKind KindOfPacket(Codec codec, const uint8_t* data, std::size_t size, int lengthSize) {
  if (data == nullptr || size == 0 || lengthSize < 0 || lengthSize > 4) return KeyKind::Open;
  bool closed = false, open = false;
  const bool parsed = ForEachUnit(data, size, lengthSize, [&](const uint8_t* unit, std::size_t n) {
    if (codec == Codec::H264) {
      const int type = unit[0] & 0x1f;
      closed = closed || type == 5;
      // A recovery point (SEI payload 6) marks an intra picture that is
      // no IDR: its leading pictures may refer back.
      open = open || (type == 6 && n > 1 && unit[1] == 6);
      return;
    }
    if (n < 2) return;
    const int type = (unit[0] >> 1) & 0x3f;
    closed = closed || type == 17 || type == 18 || type == 19 || type == 20;
    open = open || type == 16 || type == 21;
  });
  if (!parsed) return KeyKind::Open;
  if (closed) return KeyKind::Closed;
  return open ? KeyKind::Open : KeyKind::NotKey;
}

bool SkipsWithoutItsKeyframe(Codec codec, const uint8_t* data, std::size_t size, int lengthSize) {
  if (codec != Codec::Hevc || data == nullptr || size == 0 || lengthSize < 0 || lengthSize > 4)
    return false;
  bool skipped = false;
  const bool parsed = ForEachUnit(data, size, lengthSize, [&](const uint8_t* unit, std::size_t n) {
    const int type = n >= 2 ? (unit[0] >> 1) & 0x3f : -1;
    skipped = skipped || type == 8 || type == 9;
  });
  return parsed && skipped;
}

std::size_t BreakLinks(uint8_t* data, std::size_t size, int lengthSize) {
  if (data == nullptr || size == 0 || lengthSize < 0 || lengthSize > 4) return 0;
  std::vector<std::size_t> marked;
  const bool parsed = ForEachUnit(data, size, lengthSize, [&](const uint8_t* unit, std::size_t n) {
    if (n >= 2 && ((unit[0] >> 1) & 0x3f) == 21) marked.push_back(std::size_t(unit - data));
  });
  if (!parsed) return 0;
  // The type is the six bits after the forbidden zero; the layer's top bit
  // stays.
  constexpr uint8_t kBrokenLinkWithLeading = 16;
  for (std::size_t at : marked)
    data[at] = uint8_t((data[at] & 0x81) | (kBrokenLinkWithLeading << 1));
  return marked.size();
}

}  // namespace NALUNITS

namespace NALUNITS {
namespace {

bool AppendUnit(const uint8_t* unit, std::size_t n, int lengthSize, std::vector<uint8_t>& out) {
  if (lengthSize < 1 || lengthSize > 4 || n == 0) return false;
  if (lengthSize < 4 && n >> (8 * lengthSize) != 0) return false;
  if (n > 0xffffffffu) return false;
  for (int i = lengthSize - 1; i >= 0; --i) out.push_back(uint8_t(n >> (8 * i)));
  out.insert(out.end(), unit, unit + n);
  return true;
}

// A two-byte big-endian count at data[at], checked against size.
bool ReadTwo(const uint8_t* data, std::size_t size, std::size_t at, std::size_t& value) {
  if (at + 2 > size) return false;
  value = (std::size_t(data[at]) << 8) | data[at + 1];
  return true;
}

// count units, each with two bytes of length before it, from `at` on.
bool CopyUnits(const uint8_t* record, std::size_t size, std::size_t& at, std::size_t count,
               int lengthSize, std::vector<uint8_t>& out) {
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t n = 0;
    if (!ReadTwo(record, size, at, n) || n == 0 || n > size - at - 2) return false;
    if (!AppendUnit(record + at + 2, n, lengthSize, out)) return false;
    at += 2 + n;
  }
  return true;
}

}  // namespace

bool ToLengthPrefixed(const uint8_t* data, std::size_t size, int lengthSize,
                      std::vector<uint8_t>& out) {
  if (data == nullptr || lengthSize < 1 || lengthSize > 4) return false;
  bool fits = true, any = false;
  const bool parsed = ForEachUnit(data, size, 0, [&](const uint8_t* unit, std::size_t n) {
    while (n > 0 && unit[n - 1] == 0) --n;
    if (n > 0) fits = fits && AppendUnit(unit, n, lengthSize, out);
    any = any || n > 0;
  });
  return parsed && fits && any;
}

bool ParameterSetsOf(Codec codec, const uint8_t* record, std::size_t size, int lengthSize,
                     std::vector<uint8_t>& out) {
  if (record == nullptr || size < 1 || record[0] != 1 || lengthSize < 1 || lengthSize > 4)
    return false;
  if (codec == Codec::H264) {
    if (size < 6) return false;
    std::size_t at = 6;
    if (!CopyUnits(record, size, at, record[5] & 0x1f, lengthSize, out)) return false;
    if (at >= size) return false;
    const std::size_t pictureSets = record[at++];
    return CopyUnits(record, size, at, pictureSets, lengthSize, out);
  }
  if (size < 23) return false;
  std::size_t at = 23;
  for (std::size_t array = 0, arrays = record[22]; array < arrays; ++array) {
    std::size_t count = 0;
    if (!ReadTwo(record, size, at + 1, count)) return false;
    at += 3;
    if (!CopyUnits(record, size, at, count, lengthSize, out)) return false;
  }
  return true;
}

}  // namespace NALUNITS
