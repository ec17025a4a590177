// Throughput of the XML layer and of the three source-flavour runs' visitors.
//
// Writes two deterministic documents of several megabytes to a temporary
// directory, laid out exactly as the writer lays files out (CR LF line
// ends, TAB indentation):
//   a game-shaped document (records with typed fields, vectors of numbers,
//   references, localised strings in eight languages with some non-ASCII
//   text and escapes), on which it times
//     parse        every node pulled from the parser, nothing done with it;
//     walk         the document walked through a visitor that does nothing
//                  (the element records built, as every run builds them);
//     parse+write  the document walked through a pass-through visitor that
//                  rewrites it with the writer, checked to give the input's
//                  bytes;
//   a source-shaped document (the "Attribute"/"cDeltaString"/"Value" form of
//   ".xml" data files, with localised strings and plain strings in tags the
//   replacement turns into localised strings), on which it times
//     -sx          the extraction visitor writing a translations file;
//     -su          the update visitor with a translation for every language
//                  of every string;
//     -sr          the replacement visitor with the replace tags.
// Prints MB/s (10^6 bytes of input per second, best of several rounds), by
// wall-clock time and by the process's CPU time (the machine may be shared,
// and then the CPU figure is the one to compare).
//
// Usage: xml_throughput [megabytes] [rounds]     (defaults 24 and 5)
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "localisation/VisitorHelpers.h"
#include "localisation/cSourceExtractVisitor.h"
#include "localisation/cSourceReplaceVisitor.h"
#include "localisation/cSourceUpdateVisitor.h"
#include "translations/cTranslationTable.h"
#include "xml/WalkDocument.h"
#include "xml/cElementVisitor.h"
#include "xml/cFxFile.h"
#include "xml/cXmlElement.h"
#include "xml/cXmlParser.h"
#include "xml/cXmlWriter.h"

namespace {

namespace fs = std::filesystem;

// The drivers' stream buffer size.
constexpr int cStreamBufferSize = 64 * 1024;

// ---- Document generator ------------------------------------------------------

class cDocumentGenerator {
 public:
  explicit cDocumentGenerator(uint32_t seed) : mRandom(seed) {}

  std::string Generate(size_t targetBytes) {
    mOut.clear();
    mOut.reserve(targetBytes + 65536);
    mOut += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
    mOut += "<cDataSet xmlns:d=\"http://www.example.com/delta\" d:version=\"1.0\" d:id=\"";
    mOut += std::to_string(Number(100000000, 999999999)) + "\">\r\n";
    Open(1, "Record");
    for (uint32_t id = 1; mOut.size() < targetBytes; ++id) Entity(2, id);
    Close(1, "Record");
    mOut += "</cDataSet>\r\n";
    return mOut;
  }

 private:
  uint32_t Number(uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(mRandom);
  }
  void Indent(int depth) { mOut.append(static_cast<size_t>(depth), '\t'); }
  void Open(int depth, const std::string& tag, const std::string& attributes = "") {
    Indent(depth);
    mOut += "<" + tag + attributes + ">\r\n";
  }
  void Close(int depth, const std::string& tag) {
    Indent(depth);
    mOut += "</" + tag + ">\r\n";
  }
  void Leaf(int depth, const std::string& tag, const std::string& type, const std::string& text) {
    Indent(depth);
    mOut += "<" + tag + " d:type=\"" + type + "\">" + text + "</" + tag + ">\r\n";
  }

  // Words of game text: mostly ASCII, some accents, Cyrillic and the euro
  // sign, now and then a character that must be escaped.
  std::string Sentence(uint32_t words) {
    static const char* const kWords[] = {
        "Platform", "signal", "the", "train", "departs", "from", "station", "heavy", "freight",
        "caf\xC3\xA9", "\xE2\x82\xAC" "5", "\xD0\xBF\xD0\xBE\xD0\xB5\xD0\xB7\xD0\xB4", "Zu\xC5\xBC" "el",
        "&amp;", "&lt;east&gt;", "&quot;express&quot;", "junction", "to", "and", "level", "crossing"};
    std::string text;
    for (uint32_t i = 0; i < words; ++i) {
      if (i) text += ' ';
      text += kWords[Number(0, sizeof kWords / sizeof kWords[0] - 1)];
    }
    return text;
  }

  void LocalisedString(int depth, bool empty) {
    static const char* const kLanguages[] = {"French", "Italian", "German", "Spanish",
                                             "Russian", "Polish", "Dutch"};
    Open(depth, "Localisation-cUserLocalisedString");
    Leaf(depth + 1, "English", "cDeltaString", empty ? "" : Sentence(Number(1, 12)));
    for (const char* language : kLanguages) {
      Leaf(depth + 1, language, "cDeltaString", Number(0, 3) == 0 ? Sentence(Number(1, 12)) : "");
    }
    Indent(depth + 1);
    mOut += "<Other/>\r\n";
    Leaf(depth + 1, "Key", "cDeltaString", std::to_string(Number(1000000, 9999999)));
    Close(depth, "Localisation-cUserLocalisedString");
  }

  void Entity(int depth, uint32_t id) {
    Open(depth, "cSceneryItem", " d:id=\"" + std::to_string(id) + "\"");
    Leaf(depth + 1, "Name", "cDeltaString", "Entity_" + std::to_string(id));
    Open(depth + 1, "Position", " d:numElements=\"3\" d:elementType=\"sFloat32\" d:precision=\"string\"");
    for (int i = 0; i < 3; ++i) {
      Leaf(depth + 2, "e", "sFloat32", std::to_string(Number(0, 99999)) + "." + std::to_string(Number(0, 9999)));
    }
    Close(depth + 1, "Position");
    Open(depth + 1, "DisplayName");
    LocalisedString(depth + 2, Number(0, 30) == 0);
    Close(depth + 1, "DisplayName");
    Open(depth + 1, "Reference");
    Indent(depth + 2);
    mOut += "<d:nil/>\r\n";
    Close(depth + 1, "Reference");
    Leaf(depth + 1, "Flags", "sUInt32", std::to_string(Number(0, 65535)));
    if (Number(0, 9) == 0) {
      Leaf(depth + 1, "Briefing", "cDeltaString", Sentence(Number(100, 600)));
    }
    Close(depth, "cSceneryItem");
  }

  std::mt19937 mRandom;
  std::string mOut;
};

// The source shape: every field an "Attribute" named after the field, its
// value in a typed element's "Element"/"Value"; localised strings with one
// "Attribute" per language and the "Other" list.
class cSourceDocumentGenerator {
 public:
  explicit cSourceDocumentGenerator(uint32_t seed) : mRandom(seed) {}

  std::string Generate(size_t targetBytes) {
    mOut.clear();
    mOut.reserve(targetBytes + 65536);
    mOut += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<cBlueprintLoader>\r\n";
    for (uint32_t id = 1; mOut.size() < targetBytes; ++id) Record(1, id);
    mOut += "</cBlueprintLoader>\r\n";
    return mOut;
  }
  // The English texts of the localised strings, each once.
  const std::vector<std::string>& EnglishTexts() const { return mEnglish; }
  // Plain strings in replace tags.
  uint32_t Replaceable() const { return mReplaceable; }

  static constexpr const char* cReplaceTags[] = {"StationName", "SignText"};

 private:
  uint32_t Number(uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(mRandom);
  }
  void Line(int depth, const std::string& text) {
    mOut.append(static_cast<size_t>(depth), '\t');
    mOut += text + "\r\n";
  }
  std::string Words(uint32_t count) {
    static const char* const kWords[] = {"Platform", "signal", "the", "train", "departs", "from",
                                         "station", "caf\xC3\xA9", "\xE2\x82\xAC" "5", "&amp;",
                                         "junction", "to", "and", "level", "crossing", "Zu\xC5\xBC" "el"};
    std::string text;
    for (uint32_t i = 0; i < count; ++i) {
      if (i) text += ' ';
      text += kWords[Number(0, sizeof kWords / sizeof kWords[0] - 1)];
    }
    return text;
  }
  // <Attribute name="field"><type><Element><Value>text</Value></Element></type></Attribute>
  void Field(int depth, const std::string& field, const std::string& type, const std::string& text) {
    Line(depth, "<Attribute name=\"" + field + "\">");
    Line(depth + 1, "<" + type + ">");
    Line(depth + 2, "<Element>");
    Line(depth + 3, "<Value>" + text + "</Value>");
    Line(depth + 2, "</Element>");
    Line(depth + 1, "</" + type + ">");
    Line(depth, "</Attribute>");
  }
  void LocalisedString(int depth, const std::string& field) {
    static const char* const kLanguages[] = {"English", "French", "Italian", "German",
                                             "Spanish", "Russian", "Polish", "Dutch"};
    Line(depth, "<Attribute name=\"" + field + "\">");
    Line(depth + 1, "<Localisation-cUserLocalisedString>");
    Line(depth + 2, "<Element>");
    Line(depth + 3, "<Value>");
    for (const char* language : kLanguages) {
      std::string text;
      if (language == kLanguages[0]) {
        text = Words(Number(1, 6)) + " " + std::to_string(mEnglish.size());
        mEnglish.push_back(text);
      }
      Field(depth + 4, language, "cDeltaString", text);
    }
    Line(depth + 4, "<Attribute name=\"Other\">");
    Line(depth + 5, "<__Indexed__Localisation-cUserLocalisedString-cOtherStringLangPair>");
    Line(depth + 6, "<Element>");
    Line(depth + 7, "<Value></Value>");
    Line(depth + 6, "</Element>");
    Line(depth + 5, "</__Indexed__Localisation-cUserLocalisedString-cOtherStringLangPair>");
    Line(depth + 4, "</Attribute>");
    Line(depth + 3, "</Value>");
    Line(depth + 2, "</Element>");
    Line(depth + 1, "</Localisation-cUserLocalisedString>");
    Line(depth, "</Attribute>");
  }
  void Record(int depth, uint32_t id) {
    Line(depth, "<Element>");
    Line(depth + 1, "<Value>");
    Field(depth + 2, "BlueprintID", "cDeltaString", "Works/Stations/item" + std::to_string(id) + ".xml");
    LocalisedString(depth + 2, "DisplayName");
    Field(depth + 2, "Category", "sInt32", std::to_string(Number(0, 40)));
    Field(depth + 2, "Position", "sFloat32", std::to_string(Number(0, 99999)) + "." + std::to_string(Number(0, 999)));
    if (Number(0, 2) == 0) {
      Field(depth + 2, cReplaceTags[Number(0, 1)], "cDeltaString", Words(Number(1, 4)));
      ++mReplaceable;
    }
    Line(depth + 1, "</Value>");
    Line(depth, "</Element>");
  }

  std::mt19937 mRandom;
  std::string mOut;
  std::vector<std::string> mEnglish;
  uint32_t mReplaceable = 0;
};

// ---- Visitors ------------------------------------------------------------------

// Rewrites the game shape unchanged: prefix "d" on attributes (declared on
// the first start tag) and on "nil" and "blob"; an empty text only into a
// typed element.
class cPassThroughVisitor : public cElementVisitor {
 public:
  explicit cPassThroughVisitor(cFxFile& output) : mOutput(output) {}
  ~cPassThroughVisitor() override {
    for (cXmlElement* element : mOpen) element->Release();
  }
  void StartDocument() override { mWriter.Begin(mOutput); }
  void StartElement(cXmlElement& element) override {
    mWriter.StartElement(element.GetName().c_str(), Prefix(element.GetName()));
    element.WriteAttributes(mWriter, mFirst, true);
    mFirst = false;
    element.AddRef();
    mOpen.push_back(&element);
  }
  void EndElement(const cFxWString& name) override {
    if (!mOpen.empty()) {
      mOpen.back()->Release();
      mOpen.pop_back();
    }
    mWriter.EndElement(name.c_str(), Prefix(name));
  }
  void Text(const cXmlText& text) override {
    if (!mOpen.empty()) {
      const cXmlElement& container = *mOpen.back();
      const cFxWString* type = container.GetAttribute(u"type");
      if ((text.IsEmpty() && (type == nullptr || type->IsEmpty())) || container.GetName() == u"nil") return;
    }
    mWriter.Text(text.Units(), text.Length());
  }
  void EndDocument() override { mOutput.Close(); }

 private:
  static const wchar16* Prefix(const cFxWString& name) {
    return name == u"nil" || name == u"blob" ? u"d" : u"";
  }
  cFxFile& mOutput;
  cXmlWriter mWriter;
  bool mFirst = true;
  std::vector<cXmlElement*> mOpen;
};

class cIdleVisitor : public cElementVisitor {
 public:
  void StartDocument() override {}
  void StartElement(cXmlElement&) override {}
  void EndElement(const cFxWString&) override {}
  void Text(const cXmlText&) override {}
  void EndDocument() override {}
};

// ---- Timing ----------------------------------------------------------------------

// Wall-clock and CPU seconds since construction.
struct sTimer {
  std::chrono::steady_clock::time_point mWallStart = std::chrono::steady_clock::now();
  std::clock_t mCpuStart = std::clock();
};
struct sTimes {
  double mWall = -1;
  double mCpu = -1;
};
sTimes Elapsed(const sTimer& timer) {
  sTimes times;
  times.mWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - timer.mWallStart).count();
  times.mCpu = static_cast<double>(std::clock() - timer.mCpuStart) / CLOCKS_PER_SEC;
  return times;
}

bool OpenForReading(cFxFile& file, const std::string& path) {
  return file.Open(cFxPath(path.c_str()), kFxFileMode::cModeRead, 0, 0, cStreamBufferSize, 0);
}

// Time to pull every node; negative when the file cannot be opened.
sTimes TimeParse(const std::string& path, uint64_t& nodes) {
  const sTimer timer;
  cFxFile file;
  if (!OpenForReading(file, path)) return sTimes();
  cXmlParser parser;
  parser.Open(file);
  nodes = 0;
  do {
    parser.Read();
    ++nodes;
  } while (parser.GetNodeType() != eDocumentEnd);
  return Elapsed(timer);
}

sTimes TimeWalk(const std::string& path) {
  const sTimer timer;
  cFxFile file;
  if (!OpenForReading(file, path)) return sTimes();
  cXmlParser parser;
  parser.Open(file);
  cIdleVisitor visitor;
  WalkDocument(parser, visitor);
  return Elapsed(timer);
}

sTimes TimeParseAndWrite(const std::string& path, const std::string& outputPath) {
  const sTimer timer;
  cFxFile input;
  cFxFile output;
  if (!OpenForReading(input, path) ||
      !output.Open(cFxPath(outputPath.c_str()), kFxFileMode::cModeReplace, 0, 0, 0, cStreamBufferSize)) {
    return sTimes();
  }
  cXmlParser parser;
  parser.Open(input);
  cPassThroughVisitor visitor(output);
  WalkDocument(parser, visitor);
  return Elapsed(timer);
}

// The visitor's run over the source document: `prepare` configures the
// visitor before the walk.
template <class tVisitor, class tPrepare>
sTimes TimeVisitor(const std::string& path, tPrepare prepare) {
  const sTimer timer;
  cFxFile file;
  if (!OpenForReading(file, path)) return sTimes();
  cXmlParser parser;
  parser.Open(file);
  tVisitor visitor;
  prepare(visitor);
  WalkDocument(parser, visitor);
  return Elapsed(timer);
}

// The key path the translations file gives the source document.
const char16_t* const cSourceKeyPath = u"\\source.xml";

// Writes a translations file with a translation for every language of every
// string: a line for each English text with all its text columns filled.
void WriteTranslations(const std::vector<std::string>& english, const std::string& path) {
  std::u16string text = u"\uFEFF";
  for (const std::string& utf8 : english) {
    // The generator's texts are UTF-8; the id is made from the 16-bit form.
    std::u16string units;
    for (size_t i = 0; i < utf8.size();) {
      const uint8_t first = static_cast<uint8_t>(utf8[i]);
      const size_t length = first < 0x80 ? 1 : first < 0xE0 ? 2 : 3;
      uint32_t unit = length == 1 ? first : length == 2 ? first & 0x1F : first & 0x0F;
      for (size_t k = 1; k < length; ++k) unit = (unit << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
      // The document holds "&amp;" where the text holds "&".
      if (utf8.compare(i, 5, "&amp;") == 0) {
        units += u'&';
        i += 5;
        continue;
      }
      units += static_cast<char16_t>(unit);
      i += length;
    }
    const cFxWString id = MakeEntryId(cFxWString(units.c_str(), static_cast<uint32_t>(units.size())));
    text += cSourceKeyPath;
    text += u"@Source@";
    text.append(id.c_str(), id.Length());
    text += u"\tVektrel\t\t\t\tPC\t\"" + units + u"\"";
    for (uint32_t column = 1; column < 26; ++column)
      text += u"\t\"" + units + u" \u00FCbersetzt " + std::u16string(1, static_cast<char16_t>(u'A' + column)) + u"\"";
    text += u"\n";
  }
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

size_t CountOf(const std::string& text, const std::string& pattern) {
  size_t count = 0;
  for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at + 1)) ++count;
  return count;
}

cFxWString Wide(const std::string& path) { return cFxWString(path.c_str()); }

}  // namespace

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 24.0;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  if (megabytes <= 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: xml_throughput [megabytes] [rounds]\n");
    return 2;
  }
  if (!InitFileSystems()) {
    std::fprintf(stderr, "cannot start the file layer\n");
    return 1;
  }

  const fs::path directory =
      fs::temp_directory_path() / ("glossmill-xml-bench-" + std::to_string(std::random_device()()));
  fs::create_directories(directory);
  const std::string inputPath = (directory / "input.xml").string();
  const std::string outputPath = (directory / "output.xml").string();
  const std::string sourcePath = (directory / "source.xml").string();
  const std::string translationsPath = (directory / "translations.txt").string();

  const std::string document =
      cDocumentGenerator(20240611).Generate(static_cast<size_t>(megabytes * 1e6));
  std::ofstream(inputPath, std::ios::binary) << document;
  const double size = static_cast<double>(document.size());

  cSourceDocumentGenerator sourceGenerator(20261206);
  const std::string source = sourceGenerator.Generate(static_cast<size_t>(megabytes * 1e6));
  std::ofstream(sourcePath, std::ios::binary) << source;
  const double sourceSize = static_cast<double>(source.size());
  WriteTranslations(sourceGenerator.EnglishTexts(), translationsPath + ".su");
  // The update reads its lines again from the file as the strings come.
  cFxFile updateTranslations;
  cTranslationTable table;
  table.SetFlavour(eFlavour::Source);
  if (!OpenForReading(updateTranslations, translationsPath + ".su") || !table.Read(updateTranslations)) {
    std::fprintf(stderr, "cannot read the update's translations file\n");
    return 1;
  }
  std::vector<cFxWString> replaceTags;
  for (const char* tag : cSourceDocumentGenerator::cReplaceTags) replaceTags.push_back(Wide(tag));

  const auto extract = [&](cSourceExtractVisitor& visitor) {
    std::error_code ignored;
    fs::remove(translationsPath, ignored);  // a fresh file each round, not appended to
    visitor.SetFilePath(Wide(sourcePath));
    visitor.SetOutputPath(Wide(translationsPath));
    visitor.SetStartDirectory(Wide(directory.string()));
  };
  const auto update = [&](cSourceUpdateVisitor& visitor) {
    visitor.SetFilePath(Wide(outputPath));
    visitor.SetRecords(table.GetRecords(cFxWString(cSourceKeyPath)));
  };
  const auto replace = [&](cSourceReplaceVisitor& visitor) {
    visitor.SetFilePath(Wide(outputPath));
    visitor.SetReplaceTags(replaceTags);
  };

  sTimes bestParse{1e30, 1e30};
  sTimes bestWalk{1e30, 1e30};
  sTimes bestWrite{1e30, 1e30};
  sTimes bestExtract{1e30, 1e30};
  sTimes bestUpdate{1e30, 1e30};
  sTimes bestReplace{1e30, 1e30};
  uint64_t nodes = 0;
  bool ok = true;
  bool identical = true;
  std::string updated;
  std::string replaced;
  const auto keepBest = [&ok](sTimes& best, const sTimes& times) {
    ok = ok && times.mWall >= 0;
    if (times.mWall < best.mWall) best.mWall = times.mWall;
    if (times.mCpu < best.mCpu) best.mCpu = times.mCpu;
  };
  for (int round = 0; round < rounds && ok; ++round) {
    keepBest(bestParse, TimeParse(inputPath, nodes));
    keepBest(bestWalk, TimeWalk(inputPath));
    keepBest(bestWrite, TimeParseAndWrite(inputPath, outputPath));
    identical = identical && ReadWholeFile(outputPath) == document;
    keepBest(bestExtract, TimeVisitor<cSourceExtractVisitor>(sourcePath, extract));
    keepBest(bestUpdate, TimeVisitor<cSourceUpdateVisitor>(sourcePath, update));
    updated = ReadWholeFile(outputPath);
    keepBest(bestReplace, TimeVisitor<cSourceReplaceVisitor>(sourcePath, replace));
    replaced = ReadWholeFile(outputPath);
  }
  const std::string translations = ReadWholeFile(translationsPath);

  std::error_code error;
  fs::remove_all(directory, error);
  ShutdownFileSystems();
  if (!ok) {
    std::fprintf(stderr, "cannot open the benchmark files\n");
    return 1;
  }

  const auto report = [](const char* what, double bytes, const sTimes& best) {
    const double cpu = best.mCpu > 0 ? best.mCpu : 1e-9;
    std::printf("%-12s %8.1f MB/s wall (%.3f s)  %8.1f MB/s cpu (%.3f s)\n", what,
                bytes / 1e6 / best.mWall, best.mWall, bytes / 1e6 / cpu, best.mCpu);
  };
  std::printf("game doc     %.1f MB, %llu nodes, best of %d rounds\n", size / 1e6,
              static_cast<unsigned long long>(nodes), rounds);
  report("parse", size, bestParse);
  report("walk", size, bestWalk);
  report("parse+write", size, bestWrite);
  std::printf("source doc   %.1f MB, %zu strings, %u replaceable\n", sourceSize / 1e6,
              sourceGenerator.EnglishTexts().size(), sourceGenerator.Replaceable());
  report("-sx", sourceSize, bestExtract);
  report("-su", sourceSize, bestUpdate);
  report("-sr", sourceSize, bestReplace);

  // The runs must have done their work, or their speed means nothing: one
  // line (16-bit LF) per string, the seven translations of every string,
  // one more localised string per replaceable plain string.
  const size_t strings = sourceGenerator.EnglishTexts().size();
  const bool extracted = CountOf(translations, std::string("\n\0", 2)) == strings;
  const bool translated = CountOf(updated, "\xC3\xBC" "bersetzt") == 7 * strings;
  const bool replacedAll = CountOf(replaced, "<Localisation-cUserLocalisedString>") ==
                           strings + sourceGenerator.Replaceable();
  std::printf("rewritten    %s\n", identical ? "identical to the input" : "DIFFERS from the input");
  std::printf("-sx lines    %s\n", extracted ? "one per string" : "WRONG");
  std::printf("-su texts    %s\n", translated ? "every language translated" : "WRONG");
  std::printf("-sr strings  %s\n", replacedAll ? "every replace tag replaced" : "WRONG");
  return identical && extracted && translated && replacedAll ? 0 : 1;
}
