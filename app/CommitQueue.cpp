#include "app/CommitQueue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "API/core/FxError.h"
#include "Core/platform/FxPlatform.h"
#include "app/DataFiles.h"
#include "app/RunSupport.h"
#include "xml/cFxFile.h"

namespace {
// The most bytes one hand-over to the writer holds.
constexpr size_t cHandOverBytes = kRewrite::cStreamBufferSize;
// Hand-overs kept to be used again: as many as fill the bytes in flight.
constexpr size_t cSpareHandOvers = kCommitQueue::cMaxBytesInFlight / cHandOverBytes;
}  // namespace

// One copy made on the writer's thread. A copy that replaces its own data
// file is not created at first: its bytes are compared with the
// data file's, and the file is created only at the first difference, with
// the equal bytes before it read again from the data file. One that comes
// out the same in every byte and in length is never created. Whatever is
// unusual takes the plain way (the copy made in full): a data file that
// cannot be read, or, for a copy found the same, a data file that may not
// be written (its replacement would make it writable) and a temporary file
// already at the copy's name. A copy that differs is made as the plain
// way makes it in any case, so only a copy found the same looks at those.
class cCommitQueue::cCopyMaker {
 public:
  // `compareWith` names the data file the copy replaces, or is empty;
  // `compareNative` is the same file's native path.
  void Begin(const std::string& native, const std::u16string& units, const std::u16string& compareWith,
             const std::string& compareNative) {
    mNative = native;
    mUnits = units;
    mCompareWith = compareWith;
    mSourceNative = compareNative;
    mFailure.clear();
    mOpen = false;
    mEqual = 0;
    mComparing = !compareWith.empty() && OpenSource();
    if (!mComparing) Create();
  }
  void Write(const uint8_t* bytes, size_t count) {
    if (mComparing) {
      if (IsNext(bytes, count)) {
        mEqual += count;
        return;
      }
      Create();
    }
    // After a failure the rest of the copy is dropped: it is deleted.
    if (mOpen && mFailure.empty()) mFailure = FxPlatformWriteFile(mHandle, bytes, count).Text();
  }
  // Answers whether the copy is the same as its data file (and so was never
  // created); otherwise closes it, with why it is not complete in `failure`.
  bool End(std::string& failure) {
    if (mComparing) {
      if (IsNext(nullptr, 0) && FxPlatformAccessReadWrite(mCompareWith.c_str()).IsOk() &&
          FxPlatformAccessReadWrite(mUnits.c_str()).IsMissing()) {
        CloseSource();
        mComparing = false;
        failure.clear();
        return true;
      }
      Create();
    }
    if (mOpen) {
      const cFxOsResult closed = FxPlatformCloseFile(mHandle);
      if (mFailure.empty()) mFailure = closed.Text();
    }
    mOpen = false;
    failure = mFailure;
    return false;
  }
  // A copy cut off by a fatal error keeps what it got.
  void CutOff() {
    if (mComparing) Create();
    if (mOpen) FxPlatformCloseFile(mHandle);
    mOpen = false;
  }

 private:
  bool OpenSource() {
    uint64_t size = 0;
    return FxPlatformOpenFileForReading(mSourceNative.c_str(), mSource, size).IsOk();
  }
  void CloseSource() { FxPlatformCloseFile(mSource); }
  // Reads up to `count` bytes of the data file on; fewer only at its end.
  bool Read(size_t count, size_t& got, std::string& reason) {
    got = 0;
    size_t more = 1;
    while (got < count && more != 0) {
      const cFxOsResult read = FxPlatformReadFile(mSource, mBuffer.data() + got, count - got, more);
      if (!read.IsOk()) {
        reason = read.Text();
        return false;
      }
      got += more;
    }
    return true;
  }
  // Whether the data file goes on with `bytes` (and, for none, ends there).
  bool IsNext(const uint8_t* bytes, size_t count) {
    if (mBuffer.size() < count + 1) mBuffer.resize(std::max(count + 1, cHandOverBytes + 1));
    size_t got = 0;
    std::string ignored;
    if (!Read(count == 0 ? 1 : count, got, ignored)) return false;
    return count == 0 ? got == 0 : got == count && std::memcmp(mBuffer.data(), bytes, count) == 0;
  }
  // Creates the copy; one found the same as its data file for a while
  // first gets those equal bytes again, read from the data file's start.
  // Most copies differ in their first bytes and need none of them.
  void Create() {
    const bool compared = mComparing;
    if (compared) CloseSource();
    mComparing = false;
    const cFxOsResult created = FxPlatformCreateTemporaryFile(mNative.c_str(), mHandle);
    mOpen = created.IsOk();
    mFailure = created.Text();
    if (!compared || !mOpen || mEqual == 0) return;
    if (!OpenSource()) {
      mFailure = kWriteBack::cNotWritten;
      return;
    }
    for (uint64_t left = mEqual; left != 0 && mFailure.empty();) {
      size_t got = 0;
      if (!Read(static_cast<size_t>(std::min<uint64_t>(left, mBuffer.size())), got, mFailure)) break;
      // The data file was cut short meanwhile: the copy cannot be made.
      if (got == 0) mFailure = kWriteBack::cNotWritten;
      else mFailure = FxPlatformWriteFile(mHandle, mBuffer.data(), got).Text();
      left -= got;
    }
    CloseSource();
  }

  std::string mNative;
  std::u16string mUnits;        // the copy
  std::u16string mCompareWith;  // the data file
  std::string mSourceNative;
  bool mOpen = false;
  intptr_t mHandle = -1;
  std::string mFailure;
  bool mComparing = false;  // not yet created: the same as the data file so far
  intptr_t mSource = -1;    // the data file, while comparing or copying from it
  uint64_t mEqual = 0;      // bytes found the same
  std::vector<uint8_t> mBuffer;
};

// The file object a visitor's stream writes a copy through: its bytes go
// to the queue's writer, which makes the file.
class cCommitQueue::cOutput : public cFxOsFile {
 public:
  cOutput(cCommitQueue& queue, sCopy& copy) : mQueue(queue), mCopy(copy) {}
  ~cOutput() override { cOutput::Close(); }

  int Write(const void* buffer, int count) override {
    if (mClosed || count < 0 || (count > 0 && buffer == nullptr)) {
      FxSetErrorCode(kFxError::cFileOther);
      return -1;
    }
    mQueue.HandOver(buffer, static_cast<size_t>(count));
    return count;
  }
  // Whether the copy was made in full is known only once the writer is done
  // with it: the queue tells it with the copy's outcome.
  bool Close() override {
    if (!mClosed) mQueue.EndCopy(mCopy);
    mClosed = true;
    return true;
  }

 private:
  cCommitQueue& mQueue;
  sCopy& mCopy;
  bool mClosed = false;
};

cCommitQueue::cCommitQueue(uint32_t batchFiles, uint32_t maxQueued, size_t maxBytesInFlight,
                           uint32_t settleThreads)
    : mBatchFiles(batchFiles ? batchFiles : 1),
      mMaxQueued(maxQueued ? maxQueued : 1),
      mMaxBytesInFlight(maxBytesInFlight ? maxBytesInFlight : 1),
      mSettleThreads(settleThreads ? settleThreads : 1),
      mFinishOnFatalError([this] {
        FinishAll();
        StopThreads();
      }) {}

cCommitQueue::~cCommitQueue() {
  // The reader puts the queue's hook back when it goes.
  mReadAhead.reset();
  FinishAll();
  StopThreads();
}

void cCommitQueue::PrintProgressLine(int position, int total, const cFxWString& path) {
  if (mEntries.empty()) {
    ::PrintProgressLine(position, total, path);
    return;
  }
  sEntry line;
  line.mLine = ProgressLine(position, total, path);
  mEntries.push_back(std::move(line));
}

void cCommitQueue::PrintErrorLine(const std::string& line) {
  sEntry entry;
  entry.mLine = line;
  entry.mErrorLine = true;
  mEntries.push_back(std::move(entry));
  FinishReady();
}

void cCommitQueue::RewriteDataFile(const cFxWString& dataPath, cRewritingVisitor& visitor) {
  if (!mAhead.empty() && mAhead.front().mPath == dataPath) {
    QueueAhead();
  } else {
    // A file the reader does not bring (the run's first, one held back) is
    // known by identity before anything after it is queued: another name of
    // it among the next files would else be read ahead, its old contents
    // made into a second copy beside this file's own.
    mReading = IdentityOf(dataPath);
    if (mReading.mKnown) QueueAhead();
  }
  if (!mAhead.empty() && mAhead.front().mPath == dataPath) {
    // No queued copy replaces it: that was seen to when it was queued.
    FinishReady();
    while (mQueuedCopies >= mMaxQueued) FinishOldest();
    mReading = mAhead.front().mIdentity;
    mAhead.pop_front();
  } else {
    BeforeReading(dataPath);
    // The file held back is read now, with its new contents; the files
    // after it are read ahead while it is parsed.
    if (mHeldBack && mHeld.mPath == dataPath) {
      mHeldBack = false;
      if (mReading.mKnown) QueueAhead();
    }
  }
  mReadingCommit = TempFileCommitOf(dataPath);
  visitor.SetOutput(this);
  const bool walked = WalkDataFile(dataPath, visitor, mReadAhead.get());
  visitor.SetOutput(nullptr);
  if (walked) Finish(visitor, dataPath);
  mReading = sIdentity();
}

void cCommitQueue::ReadAhead(std::function<bool(cFxWString&)> upcoming) {
  mUpcoming = std::move(upcoming);
  if (!mReadAhead) mReadAhead.reset(new cReadAhead);
}

void cCommitQueue::QueueAhead() {
  if (!mReadAhead) return;
  while (!mHeldBack && mReadAhead->HasRoom()) {
    sAhead next;
    if (!mUpcoming(next.mPath)) break;
    next.mIdentity = IdentityOf(next.mPath);
    // A file of unknown identity could be any of them.
    bool mayBeReplaced = !next.mIdentity.mKnown || mReading.IsSameAs(next.mIdentity);
    for (const sEntry& entry : mEntries)
      if (entry.mCopy && (!entry.mIdentity.mKnown || entry.mIdentity.IsSameAs(next.mIdentity))) mayBeReplaced = true;
    for (const sAhead& ahead : mAhead)
      if (ahead.mIdentity.IsSameAs(next.mIdentity)) mayBeReplaced = true;
    if (mayBeReplaced) {
      mHeld = std::move(next);
      mHeldBack = true;
      break;
    }
    mReadAhead->Queue(next.mPath);
    mAhead.push_back(std::move(next));
  }
}

void cCommitQueue::BeforeReading(const cFxWString& dataPath) {
  FinishReady();
  while (mQueuedCopies >= mMaxQueued) FinishOldest();
  mReading = IdentityOf(dataPath);
  if (!mReading.mKnown) return;
  // The last queued copy of this file and everything before it.
  size_t through = mEntries.size();
  for (size_t i = 0; i < mEntries.size(); ++i) {
    const sEntry& entry = mEntries[i];
    if (entry.mCopy && entry.mIdentity.IsSameAs(mReading)) through = i;
  }
  if (through == mEntries.size()) return;
  for (size_t finished = 0; finished <= through; ++finished) FinishOldest();
  // The name now stands for the copy that replaced the file: a later
  // name of it must find this file's own copy.
  mReading = IdentityOf(dataPath);
}

cCommitQueue::sIdentity cCommitQueue::IdentityOf(const cFxWString& path) {
  sIdentity identity;
  identity.mKnown =
      FxPlatformGetDirectoryIdentity(StableUnits(path).c_str(), &identity.mVolume, &identity.mFile).IsOk();
  return identity;
}

cFxOsFile* cCommitQueue::OpenOutput(const cFxWString& path, cFxString& failure) {
  // The copy is created where the visitor's stream would have opened it.
  const cFxPath streamPath(path);
  cFxOsFileSystem* fileSystem = FxFileSystemOf(streamPath, failure);
  if (fileSystem == nullptr) return nullptr;
  const cFxString native = fileSystem->GetNativePath(streamPath.GetRest());
  mBegun.reset(new sCopy);
  mBegun->mNative.assign(native.c_str(), native.Length());
  mBegun->mUnits = StableUnits(path);
  // Only a copy that replaces its own data file may turn out to be
  // the same file.
  if (mBegun->mUnits == mReadingCommit.mTemp && mBegun->mNative.size() > gTempExtension.Length()) {
    mBegun->mCompareWith = mReadingCommit.mTarget;
    mBegun->mCompareNative = mBegun->mNative.substr(0, mBegun->mNative.size() - gTempExtension.Length());
  }
  StartThreads();
  PushWrite({sWrite::eBegin, mBegun.get(), {}});
  return new cOutput(*this, *mBegun);
}

void cCommitQueue::HandOver(const void* bytes, size_t count) {
  const uint8_t* next = static_cast<const uint8_t*>(bytes);
  while (count != 0) {
    const size_t size = std::min(count, cHandOverBytes);
    sWrite write{sWrite::eBytes, mBegun.get(), {}};
    {
      std::unique_lock<std::mutex> lock(mMutex);
      if (mBytesInFlight != 0 && mBytesInFlight + size > mMaxBytesInFlight) {
        WakeWriter();
        mRoom.wait(lock, [&] { return mBytesInFlight == 0 || mBytesInFlight + size <= mMaxBytesInFlight; });
      }
      mBytesInFlight += size;
      if (!mSpareBytes.empty()) {
        write.mBytes = std::move(mSpareBytes.back());
        mSpareBytes.pop_back();
      }
    }
    write.mBytes.assign(next, next + size);
    PushWrite(std::move(write));
    next += size;
    count -= size;
  }
}

void cCommitQueue::EndCopy(sCopy& copy) { PushWrite({sWrite::eEnd, &copy, {}}); }

void cCommitQueue::PushWrite(sWrite write) {
  std::lock_guard<std::mutex> lock(mMutex);
  if (write.mKind == sWrite::eEnd) ++mEndsWaiting;
  mWrites.push_back(std::move(write));
  // A copy's beginning never wakes the writer: it comes with its bytes.
  if (mEndsWaiting >= kCommitQueue::cWakeWriterCopies || mBytesInFlight >= mMaxBytesInFlight / 2) WakeWriter();
}

void cCommitQueue::WakeWriter() {
  if (!mWriterIdle || mWrites.empty()) return;
  mWriterIdle = false;
  mWriteWork.notify_one();
}

void cCommitQueue::Finish(const cRewritingVisitor& visitor, const cFxWString& dataPath) {
  sEntry entry;
  entry.mDataPath = dataPath;
  entry.mIdentity = mReading;
  // A copy that was never begun is settled all the same: its temporary file
  // goes and the data file is named.
  const bool begun = mBegun != nullptr;
  entry.mCopy = begun ? std::move(mBegun) : std::unique_ptr<sCopy>(new sCopy);
  sCopy& copy = *entry.mCopy;
  if (!begun) copy.mUnits = StableUnits(visitor.GetOutputFilePath());
  copy.mCommit = std::move(mReadingCommit);
  if (!visitor.IsOutputComplete()) {
    const cFxString& failure = visitor.GetOutputFailure();
    copy.mRunFailure = failure.IsEmpty() ? kWriteBack::cNotWritten : std::string(failure.c_str(), failure.Length());
  }
  copy.mNumber = ++mCopies;
  StartThreads();
  bool settle;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    if (!begun) copy.mWritten = true;
    mToSettle.push_back(&copy);
    settle = ReadyToSettle() != 0;
  }
  if (settle) mSettleWork.notify_one();
  mEntries.push_back(std::move(entry));
  ++mQueuedCopies;
  FinishReady();
}

void cCommitQueue::FinishAll() {
  while (!mEntries.empty()) FinishOldest();
}

bool cCommitQueue::IsReady(const sEntry& entry) {
  if (!entry.mCopy) return true;
  std::lock_guard<std::mutex> lock(mMutex);
  return entry.mCopy->mSettled;
}

void cCommitQueue::FinishReady() {
  while (!mEntries.empty() && IsReady(mEntries.front())) FinishOldest();
}

void cCommitQueue::FinishOldest() {
  sEntry& entry = mEntries.front();
  if (entry.mErrorLine) {
    std::fflush(stdout);
    FxPlatformWriteStdErr(entry.mLine.c_str());
  } else if (!entry.mCopy) {
    std::fputs(entry.mLine.c_str(), stdout);
    std::fflush(stdout);
  } else {
    sCopy& copy = *entry.mCopy;
    {
      std::unique_lock<std::mutex> lock(mMutex);
      if (!copy.mSettled) {
        // Its batch may still be filling: it is flushed to disk as far as it got.
        mWaitedFor = copy.mNumber;
        WakeWriter();
        mSettleWork.notify_one();
        mSettled.wait(lock, [&] { return copy.mSettled; });
      }
    }
    ReportSettled(copy.mOutcome, entry.mDataPath, copy.mReason);
    --mQueuedCopies;
  }
  mEntries.pop_front();
}

void cCommitQueue::StartThreads() {
  if (mWriter.joinable()) return;
  mStopping = false;
  mWriter = std::thread(&cCommitQueue::Write, this);
  mSettler = std::thread(&cCommitQueue::Settle, this);
  // The settler is one of the threads that settle a batch.
  for (uint32_t i = 1; i < mSettleThreads; ++i) mSettleHelpers.emplace_back(&cCommitQueue::HelpSettle, this);
}

void cCommitQueue::StopThreads() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopping = true;
  }
  mWriteWork.notify_all();
  mSettleWork.notify_all();
  mBatchWork.notify_all();
  if (mWriter.joinable()) mWriter.join();
  if (mSettler.joinable()) mSettler.join();
  for (std::thread& helper : mSettleHelpers) helper.join();
  mSettleHelpers.clear();
}

// The writer: makes each copy from what the run's thread handed over, until
// told to stop with nothing left to write.
void cCommitQueue::Write() {
  cCopyMaker maker;
  std::deque<sWrite> taken;
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;) {
    if (mWrites.empty() && !mStopping) {
      mWriterIdle = true;
      mWriteWork.wait(lock, [&] { return mStopping || !mWrites.empty(); });
      mWriterIdle = false;
    }
    if (mWrites.empty()) break;
    // Everything handed over so far, with the lock taken once on each side.
    taken.swap(mWrites);
    mEndsWaiting = 0;
    lock.unlock();
    size_t written = 0;
    for (sWrite& write : taken) {
      sCopy& copy = *write.mCopy;
      switch (write.mKind) {
        case sWrite::eBegin:
          maker.Begin(copy.mNative, copy.mUnits, copy.mCompareWith, copy.mCompareNative);
          break;
        case sWrite::eBytes:
          maker.Write(write.mBytes.data(), write.mBytes.size());
          written += write.mBytes.size();
          break;
        case sWrite::eEnd:
          // Read by others only once it counts as written.
          copy.mUnchanged = maker.End(copy.mWriteFailure);
          break;
      }
    }
    lock.lock();
    mBytesInFlight -= written;
    for (sWrite& write : taken) {
      if (write.mKind == sWrite::eEnd) write.mCopy->mWritten = true;
      // A few are kept: more would only hold memory.
      if (write.mKind == sWrite::eBytes && mSpareBytes.size() < cSpareHandOvers)
        mSpareBytes.push_back(std::move(write.mBytes));
    }
    taken.clear();
    if (written != 0) mRoom.notify_one();
    // The settler wakes only for a batch it may take, not for every copy.
    if (ReadyToSettle() != 0) mSettleWork.notify_one();
  }
  lock.unlock();
  maker.CutOff();
}

size_t cCommitQueue::ReadyToSettle() const {
  size_t written = 0;
  while (written < mToSettle.size() && written < mBatchFiles && mToSettle[written]->mWritten) ++written;
  if (written == 0) return 0;
  // A full batch goes, and so does one that reaches the copy the run's
  // thread waits for, and at the end whatever is closed; otherwise more
  // copies may join it first.
  const bool waitedFor = mToSettle.front()->mNumber <= mWaitedFor && mToSettle[written - 1]->mNumber >= mWaitedFor;
  return written == mBatchFiles || waitedFor || mStopping ? written : 0;
}

// The settler: flushes batches of closed copies to disk and settles them
// with its helpers, a batch at a time, until told to stop with none queued.
void cCommitQueue::Settle() {
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;) {
    size_t count = 0;
    mSettleWork.wait(lock, [&] { return (mStopping && mToSettle.empty()) || (count = ReadyToSettle()) != 0; });
    if (count == 0) return;
    std::vector<sCopy*> batch(mToSettle.begin(), mToSettle.begin() + static_cast<std::ptrdiff_t>(count));
    mToSettle.erase(mToSettle.begin(), mToSettle.begin() + static_cast<std::ptrdiff_t>(count));
    lock.unlock();
    // Why each copy is not complete, or empty; then whether it was flushed to disk.
    std::vector<std::string> reasons;
    std::vector<std::u16string> complete;
    // A copy never made has nothing to flush.
    for (const sCopy* copy : batch) {
      reasons.push_back(!copy->mRunFailure.empty() ? copy->mRunFailure : copy->mWriteFailure);
      if (reasons.back().empty() && !copy->mUnchanged) complete.push_back(copy->mUnits);
    }
    const std::vector<cFxOsResult> syncFailures = FxPlatformSyncFiles(complete);
    size_t synced = 0;
    for (size_t i = 0; i < batch.size(); ++i)
      if (reasons[i].empty() && !batch[i]->mUnchanged) reasons[i] = syncFailures[synced++].Text();
    // The whole batch is flushed to disk, and no two of its copies replace
    // the same file: they may be renamed in any order.
    lock.lock();
    mBatch = std::move(batch);
    mBatchReasons = std::move(reasons);
    mNextToSettle = 0;
    mBatchUnsettled = mBatch.size();
    mBatchWork.notify_all();
    SettleBatch(lock);
    mBatchDone.wait(lock, [&] { return mBatchUnsettled == 0; });
    mBatch.clear();
    mBatchReasons.clear();
    mNextToSettle = 0;
  }
}

void cCommitQueue::SettleBatch(std::unique_lock<std::mutex>& lock) {
  // Taken oldest first, so the copy the run's thread waits for comes soon.
  while (mNextToSettle < mBatch.size()) {
    const size_t next = mNextToSettle++;
    sCopy& copy = *mBatch[next];
    std::string reason = std::move(mBatchReasons[next]);
    lock.unlock();
    eSettled outcome = eSettledReplaced;
    if (copy.mUnchanged && reason.empty())
      // The data file already has its new contents; a replacement would
      // have left no temporary file beside it either.
      FxPlatformDeleteFile(copy.mUnits.c_str());
    else
      outcome = SettleCopy(copy.mUnits, copy.mCommit, reason);
    lock.lock();
    copy.mOutcome = outcome;
    copy.mReason = std::move(reason);
    copy.mSettled = true;
    // The run's thread waits for one copy at a time.
    if (copy.mNumber == mWaitedFor) mSettled.notify_one();
    if (--mBatchUnsettled == 0) mBatchDone.notify_one();
  }
}

void cCommitQueue::HelpSettle() {
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;) {
    mBatchWork.wait(lock, [&] { return mStopping || mNextToSettle < mBatch.size(); });
    if (mNextToSettle >= mBatch.size()) return;
    SettleBatch(lock);
  }
}
