// How the external serializer "brux.exe" is started: decided on the first
// call of a run and kept for every call after it.
//
// The program file is looked up in the current directory first, then along
// PATH, and started directly (no shell) with the arguments it is given, as
// a run of a cSerializerJobs.
// Where the system cannot start a Windows program itself (POSIX) and the
// brux.exe found is one (it begins with "MZ", the game's own serializer),
// wine starts it: the program GLOSSMILL_WINE names (a name without a
// directory looked up along PATH), else "wine" along PATH. wine is then the
// program and brux.exe its first argument, and the serializer's path
// arguments take the form a Windows program under wine reads: drive Z:, the
// root of the file system, and "\" between names ("Z:\home\ann\Route\a.bin"),
// the bytes of every name kept. Unless WINEDEBUG is set, wine gets
// WINEDEBUG=-all, so that its own diagnostics do not bury the program's
// lines on every call.
//
// What keeps conversions from happening is said on standard error, and the
// run goes on with nothing converted: no brux.exe, or one that does not
// start, on every call ("Error: could not run brux.exe"); a Windows
// brux.exe and no wine, or a wine that does not start, once per run.
#pragma once

#include <string>
#include <vector>

#include "app/SerializerJobs.h"

namespace kSerializer {
// The serializer's program file, without a directory.
constexpr const char* cProgram = "brux.exe";
// Asks for floating-point values in a lossless form in the XML it writes.
constexpr const char* cFloatHexSwitch = "-floathex";
// The environment variable naming the wine that starts a Windows brux.exe,
// and the program looked for when it is not set.
constexpr const char* cWineVariable = "GLOSSMILL_WINE";
constexpr const char* cWine = "wine";
}  // namespace kSerializer

// Starts the serializer with `paths` (8-bit native paths) followed by
// `switches` as its arguments, as a run of `jobs` belonging to `families`,
// once `jobs` has room for it (cSerializerJobs::MakeRoomFor). Its exit
// status is not looked at.
void StartSerializer(cSerializerJobs& jobs, const cSerializerJobs::tFamilies& families,
                     const std::vector<std::string>& paths, const std::vector<std::string>& switches);
