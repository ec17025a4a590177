// The lines one data file has in a translations file, found by id while the
// data file is walked.
//
// Only an index is held: for each line a hash of its id and where the line
// stands, eight bytes a line whatever its texts. A line is read again from
// the stream when a string asks for its id, so memory does not follow the
// length of the texts, and a data file's strings, met in the order their
// lines were written, read those lines in file order.
//
// A lookup compares ids exactly, code unit by code unit: the hash only
// narrows the lines read.
#pragma once

#include <cstdint>
#include <vector>

#include "translations/TranslationsColumns.h"
#include "translations/TranslationsLine.h"
#include "translations/sTranslationRecord.h"

class cTranslationsReader;

// Which line a string gets when several lines of its data file carry its id.
enum class eDuplicateIds { FirstWins, LastWins };

class cFileRecords {
 public:
  // No lines: every lookup finds nothing.
  cFileRecords() = default;
  cFileRecords(const cFileRecords&) = delete;
  cFileRecords& operator=(const cFileRecords&) = delete;

  // Number of lines.
  size_t Size() const { return mIndex.size(); }

  // The record of the line whose id is `id` (still escaped, as the file
  // holds it): the first such line in file order or the last, as
  // `duplicates` says; null when no line carries the id, or when the line no
  // longer reads as it did. The record stays valid until a later Find finds
  // one: a Find that finds nothing leaves it as it was.
  const sTranslationRecord* Find(const cFxWString& id, eDuplicateIds duplicates);

 private:
  friend class cTranslationTable;

  // One line: the hash of its id and the byte offset where it starts.
  struct sEntry {
    uint32_t mHash;
    uint32_t mOffset;
  };

  // Starts an index of `flavour`'s lines read through `reader`.
  void Reset(cTranslationsReader* reader, eFlavour flavour);
  // Makes room for `lines` lines, so that the index holds no more.
  void Reserve(size_t lines);
  // Adds the line at `offset` whose id is units [id, id + length).
  void Add(const wchar16* id, size_t length, uint32_t offset);
  // Orders the index for lookups once every line is added.
  void Seal();
  // Reads the line at `offset` into mLine and mLayout; false when it is no
  // longer a line of the flavour.
  bool ReadLineAt(uint32_t offset);

  cTranslationsReader* mReader = nullptr;
  eFlavour mFlavour = eFlavour::Game;
  // Ordered by hash, lines of equal hash in file order.
  std::vector<sEntry> mIndex;
  sTranslationRecord mRecord;
  // Reused from lookup to lookup.
  std::vector<wchar16> mLine;
  sTranslationsLineLayout mLayout;
};
