// What every stack-discipline heap shares: statistics, error reports and the
// dump.
#include "API/core/cFxMemoryHeap.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "API/core/FxError.h"

void FxPointerText(const void* ptr, char* out) {
  static const char cDigits[] = "0123456789ABCDEF";
  uintptr_t value = reinterpret_cast<uintptr_t>(ptr);
  const int digits = static_cast<int>(2 * sizeof(uintptr_t));
  for (int i = digits - 1; i >= 0; --i) {
    out[i] = cDigits[value & 0xF];
    value >>= 4;
  }
  out[digits] = '\0';
}

cFxMemoryHeap::cFxMemoryHeap(const char* name, uint32_t kind)
    : mInitialised(0),
      mName{},
      mBytesInUse(0),
      mBytesFree(0),
      mKind(kind),
      mPeakBytesInUse(0),
      mDumpChannel(0),
      mOutOfMemoryHandler(nullptr) {
  snprintf(mName, sizeof mName, "%s", name ? name : "");
}

void cFxMemoryHeap::Start(uint32_t bytes) {
  mBytesInUse = 0;
  mBytesFree = bytes;
  mPeakBytesInUse = 0;
  mInitialised = 1;
}

void cFxMemoryHeap::CountAlloc(uint32_t bytes) {
  mBytesInUse += bytes;
  mBytesFree -= bytes;
  if (mBytesInUse > mPeakBytesInUse) mPeakBytesInUse = mBytesInUse;
}

void cFxMemoryHeap::CountFree(uint32_t bytes) {
  mBytesInUse -= bytes;
  mBytesFree += bytes;
}

void cFxMemoryHeap::Report(const char* file, int32_t line, uint32_t code, const char* format, ...) {
  FxSetErrorFile(file);
  FxSetErrorLine(line);
  FxSetErrorCode(code);
  char message[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(message, sizeof message, format, args);
  va_end(args);
  FxSetErrorMessage("%s", message);
  FxReportError();
}

void cFxMemoryHeap::RunOutOfMemoryHandler(int32_t size) {
  if (mOutOfMemoryHandler != nullptr) mOutOfMemoryHandler(this, size);
}

void cFxMemoryHeap::GetInfo(sFxHeapInfo& out) {
  memcpy(out.mName, mName, sizeof out.mName);
  out.mBytesInUse = mBytesInUse;
  out.mBytesFree = mBytesFree;
  out.mKind = mKind;
  out.mPeakBytesInUse = mPeakBytesInUse;
}

void cFxMemoryHeap::Trim(uint32_t) {}

void cFxMemoryHeap::SetOutOfMemoryHandler(tFxOutOfMemoryHandler handler) {
  mOutOfMemoryHandler = handler;
}

namespace {

struct sDumpTotals {
  const char* mName;
  int32_t mChannel;
  int32_t mBlocks;
  int32_t mBytes;
};

void DumpBlock(void* data, uint32_t size, void* context) {
  sDumpTotals& totals = *static_cast<sDumpTotals*>(context);
  char address[2 * sizeof(uintptr_t) + 1];
  FxPointerText(data, address);
  FxChannelPrintf(totals.mChannel, "%s: Block: %d bytes at address 0x%s\n", totals.mName,
                  static_cast<int32_t>(size), address);
  ++totals.mBlocks;
  totals.mBytes += static_cast<int32_t>(size);
}

}  // namespace

void cFxMemoryHeap::Dump(int32_t channel) {
  mDumpChannel = channel;
  if (!mInitialised) {
    FxChannelPrintf(channel, "Heap not initialized\n");
    return;
  }
  if (!IsValid()) {
    FxChannelPrintf(channel, "%s: Heap invalid\n", mName);
    return;
  }
  sDumpTotals totals = {mName, channel, 0, 0};
  WalkBlocks(DumpBlock, &totals);
  FxChannelPrintf(channel, "%s: Total: %d blocks, %d bytes\n", mName, totals.mBlocks, totals.mBytes);
}
