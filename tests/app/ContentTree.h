// A temporary content tree in which the built program is run, for the tests
// of the runs.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/Documents.h"
#include "support/TestSupport.h"

namespace test {

// Expects the same files with the same bytes, each file that differs named
// on its own rather than whole trees printed.
void ExpectFiles(const tFiles& actual, const tFiles& expected);

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
  // The progress line of a file named relative to the tree, "/" separated.
  std::string Progress(int position, int total, const std::string& relative) const;

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
