// Helpers of the XML suites: in-memory OS files behind a real cFxFile (so
// the parser can be rerun at any read buffer size), a compact rendering of
// a parser's node sequence, and UTF-8 / UTF-16 conversions of test text.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "API/core/cFxString.h"
#include "Core/cFxOsFileSystem.h"
#include "xml/cFxFile.h"
#include "xml/cXmlParser.h"

namespace xmltest {

// An OS file that serves the bytes of a string.
class cMemorySourceFile : public cFxOsFile {
 public:
  explicit cMemorySourceFile(std::string bytes) : mBytes(std::move(bytes)) {}
  int Read(void* buffer, int count) override {
    const size_t left = mBytes.size() - mPosition;
    const size_t take = static_cast<size_t>(count) < left ? static_cast<size_t>(count) : left;
    if (take != 0) std::memcpy(buffer, mBytes.data() + mPosition, take);
    mPosition += take;
    return static_cast<int>(take);
  }
  bool Close() override { return true; }

 private:
  std::string mBytes;
  size_t mPosition = 0;
};

// An OS file that appends everything written to a caller's string.
class cMemorySinkFile : public cFxOsFile {
 public:
  explicit cMemorySinkFile(std::string& out) : mOut(out) {}
  int Write(const void* buffer, int count) override {
    mOut.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
    return count;
  }
  bool Flush() override { return true; }
  bool Close() override { return true; }

 private:
  std::string& mOut;
};

inline void AttachSource(cFxFile& file, const std::string& bytes, int readBufferSize) {
  ASSERT_TRUE(file.Attach(new cMemorySourceFile(bytes), 0, readBufferSize, 0));
}

inline void AttachSink(cFxFile& file, std::string& out, int writeBufferSize) {
  ASSERT_TRUE(file.Attach(new cMemorySinkFile(out), 0, 0, writeBufferSize));
}

// The file layer, started once per test program.
inline void StartFileSystems() {
  static const bool started = InitFileSystems();
  (void)started;
}

inline std::u16string Wide(const cFxWString& text) {
  return std::u16string(text.c_str(), text.Length());
}

// UTF-8 of 16-bit units, each unit on its own (as the writer encodes).
inline std::string Utf8(const std::u16string& units) {
  std::string out;
  for (char16_t unit : units) {
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return out;
}

// Readable form of a text: CR, LF, TAB and NUL escaped, other units below
// 0x20 or from 0x7F up as \uXXXX.
inline std::string Show(const cFxWString& text) {
  std::string out;
  const wchar16* units = text.c_str();
  for (uint32_t i = 0; i < text.Length(); ++i) {
    const wchar16 unit = units[i];
    if (unit == u'\r') {
      out += "\\r";
    } else if (unit == u'\n') {
      out += "\\n";
    } else if (unit == u'\t') {
      out += "\\t";
    } else if (unit < 0x20 || unit >= 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(unit));
      out += code;
    } else {
      out += static_cast<char>(unit);
    }
  }
  return out;
}

inline std::string ShowName(const cFxWString& ns, const cFxWString& name) {
  return ns.IsEmpty() ? Show(name) : "{" + Show(ns) + "}" + Show(name);
}

// One node: <{ns}name a=v> for a start tag, </name> for an end tag, "text"
// for character data, ?name a=v for a declaration, $ for the end.
inline std::string RenderNode(const cXmlParser& parser) {
  std::string out;
  switch (parser.GetNodeType()) {
    case eElementStart:
    case eDeclaration:
      out = parser.GetNodeType() == eDeclaration ? "?" : "<";
      out += ShowName(parser.GetNamespace(), parser.GetName());
      for (uint32_t i = 0; i < parser.GetAttributeCount(); ++i) {
        out += " " + ShowName(parser.GetAttributeNamespace(i), parser.GetAttributeName(i)) + "=" +
               Show(parser.GetAttributeValue(i));
      }
      if (parser.GetNodeType() == eElementStart) out += ">";
      return out;
    case eElementEnd:
      return "</" + ShowName(parser.GetNamespace(), parser.GetName()) + ">";
    case eText:
      return "\"" + Show(parser.GetText()) + "\"";
    case eDocumentEnd:
      return "$";
    case eDocumentStart:
      return "^";
    case eNone:
      return "!";
  }
  return "?";
}

// Every node after Open up to the document end, separated by spaces.
inline std::string RenderDocument(cXmlParser& parser) {
  std::string out;
  for (int guard = 0; guard < 100000; ++guard) {
    parser.Read();
    if (!out.empty()) out += " ";
    out += RenderNode(parser);
    if (parser.GetNodeType() == eDocumentEnd) return out;
  }
  return out + " (no document end)";
}

// Parses `bytes` from memory through a cFxFile with the given read buffer.
inline std::string Render(const std::string& bytes, int readBufferSize) {
  cFxFile file;
  file.Attach(new cMemorySourceFile(bytes), 0, readBufferSize, 0);
  cXmlParser parser;
  parser.Open(file);
  return RenderDocument(parser);
}

// The read buffer sizes every parser suite runs at: the small ones split
// every multi-byte sequence and token at every possible place.
inline ::testing::internal::ParamGenerator<int> ReadBufferSizes() {
  return ::testing::Values(1, 2, 3, 4, 5, 128);
}

}  // namespace xmltest
