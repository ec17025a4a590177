// POSIX backend of the seam's file, directory, process and mutex services.
//
// Names cross between bytes and 16-bit text as FxPlatformNameUnits and
// FxPlatformNameBytes say, so every byte string comes back unchanged.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Core/platform/FxPlatform.h"

extern char** environ;

namespace {

std::string Narrow(const wchar16* path) {
  if (path == nullptr) return std::string();
  uint32_t length = 0;
  while (path[length] != 0) ++length;
  return FxPlatformNameBytes(path, length);
}

cFxWString Widen(const char* name) {
  const std::u16string units = FxPlatformNameUnits(name, static_cast<uint32_t>(strlen(name)));
  return cFxWString(units.data(), static_cast<uint32_t>(units.size()));
}

bool IsExecutableFile(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

bool ReadCurrentDirectory(std::string& directory) {
  std::vector<char> buffer(PATH_MAX + 1);
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return false;
  directory = buffer.data();
  return true;
}

}  // namespace

// ---- Mutex ------------------------------------------------------------------------------

void* FxPlatformMutexCreate() {
  pthread_mutex_t* mutex = new pthread_mutex_t;
  if (pthread_mutex_init(mutex, nullptr) != 0) {
    delete mutex;
    return nullptr;
  }
  return mutex;
}

bool FxPlatformMutexLock(void* mutex, uint32_t timeoutMs) {
  if (mutex == nullptr) return false;
  struct timespec deadline;
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += timeoutMs / 1000;
  deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  return pthread_mutex_timedlock(static_cast<pthread_mutex_t*>(mutex), &deadline) == 0;
}

void FxPlatformMutexUnlock(void* mutex) {
  if (mutex != nullptr) pthread_mutex_unlock(static_cast<pthread_mutex_t*>(mutex));
}

void FxPlatformMutexClose(void* mutex) {
  if (mutex == nullptr) return;
  pthread_mutex_destroy(static_cast<pthread_mutex_t*>(mutex));
  delete static_cast<pthread_mutex_t*>(mutex);
}

// ---- Current directory and native paths ------------------------------------------------

uint32_t FxPlatformGetCurrentDirectory(wchar16* buffer, uint32_t capacity) {
  std::string directory;
  if (buffer == nullptr || !ReadCurrentDirectory(directory)) return 0;
  const std::u16string units =
      FxPlatformNameUnits(directory.data(), static_cast<uint32_t>(directory.size()));
  if (units.size() + 1 > capacity) return 0;
  units.copy(buffer, units.size());
  buffer[units.size()] = 0;
  return static_cast<uint32_t>(units.size());
}

bool FxPlatformNativeToInternal(const char* nativePath, cFxString& internal) {
  if (nativePath == nullptr) return false;
  std::string text(nativePath);
  // Blanks only: a TAB is part of the name.
  size_t first = text.find_first_not_of(' ');
  size_t last = text.find_last_not_of(' ');
  text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);

  if (text.empty() || text[0] != '/') {
    std::string directory;
    if (!ReadCurrentDirectory(directory)) return false;
    text = directory + "/" + text;
  }

  // A run of "/" separates like one, and a trailing "/" names the directory
  // itself; "." and ".." are left to the path's own normalisation.
  std::string result = "@os:";
  for (char c : text) {
    if (c != '/' || result.back() != '/') result += c;
  }
  if (result.size() > 5 && result.back() == '/') result.pop_back();
  internal = cFxString(result.c_str(), static_cast<uint32_t>(result.size()));
  return true;
}

uint32_t FxPlatformPathLimit() { return PATH_MAX; }

// ---- Files by wide native path ----------------------------------------------------------

eFxAccess FxPlatformAccessReadWrite(const wchar16* path) {
  std::string narrow = Narrow(path);
  if (access(narrow.c_str(), R_OK | W_OK) == 0) return eFxAccessWritable;
  switch (errno) {
    case ENOENT:
    case ENOTDIR:
      return eFxAccessMissing;
    case EACCES:
    case EROFS:
      return eFxAccessReadOnly;
    default:
      return eFxAccessOther;
  }
}

bool FxPlatformMakeReadWrite(const wchar16* path) {
  std::string narrow = Narrow(path);
  struct stat status;
  if (stat(narrow.c_str(), &status) != 0) return false;
  return chmod(narrow.c_str(), (status.st_mode & 07777) | S_IRUSR | S_IWUSR) == 0;
}

bool FxPlatformDeleteFile(const wchar16* path) { return unlink(Narrow(path).c_str()) == 0; }

bool FxPlatformReplaceFile(const wchar16* source, const wchar16* target) {
  // rename swaps the directory entry in one step: readers see the old file
  // or the new one, never a missing or partial one.
  if (rename(Narrow(source).c_str(), Narrow(target).c_str()) == 0) return true;
  FxPlatformRecordSystemError();
  return false;
}

// ---- Directory enumeration -----------------------------------------------------------------

class cFxDirSearch {
 public:
  cFxDirSearch(DIR* directory, const std::string& path) : mDirectory(directory), mPath(path) {}
  ~cFxDirSearch() { closedir(mDirectory); }
  cFxDirSearch(const cFxDirSearch&) = delete;
  cFxDirSearch& operator=(const cFxDirSearch&) = delete;

  eFxFindResult Next(sFxDirEntry& entry) {
    errno = 0;
    struct dirent* found = readdir(mDirectory);
    if (found == nullptr) return errno == 0 ? eFxFindNoMore : eFxFindFailed;
    entry.mName = Widen(found->d_name);
    entry.mKind = KindOf(found);
    return eFxFindFound;
  }

 private:
  // A link is what it leads to: a link to a directory is walked like the
  // directory itself. A link that leads nowhere is still a name, which a
  // reader then fails to open.
  eFxEntryKind KindOf(const struct dirent* found) const {
    mode_t type;
    if (found->d_type == DT_LNK || found->d_type == DT_UNKNOWN) {
      struct stat status;
      const std::string path = mPath + "/" + found->d_name;
      if (stat(path.c_str(), &status) != 0) return eFxEntryFile;
      type = status.st_mode & S_IFMT;
    } else {
      type = DTTOIF(found->d_type);
    }
    if (S_ISDIR(type)) return eFxEntryDirectory;
    return S_ISREG(type) ? eFxEntryFile : eFxEntrySpecial;
  }

  DIR* mDirectory;
  std::string mPath;
};

cFxDirSearch* FxPlatformFindFirst(const wchar16* directory, sFxDirEntry& entry) {
  std::string path = Narrow(directory);
  DIR* handle = opendir(path.c_str());
  if (handle == nullptr) return nullptr;
  cFxDirSearch* search = new cFxDirSearch(handle, path);
  if (search->Next(entry) != eFxFindFound) {
    delete search;
    return nullptr;
  }
  return search;
}

eFxFindResult FxPlatformFindNext(cFxDirSearch* search, sFxDirEntry& entry) {
  return search == nullptr ? eFxFindFailed : search->Next(entry);
}

void FxPlatformFindClose(cFxDirSearch* search) { delete search; }

bool FxPlatformGetDirectoryIdentity(const wchar16* directory, uint64_t* volume, uint64_t* file) {
  struct stat status;
  if (stat(Narrow(directory).c_str(), &status) != 0) return false;
  if (volume != nullptr) *volume = static_cast<uint64_t>(status.st_dev);
  if (file != nullptr) *file = static_cast<uint64_t>(status.st_ino);
  return true;
}

// ---- Processes -----------------------------------------------------------------------------

namespace {

// The file that `program` names: a name with a directory as it stands, a
// bare name from the current directory first (as for the Windows user),
// then along PATH. Empty when there is no such executable file.
std::string FindProgram(const char* program) {
  if (program == nullptr || *program == '\0') return std::string();
  if (std::strchr(program, '/') != nullptr) return program;
  if (IsExecutableFile(std::string("./") + program)) return std::string("./") + program;
  const char* searchPath = std::getenv("PATH");
  const std::string directories = searchPath != nullptr ? searchPath : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= directories.size()) {
    size_t colon = directories.find(':', start);
    if (colon == std::string::npos) colon = directories.size();
    const std::string directory = directories.substr(start, colon - start);
    const std::string candidate = (directory.empty() ? std::string(".") : directory) + "/" + program;
    if (IsExecutableFile(candidate)) return candidate;
    start = colon + 1;
  }
  return std::string();
}

int ExitStatusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Starts `program` without waiting, its standard output discarded if asked;
// false when it cannot be started.
bool Spawn(const char* program, const char* const* args, pid_t* child,
           bool discardOutput = false) {
  const std::string path = FindProgram(program);
  if (path.empty()) return false;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program));
  for (const char* const* arg = args; arg != nullptr && *arg != nullptr; ++arg)
    argv.push_back(const_cast<char*>(*arg));
  argv.push_back(nullptr);

  // The child writes to the same terminal: what we printed comes first.
  std::fflush(stdout);
  std::fflush(stderr);
  // The child gets SIGPIPE back at its default: a program may rely on it to
  // stop writing to a reader that has gone.
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) return false;
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    posix_spawnattr_destroy(&attributes);
    return false;
  }
  bool ready = !discardOutput || posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO,
                                                                  "/dev/null", O_WRONLY, 0) == 0;
  ready = ready && posix_spawn(child, path.c_str(), &actions, &attributes, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return ready;
}

// Runs `program` to its end: its exit status, or -1.
int RunToEnd(const char* program, const char* const* args, bool discardOutput) {
  pid_t child;
  if (!Spawn(program, args, &child, discardOutput)) return -1;
  int status;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return ExitStatusOf(status);
}

// The children started by FxPlatformStartProgram and not yet waited for.
struct sRunningProgram {
  uint32_t mToken;
  pid_t mPid;
};
std::vector<sRunningProgram> gRunningPrograms;
uint32_t gLastProgramToken = 0;

}  // namespace

int FxPlatformRunProgram(const char* program, const char* const* args) {
  return RunToEnd(program, args, false);
}

int FxPlatformRunProgramQuietly(const char* program, const char* const* args) {
  return RunToEnd(program, args, true);
}

uint32_t FxPlatformStartProgram(const char* program, const char* const* args) {
  pid_t child;
  if (!Spawn(program, args, &child)) return 0;
  if (++gLastProgramToken == 0) ++gLastProgramToken;  // 0 means "not started"
  gRunningPrograms.push_back({gLastProgramToken, child});
  return gLastProgramToken;
}

uint32_t FxPlatformWaitForAnyProgram(int* exitStatus) {
  // The program starts no other children while some of these run, so any
  // child that ends is one of them.
  while (!gRunningPrograms.empty()) {
    int status;
    const pid_t ended = waitpid(-1, &status, 0);
    if (ended < 0) {
      if (errno == EINTR) continue;
      // No child left to wait for (ECHILD): none of them can still run.
      gRunningPrograms.clear();
      return 0;
    }
    for (size_t i = 0; i < gRunningPrograms.size(); ++i) {
      if (gRunningPrograms[i].mPid != ended) continue;
      const uint32_t token = gRunningPrograms[i].mToken;
      gRunningPrograms.erase(gRunningPrograms.begin() + static_cast<std::ptrdiff_t>(i));
      if (exitStatus != nullptr) *exitStatus = ExitStatusOf(status);
      return token;
    }
  }
  return 0;
}

void FxPlatformWaitForAllPrograms() {
  while (FxPlatformWaitForAnyProgram(nullptr) != 0) {
  }
}

uint32_t FxPlatformRunningProgramCount() { return static_cast<uint32_t>(gRunningPrograms.size()); }

const char* FxPlatformGetEnvironment(const char* name) { return std::getenv(name); }
