// A buffered byte stream over an operating-system file object.
//
// Reads and writes go through a read buffer and a write buffer whose sizes
// the caller chooses at Open (0 = unbuffered). A read larger than the read
// buffer is taken straight from the file once the buffer is empty; a write
// that does not fit flushes the buffer and, when larger than the whole
// buffer, goes straight to the file. Read answers fewer bytes than asked
// only at the end of the file. Up to 8 bytes can be given back with Unread.
//
// Reading and writing one stream: a Read first writes out what is still
// buffered, so written bytes land where they were written. A Write drops the
// read-ahead data and the bytes given back without moving the file's
// position, so it lands behind the read-ahead; seek between reading and
// writing (Tell, Seek and SeekRelative count the bytes still held, so they
// keep the position of the next byte Read would have answered).
//
// A failed write is never lost: the stream remembers that one failed (a
// Write, the write-out of the buffer by Flush, a read or a seek, Sync, or
// closing the file) and why, until the next Open or Attach. Close answers
// false when any of them failed since Open, so a file whose Close answers
// true holds every byte written to it. A failed Open or Attach leaves its
// reason too.
//
// Buffers larger than 256 bytes come from the memory manager's block heap,
// smaller ones from its string heap; they are reached through handles
// because the heaps may move them.
//
// The open modes the program uses: cModeRead (1) an existing file for
// reading; cModeAppend (14) write, append, create when missing; cModeReplace
// (26) write, create or replace; cModeTemporary (104) write a new regular
// file, whatever stood at its name removed first.
//
// A stream belongs to one thread. Not copyable.
#pragma once

#include "API/core/FxTypes.h"
#include "API/core/FxMovableBlocks.h"
#include "API/core/cFxOsFileSystem.h"  // cFxOsFile, kFxFileMode
#include "xml/cFxPath.h"

class cFxFile {
 public:
  cFxFile();
  virtual ~cFxFile();
  cFxFile(const cFxFile&) = delete;
  cFxFile& operator=(const cFxFile&) = delete;

  // Closes, resolves the path through the mounted file systems, opens it
  // and attaches the OS file. False when any step fails.
  virtual bool Open(const cFxPath& path, int mode, int attributes, int reserved,
                    int readBufferSize, int writeBufferSize);
  // Closes first, takes ownership of `osFile`, allocates the buffers.
  virtual bool Attach(cFxOsFile* osFile, int reserved, int readBufferSize, int writeBufferSize);
  virtual cFxOsFile* GetOsFile() const;  // null when closed
  // Writes the buffer out, closes the file and frees the buffers. False when
  // a write since Open failed, or the write-out or the close fails now.
  virtual bool Close();
  virtual int Read(void* buffer, int count);  // bytes read, 0 at end, -1 on error
  virtual bool Unread(const void* bytes, int count);
  virtual bool ReadAsync(uint32_t offset, void* buffer, int count);
  virtual bool IsReadDone();
  virtual bool WaitRead();
  virtual int Write(const void* buffer, int count);  // count, or -1
  virtual bool Flush();
  // Flush, then has the system hand the file's data to the storage device,
  // so a file that replaces another survives a crash whole.
  bool Sync();
  virtual bool Tell(int& position);
  virtual bool Seek(int position);
  virtual bool SeekRelative(int delta);
  virtual bool SeekFromEnd(int delta);
  virtual bool Mark();
  virtual bool ReturnToMark();

  bool IsOpen() const { return mOsFile != nullptr; }

  // Whether a write failed since the last Open or Attach (see above); stays
  // set after Close.
  bool HasWriteFailed() const { return mWriteFailed; }
  // Why the last Open or Attach failed, or else why the first failed write
  // failed, in the system's words ("No space left on device"); empty when
  // neither happened.
  const cFxString& GetFailure() const { return mFailure; }

  // Next byte, or -1 at end of input or on error. The buffered case costs
  // no call; the rest goes through Read.
  int ReadByte() {
    if (mPushBackCount == 0 && mReadAvail != 0) {
      --mReadAvail;
      return FxHandleAddress(mReadBuffer)[mReadPos++];
    }
    uint8_t byte;
    return Read(&byte, 1) == 1 ? byte : -1;
  }

  // Room straight in the write buffer, for a caller that makes its bytes
  // one at a time and would otherwise gather them only to copy them: where
  // the next byte goes, with `room` bytes free there (at least `least`; the
  // buffer is written out first when that many are not free). Null when
  // the write buffer is smaller than `least`, the stream is closed, or the
  // write-out fails. The bytes count as written with CommitWriteSpace,
  // which names the end of those filled; no other call on the stream and
  // no allocation may come in between. Drops the read-ahead as Write does.
  // The writer asks for space on every call: with room left in the buffer
  // that costs no call.
  uint8_t* GetWriteSpace(uint32_t least, uint32_t& room) {
    if (mOsFile == nullptr || least == 0 || mWriteBufferSize - mWriteCount < least)
      return GetWriteSpaceAfterFlush(least, room);
    mReadPos = 0;
    mReadAvail = 0;
    mPushBackCount = 0;
    room = mWriteBufferSize - mWriteCount;
    return FxHandleAddress(mWriteBuffer) + mWriteCount;
  }
  void CommitWriteSpace(const uint8_t* end) {
    mWriteCount = static_cast<uint32_t>(end - FxHandleAddress(mWriteBuffer));
  }

  // Writes one byte; the buffered case costs no call. False on error.
  bool WriteByte(uint8_t byte) {
    if (mWriteCount < mWriteBufferSize && mReadAvail == 0 && mPushBackCount == 0) {
      FxHandleAddress(mWriteBuffer)[mWriteCount++] = byte;
      return true;
    }
    return Write(&byte, 1) == 1;
  }

  // Character operations. UTF-8: one code unit as one to three bytes (no
  // four-byte forms: a surrogate is a unit like any other). `failed` is set
  // at the end of input and for a malformed sequence, which also records
  // kFxError::cBadUtf8; the second form tells the two apart.
  wchar16 ReadUtf8Char(bool& failed);
  wchar16 ReadUtf8Char(bool& failed, bool& malformed);
  bool WriteUtf8Char(wchar16 unit);
  // 16-bit little-endian units. `failed` when fewer than two bytes remain.
  wchar16 ReadWideChar(bool& failed);
  // One unit; the buffered case costs no call.
  bool WriteWideChar(wchar16 unit) {
    if (mWriteBufferSize - mWriteCount >= 2 && mReadAvail == 0 && mPushBackCount == 0) {
      uint8_t* const out = FxHandleAddress(mWriteBuffer) + mWriteCount;
      out[0] = static_cast<uint8_t>(unit & 0xFF);
      out[1] = static_cast<uint8_t>(unit >> 8);
      mWriteCount += 2;
      return true;
    }
    return WriteWideChars(&unit, 1);
  }
  bool WriteWideChars(const wchar16* units, uint32_t count);  // true when all written

 protected:
  // Forgets the read-ahead and the bytes given back, leaving the file's
  // position where it is.
  void DropHeldBytes();
  // Remembers the first failed write and its reason from the error record.
  void NoteWriteFailure();
  // GetWriteSpace when the buffer must be written out first, or cannot
  // serve at all.
  uint8_t* GetWriteSpaceAfterFlush(uint32_t least, uint32_t& room);

  cFxOsFile* mOsFile;
  sFxHandleCell* mReadBuffer;
  uint32_t mReadBufferSize;
  uint32_t mReadPos;
  uint32_t mReadAvail;
  uint8_t mPushBack[8];
  uint32_t mPushBackCount;
  int32_t mMarkedPos;
  sFxHandleCell* mWriteBuffer;
  uint32_t mWriteBufferSize;
  uint32_t mWriteCount;
  bool mWriteFailed;
  cFxString mFailure;
};

// The mounted file system that `path` names, through which Open opens it;
// null, with the reason Open would give in `failure`, when there is none.
cFxOsFileSystem* FxFileSystemOf(const cFxPath& path, cFxString& failure);

// Mounts the operating system's file system under "os" and creates the
// pool mutex; answers whether the mount succeeded. Called once at start.
bool InitFileSystems();
// Unmounts it and destroys the mutex.
void ShutdownFileSystems();
// Deletes the file `path` names through the file system it is mounted on,
// so a name is resolved as it is for Open ("sub/../a.txt" names a.txt even
// without a folder sub). False when the path is invalid, its file system is
// not mounted or the file cannot be deleted.
bool FxDeleteFile(const cFxPath& path);
