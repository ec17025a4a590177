// Helpers shared by the test suites: real temporary directories, whole-file
// reads and writes, and running the built program as a user would.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
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
// Every regular file below `root`, by its path relative to `root` with "/"
// between names, with its bytes.
typedef std::map<std::string, std::string> tFiles;
tFiles FilesBelow(const fs::path& root);

// UTF-16LE bytes of a UTF-16 text (as the translations file holds it).
std::string Utf16Le(const std::u16string& text);
// UTF-16 text of UTF-8 source text (for readable expectations).
std::u16string Utf16(const std::string& utf8);

// The platform's path separator, and a path written with "/" in the
// platform's own form.
#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif
std::string Native(const std::string& path);
// The internal "@os:" form of an absolute native path: "@os:/home/u/a.xml",
// "@os:c/Users/u/a.xml" for C:\Users\u\a.xml.
std::string InternalPath(const std::string& absolutePath);

// A text as the platform's standard output carries it: on Windows every
// line ends in CR LF.
std::string ConsoleText(const std::string& text);

// Sets an environment variable for one scope (children started meanwhile
// see it), or removes it (`present` false, or the name alone), and puts the
// old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const std::string& name, const std::string& value, bool present = true);
  explicit ScopedEnvironment(const std::string& name) : ScopedEnvironment(name, "", false) {}
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string mName;
  bool mHad;
  std::string mOld;
};

// The exit status of a program ended by a fatal error: -1, which a POSIX
// shell reports as 255.
#ifdef _WIN32
constexpr int kFatalExitStatus = -1;
// The system's words for a file that cannot be written because a folder
// stands in its place.
constexpr const char* kFolderInTheWay = "Access denied";
#else
constexpr int kFatalExitStatus = 255;
constexpr const char* kFolderInTheWay = "Is a directory";
#endif

struct ProcessResult {
  int status = -1;  // exit status as the platform's shell reports it
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `exe` with `args` in `workingDirectory` (started directly, so every
// argument arrives unchanged) and captures its output and exit status. A
// program that cannot be started gives status -1 and says so in `err`.
ProcessResult Run(const std::string& exe, const std::vector<std::string>& args, const std::string& workingDirectory);
// The built glossmill program.
ProcessResult RunGlossmill(const std::vector<std::string>& args, const std::string& workingDirectory);

// Paths of the built program and the stand-in serializer (native form).
std::string GlossmillExe();
std::string BruxExe();
std::string ProbeExe();  // the child program of tests/support/probe
std::string SourceDir();

}  // namespace test
