// The blocks that records of 32-bit layout refer to by handle.
#include <map>
#include <mutex>

#include "avi/Vfw.h"

namespace {

struct BlockTable {
  std::mutex mutex;
  std::map<BLOCKHANDLE, std::vector<BYTE>> blocks;
  BLOCKHANDLE next = 1;
};

BlockTable& Table() {
  static BlockTable table;
  return table;
}

}  // namespace

BLOCKHANDLE AVIAllocBlock(const void* data, DWORD size) {
  BlockTable& table = Table();
  std::lock_guard lock(table.mutex);
  while (table.next == 0 || table.blocks.count(table.next)) ++table.next;
  const BLOCKHANDLE handle = table.next++;
  const auto* bytes = static_cast<const BYTE*>(data);
  table.blocks[handle] = bytes ? std::vector<BYTE>(bytes, bytes + size) : std::vector<BYTE>(size);
  return handle;
}

bool AVIReadBlock(BLOCKHANDLE handle, std::vector<BYTE>* data) {
  BlockTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto found = table.blocks.find(handle);
  if (found == table.blocks.end()) return false;
  if (data) *data = found->second;
  return true;
}

void AVIFreeBlock(BLOCKHANDLE handle) {
  BlockTable& table = Table();
  std::lock_guard lock(table.mutex);
  table.blocks.erase(handle);
}

HRESULT AVISaveOptionsFree(int nStreams, AVICOMPRESSOPTIONS** plpOptions) {
  if (nStreams < 0 || (nStreams > 0 && plpOptions == nullptr)) return AVIERR_BADPARAM;
  for (int i = 0; i < nStreams; ++i) {
    AVICOMPRESSOPTIONS* options = plpOptions[i];
    if (options == nullptr) continue;
    if (options->lpFormat) AVIFreeBlock(options->lpFormat);
    if (options->lpParms) AVIFreeBlock(options->lpParms);
    options->lpFormat = options->lpParms = 0;
    options->cbFormat = options->cbParms = 0;
  }
  return AVIERR_OK;
}
