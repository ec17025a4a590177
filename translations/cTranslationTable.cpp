#include "translations/cTranslationTable.h"

#include <algorithm>
#include <numeric>

#include "API/core/FxUtf8.h"
#include "translations/TranslationsColumns.h"
#include "translations/TranslationsLine.h"
#include "xml/cFxFile.h"

namespace {
// The enumeration's place until the first rewind: past every path.
constexpr size_t cNoFile = SIZE_MAX;
// The stream's positions are 32-bit.
constexpr int64_t cLastSeekableOffset = 0x7FFFFFFF;
// Every this many paths one is stored whole.
constexpr size_t cRestartInterval = 16;

bool UnitsEqual(const std::vector<wchar16>& line, sUnitSpan span, const wchar16* text) {
  for (int32_t i = span.mStart; i < span.mStop; ++i, ++text) {
    if (*text == 0 || line[i] != *text) return false;
  }
  return *text == 0;
}

std::string BytesOf(const wchar16* units, size_t length) {
  std::string bytes;
  FxAppendUnitBytes(units, length, bytes);
  return bytes;
}
}  // namespace

cTranslationTable::cTranslationTable() : mFlavour(eFlavour::Game), mFileCursor(cNoFile) {}

cTranslationTable::~cTranslationTable() = default;

void cTranslationTable::Clear() {
  mPaths.clear();
  mRestarts.clear();
  mPathRuns.clear();
  mRuns.clear();
  mLastPath.clear();
  mInOrder = true;
  mFileCursor = cNoFile;
  mCursorPath.clear();
  mRecords.Reset(&mReader, mFlavour);
}

bool cTranslationTable::Read(cFxFile& stream) {
  Clear();
  // A stream that is not open reads as one empty line, which is malformed.
  if (!mReader.Start(stream)) return false;

  // Reused from line to line, so reading costs no allocation per unit. Only
  // the key counts here: whether the line is well formed, its flavour and
  // its path.
  std::vector<wchar16> line;
  sTranslationsLineLayout layout;
  std::string path;
  // Whether the line before was taken, so that one of the same path
  // continues its run.
  bool previousTaken = false;
  int64_t offset = 0;
  while (mReader.ReadKey(line, offset)) {
    const bool malformed = !LayOutTranslationsLine(line.data(), static_cast<int32_t>(line.size()), layout);
    if (malformed || offset > cLastSeekableOffset) {
      Clear();
      return false;
    }
    if (!IsOfFlavour(line, layout)) {
      previousTaken = false;
      continue;
    }
    path.clear();
    FxAppendUnitBytes(line.data() + layout.mPath.mStart,
                      static_cast<size_t>(layout.mPath.mStop - layout.mPath.mStart), path);
    if (previousTaken && path == mLastPath) ++mRuns.back().mCount;
    else AddRun(path, {static_cast<uint32_t>(offset), 1});
    previousTaken = true;
  }
  if (!mInOrder) SortPaths();
  std::string().swap(mLastPath);
  return true;
}

void cTranslationTable::AddRun(std::string_view path, sLineRun run) {
  if (mPathRuns.empty() || path != mLastPath) {
    if (!mPathRuns.empty() && path < mLastPath) mInOrder = false;
    AppendPath(path);
    mPathRuns.push_back(static_cast<uint32_t>(mRuns.size()));
  }
  mRuns.push_back(run);
}

void cTranslationTable::AppendPath(std::string_view path) {
  size_t shared = 0;
  if (mPathRuns.size() % cRestartInterval == 0) {
    mRestarts.push_back(static_cast<uint32_t>(mPaths.size()));
  } else {
    const size_t most = std::min(path.size(), mLastPath.size());
    while (shared < most && path[shared] == mLastPath[shared]) ++shared;
  }
  FxAppendCount(shared, mPaths);
  FxAppendCount(path.size() - shared, mPaths);
  mPaths.append(path.substr(shared));
  mLastPath.assign(path);
}

void cTranslationTable::SortPaths() {
  // Only here is every path held whole at once, for a file whose paths
  // stand out of order: one after the other in one buffer of the size they
  // need, the front-coded form given up before the sorted one is made.
  size_t total = 0;
  for (size_t at = 0; at < mPaths.size();) {
    total += FxReadCount(mPaths, at);
    const size_t own = FxReadCount(mPaths, at);
    total += own;
    at += own;
  }
  std::string whole;
  whole.reserve(total);
  std::vector<uint32_t> starts;
  starts.reserve(mPathRuns.size() + 1);
  std::string path;
  for (size_t at = 0; at < mPaths.size();) {
    DecodePath(at, path);
    starts.push_back(static_cast<uint32_t>(whole.size()));
    whole += path;
  }
  starts.push_back(static_cast<uint32_t>(whole.size()));
  std::string().swap(mPaths);
  const auto pathAt = [&whole, &starts](uint32_t index) {
    return std::string_view(whole).substr(starts[index], starts[index + 1] - starts[index]);
  };

  std::vector<uint32_t> order(mPathRuns.size());
  std::iota(order.begin(), order.end(), 0u);
  // Stable, so the runs of a path that stands several times keep file order.
  std::stable_sort(order.begin(), order.end(), [&pathAt](uint32_t a, uint32_t b) { return pathAt(a) < pathAt(b); });

  std::vector<sLineRun> runs;
  runs.swap(mRuns);
  std::vector<uint32_t> pathRuns;
  pathRuns.swap(mPathRuns);
  mRestarts.clear();
  mLastPath.clear();
  for (uint32_t index : order) {
    const size_t end = index + 1 < pathRuns.size() ? pathRuns[index + 1] : runs.size();
    for (size_t run = pathRuns[index]; run < end; ++run) AddRun(pathAt(index), runs[run]);
  }
  mInOrder = true;
}

void cTranslationTable::DecodePath(size_t& at, std::string& path) const {
  const size_t shared = FxReadCount(mPaths, at);
  const size_t own = FxReadCount(mPaths, at);
  path.resize(shared);
  path.append(mPaths, at, own);
  at += own;
}

int64_t cTranslationTable::FindPath(const std::string& wanted) const {
  std::string path;
  // The last path stored whole that does not come after the one wanted.
  size_t low = 0;
  size_t high = mRestarts.size();
  while (high - low > 1) {
    const size_t middle = low + (high - low) / 2;
    size_t at = mRestarts[middle];
    DecodePath(at, path);
    if (wanted < path) high = middle;
    else low = middle;
  }
  if (mRestarts.empty()) return -1;
  size_t at = mRestarts[low];
  const size_t last = std::min(mPathRuns.size(), (low + 1) * cRestartInterval);
  for (size_t index = low * cRestartInterval; index < last; ++index) {
    DecodePath(at, path);
    if (path == wanted) return static_cast<int64_t>(index);
    if (wanted < path) break;
  }
  return -1;
}

void cTranslationTable::RewindFiles() {
  mFileCursor = 0;
  mCursorAt = 0;
  mCursorPath.clear();
}

bool cTranslationTable::GetNextFile(cFxWString& path) {
  if (mFileCursor >= mPathRuns.size()) return false;
  DecodePath(mCursorAt, mCursorPath);
  std::u16string units;
  FxAppendUnitsOfBytes(mCursorPath.data(), mCursorPath.size(), units);
  path = units.empty() ? cFxWString() : cFxWString(units.data(), static_cast<uint32_t>(units.size()));
  ++mFileCursor;
  return true;
}

cFileRecords& cTranslationTable::GetRecords(const cFxWString& path) {
  mRecords.Reset(&mReader, mFlavour);
  const std::string wanted = BytesOf(path.c_str(), path.Length());
  // The drivers ask for the path the enumeration has just given.
  const bool enumerated = mFileCursor != cNoFile && mFileCursor != 0 && mFileCursor <= mPathRuns.size() &&
                          wanted == mCursorPath;
  const int64_t index = enumerated ? static_cast<int64_t>(mFileCursor - 1) : FindPath(wanted);
  if (index < 0) return mRecords;

  const size_t end = static_cast<size_t>(index) + 1 < mPathRuns.size() ? mPathRuns[index + 1] : mRuns.size();
  size_t lines = 0;
  for (size_t run = mPathRuns[index]; run < end; ++run) lines += mRuns[run].mCount;
  mRecords.Reserve(lines);
  std::vector<wchar16> line;
  sTranslationsLineLayout layout;
  int64_t offset = 0;
  for (size_t run = mPathRuns[index]; run < end; ++run) {
    if (!mReader.MoveTo(mRuns[run].mOffset)) break;
    bool complete = true;
    for (uint32_t i = 0; i < mRuns[run].mCount && complete; ++i) {
      // The same checks as Read's, for a file changed since.
      complete = mReader.ReadKey(line, offset) &&
                 LayOutTranslationsLine(line.data(), static_cast<int32_t>(line.size()), layout) &&
                 IsOfFlavour(line, layout);
      if (complete)
        mRecords.Add(line.data() + layout.mId.mStart, static_cast<size_t>(layout.mId.mStop - layout.mId.mStart),
                     static_cast<uint32_t>(offset));
    }
    if (!complete) break;
  }
  mRecords.Seal();
  return mRecords;
}

bool cTranslationTable::IsOfFlavour(const std::vector<wchar16>& line,
                                    const sTranslationsLineLayout& layout) const {
  return UnitsEqual(line, layout.mFlavour, kTranslationsColumns::FlavourLabel(mFlavour));
}
