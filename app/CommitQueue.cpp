#include "app/CommitQueue.h"

#include <cstdio>

#include "API/core/FxError.h"
#include "Core/platform/FxPlatform.h"
#include "app/DataFiles.h"
#include "app/RunSupport.h"
#include "app/WriteBack.h"
#include "localisation/cRewritingVisitor.h"

namespace {
// The queue a fatal error finishes before the program ends.
cCommitQueue* gActiveQueue = nullptr;
}  // namespace

cCommitQueue::cCommitQueue(uint32_t batchFiles, uint32_t maxQueued)
    : mBatchFiles(batchFiles ? batchFiles : 1), mMaxQueued(maxQueued ? maxQueued : 1) {
  gActiveQueue = this;
  FxSetPreExitHook(FinishActiveQueue);
}

cCommitQueue::~cCommitQueue() {
  FinishAll();
  StopThread();
  FxSetPreExitHook(nullptr);
  gActiveQueue = nullptr;
}

void cCommitQueue::FinishActiveQueue() {
  if (gActiveQueue == nullptr) return;
  gActiveQueue->FinishAll();
  gActiveQueue->StopThread();
}

void cCommitQueue::PrintProgressLine(int position, int total, const cFxWString& path) {
  if (mEntries.empty()) {
    ::PrintProgressLine(position, total, path);
    return;
  }
  sEntry line;
  line.mIsLine = true;
  line.mLine = ProgressLine(position, total, path);
  mEntries.push_back(std::move(line));
}

void cCommitQueue::RewriteDataFile(const cFxWString& dataPath, cRewritingVisitor& visitor) {
  BeforeReading(dataPath);
  if (WalkDataFile(dataPath, visitor)) Finish(visitor, dataPath);
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
    if (!entry.mIsLine && entry.mHasIdentity && entry.mVolume == mReadingVolume && entry.mFile == mReadingFile)
      through = i;
  }
  if (through == mEntries.size()) return;
  for (size_t finished = 0; finished <= through; ++finished) FinishOldest();
}

void cCommitQueue::Finish(const cRewritingVisitor& visitor, const cFxWString& dataPath) {
  sEntry copy;
  copy.mDataPath = dataPath;
  copy.mTempPath = visitor.GetOutputFilePath();
  copy.mHasIdentity = mReadingHasIdentity;
  copy.mVolume = mReadingVolume;
  copy.mFile = mReadingFile;
  mReadingHasIdentity = false;
  if (!visitor.IsOutputComplete()) {
    const cFxString& failure = visitor.GetOutputFailure();
    copy.mFailure = failure.IsEmpty() ? cFxString("the file was not written") : failure;
    // Nothing to put on the disk: with nothing before it, it is settled now.
    if (mEntries.empty()) {
      SettleRewrite(copy.mTempPath, copy.mDataPath, copy.mFailure);
      return;
    }
  } else {
    copy.mTempUnits = StableUnits(copy.mTempPath);
  }
  mEntries.push_back(std::move(copy));
  ++mQueuedCopies;
  if (mEntries.back().mFailure.IsEmpty()) {
    mOpenBatch.push_back(&mEntries.back());
    if (mOpenBatch.size() >= mBatchFiles) HandOverBatch();
  }
  FinishReady();
}

void cCommitQueue::FinishAll() {
  while (!mEntries.empty()) FinishOldest();
}

bool cCommitQueue::IsReady(const sEntry& entry) {
  if (entry.mIsLine || !entry.mFailure.IsEmpty()) return true;
  if (!entry.mHandedOver) return false;
  std::lock_guard<std::mutex> lock(mMutex);
  return entry.mSynced;
}

void cCommitQueue::FinishReady() {
  while (!mEntries.empty() && IsReady(mEntries.front())) FinishOldest();
}

void cCommitQueue::FinishOldest() {
  sEntry& entry = mEntries.front();
  if (entry.mIsLine) {
    std::fputs(entry.mLine.c_str(), stdout);
    std::fflush(stdout);
  } else {
    if (entry.mFailure.IsEmpty()) {
      // Its batch may still be filling: it goes now, as far as it got.
      if (!entry.mHandedOver) HandOverBatch();
      std::unique_lock<std::mutex> lock(mMutex);
      mSynced.wait(lock, [&] { return entry.mSynced; });
      if (!entry.mSyncFailure.empty()) entry.mFailure = cFxString(entry.mSyncFailure.c_str());
    }
    SettleRewrite(entry.mTempPath, entry.mDataPath, entry.mFailure);
    --mQueuedCopies;
  }
  mEntries.pop_front();
}

void cCommitQueue::HandOverBatch() {
  if (mOpenBatch.empty()) return;
  StartThread();
  for (sEntry* entry : mOpenBatch) entry->mHandedOver = true;
  std::lock_guard<std::mutex> lock(mMutex);
  mToSync.push_back(std::move(mOpenBatch));
  mOpenBatch.clear();
  mWork.notify_one();
}

void cCommitQueue::StartThread() {
  if (mThread.joinable()) return;
  mStopping = false;
  mThread = std::thread(&cCommitQueue::Sync, this);
}

void cCommitQueue::StopThread() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopping = true;
  }
  mWork.notify_all();
  if (mThread.joinable()) mThread.join();
}

// The sync thread: puts batches of copies on the disk until told to stop.
// It touches only the copies' paths and their result fields.
void cCommitQueue::Sync() {
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;) {
    mWork.wait(lock, [&] { return mStopping || !mToSync.empty(); });
    if (mToSync.empty()) return;
    const tBatch batch = std::move(mToSync.front());
    mToSync.pop_front();
    std::vector<std::u16string> paths;
    for (const sEntry* entry : batch) paths.push_back(entry->mTempUnits);
    lock.unlock();
    std::vector<std::string> failures;
    FxPlatformSyncFiles(paths, failures);
    lock.lock();
    for (size_t i = 0; i < batch.size(); ++i) {
      batch[i]->mSynced = true;
      if (!failures[i].empty()) batch[i]->mSyncFailure = failures[i];
    }
    mSynced.notify_all();
  }
}
