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

#include <algorithm>
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

bool FxPlatformReplaceFile(const wchar16* source, const wchar16* target, std::string& reason) {
  // rename swaps the directory entry in one step: readers see the old file
  // or the new one, never a missing or partial one.
  if (rename(Narrow(source).c_str(), Narrow(target).c_str()) == 0) return true;
  reason = FxPlatformLastErrorText();
  return false;
}

bool FxPlatformSyncFile(const wchar16* path, std::string& reason) {
  const int descriptor = open(Narrow(path).c_str(), O_RDONLY | O_CLOEXEC);
  // fsync works on the file, through whichever descriptor names it.
  if (descriptor >= 0 && fsync(descriptor) == 0 && close(descriptor) == 0) return true;
  reason = FxPlatformLastErrorText();
  if (descriptor >= 0) close(descriptor);
  return false;
}

void FxPlatformSyncFiles(const std::vector<std::u16string>& paths, std::vector<std::string>& reasons) {
  reasons.assign(paths.size(), std::string());
  // The file systems this call has flushed, and those that refused.
  std::vector<dev_t> flushed;
  std::vector<dev_t> refused;
  const auto among = [](const std::vector<dev_t>& devices, dev_t device) {
    return std::find(devices.begin(), devices.end(), device) != devices.end();
  };
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string narrow = Narrow(paths[i].c_str());
    // Every file of the batch was closed before the call, so one flush of
    // its file system, made after the first of them was found there, holds
    // the rest too.
    struct stat status;
    if (stat(narrow.c_str(), &status) != 0) {
      reasons[i] = FxPlatformLastErrorText();
      continue;
    }
    if (among(flushed, status.st_dev)) continue;
    const int descriptor = open(narrow.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
      reasons[i] = FxPlatformLastErrorText();
      continue;
    }
    bool onDisk = false;
    if (!among(refused, status.st_dev)) {
      onDisk = syncfs(descriptor) == 0;
      (onDisk ? flushed : refused).push_back(status.st_dev);
    }
    // A file system that would not flush as a whole (or said a write of any
    // file on it had failed) is asked file by file, so each answer is the
    // file's own.
    if (!onDisk && fsync(descriptor) != 0) reasons[i] = FxPlatformLastErrorText();
    if (close(descriptor) != 0 && reasons[i].empty()) reasons[i] = FxPlatformLastErrorText();
  }
}

// ---- Directory enumeration -----------------------------------------------------------------

class cFxDirSearch {
 public:
  cFxDirSearch(DIR* directory, const std::string& path) : mDirectory(directory), mPath(path) {}
  ~cFxDirSearch() { closedir(mDirectory); }
  cFxDirSearch(const cFxDirSearch&) = delete;
  cFxDirSearch& operator=(const cFxDirSearch&) = delete;

  // The open directory's own identity: no name to look up.
  bool GetIdentity(uint64_t* volume, uint64_t* file) const {
    struct stat status;
    if (fstat(dirfd(mDirectory), &status) != 0) return false;
    if (volume != nullptr) *volume = static_cast<uint64_t>(status.st_dev);
    if (file != nullptr) *file = static_cast<uint64_t>(status.st_ino);
    return true;
  }

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

bool FxPlatformGetSearchIdentity(cFxDirSearch* search, uint64_t* volume, uint64_t* file) {
  return search != nullptr && search->GetIdentity(volume, file);
}

bool FxPlatformGetDirectoryIdentity(const wchar16* directory, uint64_t* volume, uint64_t* file) {
  struct stat status;
  if (stat(Narrow(directory).c_str(), &status) != 0) return false;
  if (volume != nullptr) *volume = static_cast<uint64_t>(status.st_dev);
  if (file != nullptr) *file = static_cast<uint64_t>(status.st_ino);
  return true;
}

// ---- Processes -----------------------------------------------------------------------------

namespace {

// `path`, found from the caller's current directory, as the child reaches
// it once it has changed to `workingDirectory`. Empty when the current
// directory cannot be read.
std::string FromCaller(const std::string& path, const char* workingDirectory) {
  if (path[0] == '/' || workingDirectory == nullptr) return path;
  char current[PATH_MAX];
  if (getcwd(current, sizeof current) == nullptr) return std::string();
  return std::string(current) + "/" + path;
}

// The file that `program` names, as a path the child can execute after it
// has changed to its working directory. Empty when there is no such
// executable file.
std::string FindProgram(const char* program, const char* workingDirectory) {
  if (program == nullptr || *program == '\0') return std::string();
  if (std::strchr(program, '/') != nullptr) return FromCaller(program, workingDirectory);
  const std::string local =
      std::string(workingDirectory != nullptr ? workingDirectory : ".") + "/" + program;
  if (IsExecutableFile(local)) return std::string("./") + program;
  const char* searchPath = std::getenv("PATH");
  const std::string directories = searchPath != nullptr ? searchPath : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= directories.size()) {
    size_t colon = directories.find(':', start);
    if (colon == std::string::npos) colon = directories.size();
    const std::string directory = directories.substr(start, colon - start);
    const std::string candidate = (directory.empty() ? std::string(".") : directory) + "/" + program;
    if (IsExecutableFile(candidate)) return FromCaller(candidate, workingDirectory);
    start = colon + 1;
  }
  return std::string();
}

// The exit status as a POSIX shell reports it.
int ExitStatusOf(int status) {
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// Starts `program` without waiting, set up as `setup` says; false when it
// cannot be started.
bool Spawn(const char* program, const char* const* args, const sFxProgramSetup& setup,
           pid_t* child) {
  const std::string path = FindProgram(program, setup.mWorkingDirectory);
  if (path.empty()) return false;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program));
  for (const char* const* arg = args; arg != nullptr && *arg != nullptr; ++arg)
    argv.push_back(const_cast<char*>(*arg));
  argv.push_back(nullptr);

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
  bool ready = true;
  if (setup.mOutputFile != nullptr)
    ready = ready && posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, setup.mOutputFile,
                                                      O_WRONLY | O_CREAT | O_TRUNC, 0644) == 0;
  if (setup.mErrorFile != nullptr)
    ready = ready && posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, setup.mErrorFile,
                                                      O_WRONLY | O_CREAT | O_TRUNC, 0644) == 0;
  if (setup.mWorkingDirectory != nullptr)
    ready = ready && posix_spawn_file_actions_addchdir_np(&actions, setup.mWorkingDirectory) == 0;

  // The child may write to the same terminal: what we printed comes first.
  std::fflush(stdout);
  std::fflush(stderr);
  ready = ready && posix_spawn(child, path.c_str(), &actions, &attributes, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return ready;
}

// The children started by FxPlatformStartProgram and not yet waited for.
struct sRunningProgram {
  uint32_t mToken;
  pid_t mPid;
};
std::vector<sRunningProgram> gRunningPrograms;
uint32_t gLastProgramToken = 0;

}  // namespace

bool FxPlatformRunProgram(const char* program, const char* const* args, int* exitStatus,
                          const sFxProgramSetup& setup) {
  pid_t child;
  if (!Spawn(program, args, setup, &child)) return false;
  int status;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  if (exitStatus != nullptr) *exitStatus = ExitStatusOf(status);
  return true;
}

uint32_t FxPlatformStartProgram(const char* program, const char* const* args,
                                const sFxProgramSetup& setup) {
  pid_t child;
  if (!Spawn(program, args, setup, &child)) return 0;
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
