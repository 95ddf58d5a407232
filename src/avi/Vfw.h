#pragma once

// The AVI file service: the calls, records and error codes the job writes its
// output through, with the meaning the original platform gives them.
#include <functional>
#include <vector>

#include "picture/PlanarPicture.h"
#include "platform/AviRecords.h"

struct AviFileObject;
struct AviStreamObject;
using PAVIFILE = AviFileObject*;
using PAVISTREAM = AviStreamObject*;

// handler: the class of the file or compressor handler; always null here.
HRESULT AVIFileOpenA(PAVIFILE* ppfile, const char* szFile, UINT uMode, const void* handler);
HRESULT AVIFileCreateStreamA(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFOA* psi);
HRESULT AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM psSource,
                                const AVICOMPRESSOPTIONS* lpOptions, const void* handler);
HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG lPos, const void* lpFormat, LONG cbFormat);
HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG lStart, LONG lSamples, const void* lpBuffer,
                       LONG cbBuffer, DWORD dwFlags, LONG* plSampWritten, LONG* plBytesWritten);
// Beyond the original service: once its format is set, a compressed stream
// whose compressor works on planar 4:2:0 takes mixed pictures (planar, with
// the band of drawn text in BGR) as one sample each, sparing the round trip
// through BGR.
bool AVIStreamTakesPlanar(PAVISTREAM pavi);
HRESULT AVIStreamWriteMixed(PAVISTREAM pavi, const PLANARPICTURE::MixedPicture& picture,
                            LONG* plSampWritten, LONG* plBytesWritten);
HRESULT AVIFileWriteData(PAVIFILE pfile, DWORD ckid, const void* lpData, LONG cbData);
HRESULT AVIFileEndRecord(PAVIFILE pfile);
ULONG AVIStreamRelease(PAVISTREAM pavi);
// The operating system's error number (errno) of the file's last failed
// write, or 0.
int AVIFileLastErrno(PAVIFILE pfile);
ULONG AVIFileRelease(PAVIFILE pfile);

// What the compressor choice shows and how it fills the record: the
// compressor dialog in the window, the options on the command line, a stand-in
// in tests. The job's host hands it over. Returns 1 when confirmed, else 0.
using SaveOptionsChooser =
    std::function<int(void* owner, UINT uiFlags, AVICOMPRESSOPTIONS* options)>;

// The compressor choice through chooser (an empty one answers 0). owner is the
// window to centre on (may be null). Returns 1 when the user confirmed, 0 when
// cancelled.
int AVISaveOptions(const SaveOptionsChooser& chooser, void* owner, UINT uiFlags, int nStreams,
                   PAVISTREAM* ppavi, AVICOMPRESSOPTIONS** plpOptions);
// Releases the blocks that AVISaveOptions put into the records.
HRESULT AVISaveOptionsFree(int nStreams, AVICOMPRESSOPTIONS** plpOptions);

// The blocks behind BLOCKHANDLEs. A chooser may put the libavcodec options of
// the chosen encoder ("key=value:key=value") into lpParms; AVISaveOptionsFree
// releases the blocks.
BLOCKHANDLE AVIAllocBlock(const void* data, DWORD size);
// False when the handle names no block.
bool AVIReadBlock(BLOCKHANDLE handle, std::vector<BYTE>* data);
void AVIFreeBlock(BLOCKHANDLE handle);
