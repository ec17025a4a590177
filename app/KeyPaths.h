// How a key of a translations file names the data file its lines go to.
//
// A key's path is written with backslashes on every platform and begins
// with one ("\Signs\Warnings.xml"); the update joins it to the directory it
// was started in. A translations file often comes back from someone else,
// so the update takes no key's word for where its file lies: the path is
// resolved by its text alone, as the system will take it, and a key that
// leads anywhere but to a file below the start directory is refused.
//
// The text is taken as the system gets it: up to its first NUL (a name
// reaches the system as a C string; the rest never does), each unit as
// FxPlatformSystemUnit makes it (on Windows its low byte, the 8-bit form a
// file is opened by). Then:
//   - "\" and "/" both separate names: Windows takes both, and on POSIX "/"
//     reaches the system as a separator in any case;
//   - the path begins with one separator. Without it the key would be
//     joined to the start directory's own name ("tree" and "a.xml" give
//     "treea.xml", beside the tree); two at the start are a network share;
//   - empty names and "." go; ".." takes the name before it away, and a
//     ".." with no name before it would climb above the start directory;
//   - a name is left: the start directory is no data file, and a temporary
//     file of it would lie beside it;
//   - every name is one the system takes as written (FxPlatformIsPlainName:
//     on Windows no drive, stream, device, nor a name ending in "." or " ";
//     on POSIX any name).
// A key breaking any of these is refused. The names left keep their own
// units, joined by the platform's separator, so the path by which a file is
// read, its temporary file made and replaced, and its identity looked up is
// one and the same, however the key spells it: "\Signs\.\Warnings.xml",
// "\Signs\\Warnings.xml" and "\Signs\..\Signs\Warnings.xml" all name
// Signs/Warnings.xml, and a run gives for them what it gives for two keys
// of that one name, one after the other.
//
// The walk and the extraction never make a refused key: each key they
// write is the path of a file they found below the start directory, one
// separator before each of its names, none of them "." or "..", and every
// name one the system gave. Only a POSIX name holding a backslash cannot
// be spelled in a key: its backslash reads as a separator, as in any key.
#pragma once

#include <string>

#include "API/core/cFxString.h"

namespace kKeyPath {
// Why the lines of a refused key go nowhere.
constexpr const char* cRefused = "it names no file inside the start directory";
}  // namespace kKeyPath

// The data file `keyPath` names: `keyBase` (the start directory without a
// trailing separator, KeyBaseOf) and, after the platform's separator, each
// name left once the path is resolved. False when the key is refused;
// `dataPath` is then left as it was.
bool ResolveKeyPath(const cFxWString& keyPath, const cFxWString& keyBase, cFxWString& dataPath);

// The path a key's progress line shows: `keyBase` and the key as it is
// spelled, every backslash turned into the platform's separator, for a
// refused key as for any other, so progress reads as it always has.
cFxWString SpelledKeyPath(const cFxWString& keyPath, const cFxWString& keyBase);

// Says on standard error, after what standard output holds, that a key is
// refused, the key as a progress line shows a path (PrintedPath):
//   glossmill: refused key '<keyPath>': it names no file inside the start directory
void ReportRefusedKey(const cFxWString& keyPath);
// The same line as text.
std::string RefusedKeyLine(const cFxWString& keyPath);
