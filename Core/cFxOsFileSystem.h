// The inside of the operating-system file layer (API/core/cFxOsFileSystem.h):
// what the layer's own sources and its platform backends share beyond the
// public face.
#pragma once

#include "API/core/cFxOsFileSystem.h"

// ---- Pool of open files ----------------------------------------------------------
// Entries are taken and given back under one mutex, waiting at most
// cLockTimeoutMs. An entry holds one file object of the layer (a vtable
// pointer and the native handle): 32 bytes also on 64-bit builds.
namespace kFxFilePool {
constexpr uint32_t cEntries = 256;
constexpr uint32_t cEntryBytes = 32;
constexpr uint32_t cLockTimeoutMs = 5000;
}  // namespace kFxFilePool

// The first free entry from entry 0, or null (all in use: cFileTooMany; the
// lock not obtained: cFileOther).
void* FxFilePoolTake();
// Gives an entry back; addresses outside the pool are ignored.
void FxFilePoolGiveBack(void* entry);
bool FxFilePoolContains(const void* address);
uint32_t FxFilePoolInUse();
