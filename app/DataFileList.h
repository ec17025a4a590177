// The ordered list of a run's data files, kept compact: a tree of tens of
// thousands of files must not cost the run more memory than the files it
// streams one at a time.
//
// The paths are appended in their final order (the walk produces them
// sorted), so each is stored as the number of leading bytes it shares with
// the path before it and the bytes that follow: the directories a file
// lies in cost next to nothing, and a file costs about its own name. The
// bytes are the path's UTF-16 code units each encoded on its own in one to
// three bytes (as UTF-8 encodes a character below U+10000, a surrogate
// included), which keeps every name exactly and keeps the order of the
// units in the order of the bytes.
//
// Iteration yields each path as a fresh cFxWString, so a loop
//   for (const cFxWString& path : list)
// reads like one over a container of strings.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>

#include "API/core/cFxString.h"

class cDataFileList {
 public:
  class cIterator {
   public:
    typedef std::input_iterator_tag iterator_category;
    typedef cFxWString value_type;
    typedef std::ptrdiff_t difference_type;
    typedef const cFxWString* pointer;
    typedef cFxWString reference;

    cFxWString operator*() const;
    cIterator& operator++();
    bool operator==(const cIterator& other) const { return mNext == other.mNext; }
    bool operator!=(const cIterator& other) const { return mNext != other.mNext; }

   private:
    friend class cDataFileList;
    cIterator(const std::string* bytes, size_t next);
    // Decodes the entry at mNext into mPath; mNext moves past it.
    void Load();

    const std::string* mBytes = nullptr;
    size_t mNext = 0;     // where the entry after the current one begins
    std::string mPath;    // the current path's bytes
  };

  cIterator begin() const;
  cIterator end() const;
  size_t size() const { return mCount; }
  bool empty() const { return mCount == 0; }
  void clear();

  // Adds `path` at the end. It must sort after every path in the list (by
  // UTF-16 code units, a proper prefix first); a path that does not is
  // left out, so the list stays ordered and free of duplicates.
  void Append(const cFxWString& path);
  // Takes the path `at` points at out of the list.
  void Erase(const cIterator& at);

  // What the list holds, in bytes (for the benchmarks).
  size_t ByteSize() const { return mBytes.size(); }

 private:
  void AppendEncoded(const std::string& path);

  std::string mBytes;
  std::string mLast;  // the last path's bytes, to share a prefix with
  size_t mCount = 0;
};
