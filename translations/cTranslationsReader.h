// The lines of a translations file read from a stream, once in order and
// again later from where each one stands.
//
// The file is UTF-16 little-endian text. Every U+FEFF is dropped wherever it
// stands, a line ends with its LF, and a last line without LF is never
// taken. The stream is not owned; it must stay open and unchanged for as
// long as lines are read again.
#pragma once

#include <cstdint>
#include <vector>

#include "API/core/FxTypes.h"

class cFxFile;

class cTranslationsReader {
 public:
  // Reads from where `stream` stands. False when it is not open or tells no
  // position.
  bool Start(cFxFile& stream);
  // Reads the next line, LF included, into `line` and its byte offset into
  // `offset`. False once the end of the file is met.
  bool ReadLine(std::vector<wchar16>& line, int64_t& offset);
  // As ReadLine, but only the line's key and the TAB after it go into
  // `line` (the whole line when it holds no TAB): where only the key counts,
  // the texts are passed over without being copied.
  bool ReadKey(std::vector<wchar16>& line, int64_t& offset);
  // Puts the reading at the line that starts at `offset`; false when the
  // stream cannot go there.
  bool MoveTo(int64_t offset);

 private:
  // ReadLine, keeping the units up to the first TAB only when `keyOnly`.
  bool Read(std::vector<wchar16>& line, int64_t& offset, bool keyOnly);
  // Takes the next units from the stream into mUnits; false at its end.
  bool Refill();

  cFxFile* mStream = nullptr;
  // Units last read from the stream, the file offset of the first, and the
  // next one to take.
  std::vector<wchar16> mUnits;
  size_t mHeld = 0;  // units of mUnits read (it keeps room for a whole read)
  int64_t mUnitsOffset = 0;
  size_t mNextUnit = 0;
};
