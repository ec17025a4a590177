// The reading of a run's data files, done on a thread of its own a few
// files ahead of the parsing (docs/design/write-back.md tells why). The
// run's thread hands the reader the files it will walk next, in the run's
// order, and parses one while the reader opens the next ones and reads
// their bytes into buffers of its own: a stream attached to a file that was
// read ahead takes its bytes from those buffers (OpenNext).
//
// The reader stays ahead by a few files and a bounded number of bytes: it
// waits while that many files are queued and not yet taken, or buffers of
// that many bytes hold bytes not yet parsed. A large file streams through
// the bounded buffers, so memory stays flat however large a file is. It
// reads one file at a time, so at most one file is open on its side. Each
// side wakes the other for several files or half the bound at a time, not
// for each buffer.
//
// What the user sees does not change: a file that cannot be opened answers
// so when the run's thread comes to it (its progress line already
// standing), and a failed read fails the stream's Read where the file's
// bytes end, as reading the file directly would. A fatal error (a badly
// formed data file) stops the reader before the program ends: files read
// ahead are closed unread.
//
// A run that changes data files queues a file only once no copy that may
// replace it is still queued (cCommitQueue::ReadAhead sees to that). A
// stream closed before its file's end returns only once the reader has
// closed the file too: on Windows nobody else may open a file the reader
// holds, and the run may replace it next. The reader touches
// neither the string heap, interned names nor the error record: the run's
// thread gives it native paths in std types and turns its reasons into
// error records. One reader at a time; it belongs to the run's thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "API/core/cFxString.h"
#include "app/PreExitHookScope.h"
#include "app/RunSupport.h"

class cFxFile;

namespace kReadAhead {
// Files queued and not yet taken. The reader is woken once half of them
// were taken: each wake of a thread whose core went idle costs the system
// far more than a file's reading.
constexpr uint32_t cMaxFiles = 32;
// Bytes of buffers holding what was read and not yet parsed: room for a
// buffer per queued file, a megabyte in all, and flat however large the
// files are.
constexpr size_t cMaxBytesAhead = 1024 * 1024;
// One buffer, the most one read asks of the system: most data files fit
// one, and the bound holds as many buffers as files are queued.
constexpr size_t cBufferBytes = 32 * 1024;
}  // namespace kReadAhead

class cReadAhead {
 public:
  explicit cReadAhead(uint32_t maxFiles = kReadAhead::cMaxFiles,
                      size_t maxBytesAhead = kReadAhead::cMaxBytesAhead,
                      size_t bufferBytes = kReadAhead::cBufferBytes);
  // Stops the reader; files not taken are closed unread. Streams attached
  // by OpenNext must be closed first.
  ~cReadAhead();
  cReadAhead(const cReadAhead&) = delete;
  cReadAhead& operator=(const cReadAhead&) = delete;

  // Whether another file may be queued now. Once the queue is full, only
  // when half of it was taken: the reader is woken for several files at a
  // time, not for each.
  bool HasRoom();
  // Queues the file `path` names (a data file or its XML form, as
  // WalkDataFile takes it) to be read after the files queued before it.
  void Queue(const cFxWString& path);
  // Attaches the oldest queued file to `stream` when it is the one `path`
  // names: its Read answers the file's bytes from the reader's buffers (the
  // stream has none of its own), fewer than asked only at the file's end,
  // -1 where a read failed. False when the file cannot be opened (the
  // stream stays closed and the error record says why). A file that is not
  // the oldest queued is opened as it stands, the queue left as it is. The
  // stream of the file before must be closed first: its bytes count
  // against the bound until then.
  bool OpenNext(const cFxWString& path, cFxFile& stream);
  // The most bytes that were ever read and not yet parsed at once.
  size_t PeakBytesAhead() const;

 private:
  class cInput;
  // Bytes read and not yet parsed. Every buffer holds mBufferBytes, which
  // count against the bound, and is used again once given back: no
  // allocation and no fresh memory per file.
  struct sBuffer {
    std::unique_ptr<uint8_t[]> mBytes;
    size_t mCount = 0;
  };
  // One queued file. The run's thread fills the path and the native path
  // before the reader sees it; the rest goes under mMutex.
  struct sFile {
    cFxWString mPath;        // the run's thread's only
    std::string mNative;     // what the reader opens
    bool mOpened = false;
    bool mEnded = false;     // every byte read (or the file could not be opened)
    bool mFailed = false;    // it could not be opened or read: mReason says why
    bool mAbandoned = false; // the run's thread is done with it before its end
    bool mHeld = false;      // open on the reader's side
    std::string mReason;
    std::deque<sBuffer> mBuffers;  // read, not yet taken
  };
  // What the run's thread takes of a file at a time: its next buffer
  // (empty when no bytes are left), whether another can follow, and
  // whether the file could be opened and read.
  struct sTake {
    sBuffer mBuffer;
    bool mLast = false;
    bool mOpened = false;
    bool mFailed = false;  // after mBuffer, when it is the last
    std::string mReason;
  };

  // The run's thread's side, each under mMutex once. Take gives `used`
  // back (null: nothing) and takes the next buffer of `file`, waiting for
  // the reader. Finish ends a stream's use of `file`, giving back the
  // buffer it held: the last one goes back with the next Take, so a whole
  // small file costs one hand-over; before the end the reader stops
  // reading the file, and Finish waits until it has closed it.
  void Take(sFile& file, sBuffer* used, sTake& take);
  void Finish(sFile& file, sTake& take);
  // Gives the buffers used since the last call back; true when the reader
  // waits for what is there now. Under mMutex.
  bool GiveBackUsed();
  // The reader's side, under mMutex (released while reading): reads the
  // next file until its end, a failure, an abandonment or a stop.
  void Read();
  void ReadFile(sFile& file, std::unique_lock<std::mutex>& lock);
  // Waits until another buffer fits the bound; false when `file` was
  // abandoned or the reader is stopping meanwhile.
  bool WaitForRoom(const sFile& file, std::unique_lock<std::mutex>& lock);
  // A buffer, counted against the bound.
  sBuffer Reserve();
  // Gives a buffer's bytes back to the bound and the buffer to the spares.
  void Release(sBuffer& buffer);
  // What the next read of a file of `size` bytes (when opened) asks for
  // after `read` bytes.
  size_t NextRead(uint64_t size, uint64_t read) const;
  void Stop();

  uint32_t mMaxFiles;
  size_t mMaxBytesAhead;
  size_t mBufferBytes;
  // Queued and not yet taken, oldest first: the run's thread's only.
  std::deque<std::shared_ptr<sFile>> mQueued;
  bool mRefilling = true;

  // Buffers a finished stream left, given back with the next Take: the
  // run's thread's only.
  std::vector<sBuffer> mUsed;

  mutable std::mutex mMutex;
  std::condition_variable mWork;     // files to read, room for bytes, an abandoned file, or stop
  std::condition_variable mArrived;  // bytes were read or a file's end is known
  std::deque<std::shared_ptr<sFile>> mToRead;  // queued and not yet begun by the reader
  size_t mBytesAhead = 0;                      // asked for and not yet given back
  size_t mPeakBytesAhead = 0;
  std::vector<std::unique_ptr<uint8_t[]>> mSpare;  // buffers given back
  bool mReaderIdle = false;      // the reader waits for files
  bool mWaitingForRoom = false;  // the reader waits until mBytesAhead <= mRoomAt
  size_t mRoomAt = 0;
  bool mRunWaiting = false;      // the run's thread waits for bytes or a file's closing
  bool mStopping = false;
  std::thread mReader;
  // Last, so that it is the first to go and the last to come: a fatal
  // error meets a whole reader.
  cPreExitHookScope mStopOnFatalError;
};
