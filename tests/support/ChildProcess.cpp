#ifndef _WIN32

#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace test {

ChildProcess::ChildProcess(const std::string& exe, const std::vector<std::string>& args,
                           const std::string& workingDirectory) {
  // Everything the child needs is made before the fork: after it, only
  // calls that are safe in a copy of a running process.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(exe.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return;
  mPid = fork();
  if (mPid == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDERR_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    if (chdir(workingDirectory.c_str()) == 0) execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  if (mPid < 0) {
    close(pipeEnds[0]);
    return;
  }
  mOutput = pipeEnds[0];
}

ChildProcess::~ChildProcess() {
  if (mPid > 0 && !mReaped) Kill();
  if (mOutput >= 0) close(mOutput);
}

bool ChildProcess::ReadLine(std::string& line) {
  for (;;) {
    const std::string::size_type end = mPending.find('\n');
    if (end != std::string::npos) {
      line = mPending.substr(0, end);
      mPending.erase(0, end + 1);
      return true;
    }
    char buffer[4096];
    const ssize_t count = mOutput < 0 ? 0 : read(mOutput, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    mPending.append(buffer, static_cast<size_t>(count));
  }
}

bool ChildProcess::Kill() {
  if (mPid <= 0 || mReaped) return false;
  kill(mPid, SIGKILL);
  Wait();
  return WIFSIGNALED(mWaitStatus) && WTERMSIG(mWaitStatus) == SIGKILL;
}

int ChildProcess::Wait() {
  if (mPid > 0 && !mReaped) {
    while (waitpid(mPid, &mWaitStatus, 0) < 0 && errno == EINTR) {
    }
    mReaped = true;
  }
  return WIFEXITED(mWaitStatus) ? WEXITSTATUS(mWaitStatus) : -1;
}

}  // namespace test

#endif
