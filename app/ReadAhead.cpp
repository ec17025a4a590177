#include "app/ReadAhead.h"

#include <algorithm>
#include <cstring>

#include "API/core/FxError.h"
#include "Core/platform/FxPlatform.h"
#include "xml/cFxFile.h"
#include "xml/cFxPath.h"

namespace {
// Records on the run's thread why the reader could not open or read a file.
void RecordReaderFailure(const std::string& reason) {
  FxSetErrorCode(kFxError::cFileOther);
  FxSetErrorMessage("%s", reason.c_str());
}
}  // namespace

// The file object through which a stream reads a file read ahead: its bytes
// come from the reader's buffers, one buffer at a time.
class cReadAhead::cInput : public cFxOsFile {
 public:
  cInput(cReadAhead& reader, std::shared_ptr<sFile> file, sTake& first)
      : mReader(reader), mFile(std::move(file)), mTake(std::move(first)) {}
  ~cInput() override { cInput::Close(); }

  // Fills `buffer` whole unless the file ends first: the stream has no
  // buffer of its own, and its reader takes a short answer for the end.
  int Read(void* buffer, int count) override {
    if (mFile == nullptr || count < 0 || (count > 0 && buffer == nullptr)) {
      FxSetErrorCode(kFxError::cFileOther);
      return -1;
    }
    uint8_t* out = static_cast<uint8_t*>(buffer);
    const size_t wanted = static_cast<size_t>(count);
    size_t total = 0;
    while (total < wanted) {
      if (mNext == mTake.mBuffer.mCount) {
        if (mTake.mLast && !mTake.mFailed) break;
        if (mTake.mLast) {
          // As a failed read of the file itself: what this call had taken
          // is not answered, nor anything after.
          RecordReaderFailure(mTake.mReason);
          return -1;
        }
        sBuffer used = std::move(mTake.mBuffer);
        mReader.Take(*mFile, &used, mTake);
        mNext = 0;
        continue;
      }
      const size_t take = std::min(wanted - total, mTake.mBuffer.mCount - mNext);
      std::memcpy(out + total, mTake.mBuffer.mBytes.get() + mNext, take);
      mNext += take;
      total += take;
    }
    return static_cast<int>(total);
  }

  bool Close() override {
    if (mFile == nullptr) return true;
    mReader.Finish(*mFile, mTake);
    mFile.reset();
    return true;
  }

 private:
  cReadAhead& mReader;
  std::shared_ptr<sFile> mFile;  // null once closed
  sTake mTake;                   // the buffer being read
  size_t mNext = 0;              // its next byte
};

cReadAhead::cReadAhead(uint32_t maxFiles, size_t maxBytesAhead, size_t bufferBytes)
    : mMaxFiles(maxFiles ? maxFiles : 1),
      mMaxBytesAhead(maxBytesAhead ? maxBytesAhead : 1),
      mBufferBytes(bufferBytes ? bufferBytes : 1),
      mStopOnFatalError([this] { Stop(); }) {}

cReadAhead::~cReadAhead() { Stop(); }

bool cReadAhead::HasRoom() {
  if (mQueued.size() >= mMaxFiles) mRefilling = false;
  if (mQueued.size() <= mMaxFiles / 2) mRefilling = true;
  return mRefilling;
}

void cReadAhead::Queue(const cFxWString& path) {
  std::shared_ptr<sFile> file = std::make_shared<sFile>();
  file->mPath = path;
  // The native path the stream's Open would open.
  const cFxPath streamPath(path);
  cFxString failure;
  cFxOsFileSystem* fileSystem = FxFileSystemOf(streamPath, failure);
  if (fileSystem == nullptr) {
    file->mFailed = file->mEnded = true;
    file->mReason.assign(failure.c_str(), failure.Length());
    mQueued.push_back(std::move(file));
    return;
  }
  const cFxString native = fileSystem->GetNativePath(streamPath.GetRest());
  file->mNative.assign(native.c_str(), native.Length());
  if (!mReader.joinable()) {
    mStopping = false;
    mReader = std::thread(&cReadAhead::Read, this);
  }
  // The reader learns of the files queued together when the next one is
  // opened: woken once for all of them.
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mToRead.push_back(file);
  }
  mQueued.push_back(std::move(file));
}

bool cReadAhead::OpenNext(const cFxWString& path, cFxFile& stream) {
  if (mQueued.empty() || !(mQueued.front()->mPath == path)) {
    // A file the run did not queue is read as it would be without a reader.
    return stream.Open(cFxPath(path), kFxFileMode::cModeRead, 0, 0, kRun::cDataFileBufferSize,
                       kRun::cDataFileBufferSize);
  }
  std::shared_ptr<sFile> file = std::move(mQueued.front());
  mQueued.pop_front();
  // Its first bytes, not only its opening: one wait instead of two.
  sTake first;
  Take(*file, nullptr, first);
  if (!first.mOpened) {
    stream.Close();
    RecordReaderFailure(first.mReason);
    return false;
  }
  return stream.Attach(new cInput(*this, std::move(file), first), 0, 0, 0);
}

size_t cReadAhead::PeakBytesAhead() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mPeakBytesAhead;
}

void cReadAhead::Take(sFile& file, sBuffer* used, sTake& take) {
  std::unique_lock<std::mutex> lock(mMutex);
  if (used != nullptr) Release(*used);
  if (GiveBackUsed()) {
    // Woken with the lock free, so it need not wait for it at once.
    lock.unlock();
    mWork.notify_one();
    lock.lock();
  }
  if (file.mBuffers.empty() && !file.mEnded) {
    mRunWaiting = true;
    mArrived.wait(lock, [&] { return !file.mBuffers.empty() || file.mEnded; });
    mRunWaiting = false;
  }
  take.mBuffer = sBuffer();
  if (!file.mBuffers.empty()) {
    take.mBuffer = std::move(file.mBuffers.front());
    file.mBuffers.pop_front();
  }
  take.mLast = file.mEnded && file.mBuffers.empty();
  take.mOpened = file.mOpened;
  take.mFailed = file.mFailed;
  if (take.mLast && file.mFailed) take.mReason = file.mReason;
}

void cReadAhead::Finish(sFile& file, sTake& take) {
  if (take.mLast) {
    if (take.mBuffer.mBytes != nullptr) mUsed.push_back(std::move(take.mBuffer));
    take.mBuffer = sBuffer();
    return;
  }
  std::unique_lock<std::mutex> lock(mMutex);
  file.mAbandoned = true;
  Release(take.mBuffer);
  for (sBuffer& unread : file.mBuffers) Release(unread);
  file.mBuffers.clear();
  // The reader may wait for room for this very file.
  if (GiveBackUsed() || mWaitingForRoom || file.mHeld) {
    lock.unlock();
    mWork.notify_one();
    lock.lock();
  }
  if (file.mHeld) {
    mRunWaiting = true;
    mArrived.wait(lock, [&] { return !file.mHeld; });
    mRunWaiting = false;
  }
}

bool cReadAhead::GiveBackUsed() {
  for (sBuffer& used : mUsed) Release(used);
  mUsed.clear();
  // Woken for half the bound or for all files queued since, not for each.
  return (mReaderIdle && !mToRead.empty()) || (mWaitingForRoom && mBytesAhead <= mRoomAt);
}

cReadAhead::sBuffer cReadAhead::Reserve() {
  mBytesAhead += mBufferBytes;
  mPeakBytesAhead = std::max(mPeakBytesAhead, mBytesAhead);
  sBuffer buffer;
  if (mSpare.empty()) {
    buffer.mBytes.reset(new uint8_t[mBufferBytes]);
  } else {
    buffer.mBytes = std::move(mSpare.back());
    mSpare.pop_back();
  }
  return buffer;
}

void cReadAhead::Release(sBuffer& buffer) {
  if (buffer.mBytes == nullptr) return;
  mBytesAhead -= mBufferBytes;
  mSpare.push_back(std::move(buffer.mBytes));
  buffer = sBuffer();
}

size_t cReadAhead::NextRead(uint64_t size, uint64_t read) const {
  // What is left and one byte more: a read that answers just what is left
  // then ends the file without another read to find the end. A file that
  // grew since it was opened is read a whole buffer at a time.
  if (read > size) return mBufferBytes;
  return static_cast<size_t>(std::min<uint64_t>(mBufferBytes, size - read + 1));
}

bool cReadAhead::WaitForRoom(const sFile& file, std::unique_lock<std::mutex>& lock) {
  if (mBytesAhead != 0 && mBytesAhead + mBufferBytes > mMaxBytesAhead) {
    // Woken once half the bound is free again, not for every buffer taken.
    const size_t half = mMaxBytesAhead / 2;
    mRoomAt = mBufferBytes <= half ? half - mBufferBytes : 0;
    mWaitingForRoom = true;
    mWork.wait(lock, [&] { return mStopping || file.mAbandoned || mBytesAhead <= mRoomAt; });
    mWaitingForRoom = false;
  }
  return !mStopping && !file.mAbandoned;
}

void cReadAhead::Stop() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopping = true;
  }
  mWork.notify_all();
  if (mReader.joinable()) mReader.join();
}

// The reader: reads the queued files in order, each until its end, until
// told to stop.
void cReadAhead::Read() {
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;) {
    if (mToRead.empty() && !mStopping) {
      mReaderIdle = true;
      mWork.wait(lock, [&] { return mStopping || !mToRead.empty(); });
      mReaderIdle = false;
    }
    if (mStopping) return;
    const std::shared_ptr<sFile> file = std::move(mToRead.front());
    mToRead.pop_front();
    ReadFile(*file, lock);
  }
}

void cReadAhead::ReadFile(sFile& file, std::unique_lock<std::mutex>& lock) {
  // The buffer for the first read is taken before the file is opened:
  // opening, reading and closing a small file thus takes the lock once.
  if (!WaitForRoom(file, lock)) return;
  sBuffer buffer = Reserve();
  lock.unlock();
  intptr_t handle = -1;
  uint64_t size = 0;
  cFxOsResult result = FxPlatformOpenFileForReading(file.mNative.c_str(), handle, size);
  const bool opened = result.IsOk();
  uint64_t read = 0;
  for (;;) {
    bool readable = opened;
    bool ended = !opened;
    if (opened) {
      const size_t asked = NextRead(size, read);
      result = FxPlatformReadFile(handle, buffer.mBytes.get(), asked, buffer.mCount);
      readable = result.IsOk();
      read += buffer.mCount;
      ended = !readable || buffer.mCount == 0 || (buffer.mCount < asked && read == size);
    }
    if (opened && ended) FxPlatformCloseFile(handle);
    lock.lock();
    file.mOpened = opened;
    file.mHeld = opened && !ended;
    if (buffer.mCount != 0 && !file.mAbandoned)
      file.mBuffers.push_back(std::move(buffer));
    else
      Release(buffer);
    if (!readable) {
      file.mFailed = true;
      file.mReason = result.Text();
    }
    file.mEnded = ended;
    if (mRunWaiting) {
      // Woken with the lock free, so it need not wait for it at once.
      lock.unlock();
      mArrived.notify_one();
      lock.lock();
    }
    if (ended) return;
    if (!WaitForRoom(file, lock)) {
      lock.unlock();
      FxPlatformCloseFile(handle);
      lock.lock();
      file.mHeld = false;
      if (mRunWaiting) {
        lock.unlock();
        mArrived.notify_one();
        lock.lock();
      }
      return;
    }
    buffer = Reserve();
    lock.unlock();
  }
}
