// Buffered file stream. The buffers are movable blocks: their addresses are
// read through the handles each time, never kept across an allocation.
#include "xml/cFxFile.h"

#include <cstring>

#include "API/core/FxError.h"
#include "API/core/FxUtf8.h"

namespace {

// Larger buffers would crowd the string heap, which every string lives in.
constexpr uint32_t cSmallBufferLimit = 256;

sFxHandleCell* AllocBuffer(uint32_t bytes) {
  return bytes > cSmallBufferLimit ? FxAllocBlockHandle(bytes) : FxAllocStringHandle(bytes);
}

void FreeBuffer(sFxHandleCell*& buffer) {
  if (buffer != nullptr) FxFreeHandle(buffer);
  buffer = nullptr;
}

// Marks a call on a closed stream or with impossible arguments.
bool Refuse() {
  FxSetErrorCode(kFxError::cFileOther);
  return false;
}
int RefuseCount() {
  FxSetErrorCode(kFxError::cFileOther);
  return -1;
}

// The reason of the failure just recorded: the system's words when the
// platform layer gave them, else a sentence for the code.
cFxString DescribeRecordedFailure() {
  const char* message = FxGetErrorMessage();
  if (message[0] != '\0') return cFxString(message);
  switch (FxGetErrorCode()) {
    case kFxError::cFileNotFound: return cFxString("No such file or directory");
    case kFxError::cFileAccess: return cFxString("Permission denied");
    case kFxError::cFileTooMany: return cFxString("Too many open files");
    default: return cFxString("The file could not be used");
  }
}

}  // namespace

cFxOsFileSystem* FxFileSystemOf(const cFxPath& path, cFxString& failure) {
  cFxOsFileSystem* fileSystem = path.IsValid() ? FxFindMount(path.GetFileSystemName()) : nullptr;
  if (fileSystem != nullptr) return fileSystem;
  FxSetErrorCode(kFxError::cFileNotFound);
  FxSetErrorMessage("%s", path.IsValid() ? "No such file system" : "Not a usable file name");
  failure = DescribeRecordedFailure();
  return nullptr;
}

cFxFile::cFxFile()
    : mOsFile(nullptr),
      mReadBuffer(nullptr),
      mReadBufferSize(0),
      mReadPos(0),
      mReadAvail(0),
      mPushBack{},
      mPushBackCount(0),
      mMarkedPos(-1),
      mWriteBuffer(nullptr),
      mWriteBufferSize(0),
      mWriteCount(0),
      mWriteFailed(false) {}

cFxFile::~cFxFile() { cFxFile::Close(); }

bool cFxFile::Open(const cFxPath& path, int mode, int attributes, int reserved, int readBufferSize,
                   int writeBufferSize) {
  Close();
  mWriteFailed = false;
  // Only the failure of this open may speak for it: a message left by an
  // earlier error would give the wrong reason.
  FxSetErrorMessage("%s", "");
  cFxOsFileSystem* fileSystem = FxFileSystemOf(path, mFailure);
  if (fileSystem == nullptr) return false;
  cFxOsFile* osFile = fileSystem->Open(path.GetRest(), mode, attributes);
  if (osFile == nullptr) {
    mFailure = DescribeRecordedFailure();
    return false;
  }
  return Attach(osFile, reserved, readBufferSize, writeBufferSize);
}

bool cFxFile::Attach(cFxOsFile* osFile, int /*reserved*/, int readBufferSize, int writeBufferSize) {
  // Attaching the file already held keeps it instead of destroying it.
  if (osFile != nullptr && osFile == mOsFile) {
    Flush();
    mOsFile = nullptr;
  }
  Close();
  mWriteFailed = false;
  mFailure = cFxString();
  if (osFile == nullptr) {
    mFailure = cFxString("No file to attach");
    return Refuse();
  }
  mOsFile = osFile;
  if (readBufferSize < 0 || writeBufferSize < 0) {
    Close();
    mFailure = cFxString("Impossible buffer size");
    return Refuse();
  }
  if (readBufferSize > 0) {
    mReadBuffer = AllocBuffer(static_cast<uint32_t>(readBufferSize));
    mReadBufferSize = static_cast<uint32_t>(readBufferSize);
  }
  if (writeBufferSize > 0) {
    mWriteBuffer = AllocBuffer(static_cast<uint32_t>(writeBufferSize));
    mWriteBufferSize = static_cast<uint32_t>(writeBufferSize);
  }
  if ((readBufferSize > 0 && mReadBuffer == nullptr) ||
      (writeBufferSize > 0 && mWriteBuffer == nullptr)) {
    Close();
    mFailure = cFxString("Not enough memory for the file's buffers");
    return Refuse();
  }
  return true;
}

cFxOsFile* cFxFile::GetOsFile() const { return mOsFile; }

bool cFxFile::Close() {
  if (mOsFile != nullptr) {
    Flush();
    // Some file systems report a failed write only when the file is closed.
    if (!mOsFile->Close()) NoteWriteFailure();
    delete mOsFile;
    mOsFile = nullptr;
  }
  FreeBuffer(mReadBuffer);
  FreeBuffer(mWriteBuffer);
  DropHeldBytes();
  mReadBufferSize = 0;
  mMarkedPos = -1;
  mWriteBufferSize = 0;
  mWriteCount = 0;
  return !mWriteFailed;
}

int cFxFile::Read(void* buffer, int count) {
  if (count == 0) return 0;
  if (mOsFile == nullptr || count < 0 || buffer == nullptr) return RefuseCount();
  // Bytes written before belong in the file before anything is read after
  // them. (The read buffer is empty whenever bytes wait to be written, so
  // ReadByte's buffered case never needs this.)
  if (mWriteCount != 0 && !Flush()) return -1;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  const uint32_t wanted = static_cast<uint32_t>(count);
  uint32_t total = 0;

  // Given-back bytes sit in reverse order: the last one is read first.
  while (mPushBackCount != 0 && total < wanted) out[total++] = mPushBack[--mPushBackCount];

  for (;;) {
    if (mReadAvail != 0) {
      uint32_t take = wanted - total < mReadAvail ? wanted - total : mReadAvail;
      std::memcpy(out + total, FxHandleAddress(mReadBuffer) + mReadPos, take);
      mReadPos += take;
      mReadAvail -= take;
      total += take;
    }
    if (total == wanted) return static_cast<int>(total);

    uint32_t remaining = wanted - total;
    if (remaining > mReadBufferSize) {
      // Copying through the buffer would only add a copy. One read, and
      // what it gave: a caller that wants more asks again.
      int got = mOsFile->Read(out + total, static_cast<int>(remaining));
      if (got < 0) return -1;
      return static_cast<int>(total + static_cast<uint32_t>(got));
    }
    int got = mOsFile->Read(FxHandleAddress(mReadBuffer), static_cast<int>(mReadBufferSize));
    if (got < 0) return -1;
    if (got == 0) return static_cast<int>(total);
    mReadPos = 0;
    mReadAvail = static_cast<uint32_t>(got);
  }
}

bool cFxFile::Unread(const void* bytes, int count) {
  if (mOsFile == nullptr || count < 0 || (count > 0 && bytes == nullptr)) return Refuse();
  if (!Flush()) return false;
  if (mPushBackCount + static_cast<uint32_t>(count) > sizeof(mPushBack)) return false;
  const uint8_t* in = static_cast<const uint8_t*>(bytes);
  for (int i = count; i-- > 0;) mPushBack[mPushBackCount++] = in[i];
  return true;
}

bool cFxFile::ReadAsync(uint32_t offset, void* buffer, int count) {
  return mOsFile != nullptr ? mOsFile->ReadAsync(offset, buffer, count) : Refuse();
}

bool cFxFile::IsReadDone() { return mOsFile != nullptr ? mOsFile->IsReadDone() : Refuse(); }

bool cFxFile::WaitRead() { return mOsFile != nullptr ? mOsFile->WaitRead() : Refuse(); }

int cFxFile::Write(const void* buffer, int count) {
  if (mOsFile == nullptr || count < 0 || (count > 0 && buffer == nullptr)) return RefuseCount();
  DropHeldBytes();
  if (count == 0) return 0;

  const uint32_t size = static_cast<uint32_t>(count);
  if (size <= mWriteBufferSize - mWriteCount) {
    std::memcpy(FxHandleAddress(mWriteBuffer) + mWriteCount, buffer, size);
    mWriteCount += size;
    return count;
  }
  if (!Flush()) return -1;
  if (size > mWriteBufferSize) {
    if (mOsFile->Write(buffer, count) == count) return count;
    NoteWriteFailure();
    return -1;
  }
  std::memcpy(FxHandleAddress(mWriteBuffer), buffer, size);
  mWriteCount = size;
  return count;
}

uint8_t* cFxFile::GetWriteSpaceAfterFlush(uint32_t least, uint32_t& room) {
  if (mOsFile == nullptr || least > mWriteBufferSize || least == 0) return nullptr;
  DropHeldBytes();
  if (mWriteBufferSize - mWriteCount < least && !Flush()) return nullptr;
  room = mWriteBufferSize - mWriteCount;
  return FxHandleAddress(mWriteBuffer) + mWriteCount;
}

bool cFxFile::Flush() {
  if (mWriteCount == 0) return true;
  int written = mOsFile->Write(FxHandleAddress(mWriteBuffer), static_cast<int>(mWriteCount));
  if (written == static_cast<int>(mWriteCount)) {
    mWriteCount = 0;
    return true;
  }
  // Keep what did not reach the file, so nothing is written twice or lost.
  if (written > 0) {
    uint8_t* data = FxHandleAddress(mWriteBuffer);
    std::memmove(data, data + written, mWriteCount - static_cast<uint32_t>(written));
    mWriteCount -= static_cast<uint32_t>(written);
  }
  NoteWriteFailure();
  return false;
}

bool cFxFile::Sync() {
  if (mOsFile == nullptr) return Refuse();
  if (!Flush()) return false;
  if (mOsFile->Flush()) return true;
  NoteWriteFailure();
  return false;
}

void cFxFile::NoteWriteFailure() {
  if (mWriteFailed) return;
  mWriteFailed = true;
  mFailure = DescribeRecordedFailure();
}

bool cFxFile::Tell(int& position) {
  if (mOsFile == nullptr) return Refuse();
  int filePosition;
  if (!Flush() || !mOsFile->Tell(filePosition)) return false;
  position = filePosition - static_cast<int>(mReadAvail + mPushBackCount);
  return true;
}

bool cFxFile::Seek(int position) {
  if (mOsFile == nullptr) return Refuse();
  if (!Flush()) return false;
  DropHeldBytes();
  return mOsFile->Seek(position);
}

bool cFxFile::SeekRelative(int delta) {
  if (mOsFile == nullptr) return Refuse();
  if (!Flush()) return false;
  const int held = static_cast<int>(mReadAvail + mPushBackCount);
  DropHeldBytes();
  return mOsFile->SeekRelative(delta - held);
}

bool cFxFile::SeekFromEnd(int delta) {
  if (mOsFile == nullptr) return Refuse();
  if (!Flush()) return false;
  DropHeldBytes();
  return mOsFile->SeekFromEnd(delta);
}

void cFxFile::DropHeldBytes() {
  mReadPos = 0;
  mReadAvail = 0;
  mPushBackCount = 0;
}

bool cFxFile::Mark() { return Tell(mMarkedPos); }

bool cFxFile::ReturnToMark() {
  // Without a mark this seeks to -1, which fails, after the pending writes
  // went out and the read data was dropped, as any seek does.
  bool moved = Seek(mMarkedPos);
  mMarkedPos = -1;
  return moved;
}

// ---- Character operations -------------------------------------------------------------

wchar16 cFxFile::ReadUtf8Char(bool& failed) {
  bool malformed;
  return ReadUtf8Char(failed, malformed);
}

wchar16 cFxFile::ReadUtf8Char(bool& failed, bool& malformed) {
  failed = false;
  malformed = false;
  const int first = ReadByte();
  if (first < 0) {
    failed = true;
    return 0;
  }
  if (first < 0x80) return static_cast<wchar16>(first);
  const int32_t unit = FxDecodeUtf8Unit(first, [this] { return ReadByte(); });
  if (unit < 0) {
    FxSetErrorCode(kFxError::cBadUtf8);
    failed = true;
    malformed = true;
    return 0;
  }
  return static_cast<wchar16>(unit);
}

bool cFxFile::WriteUtf8Char(wchar16 unit) {
  if (unit < 0x80) return WriteByte(static_cast<uint8_t>(unit));
  if (mWriteBufferSize - mWriteCount >= kFxUtf8::cMaxUnitBytes && mReadAvail == 0 && mPushBackCount == 0) {
    uint8_t* const out = FxHandleAddress(mWriteBuffer) + mWriteCount;
    mWriteCount += static_cast<uint32_t>(FxPutUtf8Unit(out, unit) - out);
    return true;
  }
  uint8_t bytes[kFxUtf8::cMaxUnitBytes];
  const int count = static_cast<int>(FxPutUtf8Unit(bytes, unit) - bytes);
  return Write(bytes, count) == count;
}

wchar16 cFxFile::ReadWideChar(bool& failed) {
  int low = ReadByte();
  int high = low < 0 ? -1 : ReadByte();
  failed = high < 0;
  return failed ? 0 : static_cast<wchar16>(low | (high << 8));
}

bool cFxFile::WriteWideChars(const wchar16* units, uint32_t count) {
  if (count != 0 && units == nullptr) return Refuse();
  if (mOsFile != nullptr && mWriteBufferSize >= 2) {
    // A buffered stream takes the units straight into its buffer: a
    // translations file is mostly texts written this way.
    while (count != 0) {
      uint32_t room;
      uint8_t* const out = GetWriteSpace(2, room);
      if (out == nullptr) return false;
      const uint32_t take = count < room / 2 ? count : room / 2;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      // The units' own bytes are already in the file's order.
      std::memcpy(out, units, 2 * take);
#else
      for (uint32_t i = 0; i < take; ++i) {
        out[2 * i] = static_cast<uint8_t>(units[i] & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(units[i] >> 8);
      }
#endif
      CommitWriteSpace(out + 2 * take);
      units += take;
      count -= take;
    }
    return true;
  }
  // Runs are written in chunks through a stack buffer, so a long text costs
  // one Write per chunk instead of one per unit.
  uint8_t chunk[512];
  while (count != 0) {
    uint32_t take = count < sizeof(chunk) / 2 ? count : static_cast<uint32_t>(sizeof(chunk) / 2);
    for (uint32_t i = 0; i < take; ++i) {
      chunk[2 * i] = static_cast<uint8_t>(units[i] & 0xFF);
      chunk[2 * i + 1] = static_cast<uint8_t>(units[i] >> 8);
    }
    int bytes = static_cast<int>(take * 2);
    if (Write(chunk, bytes) != bytes) return false;
    units += take;
    count -= take;
  }
  return true;
}
