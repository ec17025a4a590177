// The reading of a run's data files, done on a thread of its own a few
// files ahead of the parsing.
//
// An extraction run spends about a third of its time in the system,
// opening files and copying their bytes out of the system's cache, while
// the second core stands idle. So the run's thread hands the reader the
// files it will walk next, in the run's order, and parses one while the
// reader opens the next ones and reads their bytes into buffers of its own:
// a stream attached to a file that was read ahead takes its bytes from
// those buffers (OpenNext) and the reading leaves the run's thread.
//
// The reader stays ahead by a few files and a bounded number of bytes: it
// waits while that many files are queued and not yet taken, or that many
// bytes read and not yet parsed. A large file streams through the bounded
// buffers, the reader never more than the bound ahead, so memory stays flat
// however large a file is. It reads one file at a time, so at most one file
// is open on its side.
//
// What the user sees does not change: a file that cannot be opened answers
// so when the run's thread comes to it (its progress line already
// standing), and a failed read fails the stream's Read where the file's
// bytes end, as reading the file directly would. A fatal error (a badly
// formed data file) stops the reader before the program ends: files read
// ahead are closed unread.
//
// Only a run that changes no data file may read ahead: a file read ahead
// could be one whose new copy is not yet in place. The reader touches
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

#include "API/core/FxError.h"
#include "API/core/cFxString.h"
#include "app/RunSupport.h"

class cFxFile;

namespace kReadAhead {
// Files queued and not yet taken: enough to hide the opening of small files
// behind the parsing of a large one.
constexpr uint32_t cMaxFiles = 16;
// Bytes read and not yet parsed: a few of the reader's buffers, far below
// what the run may use, and flat however large the files are.
constexpr size_t cMaxBytesAhead = 512 * 1024;
// The most one read asks of the system, as a data file's stream would.
constexpr size_t cBufferBytes = kRun::cDataFileBufferSize;
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

  // Whether another file may be queued now.
  bool HasRoom() const { return mQueued.size() < mMaxFiles; }
  // Queues the file `path` names (a data file or its XML form, as
  // WalkDataFile takes it) to be read after the files queued before it.
  void Queue(const cFxWString& path);
  // Attaches the oldest queued file, which must be the one `path` names,
  // to `stream`: its Read answers the file's bytes from the reader's
  // buffers (the stream has none of its own), fewer than asked only at the
  // file's end, -1 where a read failed. False when the file cannot be
  // opened (the stream stays closed and the error record says why) or none
  // is queued.
  bool OpenNext(const cFxWString& path, cFxFile& stream);
  // The most bytes that were ever read and not yet parsed at once.
  size_t PeakBytesAhead() const;

 private:
  class cInput;
  // Bytes read and not yet parsed; mCapacity counts against the bound.
  struct sBuffer {
    std::unique_ptr<uint8_t[]> mBytes;
    size_t mCapacity = 0;
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
    std::string mReason;
    std::deque<sBuffer> mBuffers;  // read, not yet taken
  };

  // The run's thread's side of a taken file: gives `buffer` back (its
  // bytes all taken) and answers the file's next one, waiting for the
  // reader; false when the file has no more (`failed` when a read failed,
  // `reason` saying why).
  bool TakeBuffer(sFile& file, sBuffer& buffer, bool& failed, std::string& reason);
  // The stream is done with `file`, holding `buffer`: the reader stops
  // reading it, and what it still held is given back.
  void Abandon(sFile& file, sBuffer& buffer);
  void Read();
  // Reads `file` (opened as `handle`, `size` bytes when opened) until its
  // end, a failure, an abandonment or a stop. Under mMutex, released while
  // reading.
  void ReadFile(sFile& file, intptr_t handle, uint64_t size, std::unique_lock<std::mutex>& lock);
  // Gives a buffer's capacity back to the bound. Under mMutex.
  void Release(sBuffer& buffer);
  void Stop();
  static void StopActiveReader();

  uint32_t mMaxFiles;
  size_t mMaxBytesAhead;
  size_t mBufferBytes;
  tFxPreExitHook mPreviousHook;
  // Queued and not yet taken, oldest first: the run's thread's only.
  std::deque<std::shared_ptr<sFile>> mQueued;

  mutable std::mutex mMutex;
  std::condition_variable mWork;     // a file was queued, bytes were taken, one was abandoned, or stop
  std::condition_variable mArrived;  // a file was opened, bytes were read, or its end is known
  std::deque<std::shared_ptr<sFile>> mToRead;  // queued and not yet begun by the reader
  size_t mBytesAhead = 0;                      // in buffers read and not yet given back
  size_t mPeakBytesAhead = 0;
  bool mStopping = false;
  std::thread mReader;
};
