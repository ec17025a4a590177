// A program started directly (no shell) whose standard output is read line
// by line while it runs, so a test can stop it with SIGKILL at a chosen
// point of its work. POSIX only.
#pragma once

#ifndef _WIN32

#include <sys/types.h>

#include <string>
#include <vector>

namespace test {

class ChildProcess {
 public:
  // Starts `exe` with `args` in `workingDirectory`; standard error is
  // discarded. A program that cannot be started exits with status 127.
  ChildProcess(const std::string& exe, const std::vector<std::string>& args,
               const std::string& workingDirectory);
  // Kills and reaps the program if it is still there.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of standard output without its LF; false at its end.
  bool ReadLine(std::string& line);
  // Sends SIGKILL and waits for the end. Answers whether the kill ended the
  // program, rather than it having ended on its own before.
  bool Kill();
  // Waits for the end; the exit status, or -1 when a signal ended it.
  int Wait();

 private:
  pid_t mPid = -1;
  int mOutput = -1;
  std::string mPending;
  bool mReaped = false;
  int mWaitStatus = 0;
};

}  // namespace test

#endif
