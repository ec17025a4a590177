#include "app/PreExitHookScope.h"

#include <utility>

namespace {
// The scope whose step a fatal error runs next.
cPreExitHookScope* gInnermost = nullptr;
}  // namespace

cPreExitHookScope::cPreExitHookScope(std::function<void()> step)
    : mStep(std::move(step)), mPrevious(FxGetPreExitHook()), mOuter(gInnermost) {
  gInnermost = this;
  FxSetPreExitHook(RunInnermost);
}

cPreExitHookScope::~cPreExitHookScope() {
  FxSetPreExitHook(mPrevious);
  gInnermost = mOuter;
}

void cPreExitHookScope::RunInnermost() {
  cPreExitHookScope* scope = gInnermost;
  if (scope == nullptr) return;
  // The hook set before this scope may be the next scope's, which must
  // then find that one innermost. Nothing puts the pointer back: the
  // program ends after its hooks.
  gInnermost = scope->mOuter;
  scope->mStep();
  if (scope->mPrevious != nullptr) scope->mPrevious();
}
