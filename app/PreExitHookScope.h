// A step a fatal error takes before the program ends, for as long as the
// scope lives: the read-ahead stops its thread, the commit queue finishes
// its files. It is the core's pre-exit hook (FxSetPreExitHook) while the
// scope lives, and the hook set before it comes back when it ends.
//
// Scopes nest, as a commit queue's reader lives inside the queue: a fatal
// error runs the innermost scope's step first, then whatever hook was set
// before that scope (the next scope out, or a hook of the caller's), so
// every step runs once, innermost first. One thread only: the run's.
#pragma once

#include <functional>

#include "API/core/FxError.h"

class cPreExitHookScope {
 public:
  explicit cPreExitHookScope(std::function<void()> step);
  ~cPreExitHookScope();
  cPreExitHookScope(const cPreExitHookScope&) = delete;
  cPreExitHookScope& operator=(const cPreExitHookScope&) = delete;

 private:
  static void RunInnermost();

  std::function<void()> mStep;
  tFxPreExitHook mPrevious;
  cPreExitHookScope* mOuter;
};
