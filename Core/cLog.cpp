// The diagnostic log and its link to the log viewer.
#include "API/core/cLog.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "Core/platform/FxPlatform.h"

namespace {

// Names as setFilters matches them and as the viewer receives them.
const char* const cFilterNames[kLog::cFilterCount] = {
    "Core",          "Game Manager",   "Singleton",       "Components",
    "Entity",        "Engine",         "Input",           "Scheduler",
    "Track Manager", "Rail Vehicle Manager", "Data Management", "Script Manager",
    "Route Manager", "Scenario Manager", "Driver Manager", "Windows Manager",
    "Sound",         "Streaming",      "Platforms",       "Pathing",
    "Physics",       "Camera",         "Initialise",      "Update",
    "Reset",         "Content",        "Shutdown",        "Signals",
    "GhostAI",       "UnitTests",      "RunTimeError"};

const char* const cViewerTitle = "Ticksee";

cLog::tFindWindow gFindWindow = FxPlatformFindWindow;
cLog::tSendCopyData gSendCopyData = FxPlatformSendCopyData;

// ASCII-only, like the names it compares.
bool EqualsIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char ca = *a;
    char cb = *b;
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<char>(cb - 'A' + 'a');
    if (ca != cb) return false;
    if (ca == '\0') return true;
  }
}

void SetAllFilters(uint8_t* flags, uint8_t value) {
  for (unsigned int i = 0; i < kLog::cFilterCount; ++i) flags[i] = value;
}

}  // namespace

cLog cLog::mIt{cLog::sStaticInit{}};
char cLog::mLogText[kLog::cLogTextSize];
uint8_t cLog::mFilterFlags[kLog::cFilterCount] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                  0, 0, 0, 1, 0, 0, 0, 0, 1};
uint32_t cLog::mWindowSearchCount = 0;
uint32_t cLog::mWindowSearchThreshold = 1;

cLog::cLog() : cLog(sStaticInit{}) {
  SetAllFilters(mFilterFlags, 0);
  mFilterFlags[kLog::Content] = 1;
  mFilterFlags[kLog::RunTimeError] = 1;
  mWindowSearchCount = 0;
  mWindowSearchThreshold = 1;
}

cLog& cLog::GetLog() { return mIt; }

void cLog::findTicksee() {
  mViewerWindow = gFindWindow(cViewerTitle);
  if (mViewerWindow != nullptr) sendText(kLog::cSendGreeting, nullptr, 0);
}

bool cLog::GetEnabled(kLog::eFilter filter) {
  if (mViewerWindow != nullptr) return IsFilterEnabled(filter);
  // Searching is a system call: back off exponentially while nobody listens.
  if (++mWindowSearchCount >= mWindowSearchThreshold) {
    findTicksee();
    if (mWindowSearchThreshold < 0x80000000u) mWindowSearchThreshold *= 2;
    mWindowSearchCount = 0;
  }
  return false;
}

bool cLog::SetFilter(unsigned int filter) {
  const int32_t next = static_cast<int32_t>(filter);
  if (mViewerWindow != nullptr && next != mCurrentFilter && IsFilterEnabled(filter)) {
    const char* name = cFilterNames[filter];
    sendText(kLog::cSendFilterName, name, static_cast<uint32_t>(strlen(name) + 1));
  }
  mCurrentFilter = next;
  return true;
}

void cLog::setFilters(const char* list, bool enable) {
  const uint8_t on = enable ? 1 : 0;
  SetAllFilters(mFilterFlags, enable ? 0 : 1);
  mFilterFlags[kLog::RunTimeError] = 1;
  mFilterFlags[kLog::Content] = 1;
  if (list == nullptr || list[0] == '\0') return;
  // strtok writes into the text it splits.
  std::vector<char> copy(list, list + strlen(list) + 1);
  for (char* token = strtok(copy.data(), ","); token != nullptr; token = strtok(nullptr, ",")) {
    if (EqualsIgnoringCase(token, "all")) {
      SetAllFilters(mFilterFlags, on);
      return;
    }
    for (unsigned int i = 0; i < kLog::cFilterCount; ++i) {
      if (EqualsIgnoringCase(token, cFilterNames[i])) {
        mFilterFlags[i] = on;
        break;
      }
    }
  }
}

bool cLog::SetIgnoreParam(bool* flag) {
  mIgnoreParam = flag;
  return true;
}

void cLog::SetDialogParent(tFxWindow parent) { mDialogParent = parent; }

void cLog::shutdown() {}

cLog& cLog::start_prompt() {
  mPromptText[0] = 0;
  mCollecting = 1;
  return *this;
}

cLog& cLog::hex() {
  mHexMode = 1;
  return *this;
}

cLog& cLog::dec() {
  mHexMode = 0;
  return *this;
}

cLog& cLog::endl() { return *this << "\r\n"; }

cLog& cLog::write() { return *this; }

bool cLog::prompt() { return true; }

bool cLog::endMessage() { return true; }

bool cLog::IsFilterEnabled(unsigned int filter) {
  return filter < kLog::cFilterCount && mFilterFlags[filter] != 0;
}

void cLog::SetViewerPort(tFindWindow find, tSendCopyData send) {
  gFindWindow = find ? find : FxPlatformFindWindow;
  gSendCopyData = send ? send : FxPlatformSendCopyData;
}

cLog& cLog::writeLogText() { return *this << mLogText; }

void cLog::sendText(uint32_t kind, const void* data, uint32_t size) const {
  gSendCopyData(mViewerWindow, kind, data, size);
}

bool cLog::currentFilterEnabled() const {
  return mCurrentFilter >= 0 && IsFilterEnabled(static_cast<unsigned int>(mCurrentFilter));
}

uint32_t cLog::wstrlen(const wchar16* text) {
  uint32_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

wchar16* cLog::wstrcat(wchar16* dst, const wchar16* src) {
  dst += wstrlen(dst);
  while (*src != 0) *dst++ = *src++;
  *dst = 0;
  return dst;
}

wchar16* cLog::wstrcatstr(wchar16* dst, const char* src) {
  dst += wstrlen(dst);
  // Sign extension, as every narrow-to-wide conversion of the core does.
  while (*src != 0) *dst++ = static_cast<wchar16>(static_cast<int16_t>(static_cast<signed char>(*src++)));
  *dst = 0;
  return dst;
}

cLog& operator<<(cLog& log, const char* text) {
  if (text == nullptr) return log;
  const uint32_t length = static_cast<uint32_t>(strlen(text));
  if (log.mCollecting && length + cLog::wstrlen(log.mPromptText) < kLog::cPromptSize - 1) {
    cLog::wstrcatstr(log.mPromptText, text);
  }
  if (log.mViewerWindow != nullptr && log.currentFilterEnabled()) {
    log.sendText(kLog::cSendText, text, length + 1);
  }
  return log;
}

cLog& operator<<(cLog& log, const wchar16* text) {
  if (text == nullptr) return log;
  const uint32_t length = cLog::wstrlen(text);
  if (log.mCollecting && length + cLog::wstrlen(log.mPromptText) < kLog::cPromptSize - 1) {
    cLog::wstrcat(log.mPromptText, text);
  }
  if (log.mViewerWindow != nullptr && log.currentFilterEnabled()) {
    log.sendText(kLog::cSendWideText, text, (length + 1) * 2);
  }
  return log;
}

cLog& operator<<(cLog& log, const unsigned short* text) {
  // Both are 16-bit code units; the viewer and the prompt see the same text.
  return log << reinterpret_cast<const wchar16*>(text);
}

namespace {

// Formats a number into the log's text buffer. Hexadecimal forms show the
// value as the 32-bit word the viewer expects; short and char values reach
// either format promoted to int, as in any variadic call, so a negative one
// shows all 32 bits in hex mode.
template <typename T>
void FormatNumber(char* text, bool hex, const char* hexFormat, const char* decimalFormat, T value) {
  if (hex)
    snprintf(text, kLog::cLogTextSize, hexFormat, static_cast<unsigned int>(value));
  else
    snprintf(text, kLog::cLogTextSize, decimalFormat, value);
}

}  // namespace

cLog& operator<<(cLog& log, long value) {
  FormatNumber(cLog::mLogText, log.mHexMode, "%08x", "%ld", value);
  return log.writeLogText();
}

cLog& operator<<(cLog& log, unsigned long value) {
  FormatNumber(cLog::mLogText, log.mHexMode, "%08x", "%lu", value);
  return log.writeLogText();
}

cLog& operator<<(cLog& log, int value) {
  FormatNumber(cLog::mLogText, log.mHexMode, "%08x", "%d", value);
  return log.writeLogText();
}

cLog& operator<<(cLog& log, unsigned int value) {
  FormatNumber(cLog::mLogText, log.mHexMode, "%08x", "%u", value);
  return log.writeLogText();
}

cLog& operator<<(cLog& log, short value) {
  FormatNumber(cLog::mLogText, log.mHexMode, "%04x", "%d", static_cast<int>(value));
  return log.writeLogText();
}

cLog& operator<<(cLog& log, unsigned short value) {
  FormatNumber(cLog::mLogText, log.mHexMode, "%04x", "%u", static_cast<unsigned int>(value));
  return log.writeLogText();
}

cLog& operator<<(cLog& log, signed char value) {
  FormatNumber(cLog::mLogText, log.mHexMode, "%02x", "'%c'", static_cast<int>(value));
  return log.writeLogText();
}

cLog& operator<<(cLog& log, unsigned char value) {
  FormatNumber(cLog::mLogText, log.mHexMode, "%02x", "'%c'", static_cast<int>(value));
  return log.writeLogText();
}

cLog& operator<<(cLog& log, float value) {
  snprintf(cLog::mLogText, kLog::cLogTextSize, "%f", static_cast<double>(value));
  return log.writeLogText();
}

cLog& operator<<(cLog& log, cLog& (cLog::*manipulator)()) { return (log.*manipulator)(); }

bool operator<<(cLog& log, bool (cLog::*manipulator)()) { return (log.*manipulator)(); }
