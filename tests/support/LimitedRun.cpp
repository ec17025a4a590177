// Running a program with a limit on the size of the files it writes: the
// POSIX way to make a disk run full under a test, without filling one.
#ifndef _WIN32
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/TestSupport.h"

namespace test {

namespace {
// Drains both pipes until the child has closed them.
void Collect(int outFd, int errFd, std::string& out, std::string& err) {
  struct pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open = 2;
  while (open > 0) {
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
        --open;
      }
    }
  }
}
}  // namespace

ProcessResult RunWithFileSizeLimit(const std::string& exe, const std::vector<std::string>& args,
                                   const std::string& workingDirectory, uint64_t maxFileBytes) {
  ProcessResult result;
  std::vector<char*> argv;
  std::vector<std::string> words{exe};
  words.insert(words.end(), args.begin(), args.end());
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  int out[2], err[2];
  if (pipe(out) != 0) return result;
  if (pipe(err) != 0) {
    close(out[0]);
    close(out[1]);
    return result;
  }
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    const struct rlimit limit = {static_cast<rlim_t>(maxFileBytes), static_cast<rlim_t>(maxFileBytes)};
    // Ignored, the signal no longer ends the program: the write fails with
    // EFBIG instead, and the ignoring survives exec.
    signal(SIGXFSZ, SIG_IGN);
    if (chdir(workingDirectory.c_str()) != 0 || setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  if (child < 0) {
    close(out[0]);
    close(err[0]);
    return result;
  }
  Collect(out[0], err[0], result.out, result.err);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

ProcessResult RunGlossmillWithFileSizeLimit(const std::vector<std::string>& args,
                                            const std::string& workingDirectory,
                                            uint64_t maxFileBytes) {
  return RunWithFileSizeLimit(GlossmillExe(), args, workingDirectory, maxFileBytes);
}

}  // namespace test
#endif
