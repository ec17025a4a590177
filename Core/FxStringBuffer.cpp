#include "Core/FxStringBuffer.h"

#include <cstdlib>
#include <cstring>

#include "API/core/FxError.h"
#include "Core/cFxMemoryManager.h"
#include "Core/platform/FxPlatform.h"

namespace {

// Bucket heads (handle numbers, 0 = empty), one table per width.
uint32_t gNarrowIntern[kFxIntern::cBucketCount];
uint32_t gWideIntern[kFxIntern::cBucketCount];

bool gReportingOutOfMemory = false;

}  // namespace

void FxStringOutOfMemory(uint64_t bytes) {
  // Reporting may itself build strings; a second failure on the way out
  // must not recurse.
  if (gReportingOutOfMemory) {
    FxPlatformWriteStdErr("Out of string memory\n");
    std::_Exit(-1);
  }
  gReportingOutOfMemory = true;
  FxSetCurrentLocation(__FILE__, __LINE__, 0);
  FxFatalError("Out of string memory: a buffer of %llu bytes cannot be allocated",
               static_cast<unsigned long long>(bytes));
}

namespace {

template <typename tChar>
uint32_t Bucket(const tChar* text, uint32_t count) {
  uint32_t h = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t c;
    if constexpr (sizeof(tChar) == 1)
      c = static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(text[i])));
    else
      c = static_cast<uint16_t>(text[i]);
    h = h * 37u + c;
  }
  if (static_cast<int32_t>(h) < 0) h = 0u - h;
  return h & kFxIntern::cBucketMask;
}

// A new buffer of `count` characters of width tTo read from `text`; the
// widths convert as everywhere in the core (sign extension, low byte).
template <typename tTo, typename tFrom>
sFxHandleCell* NewConverted(const tFrom* text, uint32_t count) {
  if (count == 0) return nullptr;
  const void* anchors[1] = {text};
  sFxHandleCell* handle = FxStringNewBuffer(count, sizeof(tTo), anchors, 1);
  const tFrom* from = static_cast<const tFrom*>(anchors[0]);
  tTo* to = FxStringChars<tTo>(handle);
  if constexpr (sizeof(tTo) == sizeof(tFrom)) {
    std::memcpy(to, from, count * sizeof(tTo));
  } else {
    for (uint32_t i = 0; i < count; ++i) to[i] = FxConvertChar<tTo>(from[i]);
  }
  return handle;
}

template <typename tChar>
sFxHandleCell* NewConcat(const tChar* a, uint32_t na, const tChar* b, uint32_t nb) {
  if (na + nb == 0) return nullptr;
  const void* anchors[2] = {a, b};
  sFxHandleCell* handle = FxStringNewBuffer(na + nb, sizeof(tChar), anchors, 2);
  tChar* out = FxStringChars<tChar>(handle);
  if (na) std::memcpy(out, anchors[0], na * sizeof(tChar));
  if (nb) std::memcpy(out + na, anchors[1], nb * sizeof(tChar));
  return handle;
}

template <typename tChar>
sFxHandleCell* Intern(const tChar* text, uint32_t count, uint32_t* table) {
  uint32_t bucket = Bucket(text, count);
  for (uint32_t number = table[bucket]; number != 0;) {
    sFxHandleCell* handle = FxHandleFromNumber(number);
    if (FxStringCount<tChar>(handle) == count &&
        (count == 0 || std::memcmp(FxStringChars<tChar>(handle), text, count * sizeof(tChar)) == 0)) {
      ++FxStringRefCount(handle);
      return handle;
    }
    number = FxStringLink(handle);
  }
  const void* anchors[1] = {text};
  sFxHandleCell* handle = FxStringNewBuffer(count, sizeof(tChar), anchors, 1);
  if (count) std::memcpy(FxStringChars<tChar>(handle), anchors[0], count * sizeof(tChar));
  FxStringLink(handle) = table[bucket];
  table[bucket] = FxHandleNumber(handle);
  return handle;
}

template <typename tChar>
void Destroy(sFxHandleCell* handle, uint32_t* table) {
  uint32_t own = FxHandleNumber(handle);
  uint32_t link = FxStringLink(handle);
  if (link != own) {
    uint32_t* slot = &table[Bucket(FxStringChars<tChar>(handle), FxStringCount<tChar>(handle))];
    while (*slot != 0 && *slot != own) slot = &FxStringLink(FxHandleFromNumber(*slot));
    if (*slot == own) *slot = link;
  }
  cFxMemoryManager::GetMemoryManager().StringHeap().Free(FxStringBuffer(handle));
}

uint32_t ChainLength(const uint32_t* table, uint32_t bucket) {
  uint32_t length = 0;
  for (uint32_t number = table[bucket]; number != 0; number = FxStringLink(FxHandleFromNumber(number)))
    ++length;
  return length;
}

}  // namespace

sFxHandleCell* FxStringNewBuffer(uint32_t count, uint32_t charSize, const void** anchors,
                                 uint32_t anchorCount) {
  uint64_t bytes = kFxStringBuffer::cOverhead + static_cast<uint64_t>(count) * charSize;
  cFxMemoryManager& manager = cFxMemoryManager::GetMemoryManager();
  void* data = bytes <= kFxHeap::cMaxRequest
                   ? manager.AllocString(static_cast<uint32_t>(bytes), anchors, anchorCount)
                   : nullptr;
  if (!data) FxStringOutOfMemory(bytes);
  sFxHandleCell* handle = manager.StringHeap().HandleOf(data);
  uint8_t* buffer = static_cast<uint8_t*>(data);
  uint32_t words[3] = {FxHandleNumber(handle), 1, 0xFFFFFFFFu};
  std::memcpy(buffer, words, sizeof words);
  std::memset(buffer + kFxStringBuffer::cChars + static_cast<size_t>(count) * charSize, 0, charSize);
  return handle;
}

sFxHandleCell* FxStringNewCopy(const char* text, uint32_t count) { return NewConverted<char>(text, count); }

sFxHandleCell* FxStringNewCopy(const wchar16* text, uint32_t count) {
  return NewConverted<wchar16>(text, count);
}

sFxHandleCell* FxStringNewWidened(const char* text, uint32_t count) {
  return NewConverted<wchar16>(text, count);
}

sFxHandleCell* FxStringNewNarrowed(const wchar16* text, uint32_t count) {
  return NewConverted<char>(text, count);
}

sFxHandleCell* FxStringNewConcat(const char* a, uint32_t na, const char* b, uint32_t nb) {
  return NewConcat(a, na, b, nb);
}

sFxHandleCell* FxStringNewConcat(const wchar16* a, uint32_t na, const wchar16* b, uint32_t nb) {
  return NewConcat(a, na, b, nb);
}

sFxHandleCell* FxStringIntern(const char* text, uint32_t count) { return Intern(text, count, gNarrowIntern); }

sFxHandleCell* FxWStringIntern(const wchar16* text, uint32_t count) { return Intern(text, count, gWideIntern); }

void FxStringDestroy(sFxHandleCell* handle) { Destroy<char>(handle, gNarrowIntern); }

void FxWStringDestroy(sFxHandleCell* handle) { Destroy<wchar16>(handle, gWideIntern); }

uint32_t FxStringInternBucket(const char* text, uint32_t count) { return Bucket(text, count); }

uint32_t FxWStringInternBucket(const wchar16* text, uint32_t count) { return Bucket(text, count); }

uint32_t FxStringInternChainLength(uint32_t bucket) { return ChainLength(gNarrowIntern, bucket); }
