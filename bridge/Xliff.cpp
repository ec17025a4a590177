// XLIFF: written as 1.2, one <file> per translations file naming the bridge
// in its <header><tool>, one <trans-unit> per line, named by the unit's name
// and carrying the key as resource name. Read as 1.1 or 1.2, with whatever a
// CAT tool writes around that (groups, namespace prefixes, CDATA sections,
// character references, segmented targets, a gettext header unit, extra
// elements) read through the XML library: only units, sources, targets,
// their states and the references a PO file brought along are looked at.
#include <pugixml.hpp>

#include <cstdio>
#include <sstream>

#include "bridge/ExchangeFile.h"
#include "bridge/cTranslationsFile.h"

namespace {
constexpr const char* cXliffNamespace = "urn:oasis:names:tc:xliff:document:1.2";
constexpr const char* cXliffNamespaces[] = {cXliffNamespace,
                                            "urn:oasis:names:tc:xliff:document:1.1"};
constexpr const char* cXmlnsAttribute = "xmlns";
// The unit in which gettext's converters carry a PO file's header.
constexpr const char* cPoHeaderType = "x-gettext-domain-header";

// The first character of a UTF-8 text that XML 1.0 cannot hold (a control
// character but TAB, LF and CR, U+FFFE or U+FFFF), as "U+000B"; empty when
// it holds none.
std::string FindUnfitCharacter(const std::string& text) {
  char shown[8];
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
      std::snprintf(shown, sizeof shown, "U+%04X", byte);
      return shown;
    }
    // U+FFFE and U+FFFF are EF BF BE and EF BF BF.
    if (byte == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
        (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
      return (static_cast<unsigned char>(text[i + 2]) & 1) ? "U+FFFF" : "U+FFFE";
  }
  return std::string();
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

// An XLIFF document: its elements are in one namespace, the root's.
class cXliffReader {
 public:
  cXliffReader(const std::string& xliffNamespace, sExchangeFile& file)
      : mNamespace(xliffNamespace), mFile(file) {}

  // Whether `node` is the XLIFF element `localName`.
  bool Is(pugi::xml_node node, const char* localName) const {
    if (node.type() != pugi::node_element) return false;
    const std::string name = node.name();
    const size_t colon = name.find(':');
    const std::string prefix = colon == std::string::npos ? std::string() : name.substr(0, colon);
    const std::string local = colon == std::string::npos ? name : name.substr(colon + 1);
    return local == localName && NamespaceOf(node, prefix) == mNamespace;
  }

  pugi::xml_node FirstChild(pugi::xml_node node, const char* localName) const {
    for (pugi::xml_node child : node.children()) {
      if (Is(child, localName)) return child;
    }
    return pugi::xml_node();
  }

  // The units below `node` (a <body> or <group>), in document order.
  void ReadUnits(pugi::xml_node node, std::string& error) {
    for (pugi::xml_node child : node.children()) {
      if (!error.empty()) return;
      if (Is(child, "group"))
        ReadUnits(child, error);
      else if (Is(child, "trans-unit"))
        ReadUnit(child, error);
    }
  }

 private:
  // The text of an element: its text and CDATA children in order, and
  // within them the text of the <mrk> elements with which CAT tools mark
  // segments and terms. Any other child element is markup, which a
  // translations line cannot hold.
  void AppendText(pugi::xml_node node, std::string& text, bool& markup) const {
    for (pugi::xml_node child : node.children()) {
      if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
        text += child.value();
      else if (Is(child, "mrk"))
        AppendText(child, text, markup);
      else if (child.type() == pugi::node_element)
        markup = true;
    }
  }

  void ReadUnit(pugi::xml_node transUnit, std::string& error) {
    pugi::xml_node source = FirstChild(transUnit, "source");
    if (!source) source = FirstChild(transUnit, "seg-source");
    const pugi::xml_node target = FirstChild(transUnit, "target");
    if (std::string(transUnit.attribute("restype").value()) == cPoHeaderType) {
      ReadPoHeader(target ? target : source);
      return;
    }
    if (!source) {
      error = "a trans-unit without source";
      return;
    }
    sExchangeUnit unit;
    for (const char* attribute : {"id", "resname"}) {
      const std::string name = transUnit.attribute(attribute).value();
      if (!name.empty()) unit.mNames.push_back(name);
    }
    AddReferences(transUnit, unit.mNames);
    bool markup = false;
    AppendText(source, unit.mSource, markup);
    if (target) {
      markup = false;
      AppendText(target, unit.mTarget, markup);
      if (markup) unit.mUnfit = "it holds markup";
      const pugi::xml_attribute state = target.attribute("state");
      if (state)
        unit.mDraft = DraftStateReason(state.value());
      else if (std::string(transUnit.attribute("approved").value()) == "no")
        unit.mDraft = "it is not approved";
    }
    mFile.mUnits.push_back(std::move(unit));
  }

  // The references of a unit that gettext's converters made of a PO file:
  // each a context group "po-reference" holding a source file and perhaps
  // a line number, which the PO reference had joined by a colon.
  void AddReferences(pugi::xml_node transUnit, std::vector<std::string>& names) const {
    for (pugi::xml_node group : transUnit.children()) {
      if (!Is(group, "context-group") ||
          std::string(group.attribute("name").value()) != "po-reference")
        continue;
      std::string file, line;
      for (pugi::xml_node context : group.children()) {
        if (!Is(context, "context")) continue;
        const std::string type = context.attribute("context-type").value();
        if (type == "sourcefile") file = context.text().get();
        if (type == "linenumber") line = context.text().get();
      }
      const std::string reference = line.empty() ? file : file + ":" + line;
      if (reference.empty()) continue;
      // The converters decode a reference as they read it; one that came
      // through as written is decoded here.
      names.push_back(reference);
      const std::string decoded = DecodeReference(reference);
      if (decoded != reference) names.push_back(decoded);
    }
  }

  // The language a gettext header names ("Language: fr"), unless the file
  // declares one itself.
  void ReadPoHeader(pugi::xml_node header) {
    if (!header || !mFile.mTargetLanguage.empty()) return;
    std::istringstream fields(header.text().get());
    for (std::string field; std::getline(fields, field);) {
      if (field.compare(0, 9, "Language:") != 0) continue;
      const size_t start = field.find_first_not_of(' ', 9);
      if (start != std::string::npos) mFile.mTargetLanguage = field.substr(start);
    }
  }

  const std::string mNamespace;
  sExchangeFile& mFile;
};
}  // namespace

std::string WhyXliffCannotCarry(const sExchangeUnit& unit) {
  std::string found = FindUnfitCharacter(unit.mNames.empty() ? std::string() : unit.mNames[0]);
  for (const std::string* text : {&unit.mKey, &unit.mPath, &unit.mSource, &unit.mTarget}) {
    if (found.empty()) found = FindUnfitCharacter(*text);
  }
  for (const auto& note : unit.mNotes) {
    if (found.empty()) found = FindUnfitCharacter(note.second);
  }
  return found.empty() ? found : found + ", which XLIFF cannot carry";
}

bool WriteXliff(const sExchangeFile& file, const sBridgeLanguage& language,
                const std::filesystem::path& path, std::string& error) {
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
  pugi::xml_node tool = xliffFile.append_child("header").append_child("tool");
  tool.append_attribute("tool-id") = "glossmill-bridge";
  tool.append_attribute("tool-name") = "glossmill-bridge";
  tool.append_attribute("tool-version") = file.mVersion.c_str();
  pugi::xml_node body = xliffFile.append_child("body");

  for (const sExchangeUnit& unit : file.mUnits) {
    pugi::xml_node transUnit = body.append_child("trans-unit");
    transUnit.append_attribute("id") = unit.mNames.at(0).c_str();
    transUnit.append_attribute("resname") = unit.mKey.c_str();
    // Texts keep their spaces exactly.
    transUnit.append_attribute("xml:space") = "preserve";
    // A translation the game already has is final; a missing one waits
    // for its translator.
    const bool translated = !unit.mTarget.empty();
    if (translated) transUnit.append_attribute("approved") = "yes";
    transUnit.append_child("source").text() = unit.mSource.c_str();
    pugi::xml_node target = transUnit.append_child("target");
    target.append_attribute("state") = translated ? "final" : "needs-translation";
    if (translated) target.text() = unit.mTarget.c_str();
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
  // Whitespace-only texts are texts too: a translation may be a space, and
  // the space between two segments belongs to the target.
  const pugi::xml_parse_result parsed =
      document.load_file(path.string().c_str(), pugi::parse_default | pugi::parse_ws_pcdata);
  if (!parsed) {
    error = path.string() + ": not well-formed XML at byte " + std::to_string(parsed.offset) +
            ": " + parsed.description();
    return false;
  }
  const pugi::xml_node root = document.document_element();
  const std::string rootName = root.name();
  const size_t colon = rootName.find(':');
  const std::string rootNamespace =
      NamespaceOf(root, colon == std::string::npos ? std::string() : rootName.substr(0, colon));
  bool known = false;
  for (const char* name : cXliffNamespaces) known = known || rootNamespace == name;
  cXliffReader units(rootNamespace, file);
  if (!known || !units.Is(root, "xliff")) {
    error = path.string() + ": not an XLIFF 1.1 or 1.2 document (no xliff element in " +
            cXliffNamespace + " or its 1.1 namespace)";
    return false;
  }
  for (pugi::xml_node xliffFile : root.children()) {
    if (!units.Is(xliffFile, "file")) continue;
    const std::string declared = xliffFile.attribute("target-language").value();
    if (!declared.empty()) {
      if (!file.mTargetLanguage.empty() && file.mTargetLanguage != declared) {
        error = path.string() + ": its files have different target languages";
        return false;
      }
      file.mTargetLanguage = declared;
    }
    units.ReadUnits(units.FirstChild(xliffFile, "body"), error);
    if (!error.empty()) {
      error = path.string() + ": " + error;
      return false;
    }
  }
  return true;
}
