// Assertions, verifications and traces: messages written to cLog.
//
// None of them stops the program. A failed assertion or verification writes
// its report as a prompt on filter "RunTimeError"; when the prompt answers
// false (it never does in this program) the process stops in an attached
// debugger and then continues. A trace writes one line on filter
// "Singleton" when a log viewer listens to it.
//
//   FX_ASSERT(creator || instance, "Can't register a singleton ...");
//   FX_VERIFY(entry != 0, "Couldn't create the entry");
//   FX_TRACE("Registering Singleton " << id << ":" << order);
//
// FX_VERIFY evaluates its expression exactly once in every build.
#pragma once

#include "API/core/FxTypes.h"
#include "API/core/cLog.h"

// Stops in an attached debugger; nothing without one.
void FxAssertBreak();

// Extracts the qualified function name ("cSingletonManager::Register") from
// a compiler's function signature text: the return type, the parameter list
// and anything after it are dropped. Always terminates `out` (capacity > 0).
void FxQualifiedFunctionName(const char* signature, char* out, uint32_t capacity);

// Writes the qualified function name followed by "()" as one text.
inline void FxLogFunctionName(cLog& log, const char* signature) {
  char name[256];
  FxQualifiedFunctionName(signature, name, sizeof name - 2);
  uint32_t end = 0;
  while (name[end] != '\0') ++end;
  name[end] = '(';
  name[end + 1] = ')';
  name[end + 2] = '\0';
  log << name;
}

#if defined(_MSC_VER)
#define FX_FUNCTION_SIGNATURE __FUNCTION__
#else
#define FX_FUNCTION_SIGNATURE __PRETTY_FUNCTION__
#endif

#define FX_ASSERT(condition, message)                                                         \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      static bool fxAssertIgnore = false;                                                     \
      cLog& fxAssertLog = cLog::GetLog();                                                     \
      if (fxAssertLog.SetFilter(kLog::RunTimeError) &&                                        \
          fxAssertLog.SetIgnoreParam(&fxAssertIgnore)) {                                      \
        fxAssertLog << &cLog::start_prompt << message << &cLog::endl << &cLog::endl           \
                    << "ASSERT(" #condition ");" << &cLog::endl << &cLog::endl;               \
        FxLogFunctionName(fxAssertLog, FX_FUNCTION_SIGNATURE);                                \
        fxAssertLog << &cLog::endl << &cLog::endl << __FILE__ << " : "                        \
                    << static_cast<int>(__LINE__) << &cLog::endl;                             \
        if (!(fxAssertLog << &cLog::prompt)) FxAssertBreak();                                 \
      }                                                                                       \
    }                                                                                         \
  } while (0)

#define FX_VERIFY(expression, message)                                                        \
  do {                                                                                        \
    if (!(expression)) {                                                                      \
      cLog& fxVerifyLog = cLog::GetLog();                                                     \
      if (fxVerifyLog.GetEnabled(kLog::RunTimeError) &&                                       \
          fxVerifyLog.SetFilter(kLog::RunTimeError) && fxVerifyLog.SetIgnoreParam(nullptr)) { \
        fxVerifyLog << &cLog::start_prompt << "Verify failed: " << &cLog::endl << &cLog::endl \
                    << __FILE__ << " : " << static_cast<int>(__LINE__) << &cLog::endl         \
                    << &cLog::endl << "Expression: " #expression << &cLog::endl               \
                    << &cLog::endl << message << &cLog::endl;                                 \
        if (!(fxVerifyLog << &cLog::prompt)) FxAssertBreak();                                 \
      }                                                                                       \
    }                                                                                         \
  } while (0)

#define FX_TRACE(values)                                                                      \
  do {                                                                                        \
    cLog& fxTraceLog = cLog::GetLog();                                                        \
    if (fxTraceLog.GetEnabled(kLog::Singleton) && fxTraceLog.SetFilter(kLog::Singleton)) {    \
      fxTraceLog << "Trace " << __FILE__ << " : " << static_cast<int>(__LINE__) << " = "      \
                 << values << &cLog::endl << &cLog::write;                                    \
    }                                                                                         \
  } while (0)
