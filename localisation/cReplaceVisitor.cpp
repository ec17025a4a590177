#include "localisation/cReplaceVisitor.h"

#include "localisation/VisitorHelpers.h"

namespace {
bool IsListed(const std::vector<cFxWString>& tags, const cFxWString& name) {
  for (const cFxWString& tag : tags) {
    if (TextEquals(tag, name)) return true;
  }
  return false;
}
}  // namespace

bool cReplaceVisitor::IsReplaceTag(const cFxWString& name) const {
  return IsListed(mReplaceTags, name);
}

bool cReplaceVisitor::OpensScope(const cFxWString& name) const {
  return mScopeTags.empty() || (!mReplaceTags.empty() && IsListed(mScopeTags, name));
}

bool cReplaceVisitor::StartsExclusion(const cFxWString& name) const {
  return !mReplaceTags.empty() && IsListed(mExcludeTags, name);
}

void cReplaceVisitor::EnterScope() {
  mScopeDepth = mElements.Size();
  mInScope = true;
}

void cReplaceVisitor::BeginExclusion(const cFxWString& name) {
  mExcludedName = name;
  mExcluding = true;
}

void cReplaceVisitor::BeginReplacement() {
  mReplacementDepth = mElements.Size();
  mReplacementHadText = false;
  mCopyingTarget = false;
  mReplacing = true;
}

void cReplaceVisitor::CopyReplacementWithoutText() {
  if (!mReplacing || mReplacementHadText || mCopyingTarget) return;
  // Nothing inside the replaced part has ended yet, so every start tag held
  // back is still on the stack, in document order.
  for (uint32_t i = mReplacementDepth; i < mElements.Size(); ++i) PassStartTag(mElements.At(i));
  mCopyingTarget = true;
}

void cReplaceVisitor::EndReplacement() {
  mReplacing = false;
  mCopyingTarget = false;
}

void cReplaceVisitor::EndExclusionAndScope(const cFxWString& name) {
  if (mExcluding && TextEquals(name, mExcludedName)) mExcluding = false;
  if (mInScope && mElements.Size() == mScopeDepth) mInScope = false;
}
