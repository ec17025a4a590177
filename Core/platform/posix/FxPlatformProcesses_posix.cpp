// Processes on POSIX: programs started directly with posix_spawn, found
// as the Windows user finds them, and waited for; the environment.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Core/platform/cFxRunningPrograms.h"
#include "Core/platform/posix/FxPosix.h"

extern char** environ;

namespace {

// Whether the file begins with the "MZ" header of Windows executables.
bool HasWindowsHeader(const std::string& path) {
  // Not blocking: a FIFO put in the file's place after the check of its
  // kind must not hold the program up.
  const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (file < 0) return false;
  char header[2];
  const bool windows = read(file, header, sizeof header) == 2 && header[0] == 'M' && header[1] == 'Z';
  close(file);
  return windows;
}

// Whether `path` is a file a start can use: a regular file the system may
// execute, or a Windows program, which wine reads without execute
// permission. When not, errno says why.
bool IsProgramFile(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return false;
  if (!S_ISREG(status.st_mode)) {
    errno = EACCES;  // as the system refuses to execute a directory
    return false;
  }
  if (access(path.c_str(), X_OK) == 0) return true;
  const int reason = errno;
  if (HasWindowsHeader(path)) return true;
  errno = reason;
  return false;
}

// The first program file named `program` along the search path, as a path
// from the directory the search starts in; empty (errno ENOENT) when none.
std::string SearchPath(const char* program) {
  const char* searchPath = std::getenv("PATH");
  const std::string directories = searchPath != nullptr ? searchPath : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= directories.size()) {
    size_t colon = directories.find(':', start);
    if (colon == std::string::npos) colon = directories.size();
    const std::string directory = directories.substr(start, colon - start);
    const std::string candidate = (directory.empty() ? std::string(".") : directory) + "/" + program;
    if (IsProgramFile(candidate)) return candidate;
    start = colon + 1;
  }
  errno = ENOENT;
  return std::string();
}

// `path`, found from the caller's current directory, as the child reaches
// it once it has changed to `workingDirectory`. Empty when the current
// directory cannot be read.
std::string FromCaller(const std::string& path, const char* workingDirectory) {
  if (path[0] == '/' || workingDirectory == nullptr) return path;
  std::string current;
  if (!FxPosixCurrentDirectory(current)) return std::string();
  return current + "/" + path;
}

// The file that `program` names, as a path the child can execute after it
// has changed to its working directory. Empty when there is no such file.
std::string FindProgram(const char* program, const char* workingDirectory) {
  if (program == nullptr || *program == '\0') {
    errno = ENOENT;
    return std::string();
  }
  if (std::strchr(program, '/') != nullptr) return FromCaller(program, workingDirectory);
  const std::string local =
      std::string(workingDirectory != nullptr ? workingDirectory : ".") + "/" + program;
  if (IsProgramFile(local)) return std::string("./") + program;
  const std::string found = SearchPath(program);
  return found.empty() ? found : FromCaller(found, workingDirectory);
}

// The exit status as a POSIX shell reports it.
int ExitStatusOf(int status) {
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// Whether the environment entry "NAME=value" is of a variable that one of
// `entries` (null-terminated, "NAME=value" each) sets.
bool IsSetAmong(const char* entry, const char* const* entries) {
  const size_t nameLength = std::strcspn(entry, "=");
  for (const char* const* other = entries; *other != nullptr; ++other)
    if (std::strncmp(entry, *other, nameLength + 1) == 0) return true;
  return false;
}

// The caller's environment with the entries of `setup` in place of (or
// besides) its own.
std::vector<char*> ChildEnvironment(const sFxProgramSetup& setup) {
  std::vector<char*> environment;
  for (char** entry = environ; *entry != nullptr; ++entry)
    if (!IsSetAmong(*entry, setup.mEnvironment)) environment.push_back(*entry);
  for (const char* const* entry = setup.mEnvironment; *entry != nullptr; ++entry)
    environment.push_back(const_cast<char*>(*entry));
  environment.push_back(nullptr);
  return environment;
}

// Starts `program` without waiting, set up as `setup` says; false when it
// cannot be started, with the reason in errno.
bool Spawn(const char* program, const char* const* args, const sFxProgramSetup& setup,
           pid_t* child) {
  const std::string path = FindProgram(program, setup.mWorkingDirectory);
  if (path.empty()) return false;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program));
  for (const char* const* arg = args; arg != nullptr && *arg != nullptr; ++arg)
    argv.push_back(const_cast<char*>(*arg));
  argv.push_back(nullptr);
  std::vector<char*> environment;
  if (setup.mEnvironment != nullptr) environment = ChildEnvironment(setup);

  // The spawn functions answer their error rather than set errno.
  int error = 0;
  // The child gets SIGPIPE and SIGXFSZ back at their defaults: a program
  // may rely on them to stop writing to a reader that has gone or beyond
  // the file-size limit.
  posix_spawnattr_t attributes;
  if ((error = posix_spawnattr_init(&attributes)) != 0) {
    errno = error;
    return false;
  }
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGXFSZ);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_t actions;
  if ((error = posix_spawn_file_actions_init(&actions)) != 0) {
    posix_spawnattr_destroy(&attributes);
    errno = error;
    return false;
  }
  if (setup.mOutputFile != nullptr && error == 0)
    error = posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, setup.mOutputFile,
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (setup.mErrorFile != nullptr && error == 0)
    error = posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, setup.mErrorFile,
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (setup.mWorkingDirectory != nullptr && error == 0)
    error = posix_spawn_file_actions_addchdir_np(&actions, setup.mWorkingDirectory);

  // The child may write to the same terminal: what we printed comes first.
  std::fflush(stdout);
  std::fflush(stderr);
  if (error == 0)
    error = posix_spawn(child, path.c_str(), &actions, &attributes, argv.data(),
                        environment.empty() ? environ : environment.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) errno = error;
  return error == 0;
}

// The children started by FxPlatformStartProgram and not yet waited for.
cFxRunningPrograms<pid_t> gRunning;

}  // namespace

cFxOsResult FxPlatformRunProgram(const char* program, const char* const* args, int* exitStatus,
                                 const sFxProgramSetup& setup) {
  pid_t child;
  if (!Spawn(program, args, setup, &child)) return FxPosixLastError();
  int status;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return FxPosixLastError();
  }
  if (exitStatus != nullptr) *exitStatus = ExitStatusOf(status);
  return cFxOsResult();
}

cFxOsResult FxPlatformStartProgram(const char* program, const char* const* args, uint32_t& token,
                                   const sFxProgramSetup& setup) {
  pid_t child;
  if (!Spawn(program, args, setup, &child)) return FxPosixLastError();
  token = gRunning.Add(child);
  return cFxOsResult();
}

uint32_t FxPlatformWaitForAnyProgram(int* exitStatus) {
  // The program starts no other children while some of these run, so any
  // child that ends is one of them.
  while (!gRunning.Programs().empty()) {
    int status;
    const pid_t ended = waitpid(-1, &status, 0);
    if (ended < 0) {
      if (errno == EINTR) continue;
      // No child left to wait for (ECHILD): none of them can still run.
      gRunning.Clear();
      return 0;
    }
    for (size_t i = 0; i < gRunning.Programs().size(); ++i) {
      if (gRunning.Programs()[i].mChild != ended) continue;
      if (exitStatus != nullptr) *exitStatus = ExitStatusOf(status);
      return gRunning.Remove(i).mToken;
    }
  }
  return 0;
}

void FxPlatformWaitForAllPrograms() {
  while (FxPlatformWaitForAnyProgram(nullptr) != 0) {
  }
}

uint32_t FxPlatformRunningProgramCount() { return static_cast<uint32_t>(gRunning.Programs().size()); }

cFxOsResult FxPlatformFindProgram(const char* program, bool currentDirectoryFirst, std::string& path) {
  path.clear();
  if (program == nullptr || *program == '\0') {
    errno = ENOENT;
    return FxPosixLastError();
  }
  std::string found;
  if (std::strchr(program, '/') != nullptr) {
    if (IsProgramFile(program)) found = program;
  } else if (currentDirectoryFirst && IsProgramFile(std::string("./") + program)) {
    found = program;
  } else {
    found = SearchPath(program);
  }
  if (found.empty()) return FxPosixLastError();
  if (found.compare(0, 2, "./") == 0) found.erase(0, 2);
  if (found[0] != '/') {
    std::string current;
    if (!FxPosixCurrentDirectory(current)) return FxPosixLastError();
    found = (current == "/" ? std::string() : current) + "/" + found;
  }
  path = found;
  return cFxOsResult();
}

bool FxPlatformIsWindowsProgram(const char* path) { return path != nullptr && HasWindowsHeader(path); }

const char* FxPlatformGetEnvironment(const char* name) { return std::getenv(name); }
