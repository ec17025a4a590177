// What the libFuzzer targets share: files in memory, a file system of them
// that can be mounted beside "os", and a fatal path that unwinds instead of
// ending the process.
//
// A badly formed input is no finding: the core raises its exception through
// the fatal path, which would end the process. The hook installed by
// RejectByThrowing throws an sRejected instead; it unwinds back to the
// target's entry point, where it is caught.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "API/core/FxError.h"
#include "Core/cFxOsFileSystem.h"

namespace fuzz {

struct sRejected {};

inline bool ThrowOnRaise(const char*) { throw sRejected(); }

inline void RejectByThrowing() {
  static const bool hooked = (FxSetExceptionHook(ThrowOnRaise), true);
  (void)hooked;
}

// Reads the bytes it was given; they must outlive it.
class cMemorySource : public cFxOsFile {
 public:
  cMemorySource(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
  int Read(void* buffer, int count) override {
    const size_t left = mSize - mPosition;
    const size_t take = static_cast<size_t>(count) < left ? static_cast<size_t>(count) : left;
    if (take != 0) std::memcpy(buffer, mData + mPosition, take);
    mPosition += take;
    return static_cast<int>(take);
  }
  bool Close() override { return true; }

 private:
  const uint8_t* mData;
  size_t mSize;
  size_t mPosition = 0;
};

// Appends what is written to a string it does not own.
class cMemorySink : public cFxOsFile {
 public:
  explicit cMemorySink(std::string& bytes) : mBytes(bytes) {}
  int Write(const void* buffer, int count) override {
    mBytes.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
    return count;
  }
  bool Flush() override { return true; }
  bool Close() override { return true; }

 private:
  std::string& mBytes;
};

// One file, whatever the name: opening it for writing appends to `mBytes`,
// opening it for reading finds it only once something was written.
class cOneFileSystem : public cFxOsFileSystem {
 public:
  cFxOsFile* Open(const cFxString&, int mode, int) override {
    if (mode & kFxFileMode::cWrite) return new cMemorySink(mBytes);
    if (mBytes.empty()) return nullptr;
    return new cMemorySource(reinterpret_cast<const uint8_t*>(mBytes.data()), mBytes.size());
  }

  std::string mBytes;
};

}  // namespace fuzz
