// What the libFuzzer targets share: files in memory, a file system of them
// that can be mounted beside "os", and a fatal path that unwinds instead of
// ending the process.
//
// A badly formed input is no finding: the core raises its exception through
// the fatal path, which would end the process. The hook installed by
// RejectByThrowing throws an sRejected instead; it unwinds back to the
// target's entry point, where it is caught.
#pragma once

#include <climits>
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

// A file in memory that answers every call of the layer's file object as a
// regular file on a POSIX disk answers it, with the same results and error
// codes, so a target reaches all the code that a file on disk reaches. A
// call left to the base class would go to the system with no handle and
// fail, and the stream and every reader above it would then take a path no
// file on disk takes: a target would test nothing beyond it.
//
// The file is the target's input, opened for reading (the bytes must
// outlive it), or a string it does not own, opened for reading, writing or
// both, whose changes every file on that string sees at once. Positions run
// from 0 to beyond the end as on disk: a read there answers nothing, a write
// there fills the gap with zeros. A move past 2 GiB goes there but answers
// false, as the layer's 32-bit positions refuse it. An overlapped read runs
// at once, beside the position, and memory files keep the rule of one
// pending read at a time among themselves.
class cMemoryFile : public cFxOsFile {
 public:
  cMemoryFile(const uint8_t* data, size_t size) : mData(data), mSize(size), mReadable(true) {}
  cMemoryFile(std::string& bytes, bool readable, bool writable)
      : mBytes(&bytes), mReadable(readable), mWritable(writable) {}
  ~cMemoryFile() override { cMemoryFile::Close(); }

  bool Close() override {
    if (PendingRead() == this) PendingRead() = nullptr;
    mOpen = false;
    return true;
  }

  int Read(void* buffer, int count) override {
    if (!IsTransferValid(buffer, count)) return -1;
    if (!mOpen || !mReadable) return BadHandle(), -1;
    const size_t taken = CopyOut(mPosition, buffer, count);
    mPosition += static_cast<int64_t>(taken);
    return static_cast<int>(taken);
  }

  bool ReadAsync(uint32_t offset, void* buffer, int count) override {
    if (PendingRead() != nullptr) return NotPending();
    if (!IsTransferValid(buffer, count)) return false;
    if (!mOpen || !mReadable) return BadHandle();
    PendingRead() = this;
    CopyOut(offset, buffer, count);
    return true;
  }
  bool IsReadDone() override { return PendingRead() == this || NotPending(); }
  bool WaitRead() override {
    if (PendingRead() != this) return NotPending();
    PendingRead() = nullptr;
    return true;
  }

  int Write(const void* buffer, int count) override {
    if (!IsTransferValid(buffer, count)) return -1;
    // Nothing to write never reaches the system, so nothing can fail.
    if (count == 0) return 0;
    if (!mOpen || !mWritable) return BadHandle(), -1;
    const size_t at = static_cast<size_t>(mPosition);
    const size_t length = static_cast<size_t>(count);
    if (at + length > mBytes->size()) mBytes->resize(at + length, '\0');
    mBytes->replace(at, length, static_cast<const char*>(buffer), length);
    mPosition += count;
    return count;
  }

  // Nothing to hand to a device, but a closed file still has no handle.
  bool Flush() override { return mOpen || BadHandle(); }

  bool Tell(int& position) override { return Move(0, mPosition, &position); }
  bool Seek(int position) override { return Move(position, 0, nullptr); }
  bool SeekRelative(int delta) override { return Move(delta, mPosition, nullptr); }
  bool SeekFromEnd(int delta) override { return Move(delta, static_cast<int64_t>(Size()), nullptr); }

 private:
  // The memory file whose overlapped read is pending.
  static cMemoryFile*& PendingRead() {
    static cMemoryFile* pending = nullptr;
    return pending;
  }

  static bool IsTransferValid(const void* buffer, int count) {
    if (count >= 0 && (buffer != nullptr || count == 0)) return true;
    FxSetErrorCode(kFxError::cFileOther);
    return false;
  }
  static bool NotPending() {
    FxSetErrorCode(kFxError::cFileReadPending);
    return false;
  }
  // The system's answers to a call the handle does not allow, and to a
  // position before the start.
  static bool BadHandle() { return Fail("Bad file descriptor"); }
  static bool Fail(const char* reason) {
    FxSetErrorCode(kFxError::cFileOther);
    FxSetErrorMessage("%s", reason);
    return false;
  }

  const uint8_t* Data() const { return mBytes != nullptr ? reinterpret_cast<const uint8_t*>(mBytes->data()) : mData; }
  size_t Size() const { return mBytes != nullptr ? mBytes->size() : mSize; }

  // Copies at most `count` bytes from `offset` on; answers how many.
  size_t CopyOut(int64_t offset, void* buffer, int count) const {
    const size_t size = Size();
    const size_t at = static_cast<size_t>(offset);
    if (at >= size) return 0;
    const size_t take = static_cast<size_t>(count) < size - at ? static_cast<size_t>(count) : size - at;
    if (take != 0) std::memcpy(buffer, Data() + at, take);
    return take;
  }

  bool Move(int distance, int64_t from, int* position) {
    if (!mOpen) return BadHandle();
    const int64_t reached = from + distance;
    if (reached < 0) return Fail("Invalid argument");
    mPosition = reached;
    if (reached > INT_MAX) {
      FxSetErrorCode(kFxError::cFileOther);
      return false;
    }
    if (position != nullptr) *position = static_cast<int>(reached);
    return true;
  }

  const uint8_t* mData = nullptr;
  size_t mSize = 0;
  std::string* mBytes = nullptr;
  bool mReadable = false;
  bool mWritable = false;
  bool mOpen = true;
  int64_t mPosition = 0;
};

// One file, whatever the name, in `mBytes`, opened as the layer opens a file
// on disk: it must exist unless the mode creates it, a mode that replaces
// empties it, only-new refuses it when it exists (unless the mode clears the
// name first), and appending starts at its end.
class cOneFileSystem : public cFxOsFileSystem {
 public:
  cFxOsFile* Open(const cFxString&, int mode, int attributes) override {
    const sFxOpenRequest request = FxDecodeOpenMode(mode, attributes);
    switch (request.mDisposition) {
      case eFxOpenExisting:
      case eFxTruncateExisting:
        if (!mExists) return Refuse(kFxError::cFileNotFound, "No such file or directory");
        break;
      case eFxCreateNew:
        if (mExists) return Refuse(kFxError::cFileOther, "File exists");
        break;
      case eFxOpenAlways:
      case eFxCreateAlways:
        break;
      case eFxClearAndCreateNew:
        // Whatever stood at the name is removed first: a new, empty file.
        Remove();
        break;
    }
    if (request.mDisposition == eFxTruncateExisting || request.mDisposition == eFxCreateAlways) mBytes.clear();
    mExists = true;
    cMemoryFile* file = new cMemoryFile(mBytes, request.mRead, request.mWrite);
    if (mode & kFxFileMode::cAppend) file->SeekFromEnd(0);
    return file;
  }

  // As if the file were deleted.
  void Remove() {
    mBytes.clear();
    mExists = false;
  }

  std::string mBytes;

 private:
  static cFxOsFile* Refuse(uint32_t code, const char* reason) {
    FxSetErrorCode(code);
    FxSetErrorMessage("%s", reason);
    return nullptr;
  }

  bool mExists = false;
};

}  // namespace fuzz
