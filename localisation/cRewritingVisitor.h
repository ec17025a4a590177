// The common part of the visitors that copy a document to a new XML file
// (update and replacement): the output stream and writer, the stack of open
// elements, and the pass-through rules by which a node is copied unchanged.
//
// StartDocument opens the output, always a new regular file (whatever stood
// at its name is removed as itself first, so a link planted there is never
// written through), and, only when it opened, attaches the writer and
// writes the XML declaration. A visitor
// whose output cannot be opened therefore writes nothing at all and leaves
// no output file behind; every later Pass/Write call is dropped.
// A driver may take the opening over (SetOutput): the visitor's stream then
// writes through the file object the driver gives, and what becomes of the
// bytes (and any failure after they were handed over) is the driver's.
// EndDocument writes out what is buffered and closes the output. Only then
// may the output replace the data file, once the write-back has flushed it
// to disk: IsOutputComplete tells the driver whether
// it may, and when not,
// GetOutputFailure says why (a file that could not be created, a full disk,
// a file-size limit).
//
// Flavours:
//   game   - the XML form of a ".bin": elements "nil" and "blob" carry the
//            prefix "d", every attribute is written as "d:name", a text is
//            copied when its element is typed or the text is non-empty, and
//            never into "nil";
//   source - ".xml" data files: no prefixes, every text copied (an empty one
//            too, so empty-element tags come back as start and end tag).
#pragma once

#include "API/core/cFxString.h"
#include "localisation/cElementStack.h"
#include "localisation/LocalisedStringVocabulary.h"
#include "xml/cElementVisitor.h"
#include "xml/cFxFile.h"
#include "xml/cXmlWriter.h"

namespace kRewrite {
// Read and write buffer of the rewritten file's stream.
constexpr int cStreamBufferSize = 64 * 1024;
}  // namespace kRewrite

// The opening of a rewriting visitor's output, taken over by a driver.
class iRewriteOutput {
 public:
  // A file object through which the visitor's stream writes the copy to
  // `path`, made here with new and owned by the stream from then on; null,
  // with the reason in `failure`, when the copy cannot be begun at all.
  virtual cFxOsFile* OpenOutput(const cFxWString& path, cFxString& failure) = 0;
  virtual ~iRewriteOutput() = default;
};

class cRewritingVisitor : public cElementVisitor {
 public:
  void StartDocument() override;
  void EndDocument() override;

  // Who opens the output from the next StartDocument on; null (the default):
  // the visitor opens it itself.
  void SetOutput(iRewriteOutput* output) { mOutput = output; }

  // The file the document is copied to (the data file's temporary sibling).
  virtual cFxWString GetOutputFilePath() const = 0;
  // After EndDocument: the output was opened, every write reached it (or,
  // with a driver's output, was handed over), and it was closed without
  // error.
  bool IsOutputComplete() const { return mOutputComplete; }
  // Why the output is not complete, in the system's words ("No space left
  // on device"); empty when it is complete or was never started.
  const cFxString& GetOutputFailure() const { return mOutputFailure; }

 protected:
  // `declareNamespace`: whether the first start tag passed through carries
  // the "xmlns:d" declaration.
  cRewritingVisitor(eFlavour flavour, bool declareNamespace);

  bool HasOutput() const { return mWriter.GetStream() != nullptr; }
  bool IsGameFlavour() const { return mFlavour == eFlavour::Game; }

  // Copies a start tag with its attributes; the namespace is declared on the
  // first one passed while the declare flag is set, which it then clears.
  void PassStartTag(const cXmlElement& element);
  void PassEndTag(const cFxWString& name);
  // Copies a text by the flavour's rule; the containing element is the top
  // of mElements.
  void PassText(const cXmlText& text);
  // Writes a text unconditionally (still only when the output is open).
  void WriteText(const cXmlText& text);

  cFxFile mStream;
  cXmlWriter mWriter;
  cElementStack mElements;
  bool mDeclareNamespace;

 private:
  // The prefix an element name is written with in this flavour.
  const wchar16* PrefixOf(const cFxWString& name) const;

  eFlavour mFlavour;
  iRewriteOutput* mOutput = nullptr;
  bool mOutputComplete = false;
  cFxString mOutputFailure;
};
