// Throughput of the XML layer on a game-shaped document.
//
// Writes a deterministic document of several megabytes to a temporary file
// (records with typed fields, vectors of numbers, references, localised
// strings in eight languages with some non-ASCII text and escapes; CR LF
// line ends and TAB indentation, exactly as the writer lays files out),
// then times
//   parse        every node pulled from the parser, nothing done with it;
//   walk         the document walked through a visitor that does nothing
//                (the element records built, as every run builds them);
//   parse+write  the document walked through a pass-through visitor that
//                rewrites it with the writer, as the update runs do.
// Prints MB/s (10^6 bytes of input per second, best of several rounds), by
// wall-clock time and by the process's CPU time (the machine may be shared,
// and then the CPU figure is the one to compare), and checks that the
// rewritten file has the input's bytes.
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

#include "localisation/cElementVisitor.h"
#include "xml/WalkDocument.h"
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
  void Text(const cFxWString& text) override {
    if (!mOpen.empty()) {
      const cXmlElement& container = *mOpen.back();
      const cFxWString* type = container.GetAttribute(u"type");
      if ((text.IsEmpty() && (type == nullptr || type->IsEmpty())) || container.GetName() == u"nil") return;
    }
    mWriter.Text(text.c_str(), text.Length());
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
  void Text(const cFxWString&) override {}
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

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

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

  const std::string document =
      cDocumentGenerator(20240611).Generate(static_cast<size_t>(megabytes * 1e6));
  std::ofstream(inputPath, std::ios::binary) << document;
  const double size = static_cast<double>(document.size());

  sTimes bestParse{1e30, 1e30};
  sTimes bestWalk{1e30, 1e30};
  sTimes bestWrite{1e30, 1e30};
  uint64_t nodes = 0;
  bool ok = true;
  const auto keepBest = [](sTimes& best, const sTimes& times) {
    if (times.mWall < best.mWall) best.mWall = times.mWall;
    if (times.mCpu < best.mCpu) best.mCpu = times.mCpu;
  };
  for (int round = 0; round < rounds && ok; ++round) {
    const sTimes parse = TimeParse(inputPath, nodes);
    const sTimes walk = TimeWalk(inputPath);
    const sTimes write = TimeParseAndWrite(inputPath, outputPath);
    ok = parse.mWall >= 0 && walk.mWall >= 0 && write.mWall >= 0;
    keepBest(bestParse, parse);
    keepBest(bestWalk, walk);
    keepBest(bestWrite, write);
  }
  const bool identical = ok && ReadWholeFile(outputPath) == document;

  std::error_code error;
  fs::remove_all(directory, error);
  ShutdownFileSystems();
  if (!ok) {
    std::fprintf(stderr, "cannot open the benchmark files\n");
    return 1;
  }

  std::printf("document     %.1f MB, %llu nodes, best of %d rounds\n", size / 1e6,
              static_cast<unsigned long long>(nodes), rounds);
  const auto report = [size](const char* what, const sTimes& best) {
    const double cpu = best.mCpu > 0 ? best.mCpu : 1e-9;
    std::printf("%-12s %8.1f MB/s wall (%.3f s)  %8.1f MB/s cpu (%.3f s)\n", what,
                size / 1e6 / best.mWall, best.mWall, size / 1e6 / cpu, best.mCpu);
  };
  report("parse", bestParse);
  report("walk", bestWalk);
  report("parse+write", bestWrite);
  std::printf("rewritten    %s\n", identical ? "identical to the input" : "DIFFERS from the input");
  return identical ? 0 : 1;
}
