// The process-wide diagnostic log.
//
// cLog writes no file and no console: it forwards texts, filter changes and
// a greeting to the log viewer, a separate program whose window is titled
// "Ticksee". Without a viewer (always so on POSIX) every write is a flag test
// and the window search backs off exponentially. Texts are grouped by filter;
// filters are enabled by name with setFilters.
//
// Usage: cLog::GetLog() << "text" << 42 << &cLog::endl << &cLog::write;
// Manipulators are members passed by pointer; prompt and endMessage answer
// bool, so they end a chain.
//
// The members of cLog are part of the program's exported interface: they keep
// their names and signatures. Single-threaded.
#pragma once

#include "API/core/FxTypes.h"

// Marks what the program exports to components loaded beside it.
#ifndef GLOSSMILL_EXPORT
#ifdef _WIN32
#define GLOSSMILL_EXPORT __declspec(dllexport)
#else
#define GLOSSMILL_EXPORT __attribute__((visibility("default")))
#endif
#endif

// A native window handle, opaque outside the platform layer.
typedef void* tFxWindow;

namespace kLog {
enum eFilter {
  Core = 0,
  GameManager = 1,
  Singleton = 2,
  Components = 3,
  Entity = 4,
  Engine = 5,
  Input = 6,
  Scheduler = 7,
  TrackManager = 8,
  RailVehicleManager = 9,
  DataManagement = 10,
  ScriptManager = 11,
  RouteManager = 12,
  ScenarioManager = 13,
  DriverManager = 14,
  WindowsManager = 15,
  Sound = 16,
  Streaming = 17,
  Platforms = 18,
  Pathing = 19,
  Physics = 20,
  Camera = 21,
  Initialise = 22,
  Update = 23,
  Reset = 24,
  Content = 25,
  Shutdown = 26,
  Signals = 27,
  GhostAI = 28,
  UnitTests = 29,
  RunTimeError = 30
};
constexpr unsigned int cFilterCount = 31;
constexpr uint32_t cPromptSize = 1024;  // 16-bit characters, terminator included
constexpr uint32_t cLogTextSize = 256;

// Kinds of message in the data word sent to the viewer.
constexpr uint32_t cSendText = 0;         // narrow text with terminator
constexpr uint32_t cSendFilterName = 1;   // name of the new current filter
constexpr uint32_t cSendGreeting = 3;     // no data: the viewer was just found
constexpr uint32_t cSendWideText = 4;     // 16-bit text with terminator
}  // namespace kLog

class cLog;
// Writing to the log. A narrow or wide text is appended to the prompt text
// while collecting (bytes widened with sign extension) unless the prompt
// text would reach 1023 characters, and is sent to the viewer when the
// current filter is enabled. Numbers are formatted into cLog::mLogText
// ("%d", "%u", "'%c'", "%f"..., or "%08x", "%04x", "%02x" in hex mode) and
// written as text.
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, const char* text);
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, const wchar16* text);
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, const unsigned short* text);
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, long value);
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, unsigned long value);
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, int value);
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, unsigned int value);
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, short value);
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, unsigned short value);
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, signed char value);
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, unsigned char value);
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, float value);

class GLOSSMILL_EXPORT cLog {
 public:
  // Constructs the log and resets the shared state (filter flags, window
  // search back-off) to its start. The program uses the one instance that
  // GetLog answers; tests may build their own.
  cLog();
  // Trivial, so the log stays usable while other objects are destroyed at
  // exit (the singleton manager traces its shutdown).
  ~cLog() = default;
  cLog(const cLog&) = delete;
  cLog& operator=(const cLog&) = delete;

  static cLog& GetLog();

  // Looks the viewer window up by its title and greets it when found.
  void findTicksee();
  // With a viewer: the filter's flag. Without: false, and on the 1st, 3rd,
  // 7th, 15th ... call since the last search the window is searched again.
  bool GetEnabled(kLog::eFilter filter);
  // Makes `filter` current (sending its name to a viewer when it changes to
  // an enabled filter); always true.
  bool SetFilter(unsigned int filter);
  // Sets every filter to !enable with "Content" and "RunTimeError" on, then
  // sets the filters named in the comma-separated `list` to `enable` (names
  // compared case-insensitively; "all" sets every filter, 25 and 30
  // included, and ends the list). Unknown names are ignored.
  void setFilters(const char* list, bool enable);
  bool SetIgnoreParam(bool* flag);
  void SetDialogParent(tFxWindow parent);
  void shutdown();

  // Manipulators.
  cLog& start_prompt();  // empties the prompt text and starts collecting
  cLog& hex();           // numbers in hexadecimal
  cLog& dec();           // numbers in decimal
  cLog& endl();          // writes "\r\n"
  cLog& write();         // ends a statement
  bool prompt();         // true: nothing is shown to a user
  bool endMessage();     // true

  // Texts and numbers (formatted into mLogText, then written as text).
  friend cLog& operator<<(cLog& log, const char* text);
  friend cLog& operator<<(cLog& log, const wchar16* text);
  friend cLog& operator<<(cLog& log, const unsigned short* text);
  friend cLog& operator<<(cLog& log, long value);
  friend cLog& operator<<(cLog& log, unsigned long value);
  friend cLog& operator<<(cLog& log, int value);
  friend cLog& operator<<(cLog& log, unsigned int value);
  friend cLog& operator<<(cLog& log, short value);
  friend cLog& operator<<(cLog& log, unsigned short value);
  friend cLog& operator<<(cLog& log, signed char value);
  friend cLog& operator<<(cLog& log, unsigned char value);
  friend cLog& operator<<(cLog& log, float value);

  // ---- Inspection and test seams ------------------------------------------
  const wchar16* GetPromptText() const { return mPromptText; }
  int32_t GetCurrentFilter() const { return mCurrentFilter; }
  static bool IsFilterEnabled(unsigned int filter);
  // How the log reaches the viewer. Null arguments restore the platform's
  // window lookup and WM_COPYDATA sender.
  typedef void* (*tFindWindow)(const char* title);
  typedef void (*tSendCopyData)(void* window, uint32_t kind, const void* data, uint32_t size);
  static void SetViewerPort(tFindWindow find, tSendCopyData send);

 private:
  // The one instance is constant-initialised, so other static initialisers
  // may log before dynamic initialisation reaches this file.
  struct sStaticInit {};
  constexpr explicit cLog(sStaticInit)
      : mCurrentFilter(-1),
        mHexMode(0),
        mPromptText{},
        mCollecting(0),
        mViewerWindow(nullptr),
        mDialogParent(nullptr),
        mIgnoreParam(nullptr) {}

  cLog& writeLogText();
  void sendText(uint32_t kind, const void* data, uint32_t size) const;
  bool currentFilterEnabled() const;

  static uint32_t wstrlen(const wchar16* text);
  static wchar16* wstrcat(wchar16* dst, const wchar16* src);
  static wchar16* wstrcatstr(wchar16* dst, const char* src);

  int32_t mCurrentFilter;
  uint8_t mHexMode;
  wchar16 mPromptText[kLog::cPromptSize];
  uint8_t mCollecting;
  tFxWindow mViewerWindow;
  tFxWindow mDialogParent;
  bool* mIgnoreParam;

  static cLog mIt;
  static char mLogText[kLog::cLogTextSize];
  static uint8_t mFilterFlags[kLog::cFilterCount];
  static uint32_t mWindowSearchCount;
  static uint32_t mWindowSearchThreshold;
};

// Manipulators: `log << &cLog::endl` calls the member and answers its result.
GLOSSMILL_EXPORT cLog& operator<<(cLog& log, cLog& (cLog::*manipulator)());
GLOSSMILL_EXPORT bool operator<<(cLog& log, bool (cLog::*manipulator)());
