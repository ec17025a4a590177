// The commit queue of a source run: the run's thread reads, parses and
// prints, while threads of the queue's own make each rewritten data file's
// copy, flush it to disk and rename it over its data file, copy after copy
// in the run's order; with ReadAhead, the next files are read on a thread
// of their own meanwhile. docs/design/write-back.md tells how and why.
//
// What the queue promises:
//   - a data file is replaced atomically by a complete copy flushed to
//     disk, or not at all (SettleCopy: the same checks and file work as
//     FinishRewrite). A copy the same as its data file in every byte is
//     never made: the data file keeps its identity and dates, and a stale
//     temporary file of the copy's name is removed;
//   - what the user sees comes in the run's order: a progress line once
//     every file before it is settled, a file's complaint (worded as
//     FinishRewrite words it) once that file is;
//   - a file is read with every earlier copy of it in place, by whatever
//     name it is read: no two copies of one file are ever in flight;
//   - a run stopped at any moment leaves every data file whole, with its
//     old contents or its new ones, and every file whose progress line is
//     followed by another with its new contents; files of the batch being
//     settled may have been replaced in any order;
//   - a fatal error (a badly formed data file) finishes every queued file
//     before the program ends; the copy being made then keeps what its
//     stream had handed over and stays beside its unchanged data file.
// Memory stays flat however large the files are. The queue's threads touch
// neither the string heap, interned names nor the error record: the run's
// thread gives them paths and reasons in std types. One queue at a time; it
// belongs to the run's thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "API/core/cFxString.h"
#include "app/PreExitHookScope.h"
#include "app/ReadAhead.h"
#include "app/WriteBack.h"
#include "localisation/cRewritingVisitor.h"

// The sizes, and why they are so, are tabled in docs/design/write-back.md.
namespace kCommitQueue {
// Copies flushed to disk together, with one request where the system can.
constexpr uint32_t cBatchFiles = 64;
// Files queued and not yet finished: the run's thread reads on through a
// stall of the journal while a batch is flushed and the next one fills.
constexpr uint32_t cMaxQueued = 4 * cBatchFiles;
// Bytes of copies handed over and not yet written; the writer is woken once
// half of them wait.
constexpr size_t cMaxBytesInFlight = 8 * kRewrite::cStreamBufferSize;
// Copies whose every byte waits for the writer when it is woken, unless
// bytes or a waiting run's thread wake it first.
constexpr uint32_t cWakeWriterCopies = 16;
// Threads that rename a batch's copies over their data files at once.
constexpr uint32_t cSettleThreads = 6;
}  // namespace kCommitQueue

class cCommitQueue : private iRewriteOutput {
 public:
  explicit cCommitQueue(uint32_t batchFiles = kCommitQueue::cBatchFiles,
                        uint32_t maxQueued = kCommitQueue::cMaxQueued,
                        size_t maxBytesInFlight = kCommitQueue::cMaxBytesInFlight,
                        uint32_t settleThreads = kCommitQueue::cSettleThreads);
  // Finishes every queued file.
  ~cCommitQueue();
  cCommitQueue(const cCommitQueue&) = delete;
  cCommitQueue& operator=(const cCommitQueue&) = delete;

  // The progress line of the next file (as PrintProgressLine), printed once
  // every queued file is finished.
  void PrintProgressLine(int position, int total, const cFxWString& path);
  // A whole line for standard error, printed likewise: after every queued
  // file's own complaint and the progress line before it.
  void PrintErrorLine(const std::string& line);
  // The whole rewrite of one data file as RewriteDataFile does it, with the
  // visitor's output made and settled by the queue: BeforeReading, then
  // WalkDataFile with the queue opening the visitor's output (and the bytes
  // read ahead, if any). A file that cannot be opened is skipped quietly.
  void RewriteDataFile(const cFxWString& dataPath, cRewritingVisitor& visitor);
  // From now on the files `upcoming` answers are read ahead: it answers the
  // data files the run will rewrite after those it answered before, in the
  // run's order, and false after the last. Each RewriteDataFile first
  // queues what there is room for, as long as no queued copy may still
  // replace the file: one that may waits, with the files after it, until
  // the run comes to it.
  void ReadAhead(std::function<bool(cFxWString&)> upcoming);
  // Called before `dataPath` is opened for reading. When it is a queued file
  // (by this or another name), that file and those before it are finished
  // first, so it is read with its new contents; while the queue is full the
  // oldest file is finished.
  void BeforeReading(const cFxWString& dataPath);
  // Finishes every queued file, in order.
  void FinishAll();

 private:
  class cOutput;
  class cCopyMaker;

  // One copy from its output's opening to its outcome. The run's thread
  // fills the paths before a thread sees them; the writer's reason and the
  // flags go under mMutex.
  struct sCopy {
    uint64_t mNumber = 0;        // the copy's place in the run, from 1
    std::string mNative;         // where the writer creates it; empty: it is not made
    std::u16string mUnits;       // the same file, to sync or delete
    std::u16string mCompareWith; // the data file it replaces, to compare; empty: made in any case
    std::string mCompareNative;  // the same file's native path
    sTempFileCommit mCommit;     // what it replaces
    std::string mRunFailure;     // why the visitor's output is not complete
    std::string mWriteFailure;   // why the writer could not make it
    bool mWritten = false;       // the writer is done with it
    bool mUnchanged = false;     // the same as its data file in every byte: never made
    bool mSettled = false;
    eSettled mOutcome = eSettledReplaced;
    std::string mReason;         // why the outcome is not eSettledReplaced
  };
  // Which file a name stands for, once looked up.
  struct sIdentity {
    bool mKnown = false;
    uint64_t mVolume = 0;
    uint64_t mFile = 0;
    bool IsSameAs(const sIdentity& other) const {
      return mKnown && other.mKnown && mVolume == other.mVolume && mFile == other.mFile;
    }
  };
  // The identity of the file `path` names now; unknown when it cannot be
  // looked up.
  static sIdentity IdentityOf(const cFxWString& path);
  // A line waiting for the files before it (for standard error when
  // mErrorLine), else a copy and the identity of the data file it replaces.
  struct sEntry {
    std::string mLine;
    bool mErrorLine = false;
    cFxWString mDataPath;
    std::unique_ptr<sCopy> mCopy;
    sIdentity mIdentity;
  };
  // A file queued to be read ahead.
  struct sAhead {
    cFxWString mPath;
    sIdentity mIdentity;
  };
  // The writer's work: a copy's beginning, bytes of it, or its end.
  struct sWrite {
    enum eKind { eBegin, eBytes, eEnd } mKind;
    sCopy* mCopy;
    std::vector<uint8_t> mBytes;
  };

  cFxOsFile* OpenOutput(const cFxWString& path, cFxString& failure) override;
  // The output's side: hands bytes of the copy begun last to the writer,
  // waiting while too many are not yet written; ends it.
  void HandOver(const void* bytes, size_t count);
  void EndCopy(sCopy& copy);
  // Queues the end of the rewrite of `dataPath` once its visitor is done.
  void Finish(const cRewritingVisitor& visitor, const cFxWString& dataPath);
  void PushWrite(sWrite write);
  // Finishes the oldest entry, waiting for its copy's outcome.
  void FinishOldest();
  // Finishes the oldest entries that need no waiting.
  void FinishReady();
  // Queues upcoming files to be read ahead while there is room and none
  // may be replaced by a queued copy.
  void QueueAhead();
  // Wakes the writer when it waits and something was handed over, for
  // whoever is about to wait for it. Under mMutex.
  void WakeWriter();
  bool IsReady(const sEntry& entry);
  void StartThreads();
  void StopThreads();
  void Write();
  void Settle();
  // Settles copies of the batch being settled until none is left to take.
  // Under mMutex (released while a copy is settled).
  void SettleBatch(std::unique_lock<std::mutex>& lock);
  // A helper of the settler: settles copies of each batch beside it.
  void HelpSettle();
  // The settler's batch: closed copies from the front, as many as may be
  // flushed now (none while it should wait for more). Under mMutex.
  size_t ReadyToSettle() const;

  uint32_t mBatchFiles;
  uint32_t mMaxQueued;
  size_t mMaxBytesInFlight;
  uint32_t mSettleThreads;
  std::deque<sEntry> mEntries;
  size_t mQueuedCopies = 0;
  uint64_t mCopies = 0;  // copies queued so far
  // The copy whose output is open (or was last opened), until Finish.
  std::unique_ptr<sCopy> mBegun;
  // The files the rewrite of the data file being read works on.
  sTempFileCommit mReadingCommit;
  // The identity of the file BeforeReading named last.
  sIdentity mReading;
  // The reading ahead, once asked for: the files queued there, and the
  // next upcoming one when it may not be read ahead yet.
  std::unique_ptr<cReadAhead> mReadAhead;
  std::function<bool(cFxWString&)> mUpcoming;
  std::deque<sAhead> mAhead;
  bool mHeldBack = false;
  sAhead mHeld;

  std::mutex mMutex;
  std::condition_variable mWriteWork;   // something to write, or stop
  std::condition_variable mRoom;        // bytes were written
  std::condition_variable mSettleWork;  // a copy was written or queued, one is waited for, or stop
  std::condition_variable mSettled;     // a copy's outcome is known
  std::deque<sWrite> mWrites;
  uint32_t mEndsWaiting = 0;   // copies ended among mWrites
  bool mWriterIdle = false;    // the writer waits for mWrites
  std::vector<std::vector<uint8_t>> mSpareBytes;  // hand-overs written, to be used again
  size_t mBytesInFlight = 0;
  std::deque<sCopy*> mToSettle;          // queued copies not yet settled, oldest first
  // The batch being settled, flushed to disk; each copy's reason (see
  // SettleCopy) beside it. Copies from mNextToSettle on are not yet taken.
  std::condition_variable mBatchWork;    // a batch is ready to settle, or stop
  std::condition_variable mBatchDone;    // the last copy of the batch is settled
  std::vector<sCopy*> mBatch;
  std::vector<std::string> mBatchReasons;
  size_t mNextToSettle = 0;
  size_t mBatchUnsettled = 0;
  uint64_t mWaitedFor = 0;               // the copy the run's thread waits for
  bool mStopping = false;
  std::thread mWriter;
  std::thread mSettler;
  std::vector<std::thread> mSettleHelpers;
  // Last, so that it is the first to go and the last to come: a fatal
  // error meets a whole queue.
  cPreExitHookScope mFinishOnFatalError;
};
