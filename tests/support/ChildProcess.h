// A program started directly (no shell) whose standard output and error
// come back through pipes read while it runs, so a test can stop it with
// SIGKILL at a chosen line of its output, or limit the size of every file
// it writes (RLIMIT_FSIZE with SIGXFSZ ignored: a write beyond the limit
// fails with EFBIG, "File too large", as on a full disk, and the program
// goes on; the pipes are not cut). The platform's own way of starting
// programs offers neither. POSIX only.
#pragma once

#ifndef _WIN32

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace test {

class ChildProcess {
 public:
  // Starts `exe` with `args` in `workingDirectory`, its files limited to
  // `maxFileBytes` unless 0. One that cannot be started exits with 127.
  ChildProcess(const std::string& exe, const std::vector<std::string>& args,
               const std::string& workingDirectory, uint64_t maxFileBytes = 0);
  // Kills and reaps the program if it is still there.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of standard output without its LF; false at its end.
  bool ReadLine(std::string& line);
  // Sends SIGKILL and waits for the end. Answers whether the kill ended the
  // program, rather than it having ended on its own before.
  bool Kill();
  // Reads both outputs to their end and waits for the program.
  ProcessResult Finish();

 private:
  void Reap();

  pid_t mPid = -1;
  int mOutput = -1, mError = -1;
  std::string mPending;
  bool mReaped = false;
  int mWaitStatus = 0;
};

inline ProcessResult RunGlossmillWithFileSizeLimit(const std::vector<std::string>& args,
                                                   const std::string& workingDirectory,
                                                   uint64_t maxFileBytes) {
  return ChildProcess(GlossmillExe(), args, workingDirectory, maxFileBytes).Finish();
}

}  // namespace test

#endif
