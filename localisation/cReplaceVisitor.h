// The common part of the two replacement visitors, which copy a document
// and turn the plain strings held in named tags into localised strings on
// the way: the output path, the three tag lists and the states both
// flavours share.
//
// The lists, whose names are compared exactly:
//   replace - tags whose plain strings become localised strings;
//   exclude - a tag named here shields itself and everything inside it;
//   scope   - when not empty, replacement and exclusion happen only inside
//             tags named here; when empty, everywhere.
// With an empty replace list nothing is replaced or excluded, and a scope
// is entered only when the scope list is empty too: the document is copied
// by the pass-through rules alone. A name may be listed more than once.
//
// States: passing; replacing (the part of a target that the localised
// string takes the place of: nothing inside it is written, each text it
// receives becomes one localised string); and, independently, excluding
// (until the next end tag bearing the excluded element's name: its own,
// unless one of the same name is nested inside it) and in scope (until the
// stack falls back to the depth at which the scope element started).
//
// A plain string whose text begins with CR never reaches a visitor: the
// walk drops such texts as layout. Rather than leave the target out of the
// output, a replaced part that comes to its first end tag without having
// received a text is copied unchanged: the start tags held back since it
// began are written then, and the rest of it passes through as if it were
// no target. A data file thus never loses a string it could not read.
#pragma once

#include <vector>

#include "API/core/cFxString.h"
#include "localisation/cRewritingVisitor.h"

class cReplaceVisitor : public cRewritingVisitor {
 public:
  // The file to write, used as given (the driver appends ".temp").
  void SetFilePath(const cFxWString& path) { mFilePath = path; }
  // The lists are kept interned, so an element's name is looked up in them
  // by handle.
  void SetReplaceTags(const std::vector<cFxWString>& tags) { mReplaceTags = Interned(tags); }
  void SetExcludeTags(const std::vector<cFxWString>& tags) { mExcludeTags = Interned(tags); }
  void SetScopeTags(const std::vector<cFxWString>& tags) { mScopeTags = Interned(tags); }

  cFxWString GetOutputFilePath() const override { return mFilePath; }

 protected:
  cReplaceVisitor(eFlavour flavour, bool declareNamespace)
      : cRewritingVisitor(flavour, declareNamespace) {}

  // Whether `name` stands in the replace list.
  bool IsReplaceTag(const cFxWString& name) const;
  // Whether an element named `name`, or standing for the tag `name`, opens
  // a scope: any element while the scope list is empty; else one the list
  // names, and only while the replace list is not empty.
  bool OpensScope(const cFxWString& name) const;
  // Whether it starts an exclusion: one the exclude list names, and only
  // while the replace list is not empty.
  bool StartsExclusion(const cFxWString& name) const;

  // The scope starts at the element about to be pushed.
  void EnterScope();
  void BeginExclusion(const cFxWString& name);
  // Replacing starts at the element about to be pushed.
  void BeginReplacement();
  // A text of the replaced part: a localised string is to be written.
  void NoteReplacementText() { mReplacementHadText = true; }
  // At an end tag inside the replaced part, before the pop: when no text
  // has come yet, writes the start tags held back and turns the rest of the
  // replaced part into a copy.
  void CopyReplacementWithoutText();
  void EndReplacement();
  bool IsCopyingTarget() const { return mCopyingTarget; }
  // After the pop of every end tag: ends the exclusion and the scope that
  // end with it.
  void EndExclusionAndScope(const cFxWString& name);

  bool mReplacing = false;
  bool mExcluding = false;
  bool mInScope = false;

 private:
  static std::vector<cFxWString> Interned(const std::vector<cFxWString>& tags);

  cFxWString mFilePath;
  std::vector<cFxWString> mReplaceTags;
  std::vector<cFxWString> mExcludeTags;
  std::vector<cFxWString> mScopeTags;
  cFxWString mExcludedName;
  uint32_t mScopeDepth = 0;
  // Stack size when the replaced part began: its start tags lie from there
  // up to the top.
  uint32_t mReplacementDepth = 0;
  bool mReplacementHadText = false;
  bool mCopyingTarget = false;
};
