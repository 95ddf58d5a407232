#include "media/private/MmxUnit.h"

#include <cstring>

namespace MMXUNIT {

// The C library's copy already uses the widest vector moves the processor has.
void MmxCopy(void* destination, const void* source, size_t n) {
  std::memcpy(destination, source, n);
}

}  // namespace MMXUNIT
