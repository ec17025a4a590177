#include "app/ReadAhead.h"

#include <algorithm>
#include <cstring>

#include "Core/platform/FxPlatform.h"
#include "xml/cFxFile.h"
#include "xml/cFxPath.h"

namespace {
// The reader a fatal error stops before the program ends.
cReadAhead* gActiveReader = nullptr;

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
  cInput(cReadAhead& reader, std::shared_ptr<sFile> file) : mReader(reader), mFile(std::move(file)) {}
  ~cInput() override { cInput::Close(); }

  // Fills `buffer` whole unless the file ends first: the stream has no
  // buffer of its own, and its reader takes a short answer for the end.
  int Read(void* buffer, int count) override {
    if (mFailed || mFile == nullptr || count < 0 || (count > 0 && buffer == nullptr)) {
      FxSetErrorCode(kFxError::cFileOther);
      return -1;
    }
    uint8_t* out = static_cast<uint8_t*>(buffer);
    const size_t wanted = static_cast<size_t>(count);
    size_t total = 0;
    while (total < wanted) {
      if (mNext == mBuffer.mCount) {
        if (mEnded) break;
        bool failed = false;
        std::string reason;
        mNext = 0;
        if (!mReader.TakeBuffer(*mFile, mBuffer, failed, reason)) {
          mEnded = true;
          if (!failed) break;
          // As a failed read of the file itself: what this call had taken is
          // not answered.
          mFailed = true;
          RecordReaderFailure(reason);
          return -1;
        }
      }
      const size_t take = std::min(wanted - total, mBuffer.mCount - mNext);
      std::memcpy(out + total, mBuffer.mBytes.get() + mNext, take);
      mNext += take;
      total += take;
    }
    return static_cast<int>(total);
  }

  bool Close() override {
    if (mFile == nullptr) return true;
    mReader.Abandon(*mFile, mBuffer);
    mFile.reset();
    return true;
  }

 private:
  cReadAhead& mReader;
  std::shared_ptr<sFile> mFile;  // null once closed
  sBuffer mBuffer;               // the buffer being taken
  size_t mNext = 0;              // its next byte
  bool mEnded = false;           // no buffer is left after this one
  bool mFailed = false;
};

cReadAhead::cReadAhead(uint32_t maxFiles, size_t maxBytesAhead, size_t bufferBytes)
    : mMaxFiles(maxFiles ? maxFiles : 1),
      mMaxBytesAhead(maxBytesAhead ? maxBytesAhead : 1),
      mBufferBytes(bufferBytes ? bufferBytes : 1),
      mPreviousHook(FxGetPreExitHook()) {
  gActiveReader = this;
  FxSetPreExitHook(StopActiveReader);
}

cReadAhead::~cReadAhead() {
  Stop();
  FxSetPreExitHook(mPreviousHook);
  gActiveReader = nullptr;
}

void cReadAhead::StopActiveReader() {
  if (gActiveReader == nullptr) return;
  gActiveReader->Stop();
  // A hook set before the reader's runs after it.
  if (gActiveReader->mPreviousHook != nullptr) gActiveReader->mPreviousHook();
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
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mToRead.push_back(file);
  }
  mWork.notify_one();
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
  std::string reason;
  {
    std::unique_lock<std::mutex> lock(mMutex);
    mArrived.wait(lock, [&] { return file->mOpened || file->mEnded; });
    if (!file->mOpened) reason = file->mReason;
  }
  if (!file->mOpened) {
    stream.Close();
    RecordReaderFailure(reason);
    return false;
  }
  return stream.Attach(new cInput(*this, std::move(file)), 0, 0, 0);
}

size_t cReadAhead::PeakBytesAhead() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mPeakBytesAhead;
}

void cReadAhead::Release(sBuffer& buffer) {
  if (buffer.mBytes == nullptr) return;
  mBytesAhead -= buffer.mCapacity;
  buffer = sBuffer();
}

bool cReadAhead::TakeBuffer(sFile& file, sBuffer& buffer, bool& failed, std::string& reason) {
  std::unique_lock<std::mutex> lock(mMutex);
  if (buffer.mBytes != nullptr) {
    Release(buffer);
    mWork.notify_one();
  }
  mArrived.wait(lock, [&] { return !file.mBuffers.empty() || file.mEnded; });
  if (file.mBuffers.empty()) {
    failed = file.mFailed;
    reason = file.mReason;
    return false;
  }
  buffer = std::move(file.mBuffers.front());
  file.mBuffers.pop_front();
  return true;
}

void cReadAhead::Abandon(sFile& file, sBuffer& buffer) {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    file.mAbandoned = true;
    Release(buffer);
    for (sBuffer& unread : file.mBuffers) Release(unread);
    file.mBuffers.clear();
  }
  mWork.notify_one();
}

void cReadAhead::Stop() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopping = true;
  }
  mWork.notify_all();
  if (mReader.joinable()) mReader.join();
}

// The reader: opens the queued files in order and reads each until its end,
// until told to stop.
void cReadAhead::Read() {
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;) {
    mWork.wait(lock, [&] { return mStopping || !mToRead.empty(); });
    if (mStopping) return;
    const std::shared_ptr<sFile> file = std::move(mToRead.front());
    mToRead.pop_front();
    lock.unlock();
    intptr_t handle = -1;
    uint64_t size = 0;
    std::string reason;
    const bool opened = FxPlatformOpenFileForReading(file->mNative.c_str(), handle, size, reason);
    lock.lock();
    if (!opened) {
      file->mFailed = file->mEnded = true;
      file->mReason = reason;
    } else {
      file->mOpened = true;
    }
    mArrived.notify_one();
    if (!opened) continue;
    ReadFile(*file, handle, size, lock);
    lock.unlock();
    std::string ignored;
    FxPlatformCloseFile(handle, ignored);
    lock.lock();
  }
}

void cReadAhead::ReadFile(sFile& file, intptr_t handle, uint64_t size, std::unique_lock<std::mutex>& lock) {
  uint64_t read = 0;
  for (;;) {
    // What is left and one byte more: a read that answers just what is left
    // then ends the file without another read to find the end. A file that
    // grew since it was opened is read a whole buffer at a time.
    const size_t capacity =
        read > size ? mBufferBytes : static_cast<size_t>(std::min<uint64_t>(mBufferBytes, size - read + 1));
    mWork.wait(lock, [&] {
      return mStopping || file.mAbandoned || mBytesAhead == 0 || mBytesAhead + capacity <= mMaxBytesAhead;
    });
    if (mStopping || file.mAbandoned) return;
    mBytesAhead += capacity;
    mPeakBytesAhead = std::max(mPeakBytesAhead, mBytesAhead);
    lock.unlock();
    sBuffer buffer;
    buffer.mBytes.reset(new uint8_t[capacity]);
    buffer.mCapacity = capacity;
    std::string reason;
    const bool readable = FxPlatformReadFile(handle, buffer.mBytes.get(), capacity, buffer.mCount, reason);
    const size_t got = buffer.mCount;
    lock.lock();
    read += got;
    if (got != 0 && !file.mAbandoned)
      file.mBuffers.push_back(std::move(buffer));
    else
      Release(buffer);
    if (!readable) {
      file.mFailed = true;
      file.mReason = reason;
    }
    if (!readable || got == 0 || (got < capacity && read == size)) file.mEnded = true;
    mArrived.notify_one();
    if (file.mEnded) return;
  }
}
