#include "localisation/cReplaceVisitor.h"

#include "localisation/VisitorHelpers.h"

namespace {
// The tags are interned: an interned name (an element's) is one of them
// only as the same buffer; any other (an attribute's value) is compared by
// its text.
bool IsListed(const std::vector<cFxWString>& tags, const cFxWString& name) {
  if (tags.empty()) return false;
  if (name.IsInterned()) {
    for (const cFxWString& tag : tags) {
      if (tag.GetHandle() == name.GetHandle()) return true;
    }
    return false;
  }
  for (const cFxWString& tag : tags) {
    if (TextEquals(tag, name)) return true;
  }
  return false;
}
}  // namespace

std::vector<cFxWString> cReplaceVisitor::Interned(const std::vector<cFxWString>& tags) {
  std::vector<cFxWString> interned;
  interned.reserve(tags.size());
  for (const cFxWString& tag : tags) interned.push_back(cFxWString::Intern(tag.c_str(), tag.Length()));
  return interned;
}

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
