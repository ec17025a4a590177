// A translations file held line by line with every byte kept, for the
// programs that edit it in place or compare it: each line can be changed
// in one text column while all other bytes of the file stay as they were.
//
// Lines are read as the update reads them (16-bit little-endian units,
// U+FEFF dropped, LF ends a line, a line without a TAB after its first unit
// is malformed, an unfinished last line is not a line). An unfinished last
// line and an odd last byte are kept as they stand and written back.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "translations/TranslationsLine.h"

struct sTranslationsEntry {
  std::u16string mStored;  // the line as stored, U+FEFF and LF included
  std::u16string mLine;    // the line as read: without U+FEFF
  sTranslationsLineLayout mLayout;
  std::u16string mKey;
  std::u16string mPath;
  std::u16string mFlavour;
  // 1 for the first line of its key, 2 for the next line with the same
  // key, and so on.
  int mOccurrence = 1;
  bool mChanged = false;

  // The text the update reads at `index`; empty beyond the line's columns.
  std::u16string GetText(size_t index) const;
  // Puts `text` into column `index` (see SetTextColumn).
  void SetText(size_t index, const std::u16string& text);
};

// The name an exchange file gives a line: its key, and for the second and
// later lines with the same key a TAB and the occurrence number (a key can
// hold no TAB, so no two lines share a name).
std::u16string MakeUnitId(const sTranslationsEntry& entry);

class cTranslationsFile {
 public:
  // Reads the file at `path`. False with a message in `error` when it
  // cannot be read, is not UTF-16LE text beginning with its byte-order
  // mark, or holds a malformed line.
  bool Load(const std::filesystem::path& path, std::string& error);
  // Writes the file to `path` through a temporary sibling (the path and
  // ".temp") that then takes its place in one step; unchanged lines are
  // written as they were read. False with a message, the file at `path`
  // untouched and the temporary file removed, when that fails.
  bool Save(const std::filesystem::path& path, std::string& error) const;

  const std::vector<sTranslationsEntry>& Entries() const { return mEntries; }
  std::vector<sTranslationsEntry>& Entries() { return mEntries; }

 private:
  std::vector<sTranslationsEntry> mEntries;
  std::string mTail;  // bytes after the last LF
};

// Writes `bytes` to `path` through a temporary sibling (the path and
// ".temp", always a new file: whatever stood at that name is removed as
// itself first, so a link planted there is never written through) that
// then replaces it in one step; false with a message in `error`, `path`
// untouched, when that fails.
bool ReplaceFileContents(const std::filesystem::path& path, const std::string& bytes,
                         std::string& error);
// For a library that writes a file only by a name of its own opening:
// `write` makes the file at the name it is given, in a new directory only
// this user may change, and answers whether it did; `bytes` then gets what
// it wrote, and the directory goes. False with a message in `error` when
// that fails.
bool WriteThroughPrivateFile(const std::function<bool(const std::filesystem::path&)>& write,
                             std::string& bytes, std::string& error);
// Whether two paths name one file: the same file through any name or link,
// or, where neither exists yet, the same name.
bool NamesSameFile(const std::filesystem::path& a, const std::filesystem::path& b);
// The temporary sibling of `path`: the path followed by ".temp".
std::filesystem::path TemporaryPathFor(const std::filesystem::path& path);
