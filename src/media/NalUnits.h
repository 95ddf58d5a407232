#pragma once

// What a keyframe of an H.264 or HEVC stream needs: whether the pictures
// from it on decode without any before it (an IDR picture, or a broken link
// that drops its leading pictures) or some of its leading pictures refer
// back past it (a recovery point in H.264, a clean random access picture in
// HEVC). Read from the NAL unit headers of the packet, which a container
// stores either with a length before each unit (its configuration record
// says how many bytes) or with start codes. Every length is checked against
// the packet; a packet that does not parse is taken as open, the safe answer.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace NALUNITS {

enum class Codec { H264, Hevc };

// How a packet's units are framed: 1 to 4 bytes of length, or start codes
// (0) when the configuration record is absent or not in the length form.
int LengthSizeOf(Codec codec, const uint8_t* extradata, std::size_t size);

enum class KeyKind { Closed, Open, NotKey };

KeyKind KindOfPacket(Codec codec, const uint8_t* data, std::size_t size, int lengthSize);

// Whether the packet holds an HEVC leading picture that may refer back past
// its keyframe (random access skipped leading, RASL): one that no picture
// after the leading ones refers to. False for H.264 and for what does not
// parse.
bool SkipsWithoutItsKeyframe(Codec codec, const uint8_t* data, std::size_t size, int lengthSize);

// Marks every HEVC clean random access unit of the packet, in place, as a
// broken link that may have leading pictures: what a splice makes of it.
// A decoder then starts afresh there without dropping the pictures before
// it that are still to be shown, and leaves out the leading pictures that
// refer back. How many units were marked; 0 for what does not parse.
std::size_t BreakLinks(uint8_t* data, std::size_t size, int lengthSize);

}  // namespace NALUNITS

namespace NALUNITS {

// Units in start-code form, as an encoder writes them, rewritten with a
// length of lengthSize (1 to 4) bytes before each, as a container stores
// them; the zero bytes a unit's start code may leave behind it are dropped.
// False when no unit with bytes is found or one is longer than the length
// can state.
bool ToLengthPrefixed(const uint8_t* data, std::size_t size, int lengthSize,
                      std::vector<uint8_t>& out);

// The parameter sets a configuration record holds (avcC's sequence and
// picture sets, every array of hvcC), each with a length of lengthSize bytes
// before it, appended to out: what a decoder needs in the stream to go back
// to the source's sets. False when the record does not parse.
bool ParameterSetsOf(Codec codec, const uint8_t* extradata, std::size_t size, int lengthSize,
                     std::vector<uint8_t>& out);

}  // namespace NALUNITS
