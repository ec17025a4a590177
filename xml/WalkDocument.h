// Streams an opened parser's document through a visitor: StartDocument,
// then StartElement / Text / EndElement in document order, then
// EndDocument. Texts whose first unit is CR (the layout between the tags of
// a CR LF file) are dropped, and so is every text the visitor does not want
// (WantsText) at that point; a text is handed over as the parser holds it,
// and becomes a string only when the visitor asks for one. A visitor that
// wants no attributes (WantsAttributes) gets elements without any, and the
// parser is told to make no attribute values for the rest of its document.
// Answers false only when the parser was never opened. A syntax error ends
// the process inside the parser.
#pragma once

class cXmlParser;
class cElementVisitor;

bool WalkDocument(cXmlParser& parser, cElementVisitor& visitor);
