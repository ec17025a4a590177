// A rewriting visitor that copies every node unchanged: the pass-through
// rules and the write-back are tested through it, with nothing of a
// particular operation in the way.
#pragma once

#include <string>

#include "localisation/cRewritingVisitor.h"
#include "xml/cXmlElement.h"

namespace test {

class cCopyVisitor : public cRewritingVisitor {
 public:
  cCopyVisitor(eFlavour flavour, bool declareNamespace, const std::string& outputPath)
      : cRewritingVisitor(flavour, declareNamespace), mOutputPath(outputPath.c_str()) {}
  // A source-flavour copy, as the source runs write their data files.
  explicit cCopyVisitor(const std::string& outputPath) : cCopyVisitor(eFlavour::Source, false, outputPath) {}
  void StartElement(cXmlElement& element) override {
    PassStartTag(element);
    mElements.Push(element);
  }
  void EndElement(const cFxWString& name) override {
    mElements.Pop();
    PassEndTag(name);
  }
  void Text(const cXmlText& text) override { PassText(text); }

 protected:
  cFxWString GetOutputFilePath() const override { return mOutputPath; }

 private:
  cFxWString mOutputPath;
};

}  // namespace test
