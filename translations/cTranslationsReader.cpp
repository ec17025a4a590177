#include "translations/cTranslationsReader.h"

#include <algorithm>

#include "translations/TranslationsLine.h"
#include "xml/cFxFile.h"

namespace {
// Units taken from the stream at a time, reading on.
constexpr size_t cReadUnits = 32 * 1024;
// Units taken first after a move elsewhere: a line read out of order is
// rarely followed by the lines after it, so a move reads little, and the
// reads grow back as the lines run on.
constexpr size_t cFirstReadUnits = 2 * 1024;
}  // namespace

bool cTranslationsReader::Start(cFxFile& stream) {
  mStream = &stream;
  mReadUnits = cReadUnits;
  mUnits.clear();
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
  line.clear();
  offset = mUnitsOffset + 2 * static_cast<int64_t>(mNextUnit);
  bool keeping = true;
  for (;;) {
    // A line cut short by the end of the file is never taken.
    if (mNextUnit == mUnits.size() && !Refill()) return false;
    const wchar16* const units = mUnits.data();
    const size_t end = mUnits.size();
    size_t i = mNextUnit;
    for (; keeping && i != end && units[i] != kTranslationsLine::cLineEnd; ++i) {
      if (units[i] == kTranslationsLine::cByteOrderMark) continue;
      line.push_back(units[i]);
      if (keyOnly && units[i] == kTranslationsLine::cTab) keeping = false;
    }
    while (i != end && units[i] != kTranslationsLine::cLineEnd) ++i;
    if (i != end) {
      if (keeping) line.push_back(kTranslationsLine::cLineEnd);
      mNextUnit = i + 1;
      return true;
    }
    mNextUnit = end;
  }
}

bool cTranslationsReader::Refill() {
  mUnitsOffset += 2 * static_cast<int64_t>(mUnits.size());
  mNextUnit = 0;
  mUnits.resize(mReadUnits);
  const int count = mStream ? mStream->Read(mUnits.data(), static_cast<int>(2 * mReadUnits)) : 0;
  mReadUnits = std::min(2 * mReadUnits, cReadUnits);
  // A last byte without its partner is no unit.
  const size_t units = count > 0 ? static_cast<size_t>(count) / 2 : 0;
  mUnits.resize(units);
  // The file is little-endian: the bytes read are the units as they are,
  // unless this machine orders them the other way.
  const uint16_t probe = 1;
  if (*reinterpret_cast<const uint8_t*>(&probe) == 0)
    for (wchar16& unit : mUnits) unit = static_cast<wchar16>((unit >> 8) | (unit << 8));
  return units != 0;
}

bool cTranslationsReader::MoveTo(int64_t offset) {
  // Lines are mostly asked for in file order: the next one is often in the
  // units held, or where the stream stands.
  const int64_t held = 2 * static_cast<int64_t>(mUnits.size());
  if (offset >= mUnitsOffset && offset < mUnitsOffset + held) {
    mNextUnit = static_cast<size_t>((offset - mUnitsOffset) / 2);
    return true;
  }
  const bool atStream = offset == mUnitsOffset + held;
  mUnits.clear();
  mNextUnit = 0;
  mUnitsOffset = offset;
  if (atStream) return mStream != nullptr;
  mReadUnits = cFirstReadUnits;
  return mStream && mStream->Seek(static_cast<int>(offset));
}
