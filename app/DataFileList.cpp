#include "app/DataFileList.h"

#include "API/core/FxUtf8.h"

namespace {

std::string Encode(const cFxWString& path) {
  std::string bytes;
  bytes.reserve(path.Length());
  FxAppendUnitBytes(path.c_str(), path.Length(), bytes);
  return bytes;
}

cFxWString Decode(const std::string& bytes) {
  std::u16string units;
  units.reserve(bytes.size());
  FxAppendUnitsOfBytes(bytes.data(), bytes.size(), units);
  return cFxWString(units.data(), static_cast<uint32_t>(units.size()));
}

}  // namespace

cDataFileList::cIterator::cIterator(const std::string* bytes, size_t next)
    : mBytes(bytes), mNext(next) {}

void cDataFileList::cIterator::Load() {
  const size_t shared = FxReadCount(*mBytes, mNext);
  const size_t own = FxReadCount(*mBytes, mNext);
  mPath.resize(shared);
  mPath.append(*mBytes, mNext, own);
  mNext += own;
}

cFxWString cDataFileList::cIterator::operator*() const { return Decode(mPath); }

cDataFileList::cIterator& cDataFileList::cIterator::operator++() {
  if (mNext < mBytes->size()) {
    Load();
  } else {
    // Past the last entry: equal to end().
    mNext = mBytes->size() + 1;
  }
  return *this;
}

cDataFileList::cIterator cDataFileList::begin() const {
  if (mBytes.empty()) return end();
  cIterator first(&mBytes, 0);
  first.Load();
  return first;
}

// The iterator of an entry stands just past it, so the one past the last
// entry needs a position of its own.
cDataFileList::cIterator cDataFileList::end() const { return cIterator(&mBytes, mBytes.size() + 1); }

void cDataFileList::clear() {
  // Gives the memory back: a list of a large tree should not outlive its use.
  std::string().swap(mBytes);
  std::string().swap(mLast);
  mCount = 0;
}

void cDataFileList::Append(const cFxWString& path) { AppendEncoded(Encode(path)); }

void cDataFileList::AppendEncoded(const std::string& path) {
  // Bytes compare as the units they encode: unsigned, a proper prefix first.
  if (mCount != 0 && !(mLast < path)) return;
  size_t shared = 0;
  while (shared < mLast.size() && shared < path.size() && mLast[shared] == path[shared]) ++shared;
  FxAppendCount(shared, mBytes);
  FxAppendCount(path.size() - shared, mBytes);
  mBytes.append(path, shared, std::string::npos);
  mLast = path;
  ++mCount;
}

void cDataFileList::Erase(const cIterator& at) {
  cDataFileList kept;
  for (cIterator it = begin(); it != end(); ++it)
    if (it != at) kept.AppendEncoded(it.mPath);
  mBytes.swap(kept.mBytes);
  mLast.swap(kept.mLast);
  mCount = kept.mCount;
}
