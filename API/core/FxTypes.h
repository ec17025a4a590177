// Basic types shared by the whole program.
//
// Wide text is always 16-bit code units (UTF-16 as the data files and the
// translations file hold it), never the platform's wchar_t, so sizes and
// lengths are the same on every platform.
#pragma once

#include <cstddef>
#include <cstdint>

typedef char16_t wchar16;

// Error codes: 0xE0 in the top byte, an area in bits 16..27, the error in
// bits 0..15.
namespace kFxError {
constexpr uint32_t cStackHeapAlloc = 0xE0020002;    // a stack heap cannot allocate or align
constexpr uint32_t cStackHeapPointer = 0xE0020003;  // a stack heap was given an invalid pointer
constexpr uint32_t cFileOther = 0xE0030000;         // any other OS error; a failed wait
constexpr uint32_t cFileTooMany = 0xE0030001;       // too many open files
constexpr uint32_t cFileNotFound = 0xE0030002;      // file or path not found
constexpr uint32_t cFileAccess = 0xE0030003;        // access denied or write-protected
constexpr uint32_t cFileNoMore = 0xE0030005;        // no more files
constexpr uint32_t cFileMount = 0xE0030006;         // bad or duplicate mount name
constexpr uint32_t cBadUtf8 = 0xE0030007;           // malformed UTF-8 input
constexpr uint32_t cFileReadPending = 0xE0030008;   // overlapped read state misuse
}  // namespace kFxError
