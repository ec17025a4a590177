#include "translations/cTranslationsReader.h"

#include "translations/TranslationsLine.h"
#include "xml/cFxFile.h"

namespace {
// Units taken from the stream at a time, also right after a move: the
// stream fills its whole buffer from the file after every seek whatever
// little is asked of it, so taking less would only make the next line
// asked for, a few lines further on as a rule, cost another seek and
// another full read of the same bytes.
constexpr size_t cReadUnits = 32 * 1024;
}  // namespace

bool cTranslationsReader::Start(cFxFile& stream) {
  mStream = &stream;
  mHeld = 0;
  mNextUnit = 0;
  int position = 0;
  if (!stream.IsOpen() || !stream.Tell(position)) return false;
  mUnitsOffset = position;
  return true;
}

bool cTranslationsReader::ReadLine(std::vector<wchar16>& line, int64_t& offset) {
  return Read(line, offset, false);
}

bool cTranslationsReader::ReadKey(std::vector<wchar16>& line, int64_t& offset) {
  return Read(line, offset, true);
}

bool cTranslationsReader::Read(std::vector<wchar16>& line, int64_t& offset, bool keyOnly) {
  using namespace kTranslationsLine;
  line.clear();
  offset = mUnitsOffset + 2 * static_cast<int64_t>(mNextUnit);
  bool keeping = true;
  for (;;) {
    // A line cut short by the end of the file is never taken.
    if (mNextUnit == mHeld && !Refill()) return false;
    const wchar16* const units = mUnits.data();
    const size_t end = mHeld;
    size_t i = mNextUnit;
    // The units between two stops go into the line as a whole: the stops
    // are the line's end, a byte-order mark (dropped) and, while the key is
    // kept alone, its TAB.
    for (;;) {
      const wchar16 keyEnd = keeping && keyOnly ? cTab : cLineEnd;
      const size_t stop = FindAnyUnit(units, i, end, cLineEnd, cByteOrderMark, keyEnd);
      if (keeping) line.insert(line.end(), units + i, units + stop);
      if (stop == end) break;
      if (units[stop] == cLineEnd) {
        if (keeping) line.push_back(cLineEnd);
        mNextUnit = stop + 1;
        return true;
      }
      if (units[stop] == cTab) {
        line.push_back(cTab);
        keeping = false;
      }
      i = stop + 1;
    }
    mNextUnit = end;
  }
}

bool cTranslationsReader::Refill() {
  mUnitsOffset += 2 * static_cast<int64_t>(mHeld);
  mNextUnit = 0;
  // Sized once: a refill writes over the units it does not keep.
  if (mUnits.size() < cReadUnits) mUnits.resize(cReadUnits);
  const int count = mStream ? mStream->Read(mUnits.data(), static_cast<int>(2 * cReadUnits)) : 0;
  // A last byte without its partner is no unit.
  const size_t units = count > 0 ? static_cast<size_t>(count) / 2 : 0;
  mHeld = units;
  // The file is little-endian: the bytes read are the units as they are,
  // unless this machine orders them the other way.
  const uint16_t probe = 1;
  if (*reinterpret_cast<const uint8_t*>(&probe) == 0)
    for (size_t i = 0; i < mHeld; ++i) mUnits[i] = static_cast<wchar16>((mUnits[i] >> 8) | (mUnits[i] << 8));
  return units != 0;
}

bool cTranslationsReader::MoveTo(int64_t offset) {
  // Lines are mostly asked for in file order: the next one is often in the
  // units held, or where the stream stands.
  const int64_t held = 2 * static_cast<int64_t>(mHeld);
  if (offset >= mUnitsOffset && offset < mUnitsOffset + held) {
    mNextUnit = static_cast<size_t>((offset - mUnitsOffset) / 2);
    return true;
  }
  const bool atStream = offset == mUnitsOffset + held;
  mHeld = 0;
  mNextUnit = 0;
  mUnitsOffset = offset;
  if (atStream) return mStream != nullptr;
  return mStream && mStream->Seek(static_cast<int>(offset));
}
