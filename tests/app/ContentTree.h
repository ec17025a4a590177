// A temporary content tree in which the built program is run, and what the
// app suite's tests share: the standard headers they use and the checks of
// a run's output.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/Documents.h"
#include "support/TestSupport.h"

namespace test {

// Expects the same files with the same bytes, each file that differs named
// on its own rather than whole trees printed.
void ExpectFiles(const tFiles& actual, const tFiles& expected);

// Expects a run's exit status, standard output and standard error, each
// compared whole.
void ExpectRun(const ProcessResult& result, int status, const std::string& out, const std::string& err);
inline void ExpectSameRun(const ProcessResult& result, const ProcessResult& expected) {
  ExpectRun(result, expected.status, expected.out, expected.err);
}

// The keys of a UTF-16LE translations file, and a translations file that
// gives each key `text` as its French text, numbered from 1 ("text 1",
// "text 2", ...) when `numbered`.
std::vector<std::u16string> Keys(const std::string& translations);
std::string FrenchFor(const std::vector<std::u16string>& keys, const std::u16string& text, bool numbered = false);

// Runs glossmill in `directory` with the environment `variables` (NAME=value)
// set for the run; a NAME alone is removed for it.
ProcessResult RunGlossmillWith(const tTexts& variables, const std::vector<std::string>& args,
                               const std::string& directory);

// What the stand-in serializer wrote to `aliveFile`: how many of its calls
// are under way now, and how many were at most at once.
std::pair<long, long> SerializerCalls(const std::string& aliveFile);

class ContentTree {
 public:
  std::string At(const std::string& relative) const { return mTree / relative; }
  void Write(const std::string& relative, const std::string& bytes) const { WriteFile(At(relative), bytes); }
  std::string Read(const std::string& relative) const { return ReadFile(At(relative)); }
  ProcessResult Glossmill(const std::vector<std::string>& args, const std::string& start = "") const {
    return RunGlossmill(args, At(start));
  }
  // The progress line of a file named relative to the tree, "/" separated;
  // the lines of files in order, of `total` files when not their count.
  std::string Progress(int position, int total, const std::string& relative) const;
  std::string Progress(const tTexts& relatives, int total = 0) const;
  // The tree's path as the program sees it, links resolved.
  std::string Canonical() const { return std::filesystem::canonical(mTree.Path()).string(); }

  // The stand-in serializer where a run starts, and a ".bin" made by it
  // from XML; the XML a ".bin" holds.
  void UseSerializer(const std::string& start = "") const;
  void WriteBin(const std::string& relative, const std::string& xml) const;
  std::string ReadBin(const std::string& relative) const;
  // Runs glossmill (in `start`, relative) with the serializer logging its
  // calls; `calls` gets one line per call, the tree's own path written as
  // "." and "/" between names.
  ProcessResult GlossmillLoggingSerializer(const std::vector<std::string>& args, tTexts& calls,
                                           const std::string& start = "") const;

  // Every regular file below the tree, relative with "/" between names.
  tFiles Files() const { return FilesBelow(mTree.Path()); }
  const std::filesystem::path& Path() const { return mTree.Path(); }

 private:
  TempDir mTree;
};

}  // namespace test
