#include "app/SerializerStart.h"

#include <cstdio>
#include <string>
#include <vector>

#include "Core/platform/FxPlatform.h"

namespace {

// wine's own diagnostics are off unless the user asked for some.
const char* const cQuietWine[] = {"WINEDEBUG=-all", nullptr};

void Say(const std::string& line) {
  // What the program printed before stands before it.
  std::fflush(stdout);
  FxPlatformWriteStdErr(line.c_str());
}

void SayNotRun() { Say("Error: could not run brux.exe\n"); }

// How every call of this run starts the serializer.
struct sStart {
  bool mFound = false;        // a brux.exe was found
  bool mThroughWine = false;  // it is a Windows program, which wine starts here
  std::string mSerializer;    // brux.exe, from the root
  std::string mWine;          // the wine that starts it, from the root; empty when none can
  bool mWineNamed = false;    // mWine is the program GLOSSMILL_WINE names
  sFxProgramSetup mSetup;     // what the calls' environment holds besides the program's
};

void SayWineNotStarted(const std::string& wine, bool named) {
  Say("glossmill: could not start wine '" + wine + "'" + (named ? " (GLOSSMILL_WINE)" : "") + ": " +
      FxPlatformLastErrorText() + "\n");
}

// The wine that starts a Windows brux.exe, into `start`; said when there is
// none.
void FindWine(sStart& start) {
  const char* named = FxPlatformGetEnvironment(kSerializer::cWineVariable);
  start.mWineNamed = named != nullptr && *named != '\0';
  // wine is looked for along PATH only: a file of that name in the content
  // tree is no wine.
  if (FxPlatformFindProgram(start.mWineNamed ? named : kSerializer::cWine, false, start.mWine).IsOk()) {
    if (FxPlatformGetEnvironment("WINEDEBUG") == nullptr) start.mSetup.mEnvironment = cQuietWine;
    return;
  }
  if (start.mWineNamed)
    SayWineNotStarted(named, true);
  else
    Say(std::string("glossmill: brux.exe is a Windows program and no wine was found: install wine or set ") +
        kSerializer::cWineVariable + "\n");
}

sStart FindSerializer() {
  sStart start;
  start.mFound = FxPlatformFindProgram(kSerializer::cProgram, true, start.mSerializer).IsOk();
  start.mThroughWine = start.mFound && FxPlatformIsWindowsProgram(start.mSerializer.c_str());
  if (start.mThroughWine) FindWine(start);
  return start;
}

const sStart& Start() {
  static const sStart start = FindSerializer();
  return start;
}

// A native path as a Windows program under wine reads it: an absolute one
// on drive Z:, which wine gives the root of the file system; a relative one
// from the current directory, which wine keeps.
std::string WinePathOf(const std::string& nativePath) {
  std::string path = nativePath.compare(0, 1, "/") == 0 ? "Z:" + nativePath : nativePath;
  for (char& unit : path)
    if (unit == '/') unit = '\\';
  return path;
}

// One call's command line: the program to start, then its arguments.
std::vector<std::string> CommandLine(const sStart& start, const std::vector<std::string>& paths,
                                     const std::vector<std::string>& switches) {
  std::vector<std::string> line;
  if (start.mThroughWine) line.push_back(start.mWine);
  line.push_back(start.mSerializer);
  for (const std::string& path : paths) line.push_back(start.mThroughWine ? WinePathOf(path) : path);
  line.insert(line.end(), switches.begin(), switches.end());
  return line;
}

// argv[1..] of a command line, null-terminated; points into `line`.
std::vector<const char*> ArgumentsOf(const std::vector<std::string>& line) {
  std::vector<const char*> arguments;
  for (size_t i = 1; i < line.size(); ++i) arguments.push_back(line[i].c_str());
  arguments.push_back(nullptr);
  return arguments;
}

// Whether a call may be made at all; when not, said as this run says it.
bool MayCall(const sStart& start) {
  if (!start.mFound) SayNotRun();
  return start.mFound && (!start.mThroughWine || !start.mWine.empty());
}

// After a call that did not start.
void SayNotStarted(const sStart& start) {
  if (!start.mThroughWine) {
    SayNotRun();
    return;
  }
  // Every call would fail alike: once is enough.
  static bool said = false;
  if (!said) SayWineNotStarted(start.mWine, start.mWineNamed);
  said = true;
}

}  // namespace

void StartSerializer(cSerializerJobs& jobs, const cSerializerJobs::tFamilies& families,
                     const std::vector<std::string>& paths, const std::vector<std::string>& switches) {
  const sStart& start = Start();
  if (!MayCall(start)) return;
  const std::vector<std::string> line = CommandLine(start, paths, switches);
  const std::vector<const char*> arguments = ArgumentsOf(line);
  if (!jobs.Launch(families, line[0].c_str(), arguments.data(), start.mSetup)) SayNotStarted(start);
}
