#include "localisation/cRewritingVisitor.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"
#include "xml/cXmlElement.h"

cRewritingVisitor::cRewritingVisitor(eFlavour flavour, bool declareNamespace)
    : mDeclareNamespace(declareNamespace), mFlavour(flavour) {}

void cRewritingVisitor::StartDocument() {
  bool opened;
  if (mOutput == nullptr) {
    opened = mStream.Open(cFxPath(GetOutputFilePath()), kFxFileMode::cModeTemporary, 0, 0,
                          kRewrite::cStreamBufferSize, kRewrite::cStreamBufferSize);
  } else {
    cFxOsFile* file = mOutput->OpenOutput(GetOutputFilePath(), mOutputFailure);
    if (file == nullptr) return;
    opened = mStream.Attach(file, 0, kRewrite::cStreamBufferSize, kRewrite::cStreamBufferSize);
  }
  if (opened)
    mWriter.Begin(mStream);
  else
    mOutputFailure = mStream.GetFailure();
}

void cRewritingVisitor::EndDocument() {
  if (!mStream.IsOpen()) return;
  // Flushing the output to disk is the write-back's step, which can
  // overlap it with the reading of the next file.
  mOutputComplete = mStream.Close();
  if (!mOutputComplete) mOutputFailure = mStream.GetFailure();
}

const wchar16* cRewritingVisitor::PrefixOf(const cFxWString& name) const {
  if (IsGameFlavour() && (WatchedNames().mNil.Matches(name) || WatchedNames().mBlob.Matches(name)))
    return kLocalisation::cNamespacePrefix;
  return u"";
}

void cRewritingVisitor::PassStartTag(const cXmlElement& element) {
  if (HasOutput()) {
    mWriter.StartElement(element.GetName(), PrefixOf(element.GetName()));
    // Most tags have no attributes, and then nothing to declare either.
    if (element.GetAttributeCount() != 0)
      element.WriteAttributes(mWriter, mDeclareNamespace, IsGameFlavour());
  }
  mDeclareNamespace = false;
}

void cRewritingVisitor::PassEndTag(const cFxWString& name) {
  if (HasOutput()) mWriter.EndElement(name, PrefixOf(name));
}

void cRewritingVisitor::PassText(const cXmlText& text) {
  if (IsGameFlavour()) {
    // An untyped element with nothing in it (such as "Other") keeps its
    // empty form, a typed one its start and end tag; "nil" stays empty.
    const cXmlElement* container = mElements.Top();
    bool typed = false;
    if (container) {
      if (WatchedNames().mNil.Matches(container->GetName())) return;
      typed = !GetAttributeOrEmpty(*container, kLocalisation::cTypeAttribute).IsEmpty();
    }
    if (!typed && text.IsEmpty()) return;
  }
  WriteText(text);
}

void cRewritingVisitor::WriteText(const cXmlText& text) {
  if (HasOutput()) mWriter.Text(text.Units(), text.Length());
}
