// Helpers shared by the test suites: real temporary directories, whole-file
// reads and writes, and running the built program as a user would.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace test {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& Path() const { return mPath; }
  std::string operator/(const std::string& relative) const { return (mPath / relative).string(); }

 private:
  fs::path mPath;
};

// Reads a whole file as bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Writes bytes to a file, creating parent directories.
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// UTF-16LE bytes of a UTF-16 text (as the translations file holds it).
std::string Utf16Le(const std::u16string& text);
// UTF-16 text of UTF-8 source text (for readable expectations).
std::u16string Utf16(const std::string& utf8);

struct ProcessResult {
  int status = -1;      // exit status as a shell sees it (0..255)
  std::string out;      // standard output
  std::string err;      // standard error
};

// Runs `exe` with `args` in `workingDirectory` (through the shell, arguments
// quoted) and captures its output and exit status.
ProcessResult Run(const std::string& exe, const std::vector<std::string>& args,
                  const std::string& workingDirectory);
// The built glossmill program.
ProcessResult RunGlossmill(const std::vector<std::string>& args, const std::string& workingDirectory);

#ifndef _WIN32
// Runs `exe` with `args` in `workingDirectory` (directly, no shell) with
// every file it writes limited to `maxFileBytes` (RLIMIT_FSIZE, SIGXFSZ
// ignored): a write beyond the limit fails with EFBIG ("File too large"),
// as on a full disk, and the program goes on. Standard output and error
// come back through pipes, which the limit does not cut.
ProcessResult RunWithFileSizeLimit(const std::string& exe, const std::vector<std::string>& args,
                                   const std::string& workingDirectory, uint64_t maxFileBytes);
ProcessResult RunGlossmillWithFileSizeLimit(const std::vector<std::string>& args,
                                            const std::string& workingDirectory,
                                            uint64_t maxFileBytes);
#endif

// Paths of the built program and the stand-in serializer.
std::string GlossmillExe();
std::string BruxExe();
std::string SourceDir();

}  // namespace test
