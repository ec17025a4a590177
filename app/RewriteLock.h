// The lock a rewriting run (-su, -gu, -sr, -gr) holds on its start directory
// for the whole run.
//
// Two runs rewriting one tree at once would each write their copy of a data
// file through the same temporary file, and one's bytes would end up in the
// other's document. So a rewriting run first takes the tree's lock, before
// it reads or writes anything; a second run in the same directory finds it
// taken, says so in one line on standard error,
//   glossmill: another glossmill run is rewriting the tree '<dir>': this run changes nothing
// and changes nothing; its exit status stays 0. The system holds the lock
// and drops it when the process ends, however it ends, so a killed run
// leaves nothing behind and the tree gets no file of it. Extraction takes
// no lock: a data file is replaced atomically, so it reads the old file or
// the new one.
#pragma once

#include <cstdint>

class cRewriteLock {
 public:
  cRewriteLock() = default;
  // Drops the lock when held.
  ~cRewriteLock();
  cRewriteLock(const cRewriteLock&) = delete;
  cRewriteLock& operator=(const cRewriteLock&) = delete;

  // Takes the lock of the current directory. False, after the line above,
  // when another run holds it. Where no lock can be taken at all (a
  // directory that may be entered but not read), the run goes on as it
  // would without one.
  bool Take();

 private:
  bool mHeld = false;
  intptr_t mLock = 0;
};
