// The write-back of a source run's rewritten data files, done beside the
// reading and parsing of the files after them.
//
// Everything done to a copy once its bytes exist is work for the system:
// creating the temporary file, writing and closing it, putting it on the
// disk and letting it take the data file's place. On the run's thread that
// work made half of an update's time while the second core stood idle. So
// the run's thread only reads, parses and prints: the visitor's stream hands
// the copy's bytes over to the queue (at most a few stream buffers of them
// at a time: the run's thread waits while that many are not yet written),
// and two threads of the queue's own do the rest, copy after copy in the
// run's order:
//   the writer creates each copy (a new regular file: whatever stood at its
//   name goes first, a link as itself, never what it leads to), writes its
//   bytes and closes it;
//   the settler puts closed copies on the disk in batches and then, with a
//   few helper threads, lets each copy of the batch take its data file's
//   place, or deletes one that is incomplete (SettleCopy: the same checks,
//   the same file work as FinishRewrite). Replacing a file may wait for the
//   device to be told the old file's blocks are free; one after another
//   those waits made most of the settler's time, side by side they overlap.
//   No two copies in the queue replace the same file (BeforeReading sees
//   to that), so the order among a batch's copies does not matter.
//
// A copy that comes out the same as its data file in every byte is not
// made at all: creating, putting on the disk and replacing a file cost the
// system far more than reading one, and a run with a few tags or
// translations leaves most files as they were. So the writer compares the
// bytes handed over with the data file's and creates the copy only at the
// first difference, writing the equal bytes before it again from the data
// file; a copy never made settles as replaced, with nothing to do but
// remove a stale temporary file of its name (a link that leads nowhere
// counts as none and goes as itself), and the data file keeps its
// identity and dates. Whatever is unusual takes the plain way (the copy
// made from the start, as before): a data file that may not be written
// (replacing it makes it writable) or cannot be read, a temporary file
// already in the copy's place. On Windows the run reads a data file with
// nobody else allowed to open it, so there a copy takes the plain way
// unless its data file was read to its end and closed by then.
// The game runs keep their write-back of one
// file at a time (FinishRewrite), which always replaces.
//
// A copy must be on the disk before it takes its data file's place, or a
// crash could leave the data file cut short. Asking the system for that
// file after file made it most of an update's or a replacement's time:
// each such request writes the file's data, its entry and its folder's
// entry on its own, and waits for the device every time. So the settler
// asks once for a whole batch of closed copies (once per file system they
// lie on, where the system can do that, else file by file), while the
// writer goes on with the next ones. A whole file system's flush also
// writes out what other programs have pending on it, which on a busy disk
// may cost a batch some time; one request per file cost every file a wait
// for the device, which is worse by far.
//
// What the user sees stays on the run's thread, in the run's order: a
// progress line appears only once every file before it is settled, and
// the complaint about a file (worded as FinishRewrite words it) once that
// file is. So a run stopped at any moment leaves every file whose progress
// line is followed by another with its new contents; within the batch being
// settled, files may have been replaced in any order; and every data file
// is always whole, with its old contents or its new ones, never missing or
// cut short. Only the moment at which a file is replaced moves, by up to a
// batch.
//
// While one file is parsed, the next ones are read on a thread of their own
// (ReadAhead, cReadAhead), but never a file that a queued copy may still
// replace: each file is looked up by identity when it is queued to be read
// ahead, and one that is the data file of a queued copy, of the file being
// read, or of a file queued ahead of it, is not read ahead, nor one whose
// identity cannot be looked up; it and the files after it wait until the
// run comes to it, when BeforeReading finishes those copies first. The
// identity taken then stands for the file's own BeforeReading. So no two
// copies of one file, under one name or two, are ever in flight: the second
// is always made from the file the first one left.
//
// The writer is woken for several copies or half the bytes in flight at a
// time, not for each copy's beginning, bytes and end, and only when it
// waits; whoever waits for it (the run's thread for room or an outcome)
// wakes it first. Each wake of a thread whose core went idle costs the
// system far more than a small copy's hand-over.
//
// A fatal error (a badly formed data file) finishes every queued file
// before the program ends, as the one-at-a-time run had; the copy being
// made when it came keeps what its stream had handed over and stays beside
// its data file. Neither thread touches the string heap, interned names or
// the error record: the run's thread gives them paths and reasons in std
// types. One queue at a time; it belongs to the run's thread.
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

namespace kCommitQueue {
// Copies put on the disk together: enough that the cost of a request to
// the device is shared by many files, few enough that a batch is on the
// disk while the next one is written.
constexpr uint32_t cBatchFiles = 64;
// Files read ahead of the oldest one not yet finished: four batches. One
// is put on the disk while the next fills; on a file system with a journal
// a flush, or the journal's own commit, holds the settler or the writer for
// several milliseconds now and then, and the two batches more let the run's
// thread read on through such a stall instead of waiting for it (an update
// of the medium bench tree on such a disk: 1.00-1.03 s with two batches,
// 0.92-0.98 s with four). A queued file costs its paths only.
constexpr uint32_t cMaxQueued = 4 * cBatchFiles;
// Bytes of copies handed over and not yet written: a few stream buffers,
// enough for the run's thread to read on while the writer creates a file
// or waits for the journal, and memory stays flat however large the files
// are. The writer is woken once half of them wait.
constexpr size_t cMaxBytesInFlight = 8 * kRewrite::cStreamBufferSize;
// Copies whose every byte waits for the writer when it is woken, unless
// bytes or a waiting run's thread wake it first.
constexpr uint32_t cWakeWriterCopies = 16;
// Threads that let a batch's copies take their places at once: each
// replacement may wait for the device to forget the old file's blocks, and
// such waits overlap well.
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
  // queues what there is room for, as long as no copy may still replace
  // the file (see above).
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
  // The settler's batch: closed copies from the front, as many as may go
  // to the disk now (none while it should wait for more). Under mMutex.
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
  // The batch being settled, on the disk; each copy's reason (see
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
