// Helpers of the visitor suites: documents written compactly, and a visitor
// walked over a data file read from disk as the drivers read it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"
#include "xml/WalkDocument.h"
#include "xml/cElementVisitor.h"
#include "xml/cFxFile.h"
#include "xml/cXmlParser.h"

namespace visitortest {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

// A document written compactly: "|" stands for the CR LF the tools put
// between tags (layout that never reaches a visitor), "@" for the name
// "Localisation-cUserLocalisedString".
inline std::string Doc(const std::string& tags) {
  std::string xml = kDeclaration;
  for (char c : tags)
    xml += c == '|' ? "\r\n" : c == '@' ? "Localisation-cUserLocalisedString" : std::string(1, c);
  return xml;
}

// Stores `xml` as the data file `path` and walks it through `visitor`.
inline void WalkFile(const std::string& xml, const std::string& path, cElementVisitor& visitor) {
  test::WriteFile(path, xml);
  cFxFile stream;
  ASSERT_TRUE(stream.Open(cFxPath(path.c_str()), kFxFileMode::cModeRead, 0, 0, 128, 128));
  cXmlParser parser;
  parser.Open(stream);
  EXPECT_TRUE(WalkDocument(parser, visitor));
}

}  // namespace visitortest
