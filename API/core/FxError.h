// The process-wide error record and the output channels.
//
// Core routines do not throw on ordinary failure: they record what went
// wrong here (file, line, code, message) and answer false, null or -1. Only
// a fatal error ends the process: FxFatalError shows its message box (on
// Windows), writes the box's text to standard error on every platform, and
// exits with status -1.
#pragma once

#include "API/core/FxTypes.h"

void FxSetErrorLine(int32_t line);
void FxSetErrorFile(const char* file);  // copies at most 256 characters
void FxSetErrorCode(uint32_t code);
void FxSetErrorMessage(const char* format, ...);
uint32_t FxGetErrorCode();
const char* FxGetErrorMessage();
const char* FxGetErrorFile();

// Error-text tables: table t (bits 16..27 of a code) holds entries of 1024
// characters, entry i at offset i * 1024. All are null unless set here; the
// table must outlive every report.
void FxSetErrorTable(uint32_t table, const char* entries);

// Prints the recorded error on channel 0 (silent unless enabled).
void FxReportError();
void FxChannelPrintf(int32_t channel, const char* format, ...);
void FxErrorPrintf(const char* format, ...);
[[noreturn]] void FxFatalError(const char* format, ...);
// One more line that a fatal error writes to standard error after the box's
// text (for instance which file was being read), so the place of the fault
// is known even when standard output went elsewhere. The text is copied,
// cut to 8191 characters; null or "" removes it.
void FxSetFatalNote(const char* text);

// Sets the file and line that FxErrorPrintf and FxFatalError name.
void FxSetCurrentLocation(const char* file, int32_t line, int32_t channel);

// The 64 output channels; all start disabled. A channel with a negative echo
// value also writes to the debugger output and standard output.
namespace kFxChannel {
constexpr int32_t cCount = 64;
}
// Configures a channel (out-of-range numbers are ignored). Each emitted text
// replaces the destination's contents: at most `maxLength` characters are
// copied and a terminator is stored at index `maxLength`, so `destination`
// (may be null) must hold maxLength + 1 characters. The name (cut to 31
// characters) appears in error lines.
void FxSetChannel(int32_t channel, bool enabled, int32_t maxLength, char* destination,
                  const char* name, int32_t echo);

// Hooks: the pre-exit hook runs once before the message box and is cleared
// as it is called; one set again by then runs once more just before exit.
// The exception hook is asked first when an exception is raised and may
// handle it by answering true.
typedef void (*tFxPreExitHook)();
typedef bool (*tFxExceptionHook)(const char* text);
void FxSetPreExitHook(tFxPreExitHook hook);
tFxPreExitHook FxGetPreExitHook();
void FxSetExceptionHook(tFxExceptionHook hook);
tFxExceptionHook FxGetExceptionHook();
