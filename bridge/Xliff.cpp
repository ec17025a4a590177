// XLIFF 1.2: one <file> per translations file, one <trans-unit> per line,
// named by the unit's name and carrying the key as resource name. Whatever
// a CAT tool may write around that (groups, namespace prefixes, CDATA
// sections, character references, extra elements) is read through the XML
// library; only units, sources and targets are looked at.
#include <pugixml.hpp>

#include <sstream>

#include "bridge/ExchangeFile.h"
#include "bridge/cTranslationsFile.h"

namespace {
constexpr const char* cXliffNamespace = "urn:oasis:names:tc:xliff:document:1.2";
constexpr const char* cXmlnsAttribute = "xmlns";

// Whether XML 1.0 can hold every character of a UTF-8 text: no control
// character but TAB, LF and CR, no U+FFFE or U+FFFF.
bool IsXmlText(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') return false;
    // U+FFFE and U+FFFF are EF BF BE and EF BF BF.
    if (byte == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
        (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
      return false;
  }
  return true;
}

bool FindUnfitText(const sExchangeFile& file, std::string& error) {
  for (const sExchangeUnit& unit : file.mUnits) {
    bool fits = IsXmlText(unit.mId) && IsXmlText(unit.mSource) && IsXmlText(unit.mTarget);
    for (const auto& note : unit.mNotes) fits = fits && IsXmlText(note.second);
    if (!fits) {
      error = unit.mId + ": holds a control character, which XLIFF cannot carry";
      return true;
    }
  }
  return false;
}

// The namespace bound to `prefix` where `node` stands.
std::string NamespaceOf(pugi::xml_node node, const std::string& prefix) {
  const std::string attribute =
      prefix.empty() ? std::string(cXmlnsAttribute) : std::string(cXmlnsAttribute) + ":" + prefix;
  for (; node; node = node.parent()) {
    const pugi::xml_attribute bound = node.attribute(attribute.c_str());
    if (bound) return bound.value();
  }
  return std::string();
}

// Whether `node` is the XLIFF element `localName`.
bool IsXliff(pugi::xml_node node, const char* localName) {
  if (node.type() != pugi::node_element) return false;
  const std::string name = node.name();
  const size_t colon = name.find(':');
  const std::string prefix = colon == std::string::npos ? std::string() : name.substr(0, colon);
  const std::string local = colon == std::string::npos ? name : name.substr(colon + 1);
  return local == localName && NamespaceOf(node, prefix) == cXliffNamespace;
}

pugi::xml_node FirstXliffChild(pugi::xml_node node, const char* localName) {
  for (pugi::xml_node child : node.children()) {
    if (IsXliff(child, localName)) return child;
  }
  return pugi::xml_node();
}

// The text of an element: its text and CDATA children in order. Any child
// element is markup, which a translations line cannot hold.
std::string TextOf(pugi::xml_node node, bool& markup) {
  std::string text;
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
      text += child.value();
    else if (child.type() == pugi::node_element)
      markup = true;
  }
  return text;
}

void ReadUnits(pugi::xml_node node, sExchangeFile& file, std::string& error) {
  for (pugi::xml_node child : node.children()) {
    if (!error.empty()) return;
    if (IsXliff(child, "group")) {
      ReadUnits(child, file, error);
    } else if (IsXliff(child, "trans-unit")) {
      sExchangeUnit unit;
      const pugi::xml_attribute id = child.attribute("id");
      const pugi::xml_node source = FirstXliffChild(child, "source");
      if (!id || !source) {
        error = "a trans-unit without id or source";
        return;
      }
      unit.mId = id.value();
      bool sourceMarkup = false;
      unit.mSource = TextOf(source, sourceMarkup);
      const pugi::xml_node target = FirstXliffChild(child, "target");
      if (target) unit.mTarget = TextOf(target, unit.mMarkup);
      file.mUnits.push_back(std::move(unit));
    }
  }
}
}  // namespace

bool WriteXliff(const sExchangeFile& file, const sBridgeLanguage& language,
                const std::filesystem::path& path, std::string& error) {
  if (FindUnfitText(file, error)) return false;

  pugi::xml_document document;
  pugi::xml_node declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  pugi::xml_node xliff = document.append_child("xliff");
  xliff.append_attribute("version") = "1.2";
  xliff.append_attribute("xmlns") = cXliffNamespace;
  pugi::xml_node xliffFile = xliff.append_child("file");
  xliffFile.append_attribute("original") = file.mOriginal.c_str();
  xliffFile.append_attribute("source-language") = GetSourceLanguage().mCode.c_str();
  xliffFile.append_attribute("target-language") = language.mCode.c_str();
  xliffFile.append_attribute("datatype") = "plaintext";
  pugi::xml_node body = xliffFile.append_child("body");

  for (const sExchangeUnit& unit : file.mUnits) {
    pugi::xml_node transUnit = body.append_child("trans-unit");
    transUnit.append_attribute("id") = unit.mId.c_str();
    transUnit.append_attribute("resname") = unit.mKey.c_str();
    // Texts keep their spaces exactly.
    transUnit.append_attribute("xml:space") = "preserve";
    transUnit.append_child("source").text() = unit.mSource.c_str();
    if (!unit.mTarget.empty()) {
      pugi::xml_node target = transUnit.append_child("target");
      target.append_attribute("state") = "translated";
      target.text() = unit.mTarget.c_str();
    }
    pugi::xml_node context = transUnit.append_child("context-group");
    context.append_attribute("purpose") = "location";
    pugi::xml_node sourceFile = context.append_child("context");
    sourceFile.append_attribute("context-type") = "sourcefile";
    sourceFile.text() = unit.mPath.c_str();
    pugi::xml_node flavour = context.append_child("context");
    flavour.append_attribute("context-type") = "x-flavour";
    flavour.text() = unit.mFlavour.c_str();
    for (const auto& note : unit.mNotes) {
      pugi::xml_node element = transUnit.append_child("note");
      element.append_attribute("from") = note.first.c_str();
      element.text() = note.second.c_str();
    }
  }

  std::ostringstream bytes;
  document.save(bytes, "  ", pugi::format_default, pugi::encoding_utf8);
  return ReplaceFileContents(path, bytes.str(), error);
}

bool ReadXliff(const std::filesystem::path& path, sExchangeFile& file, std::string& error) {
  pugi::xml_document document;
  // Whitespace-only texts are texts too: a translation may be a space.
  const pugi::xml_parse_result parsed =
      document.load_file(path.string().c_str(), pugi::parse_default | pugi::parse_ws_pcdata);
  if (!parsed) {
    error = path.string() + ": not well-formed XML at byte " + std::to_string(parsed.offset) +
            ": " + parsed.description();
    return false;
  }
  const pugi::xml_node xliff = document.document_element();
  if (!IsXliff(xliff, "xliff")) {
    error = path.string() + ": not an XLIFF 1.2 document (no xliff element in " +
            cXliffNamespace + ")";
    return false;
  }
  for (pugi::xml_node xliffFile : xliff.children()) {
    if (!IsXliff(xliffFile, "file")) continue;
    const std::string declared = xliffFile.attribute("target-language").value();
    if (!declared.empty()) {
      if (!file.mTargetLanguage.empty() && file.mTargetLanguage != declared) {
        error = path.string() + ": its files have different target languages";
        return false;
      }
      file.mTargetLanguage = declared;
    }
    ReadUnits(FirstXliffChild(xliffFile, "body"), file, error);
    if (!error.empty()) {
      error = path.string() + ": " + error;
      return false;
    }
  }
  return true;
}
