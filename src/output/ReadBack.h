#pragma once

// A written file read back as a player would: how many pictures its first
// video stream holds, read to its end. For a burner that must not give a
// file its final name before it is known whole.
#include <cstdint>
#include <string>

namespace READBACK {

// The pictures of the file's first video stream; -1 with `error` set when
// the file can't be opened or read to its end.
int64_t StoredPictures(const std::string& path, std::string& error);

}  // namespace READBACK
