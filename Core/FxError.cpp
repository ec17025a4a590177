// The process-wide error record, the output channels and the fatal path.
//
// Everything here lives in static storage and starts zeroed, so it can be
// used from static initialisers and from the fatal path without allocating.
// Every formatted text is cut to its 1024-character buffer.
#include "API/core/FxError.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Core/platform/FxPlatform.h"

namespace {

constexpr size_t cTextSize = 1024;
constexpr size_t cErrorFileSize = 256;
constexpr size_t cChannelNameSize = 32;
constexpr uint32_t cTableCount = 4096;
constexpr size_t cTableEntrySize = 1024;
// Room for a note naming a file: the longest path and a few words.
constexpr size_t cFatalNoteSize = 8192;

struct sChannel {
  uint8_t mEnabled;
  int32_t mMaxLength;
  char* mDestination;
  char mName[cChannelNameSize];
  int32_t mEcho;
};

// Where the next printed error says it comes from.
const char* gCurrentFile;
int32_t gCurrentLine;
int32_t gCurrentChannel;

// The recorded error.
uint32_t gErrorCode;
char gErrorFile[cErrorFileSize];
int32_t gErrorLine;
char gErrorMessage[cTextSize];
const char* gErrorTables[cTableCount];

// Nothing advances the frame counter yet; printing still compares the two
// so a frame line appears once per frame when something does.
int32_t gCurrentFrame;
int32_t gLastPrintedFrame;

tFxPreExitHook gPreExitHook;
tFxExceptionHook gExceptionHook;

sChannel gChannels[kFxChannel::cCount];

// Print buffers: the formatted message, the composed line, the box text.
char gMessage[cTextSize];
char gLine[cTextSize];
char gBoxText[cTextSize];

// Written after the box text; held with its line end, so it too arrives in
// one write.
char gFatalNote[cFatalNoteSize];

const char* OrEmpty(const char* text) { return text ? text : ""; }

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
// Formats into a 1024-character print buffer; longer text is cut to fit.
void Compose(char* buffer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, cTextSize, format, args);
  va_end(args);
}

// Writes `text` to the current channel without interpreting it again.
void Emit(const char* text) {
  if (gCurrentChannel < 0 || gCurrentChannel >= kFxChannel::cCount) return;
  sChannel& channel = gChannels[gCurrentChannel];
  if (!channel.mEnabled) return;
  if (text != gLine) Compose(gLine, "%s", text);
  if (channel.mEcho < 0) {
    FxPlatformDebugOutput(gLine);
    printf("%s", gLine);
  }
  if (channel.mDestination != nullptr && channel.mMaxLength >= 0) {
    strncpy(channel.mDestination, gLine, static_cast<size_t>(channel.mMaxLength));
    channel.mDestination[channel.mMaxLength] = '\0';
  }
}

void RunPreExitHook() {
  if (gPreExitHook == nullptr) return;
  // Cleared before the call so a hook that fails fatally cannot recurse.
  tFxPreExitHook hook = gPreExitHook;
  gPreExitHook = nullptr;
  hook();
}

}  // namespace

void FxSetErrorLine(int32_t line) { gErrorLine = line; }

void FxSetErrorFile(const char* file) {
  strncpy(gErrorFile, OrEmpty(file), cErrorFileSize);
  gErrorFile[cErrorFileSize - 1] = '\0';
}

void FxSetErrorCode(uint32_t code) { gErrorCode = code; }

void FxSetErrorMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(gErrorMessage, cTextSize, OrEmpty(format), args);
  va_end(args);
}

uint32_t FxGetErrorCode() { return gErrorCode; }
const char* FxGetErrorMessage() { return gErrorMessage; }
const char* FxGetErrorFile() { return gErrorFile; }

void FxSetErrorTable(uint32_t table, const char* entries) {
  if (table < cTableCount) gErrorTables[table] = entries;
}

void FxReportError() {
  FxSetCurrentLocation("Core/FxError", 87, 0);
  if (gErrorCode == 0) {
    FxErrorPrintf("No error");
  } else if (gErrorMessage[0] != '\0') {
    FxErrorPrintf("%s", gErrorMessage);
  } else {
    const char* table = gErrorTables[(gErrorCode >> 16) & 0xFFF];
    if (table == nullptr) {
      FxErrorPrintf("No error string available");
    } else {
      FxErrorPrintf("%s", table + (gErrorCode & 0xFFFF) * cTableEntrySize);
    }
  }
}

void FxChannelPrintf(int32_t channel, const char* format, ...) {
  gCurrentChannel = channel;
  va_list args;
  va_start(args, format);
  vsnprintf(gMessage, cTextSize, OrEmpty(format), args);
  va_end(args);
  Emit(gMessage);
}

void FxErrorPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(gMessage, cTextSize, OrEmpty(format), args);
  va_end(args);
  if (gCurrentFrame != gLastPrintedFrame) {
    Compose(gLine, "***** FRAME: %d\n", gCurrentFrame);
    Emit(gLine);
    gLastPrintedFrame = gCurrentFrame;
  }
  const char* name = "";
  if (gCurrentChannel >= 0 && gCurrentChannel < kFxChannel::cCount) {
    name = gChannels[gCurrentChannel].mName;
  }
  Compose(gLine, "ERROR: %s (%s,%d,%s)\n", gMessage, OrEmpty(gCurrentFile), gCurrentLine, name);
  Emit(gLine);
}

void FxFatalError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(gMessage, cTextSize, OrEmpty(format), args);
  va_end(args);
  Compose(gBoxText, "ERROR: %s\nFILE: %s\nLINE:%d", gMessage, OrEmpty(gCurrentFile), gCurrentLine);
  RunPreExitHook();
  // Serializer runs still going finish first: none outlives the program or
  // stops half way through writing a data file, and the error comes last.
  FxPlatformWaitForAllPrograms();
  // Progress lines already on standard output belong before the error, and
  // so does what the C library still holds for standard error (it buffers
  // it on Windows when standard error is not a console).
  fflush(stdout);
  fflush(stderr);
  FxPlatformMessageBox(gBoxText, "Error");
  // One write, so the text and its line end arrive together.
  char errText[cTextSize + 1];
  snprintf(errText, sizeof errText, "%s\n", gBoxText);
  FxPlatformWriteStdErr(errText);
  FxPlatformWriteStdErr(gFatalNote);
  RunPreExitHook();
  exit(-1);
}

void FxSetCurrentLocation(const char* file, int32_t line, int32_t channel) {
  gCurrentFile = file;
  gCurrentLine = line;
  gCurrentChannel = channel;
}

void FxSetChannel(int32_t channel, bool enabled, int32_t maxLength, char* destination,
                  const char* name, int32_t echo) {
  if (channel < 0 || channel >= kFxChannel::cCount) return;
  sChannel& entry = gChannels[channel];
  entry.mEnabled = enabled ? 1 : 0;
  entry.mMaxLength = maxLength;
  entry.mDestination = destination;
  snprintf(entry.mName, cChannelNameSize, "%s", OrEmpty(name));
  entry.mEcho = echo;
}

void FxSetFatalNote(const char* text) {
  gFatalNote[0] = '\0';
  if (text == nullptr || text[0] == '\0') return;
  const int length = snprintf(gFatalNote, cFatalNoteSize - 1, "%s", text);
  const size_t end = length < 0 ? 0 : std::min(static_cast<size_t>(length), cFatalNoteSize - 2);
  gFatalNote[end] = '\n';
  gFatalNote[end + 1] = '\0';
}

void FxSetPreExitHook(tFxPreExitHook hook) { gPreExitHook = hook; }

tFxPreExitHook FxGetPreExitHook() { return gPreExitHook; }
void FxSetExceptionHook(tFxExceptionHook hook) { gExceptionHook = hook; }
tFxExceptionHook FxGetExceptionHook() { return gExceptionHook; }
