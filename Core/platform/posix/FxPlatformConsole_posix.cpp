// Console, debugger and log viewer on POSIX.
//
// POSIX has no message box, no debugger output channel and no log viewer:
// those calls do nothing, and the fatal path's text reaches the user through
// standard error alone.
#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Core/platform/FxPlatform.h"

void FxPlatformKeepRunningWhenWritesFail() {
  // Without a reader a write raises SIGPIPE, and beyond the file-size limit
  // SIGXFSZ; either ends the process. Ignored, the write fails with EPIPE
  // or EFBIG instead.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

void FxPlatformWriteStdErr(const char* text) {
  if (text == nullptr) return;
  size_t left = strlen(text);
  while (left > 0) {
    const ssize_t written = write(STDERR_FILENO, text, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // nowhere else to report it
    }
    text += written;
    left -= static_cast<size_t>(written);
  }
}

void FxPlatformDebugOutput(const char*) {}

void FxPlatformMessageBox(const char*, const char*) {}

namespace {

// A process is being traced when /proc names a tracer.
bool DebuggerAttached() {
  FILE* status = fopen("/proc/self/status", "r");
  if (status == nullptr) return false;
  char line[256];
  long tracer = 0;
  while (fgets(line, sizeof line, status) != nullptr) {
    if (strncmp(line, "TracerPid:", 10) == 0) {
      tracer = strtol(line + 10, nullptr, 10);
      break;
    }
  }
  fclose(status);
  return tracer != 0;
}

void IgnoreTrap(int) {}

}  // namespace

void FxPlatformDebugBreak() {
  if (!DebuggerAttached()) return;
  // A debugger stops on the trap before the handler runs; a tracer that only
  // watches (strace) passes it on, and the handler keeps the default action,
  // ending the process, from happening.
  struct sigaction ignore;
  struct sigaction previous;
  memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = IgnoreTrap;
  sigemptyset(&ignore.sa_mask);
  if (sigaction(SIGTRAP, &ignore, &previous) != 0) return;
  raise(SIGTRAP);
  sigaction(SIGTRAP, &previous, nullptr);
}

void* FxPlatformFindWindow(const char*) { return nullptr; }

void FxPlatformSendCopyData(void*, uint32_t, const void*, uint32_t) {}
