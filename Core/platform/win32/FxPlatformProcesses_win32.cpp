// Processes on Windows: programs started directly with CreateProcessA,
// found as the system finds them, and waited for; the environment.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Core/platform/cFxRunningPrograms.h"
#include "Core/platform/win32/FxWin32.h"

namespace {

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
cFxRunningPrograms<HANDLE> gRunning;

}  // namespace

cFxOsResult FxPlatformRunProgram(const char* program, const char* const* args, int* exitStatus,
                                 const sFxProgramSetup& setup) {
  HANDLE process;
  if (!Spawn(program, args, setup, &process)) return FxWin32LastError();
  WaitForSingleObject(process, INFINITE);
  const int status = FinishProcess(process);
  if (exitStatus != nullptr) *exitStatus = status;
  return cFxOsResult();
}

cFxOsResult FxPlatformStartProgram(const char* program, const char* const* args, uint32_t& token,
                                   const sFxProgramSetup& setup) {
  HANDLE process;
  if (!Spawn(program, args, setup, &process)) return FxWin32LastError();
  token = gRunning.Add(process);
  return cFxOsResult();
}

uint32_t FxPlatformWaitForAnyProgram(int* exitStatus) {
  while (!gRunning.Programs().empty()) {
    // One wait covers at most MAXIMUM_WAIT_OBJECTS handles; with more, the
    // first ones are waited for and the rest on a later call.
    HANDLE handles[MAXIMUM_WAIT_OBJECTS] = {};
    const size_t running = gRunning.Programs().size();
    const DWORD count = static_cast<DWORD>(running < MAXIMUM_WAIT_OBJECTS ? running : MAXIMUM_WAIT_OBJECTS);
    for (DWORD i = 0; i < count; ++i) handles[i] = gRunning.Programs()[i].mChild;
    const DWORD result = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
    if (result >= WAIT_OBJECT_0 + count) {
      // A handle that cannot be waited for: give up on all of them rather
      // than spin, closing what is ours.
      for (const auto& program : gRunning.Programs()) CloseHandle(program.mChild);
      gRunning.Clear();
      return 0;
    }
    const size_t index = result - WAIT_OBJECT_0;
    const auto ended = gRunning.Remove(index);
    const int status = FinishProcess(ended.mChild);
    if (exitStatus != nullptr) *exitStatus = status;
    return ended.mToken;
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
  const std::string found = FindProgram(program, currentDirectoryFirst ? "." : nullptr);
  if (found.empty()) return FxWin32LastError();
  // A name with a directory is not searched for: it must name a file.
  const DWORD attributes = GetFileAttributesA(found.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FxWin32LastError();
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FxWin32LastError();
  }
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(found.c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return FxWin32LastError();
  path.assign(full, length);
  return cFxOsResult();
}

// Windows starts its own programs.
bool FxPlatformIsWindowsProgram(const char*) { return false; }

const char* FxPlatformGetEnvironment(const char* name) { return std::getenv(name); }
