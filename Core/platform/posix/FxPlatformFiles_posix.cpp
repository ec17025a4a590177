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
#include <sys/file.h>
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

// ---- The lock of a rewriting run ---------------------------------------------------------

eFxTreeLock FxPlatformLockTree(const wchar16* directory, intptr_t& lock) {
  // The directory itself carries the lock: a file beside the data files
  // would be one more thing a killed run leaves behind. The serializer and
  // other children must not inherit it.
  int descriptor;
  do {
    descriptor = open(Narrow(directory).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) return eFxTreeLockNone;
  int result;
  do {
    result = flock(descriptor, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    lock = descriptor;
    return eFxTreeLockTaken;
  }
  const bool busy = errno == EWOULDBLOCK;
  close(descriptor);
  return busy ? eFxTreeLockBusy : eFxTreeLockNone;
}

void FxPlatformUnlockTree(intptr_t lock) {
  // Closing the only descriptor of the lock drops it.
  close(static_cast<int>(lock));
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
  if (!ReadCurrentDirectory(current)) return std::string();
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

bool FxPlatformFindProgram(const char* program, bool currentDirectoryFirst, std::string& path) {
  path.clear();
  if (program == nullptr || *program == '\0') {
    errno = ENOENT;
    return false;
  }
  std::string found;
  if (std::strchr(program, '/') != nullptr) {
    if (IsProgramFile(program)) found = program;
  } else if (currentDirectoryFirst && IsProgramFile(std::string("./") + program)) {
    found = program;
  } else {
    found = SearchPath(program);
  }
  if (found.empty()) return false;
  if (found.compare(0, 2, "./") == 0) found.erase(0, 2);
  if (found[0] != '/') {
    std::string current;
    if (!ReadCurrentDirectory(current)) return false;
    found = (current == "/" ? std::string() : current) + "/" + found;
  }
  path = found;
  return true;
}

bool FxPlatformIsWindowsProgram(const char* path) { return path != nullptr && HasWindowsHeader(path); }

const char* FxPlatformGetEnvironment(const char* name) { return std::getenv(name); }
