#ifndef _WIN32

#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace test {

ChildProcess::ChildProcess(const std::string& exe, const std::vector<std::string>& args,
                           const std::string& workingDirectory, uint64_t maxFileBytes) {
  // Everything the child needs is made before the fork: after it, only
  // calls that are safe in a copy of a running process.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(exe.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const struct rlimit limit = {static_cast<rlim_t>(maxFileBytes), static_cast<rlim_t>(maxFileBytes)};

  int out[2], err[2];
  if (pipe(out) != 0) return;
  if (pipe(err) != 0) {
    close(out[0]);
    close(out[1]);
    return;
  }
  mPid = fork();
  if (mPid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    // Ignored, the signal no longer ends the program: the write fails with
    // EFBIG instead, and the ignoring survives exec.
    if (maxFileBytes != 0 && (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0)) _exit(126);
    if (chdir(workingDirectory.c_str()) == 0) execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  if (mPid < 0) {
    close(out[0]);
    close(err[0]);
    return;
  }
  mOutput = out[0];
  mError = err[0];
}

ChildProcess::~ChildProcess() {
  Kill();
  for (int fd : {mOutput, mError})
    if (fd >= 0) close(fd);
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
  Reap();
  return WIFSIGNALED(mWaitStatus) && WTERMSIG(mWaitStatus) == SIGKILL;
}

ProcessResult ChildProcess::Finish() {
  ProcessResult result;
  if (mPid <= 0) return result;
  // Both pipes are drained together: a child blocked on a full one would
  // never close the other.
  struct pollfd fds[2] = {{mOutput, POLLIN, 0}, {mError, POLLIN, 0}};
  std::string* sinks[2] = {&mPending, &result.err};
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char chunk[4096];
      const ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
      if (got > 0) {
        sinks[i]->append(chunk, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
      }
    }
  }
  mOutput = mError = -1;
  result.out.swap(mPending);
  Reap();
  result.status = WIFEXITED(mWaitStatus) ? WEXITSTATUS(mWaitStatus) : 128 + WTERMSIG(mWaitStatus);
  return result;
}

void ChildProcess::Reap() {
  if (mPid <= 0 || mReaped) return;
  while (waitpid(mPid, &mWaitStatus, 0) < 0 && errno == EINTR) {
  }
  mReaped = true;
}

}  // namespace test

#endif
