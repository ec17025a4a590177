// The serializer runs of a game-flavour run. GLOSSMILL_JOBS names how many
// serializer processes may be going at once, side by side with each other
// and with the program's own work; without it (or with 1) every conversion
// runs to its end before the program goes on, one at a time.
//
// Runs that reach the same data file must never overlap, nor overlap the
// program's own reading and writing of it: every run belongs to the family
// of the file it converts (see FamilyOf), and a run waits while another of
// its family is going.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "API/core/cFxString.h"
#include "Core/platform/FxPlatform.h"

namespace kJobs {
// The environment variable that asks for parallel serializer runs.
constexpr const char* cVariable = "GLOSSMILL_JOBS";
// More processes than this buy nothing on any machine the game runs on,
// and a Windows wait covers at most 64 of them.
constexpr uint32_t cMaximum = 64;
}  // namespace kJobs

// Reads a GLOSSMILL_JOBS value: unset (null) or empty gives 1; a decimal
// number from 1 up gives that number, capped at kJobs::cMaximum. Anything
// else (0, a sign, blanks, letters) answers false with `limit` at 1.
bool ParseJobLimit(const char* text, uint32_t& limit);

// How many serializer processes may run at once: GLOSSMILL_JOBS, read on
// the first call only. An invalid value is said once on standard error and
// gives 1.
uint32_t SerializerJobLimit();

// The files a serializer run and the program's reading of one data file
// touch: name.bin, name.xml and name.xml.temp all belong to one family,
// named by the identity of their directory (so a second way into it, a
// link or "..", names the same family) and the name without its final
// extension, 'A' to 'Z' folded (so names that a case-blind file system
// takes for one are one family everywhere).
std::u16string FamilyOf(const cFxWString& path);

// FamilyOf `path` and the family of its lexical form ("." and ".." taken
// away by name, as the program's own file streams open it): a ".." after a
// missing directory or a link reaches one file for the program's reading
// and maybe another for the serializer, and both must count.
std::vector<std::u16string> FamiliesOf(const cFxWString& path);

// The serializer processes of one run, at most `limit` at once (any program
// can be run so; the conversions use it for the serializer). Whoever
// owns it waits for every process before going on to something that needs
// their results; the destructor waits for any that remain. A limit of 1 is
// the one-at-a-time run: each process has ended when Launch returns, so
// nothing the program does overlaps it.
class cSerializerJobs {
 public:
  explicit cSerializerJobs(uint32_t limit);
  ~cSerializerJobs();
  cSerializerJobs(const cSerializerJobs&) = delete;
  cSerializerJobs& operator=(const cSerializerJobs&) = delete;

  // A run belongs to every family of the files it touches (FamiliesOf).
  typedef std::vector<std::u16string> tFamilies;

  // Whether a run of `families` could start now: a place is free and no
  // run of any of them is going.
  bool HasRoomFor(const tFamilies& families) const;
  // Waits for runs to end until HasRoomFor(families).
  void MakeRoomFor(const tFamilies& families);
  // Starts `program` with `args` (argv[1..], null-terminated), set up as
  // `setup` says, as a run of `families`; call it after MakeRoomFor. False
  // when it cannot be started (the reason as the system's last error):
  // there is then nothing to wait for.
  bool Launch(const tFamilies& families, const char* program, const char* const* args,
              const sFxProgramSetup& setup = sFxProgramSetup());
  // Waits until no run of `family` is going.
  void WaitForFamily(const std::u16string& family);
  // Waits until no run is going.
  void WaitForAll();

 private:
  void WaitForOne();
  bool IsGoing(const std::u16string& family) const;

  uint32_t mLimit;
  std::map<uint32_t, tFamilies> mRunning;  // platform token -> families
};
