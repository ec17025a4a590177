// Win32 backend of the seam's file, directory, process and mutex services.
//
// wchar16 and wchar_t are both 16-bit units here, so wide paths go to the
// wide system functions unchanged.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <shlwapi.h>
#include <errno.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Core/platform/FxPlatform.h"

#ifdef _MSC_VER
#pragma comment(lib, "shlwapi.lib")
#endif

static_assert(sizeof(wchar_t) == sizeof(wchar16), "wide units must match the system's");

namespace {

const wchar_t* W(const wchar16* text) { return reinterpret_cast<const wchar_t*>(text); }

// Quotes one argument so that the C runtime of the child splits it back
// into the same text: backslashes count only before a double quote.
std::string QuoteArgument(const char* argument) {
  std::string text(argument);
  if (!text.empty() && text.find_first_of(" \t\n\v\"") == std::string::npos) return text;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : text) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

bool IsFile(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// ---- Mutex ------------------------------------------------------------------------------

void* FxPlatformMutexCreate() { return CreateMutexA(nullptr, FALSE, nullptr); }

bool FxPlatformMutexLock(void* mutex, uint32_t timeoutMs) {
  if (mutex == nullptr) return false;
  // An abandoned mutex is still owned by the caller afterwards.
  DWORD result = WaitForSingleObject(static_cast<HANDLE>(mutex), timeoutMs);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void FxPlatformMutexUnlock(void* mutex) {
  if (mutex != nullptr) ReleaseMutex(static_cast<HANDLE>(mutex));
}

void FxPlatformMutexClose(void* mutex) {
  if (mutex != nullptr) CloseHandle(static_cast<HANDLE>(mutex));
}

// ---- Current directory and native paths ------------------------------------------------

uint32_t FxPlatformGetCurrentDirectory(wchar16* buffer, uint32_t capacity) {
  if (buffer == nullptr || capacity == 0) return 0;
  DWORD length = GetCurrentDirectoryW(capacity, reinterpret_cast<wchar_t*>(buffer));
  // A directory that does not fit answers the size it would need.
  return length < capacity ? length : 0;
}

bool FxPlatformNativeToInternal(const char* nativePath, cFxString& internal) {
  if (nativePath == nullptr || std::strlen(nativePath) >= MAX_PATH) return false;
  char text[MAX_PATH];
  std::strcpy(text, nativePath);
  PathRemoveBlanksA(text);
  // The system takes "/" for a separator too; the shell path functions
  // below know only "\\".
  for (char* c = text; *c != '\0'; ++c) {
    if (*c == '/') *c = '\\';
  }

  char combined[MAX_PATH];
  bool oneBackslash = text[0] == '\\' && text[1] != '\\';
  if (PathIsRelativeA(text) || oneBackslash) {
    // PathCombineA puts a path with one leading backslash on the drive root.
    char directory[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH) return false;
    if (PathCombineA(combined, directory, text) == nullptr) return false;
  } else {
    std::strcpy(combined, text);
  }
  char canonical[MAX_PATH];
  if (!PathCanonicalizeA(canonical, combined)) return false;

  std::string result = "@os:";
  const char* belowRoot = nullptr;
  int drive = PathGetDriveNumberA(canonical);
  if (drive >= 0) {
    result += static_cast<char>('a' + drive);
    result += '/';
    belowRoot = PathSkipRootA(canonical);
  } else if (canonical[0] == '\\' && canonical[1] == '\\') {
    result += "\\\\";
    belowRoot = canonical + 2;
  }
  if (belowRoot == nullptr) return false;
  // Names below the root, one "/" between them: a trailing or doubled
  // separator names no further directory.
  bool separate = false;
  for (const char* c = belowRoot; *c != '\0'; ++c) {
    if (*c == '\\') {
      separate = true;
      continue;
    }
    if (separate && result.back() != '/' && result.back() != '\\') result += '/';
    separate = false;
    result += *c;
  }
  internal = cFxString(result.c_str(), static_cast<uint32_t>(result.size()));
  return true;
}

uint32_t FxPlatformPathLimit() { return MAX_PATH; }

// ---- Files by wide native path ----------------------------------------------------------

eFxAccess FxPlatformAccessReadWrite(const wchar16* path) {
  if (_waccess(W(path), 6) == 0) return eFxAccessWritable;
  switch (errno) {
    case ENOENT:
      return eFxAccessMissing;
    case EACCES:
      return eFxAccessReadOnly;
    default:
      return eFxAccessOther;
  }
}

bool FxPlatformMakeReadWrite(const wchar16* path) { return _wchmod(W(path), _S_IREAD | _S_IWRITE) == 0; }

bool FxPlatformDeleteFile(const wchar16* path) { return DeleteFileW(W(path)) != 0; }

bool FxPlatformReplaceFile(const wchar16* source, const wchar16* target, std::string& reason) {
  if (MoveFileExW(W(source), W(target), MOVEFILE_REPLACE_EXISTING) != 0) return true;
  reason = FxPlatformLastErrorText();
  return false;
}

bool FxPlatformSyncFile(const wchar16* path, std::string& reason) {
  // Flushing a file's buffers needs write access to it.
  HANDLE handle = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) && CloseHandle(handle)) return true;
  reason = FxPlatformLastErrorText();
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return false;
}

void FxPlatformSyncFiles(const std::vector<std::u16string>& paths, std::vector<std::string>& reasons) {
  // Flushing a whole volume needs a privilege users rarely hold: file by file.
  reasons.assign(paths.size(), std::string());
  for (size_t i = 0; i < paths.size(); ++i) FxPlatformSyncFile(paths[i].c_str(), reasons[i]);
}

// ---- The lock of a rewriting run ---------------------------------------------------------

namespace {

// The name of the mutex that stands for `directory`: the same for every
// spelling of one directory (relative, short names, another case, through
// a junction), as the system resolves it, and valid as a mutex name: no
// backslash after the namespace, at most MAX_PATH characters. Empty when
// the directory cannot be found.
std::wstring TreeLockName(const wchar16* directory) {
  std::wstring path;
  HANDLE handle = CreateFileW(W(directory), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return path;
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) break;
    if (length < buffer.size()) {
      path.assign(buffer.data(), length);
      break;
    }
    buffer.resize(length + 1);
  }
  CloseHandle(handle);
  if (path.empty()) return path;
  // One directory may be spelt in any case.
  CharUpperBuffW(&path[0], static_cast<DWORD>(path.size()));
  for (wchar_t& unit : path)
    if (unit == L'\\') unit = L'/';
  const std::wstring prefix = L"Local\\glossmill-rewriting:";
  if (prefix.size() + path.size() <= MAX_PATH) return prefix + path;
  // A long path is named by a hash of all of it and its last part.
  uint64_t hash = 14695981039346656037ull;
  for (wchar_t unit : path) hash = (hash ^ static_cast<uint16_t>(unit)) * 1099511628211ull;
  wchar_t digits[17];
  swprintf(digits, 17, L"%016llx", static_cast<unsigned long long>(hash));
  const size_t room = MAX_PATH - prefix.size() - 17;
  return prefix + digits + L":" + path.substr(path.size() - room);
}

}  // namespace

eFxTreeLock FxPlatformLockTree(const wchar16* directory, intptr_t& lock) {
  const std::wstring name = TreeLockName(directory);
  if (name.empty()) return eFxTreeLockNone;
  // Not inherited: handles of the program's own are never passed on.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) return eFxTreeLockNone;
  // A mutex whose holder ended without letting go is the caller's now.
  const DWORD result = WaitForSingleObject(mutex, 0);
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
    lock = reinterpret_cast<intptr_t>(mutex);
    return eFxTreeLockTaken;
  }
  CloseHandle(mutex);
  return result == WAIT_TIMEOUT ? eFxTreeLockBusy : eFxTreeLockNone;
}

void FxPlatformUnlockTree(intptr_t lock) {
  ReleaseMutex(reinterpret_cast<HANDLE>(lock));
  CloseHandle(reinterpret_cast<HANDLE>(lock));
}

// ---- Directory enumeration -----------------------------------------------------------------

class cFxDirSearch {
 public:
  cFxDirSearch(HANDLE handle, const wchar16* directory) : mHandle(handle), mDirectory(directory) {}
  ~cFxDirSearch() { FindClose(mHandle); }
  cFxDirSearch(const cFxDirSearch&) = delete;
  cFxDirSearch& operator=(const cFxDirSearch&) = delete;
  HANDLE mHandle;
  // A find handle tells nothing of its directory: the identity comes from
  // the name the search started on.
  std::u16string mDirectory;
};

namespace {
void EntryFromData(const WIN32_FIND_DATAW& data, sFxDirEntry& entry) {
  entry.mName = cFxWString(reinterpret_cast<const wchar16*>(data.cFileName));
  // Junctions and directory links carry the directory attribute as well.
  entry.mKind =
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? eFxEntryDirectory : eFxEntryFile;
}
}  // namespace

cFxDirSearch* FxPlatformFindFirst(const wchar16* directory, sFxDirEntry& entry) {
  if (directory == nullptr) return nullptr;
  std::wstring pattern(W(directory));
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data;
  HANDLE handle = FindFirstFileW(pattern.c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  EntryFromData(data, entry);
  return new cFxDirSearch(handle, directory);
}

eFxFindResult FxPlatformFindNext(cFxDirSearch* search, sFxDirEntry& entry) {
  if (search == nullptr) return eFxFindFailed;
  WIN32_FIND_DATAW data;
  if (!FindNextFileW(search->mHandle, &data))
    return GetLastError() == ERROR_NO_MORE_FILES ? eFxFindNoMore : eFxFindFailed;
  EntryFromData(data, entry);
  return eFxFindFound;
}

void FxPlatformFindClose(cFxDirSearch* search) { delete search; }

bool FxPlatformGetSearchIdentity(cFxDirSearch* search, uint64_t* volume, uint64_t* file) {
  return search != nullptr && FxPlatformGetDirectoryIdentity(search->mDirectory.c_str(), volume, file);
}

bool FxPlatformGetDirectoryIdentity(const wchar16* directory, uint64_t* volume, uint64_t* file) {
  // Opening a directory needs backup semantics; no access is asked for.
  HANDLE handle = CreateFileW(W(directory), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  BOOL known = GetFileInformationByHandle(handle, &information);
  CloseHandle(handle);
  if (!known) return false;
  if (volume != nullptr) *volume = information.dwVolumeSerialNumber;
  if (file != nullptr)
    *file = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  return true;
}

// ---- Processes -----------------------------------------------------------------------------

namespace {

// The program a name stands for: with a directory as given, else from
// `firstDirectory` (when not null), else along the search path. Empty when
// none is found, with the reason as the last error.
std::string FindProgram(const char* program, const char* firstDirectory) {
  if (program == nullptr || *program == '\0') {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::string();
  }
  if (std::strpbrk(program, "\\/:") != nullptr) return program;
  if (firstDirectory != nullptr) {
    const std::string local = std::string(firstDirectory) + "\\" + program;
    if (IsFile(local.c_str())) return local;
  }
  char found[MAX_PATH];
  const char* searchPath = std::getenv("PATH");
  DWORD length = SearchPathA(searchPath, program, nullptr, MAX_PATH, found, nullptr);
  if (length == 0 || length >= MAX_PATH) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::string();
  }
  return found;
}

// Whether the environment entry "NAME=value" is of a variable that one of
// `entries` (null-terminated, "NAME=value" each) sets. Names are compared
// as Windows compares them, without regard to case; an entry of the
// system's own, such as "=C:=C:\\work", begins with its "=".
bool IsSetAmong(const char* entry, const char* const* entries) {
  const char* equals = std::strchr(entry + 1, '=');
  const size_t nameLength = equals != nullptr ? static_cast<size_t>(equals - entry) : std::strlen(entry);
  for (const char* const* other = entries; *other != nullptr; ++other)
    if (_strnicmp(entry, *other, nameLength) == 0 && (*other)[nameLength] == '=') return true;
  return false;
}

// The environment block of a child: the caller's variables with the
// entries of `setup` in place of (or besides) its own. Empty when `setup`
// changes nothing.
std::string ChildEnvironment(const sFxProgramSetup& setup) {
  std::string block;
  if (setup.mEnvironment == nullptr) return block;
  char* own = GetEnvironmentStringsA();
  for (const char* entry = own; entry != nullptr && *entry != '\0'; entry += std::strlen(entry) + 1)
    if (!IsSetAmong(entry, setup.mEnvironment)) block.append(entry, std::strlen(entry) + 1);
  if (own != nullptr) FreeEnvironmentStringsA(own);
  for (const char* const* entry = setup.mEnvironment; *entry != nullptr; ++entry)
    block.append(*entry, std::strlen(*entry) + 1);
  block += '\0';
  return block;
}

// A handle the child inherits for one of its standard streams.
HANDLE OpenOutputFile(const char* path) {
  SECURITY_ATTRIBUTES inherit;
  inherit.nLength = sizeof inherit;
  inherit.lpSecurityDescriptor = nullptr;
  inherit.bInheritHandle = TRUE;
  return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts `program` without waiting, set up as `setup` says. False when it
// cannot be started.
bool Spawn(const char* program, const char* const* args, const sFxProgramSetup& setup, HANDLE* process) {
  const std::string path =
      FindProgram(program, setup.mWorkingDirectory != nullptr ? setup.mWorkingDirectory : ".");
  if (path.empty()) return false;
  std::string environment = ChildEnvironment(setup);

  std::string commandLine = QuoteArgument(program);
  for (const char* const* arg = args; arg != nullptr && *arg != nullptr; ++arg)
    commandLine += " " + QuoteArgument(*arg);

  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  HANDLE output = INVALID_HANDLE_VALUE;
  HANDLE error = INVALID_HANDLE_VALUE;
  if (setup.mOutputFile != nullptr || setup.mErrorFile != nullptr) {
    if (setup.mOutputFile != nullptr) output = OpenOutputFile(setup.mOutputFile);
    if (setup.mErrorFile != nullptr) error = OpenOutputFile(setup.mErrorFile);
    const bool opened = (setup.mOutputFile == nullptr || output != INVALID_HANDLE_VALUE) &&
                        (setup.mErrorFile == nullptr || error != INVALID_HANDLE_VALUE);
    if (!opened) {
      if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
      if (error != INVALID_HANDLE_VALUE) CloseHandle(error);
      return false;
    }
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output != INVALID_HANDLE_VALUE ? output : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = error != INVALID_HANDLE_VALUE ? error : GetStdHandle(STD_ERROR_HANDLE);
  }

  // The child writes to the same console: what we printed comes first.
  std::fflush(stdout);
  std::fflush(stderr);
  PROCESS_INFORMATION information;
  // Handles are inherited so that redirected standard output reaches the
  // child; the program's own files are opened non-inheritable.
  const BOOL started = CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                      environment.empty() ? nullptr : &environment[0],
                                      setup.mWorkingDirectory, &startup, &information);
  // The reason the start failed, kept past the closing of the handles.
  const DWORD reason = GetLastError();
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  if (error != INVALID_HANDLE_VALUE) CloseHandle(error);
  if (!started) {
    SetLastError(reason);
    return false;
  }
  CloseHandle(information.hThread);
  *process = information.hProcess;
  return true;
}

// Closes the handle of an ended child and answers its exit status.
int FinishProcess(HANDLE process) {
  DWORD exitCode = 0;
  BOOL known = GetExitCodeProcess(process, &exitCode);
  CloseHandle(process);
  return known ? static_cast<int>(exitCode) : -1;
}

// The children started by FxPlatformStartProgram and not yet waited for.
struct sRunningProgram {
  uint32_t mToken;
  HANDLE mProcess;
};
std::vector<sRunningProgram> gRunningPrograms;
uint32_t gLastProgramToken = 0;

}  // namespace

bool FxPlatformRunProgram(const char* program, const char* const* args, int* exitStatus,
                          const sFxProgramSetup& setup) {
  HANDLE process;
  if (!Spawn(program, args, setup, &process)) return false;
  WaitForSingleObject(process, INFINITE);
  const int status = FinishProcess(process);
  if (exitStatus != nullptr) *exitStatus = status;
  return true;
}

uint32_t FxPlatformStartProgram(const char* program, const char* const* args,
                                const sFxProgramSetup& setup) {
  HANDLE process;
  if (!Spawn(program, args, setup, &process)) return 0;
  if (++gLastProgramToken == 0) ++gLastProgramToken;  // 0 means "not started"
  gRunningPrograms.push_back({gLastProgramToken, process});
  return gLastProgramToken;
}

uint32_t FxPlatformWaitForAnyProgram(int* exitStatus) {
  while (!gRunningPrograms.empty()) {
    // One wait covers at most MAXIMUM_WAIT_OBJECTS handles; with more, the
    // first ones are waited for and the rest on a later call.
    HANDLE handles[MAXIMUM_WAIT_OBJECTS] = {};
    const DWORD count = static_cast<DWORD>(
        gRunningPrograms.size() < MAXIMUM_WAIT_OBJECTS ? gRunningPrograms.size()
                                                        : MAXIMUM_WAIT_OBJECTS);
    for (DWORD i = 0; i < count; ++i) handles[i] = gRunningPrograms[i].mProcess;
    const DWORD result = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
    if (result >= WAIT_OBJECT_0 + count) {
      // A handle that cannot be waited for: give up on all of them rather
      // than spin, closing what is ours.
      for (const sRunningProgram& running : gRunningPrograms) CloseHandle(running.mProcess);
      gRunningPrograms.clear();
      return 0;
    }
    const size_t index = result - WAIT_OBJECT_0;
    const sRunningProgram ended = gRunningPrograms[index];
    gRunningPrograms.erase(gRunningPrograms.begin() + static_cast<std::ptrdiff_t>(index));
    const int status = FinishProcess(ended.mProcess);
    if (exitStatus != nullptr) *exitStatus = status;
    return ended.mToken;
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
  const std::string found = FindProgram(program, currentDirectoryFirst ? "." : nullptr);
  if (found.empty()) return false;
  // A name with a directory is not searched for: it must name a file.
  const DWORD attributes = GetFileAttributesA(found.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(found.c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return false;
  path.assign(full, length);
  return true;
}

// Windows starts its own programs.
bool FxPlatformIsWindowsProgram(const char*) { return false; }

const char* FxPlatformGetEnvironment(const char* name) { return std::getenv(name); }
