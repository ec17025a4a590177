#include "app/CommitQueue.h"

#include <algorithm>
#include <cstdio>

#include "API/core/FxError.h"
#include "Core/platform/FxPlatform.h"
#include "app/DataFiles.h"
#include "app/RunSupport.h"
#include "xml/cFxFile.h"

namespace {
// The queue a fatal error finishes before the program ends.
cCommitQueue* gActiveQueue = nullptr;
// The most bytes one hand-over to the writer holds.
constexpr size_t cHandOverBytes = kRewrite::cStreamBufferSize;
}  // namespace

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
      mSettleThreads(settleThreads ? settleThreads : 1) {
  gActiveQueue = this;
  FxSetPreExitHook(FinishActiveQueue);
}

cCommitQueue::~cCommitQueue() {
  FinishAll();
  StopThreads();
  FxSetPreExitHook(nullptr);
  gActiveQueue = nullptr;
}

void cCommitQueue::FinishActiveQueue() {
  if (gActiveQueue == nullptr) return;
  gActiveQueue->FinishAll();
  gActiveQueue->StopThreads();
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

void cCommitQueue::RewriteDataFile(const cFxWString& dataPath, cRewritingVisitor& visitor) {
  BeforeReading(dataPath);
  visitor.SetOutput(this);
  const bool walked = WalkDataFile(dataPath, visitor);
  visitor.SetOutput(nullptr);
  if (walked) Finish(visitor, dataPath);
}

void cCommitQueue::BeforeReading(const cFxWString& dataPath) {
  FinishReady();
  while (mQueuedCopies >= mMaxQueued) FinishOldest();
  mReadingHasIdentity =
      FxPlatformGetDirectoryIdentity(StableUnits(dataPath).c_str(), &mReadingVolume, &mReadingFile);
  if (!mReadingHasIdentity) return;
  // The last queued copy of this file and everything before it.
  size_t through = mEntries.size();
  for (size_t i = 0; i < mEntries.size(); ++i) {
    const sEntry& entry = mEntries[i];
    if (entry.mCopy && entry.mHasIdentity && entry.mVolume == mReadingVolume && entry.mFile == mReadingFile)
      through = i;
  }
  if (through == mEntries.size()) return;
  for (size_t finished = 0; finished <= through; ++finished) FinishOldest();
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
  StartThreads();
  PushWrite({sWrite::eBegin, mBegun.get(), {}});
  return new cOutput(*this, *mBegun);
}

void cCommitQueue::HandOver(const void* bytes, size_t count) {
  const uint8_t* next = static_cast<const uint8_t*>(bytes);
  while (count != 0) {
    const size_t size = std::min(count, cHandOverBytes);
    sWrite write{sWrite::eBytes, mBegun.get(), std::vector<uint8_t>(next, next + size)};
    {
      std::unique_lock<std::mutex> lock(mMutex);
      mRoom.wait(lock, [&] { return mBytesInFlight == 0 || mBytesInFlight + size <= mMaxBytesInFlight; });
      mBytesInFlight += size;
    }
    PushWrite(std::move(write));
    next += size;
    count -= size;
  }
}

void cCommitQueue::EndCopy(sCopy& copy) { PushWrite({sWrite::eEnd, &copy, {}}); }

void cCommitQueue::PushWrite(sWrite write) {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mWrites.push_back(std::move(write));
  }
  mWriteWork.notify_one();
}

void cCommitQueue::Finish(const cRewritingVisitor& visitor, const cFxWString& dataPath) {
  sEntry entry;
  entry.mDataPath = dataPath;
  entry.mHasIdentity = mReadingHasIdentity;
  entry.mVolume = mReadingVolume;
  entry.mFile = mReadingFile;
  mReadingHasIdentity = false;
  // A copy that was never begun is settled all the same: its temporary file
  // goes and the data file is named.
  const bool begun = mBegun != nullptr;
  entry.mCopy = begun ? std::move(mBegun) : std::unique_ptr<sCopy>(new sCopy);
  sCopy& copy = *entry.mCopy;
  if (!begun) copy.mUnits = StableUnits(visitor.GetOutputFilePath());
  copy.mCommit = TempFileCommitOf(dataPath);
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
  if (!entry.mCopy) {
    std::fputs(entry.mLine.c_str(), stdout);
    std::fflush(stdout);
  } else {
    sCopy& copy = *entry.mCopy;
    {
      std::unique_lock<std::mutex> lock(mMutex);
      if (!copy.mSettled) {
        // Its batch may still be filling: it goes to the disk as far as it got.
        mWaitedFor = copy.mNumber;
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
  sCopy* copy = nullptr;
  bool open = false;
  intptr_t handle = -1;
  std::string failure;
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;) {
    mWriteWork.wait(lock, [&] { return mStopping || !mWrites.empty(); });
    if (mWrites.empty()) break;
    sWrite write = std::move(mWrites.front());
    mWrites.pop_front();
    lock.unlock();
    switch (write.mKind) {
      case sWrite::eBegin:
        copy = write.mCopy;
        failure.clear();
        open = FxPlatformCreateFile(copy->mNative.c_str(), handle, failure);
        break;
      case sWrite::eBytes:
        // After a failure the rest of the copy is dropped: it is deleted.
        if (open && failure.empty()) FxPlatformWriteFile(handle, write.mBytes.data(), write.mBytes.size(), failure);
        break;
      case sWrite::eEnd: {
        std::string closeFailure;
        if (open && !FxPlatformCloseFile(handle, closeFailure) && failure.empty()) failure = closeFailure;
        open = false;
        break;
      }
    }
    lock.lock();
    if (write.mKind == sWrite::eBytes) {
      mBytesInFlight -= write.mBytes.size();
      mRoom.notify_one();
    } else if (write.mKind == sWrite::eEnd) {
      write.mCopy->mWriteFailure = failure;
      write.mCopy->mWritten = true;
      // The settler wakes only for a batch it may take, not for every copy.
      if (ReadyToSettle() != 0) mSettleWork.notify_one();
    }
  }
  // A copy still open was cut off by a fatal error: it keeps what it got.
  lock.unlock();
  std::string ignored;
  if (open) FxPlatformCloseFile(handle, ignored);
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

// The settler: puts batches of closed copies on the disk and settles them
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
    // Why each copy is not complete, or empty; then whether it is on the disk.
    std::vector<std::string> reasons;
    std::vector<std::u16string> complete;
    for (const sCopy* copy : batch) {
      reasons.push_back(!copy->mRunFailure.empty() ? copy->mRunFailure : copy->mWriteFailure);
      if (reasons.back().empty()) complete.push_back(copy->mUnits);
    }
    std::vector<std::string> syncFailures;
    FxPlatformSyncFiles(complete, syncFailures);
    size_t synced = 0;
    for (std::string& reason : reasons)
      if (reason.empty()) reason = syncFailures[synced++];
    // The whole batch is on the disk, and no two of its copies replace the
    // same file: they may take their places in any order.
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
    const eSettled outcome = SettleCopy(copy.mUnits, copy.mCommit, reason);
    lock.lock();
    copy.mOutcome = outcome;
    copy.mReason = std::move(reason);
    copy.mSettled = true;
    mSettled.notify_one();
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
