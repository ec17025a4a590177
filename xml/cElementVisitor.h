// What the document walk (WalkDocument) hands a document to, and the base of
// every operation's visitor: the walk calls these in document order
// (StartDocument; StartElement, Text, EndElement for every node;
// EndDocument).
#pragma once

#include "API/core/cFxString.h"
#include "xml/cXmlText.h"

class cXmlElement;

class cElementVisitor {
 public:
  virtual void StartDocument() = 0;
  // `element` is valid for the call; keep it with AddRef to hold on to it.
  virtual void StartElement(cXmlElement& element) = 0;
  // `name` is the element's local name.
  virtual void EndElement(const cFxWString& name) = 0;
  // Character data, possibly empty; never a text whose first unit is CR.
  // `text` is valid for the call.
  virtual void Text(const cXmlText& text) = 0;
  // Whether a Text call now would use its text. The walk skips the call,
  // and the making of the text, when it answers false; a visitor that reads
  // only some texts says so here, since most texts of a data file are the
  // layout between tags.
  virtual bool WantsText() const { return true; }
  // Whether StartElement reads the elements' attributes; asked once, when
  // the walk starts. When not, the walk hands out elements without any and
  // the parser makes no strings of their values: extraction looks at names
  // and texts alone, and a game data file carries attributes on nearly
  // every element, many of them with a value of their own (ids, encodings).
  virtual bool WantsAttributes() const { return true; }
  virtual void EndDocument() = 0;
  virtual ~cElementVisitor() = default;
};
