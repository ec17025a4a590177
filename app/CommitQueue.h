// The write-back of a source run's rewritten data files, overlapped with
// the reading of the files after them.
//
// A copy must be on the disk before it takes its data file's place, or a
// crash could leave the data file cut short. Asking the system for that
// file after file made it most of an update's or a replacement's time:
// each such request writes the file's data, its entry and its folder's
// entry on its own, and waits for the device every time. So the copies are
// put on the disk in batches: a thread of its own asks the system once for
// a whole batch of closed copies (once per file system they lie on, where
// the system can do that, else file by file), while the run reads on. A
// whole file system's flush also writes out what other programs have
// pending on it, which on a busy disk may cost a batch some time; one
// request per file cost every file a wait for the device, which is worse
// by far.
// Everything else keeps the run's order and stays on the run's thread:
// each copy takes its data file's place (or is removed and named on
// standard error, as FinishRewrite does) only after every copy queued
// before it, and a progress line appears only once every file before it is
// finished. So what the user sees, and what a run stopped at any moment
// leaves behind, is as if each file were finished before the next began:
// every file whose progress line is followed by another has its new
// contents. Only the moment at which it happens moves, by up to a batch.
//
// A fatal error (a badly formed data file) finishes every queued file
// before the program ends, as the one-at-a-time run had. One queue at a
// time; it belongs to the run's thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "API/core/cFxString.h"

class cRewritingVisitor;

namespace kCommitQueue {
// Copies put on the disk together: enough that the cost of a request to
// the device is shared by many files, few enough that a batch is on the
// disk while the next one is written.
constexpr uint32_t cBatchFiles = 64;
// Files read ahead of the oldest one not yet finished: two batches, one
// being put on the disk while the next fills.
constexpr uint32_t cMaxQueued = 2 * cBatchFiles;
}  // namespace kCommitQueue

class cCommitQueue {
 public:
  explicit cCommitQueue(uint32_t batchFiles = kCommitQueue::cBatchFiles,
                        uint32_t maxQueued = kCommitQueue::cMaxQueued);
  // Finishes every queued file.
  ~cCommitQueue();
  cCommitQueue(const cCommitQueue&) = delete;
  cCommitQueue& operator=(const cCommitQueue&) = delete;

  // The progress line of the next file (as PrintProgressLine), printed once
  // every queued file is finished.
  void PrintProgressLine(int position, int total, const cFxWString& path);
  // The whole rewrite of one data file as RewriteDataFile does it, with the
  // end of it queued: BeforeReading, WalkDataFile, Finish.
  void RewriteDataFile(const cFxWString& dataPath, cRewritingVisitor& visitor);
  // Call before `dataPath` is opened for reading. When it is a queued file
  // (by this or another name), that file and those before it are finished
  // first, so it is read with its new contents; while the queue is full the
  // oldest file is finished.
  void BeforeReading(const cFxWString& dataPath);
  // Queues the end of the rewrite of `dataPath` (the file BeforeReading
  // named last), once its visitor has closed the copy.
  void Finish(const cRewritingVisitor& visitor, const cFxWString& dataPath);
  // Finishes every queued file, in order.
  void FinishAll();

 private:
  struct sEntry {
    // A progress line waiting for the files before it, else a copy.
    bool mIsLine = false;
    std::string mLine;
    cFxWString mDataPath;
    cFxWString mTempPath;
    std::u16string mTempUnits;  // the copy's path, for the sync thread
    cFxString mFailure;         // why the copy is not complete, or empty
    bool mHasIdentity = false;
    uint64_t mVolume = 0;
    uint64_t mFile = 0;
    // Handed to the sync thread in a batch.
    bool mHandedOver = false;
    // Set by the sync thread, under mMutex.
    bool mSynced = false;
    std::string mSyncFailure;
  };

  typedef std::vector<sEntry*> tBatch;

  // Hands the copies queued since the last batch to the sync thread.
  void HandOverBatch();
  void StartThread();
  void StopThread();
  void Sync();
  // Finishes the oldest entry, waiting for its sync when it has one.
  void FinishOldest();
  // Finishes the oldest entries that need no more waiting.
  void FinishReady();
  bool IsReady(const sEntry& entry);
  static void FinishActiveQueue();

  uint32_t mBatchFiles;
  uint32_t mMaxQueued;
  std::deque<sEntry> mEntries;
  size_t mQueuedCopies = 0;
  // Complete copies not yet handed to the sync thread, oldest first.
  tBatch mOpenBatch;
  // The identity of the file BeforeReading named last.
  bool mReadingHasIdentity = false;
  uint64_t mReadingVolume = 0;
  uint64_t mReadingFile = 0;

  std::mutex mMutex;
  std::condition_variable mWork;    // a batch to sync, or stop
  std::condition_variable mSynced;  // a batch is on the disk
  std::deque<tBatch> mToSync;
  bool mStopping = false;
  std::thread mThread;
};
