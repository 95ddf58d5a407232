#pragma once

// The fast block copy for picture rows and audio packets.
#include <cstddef>

namespace MMXUNIT {

// Copies n bytes (callers use it for runs of 64 bytes or more).
void MmxCopy(void* destination, const void* source, size_t n);

}  // namespace MMXUNIT
