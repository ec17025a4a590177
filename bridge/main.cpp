// glossmill-bridge: the translations file to and from the formats of
// translators' tools, and how far its translations are.
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bridge/BridgeCommands.h"

namespace {
using namespace kBridgeStatus;

const char* const cUsage =
    "usage:\n"
    "  glossmill-bridge export --to xliff|po|csv --lang LANG TRANSLATIONS OUT\n"
    "  glossmill-bridge import --lang LANG TRANSLATIONS IN\n"
    "  glossmill-bridge stats [--json] [--html OUT] TRANSLATIONS [TREE]\n"
    "  glossmill-bridge --help | --version\n";

const char* const cHelp =
    "\n"
    "Carries a glossmill translations file (made by glossmill -sx or -gx) to the\n"
    "formats that CAT tools and spreadsheets read, and translations back. Each\n"
    "language is read and written where glossmill -su/-gu takes it: Russian,\n"
    "Polish and Dutch from their update columns once a line reaches them, else\n"
    "from the columns extraction wrote.\n"
    "\n"
    "export  writes one unit per string of TRANSLATIONS to OUT: XLIFF 1.2, PO or\n"
    "        CSV (UTF-8 with a byte-order mark; columns location, source,\n"
    "        target, language, flavour, file and the other languages). The\n"
    "        English text is the source, LANG's text the target, final and\n"
    "        approved where the game has it, else needing translation; the key\n"
    "        names the unit; flavour, file and the other languages' texts come\n"
    "        along as context and notes. A string that cannot travel through a\n"
    "        translations file and back (a double quote, TAB or line break in\n"
    "        its English, a line the update never reads, a character the format\n"
    "        cannot hold) is left out and counted in one line on standard error.\n"
    "import  writes the translations of IN (XLIFF 1.1 or 1.2, PO or CSV, told by\n"
    "        its extension or contents) as LANG's texts in TRANSLATIONS, changing\n"
    "        no other language and no other line. A unit finds its line by its\n"
    "        id, resname, message context or reference. Units no longer in the\n"
    "        file, units whose English text changed since the export, drafts\n"
    "        (an XLIFF state new or needs-..., approved=\"no\" without a state,\n"
    "        fuzzy in PO or CSV) and translations the file cannot carry (TAB,\n"
    "        double quote, line break, markup) are named on standard error and\n"
    "        not written.\n"
    "stats   per language: strings translated, missing and English words still\n"
    "        to translate; per folder at the top of the tree the missing\n"
    "        strings, worst first; the strings that cannot travel. Words are\n"
    "        counted as Translate Toolkit's pocount counts them: runs between\n"
    "        white space, less the punctuation at their ends, XML tags left out.\n"
    "        With TREE (a content tree), also the strings of the tree that the\n"
    "        file lacks and the lines whose string is gone; the tree is\n"
    "        extracted by glossmill, found beside this program (the game flavour\n"
    "        needs brux.exe and leaves the XML forms of .bin files). --json\n"
    "        prints the figures for scripts; --html OUT writes them as one\n"
    "        self-contained HTML page.\n"
    "\n"
    "LANG: French, Italian, German, Spanish, Russian, Polish or Dutch, or its\n"
    "code (fr, it, de, es, ru, pl, nl).\n"
    "\n"
    "Every command refuses a translations file that is not UTF-16LE text with\n"
    "its byte-order mark, and an output that is one of its inputs.\n"
    "\n"
    "Exit status: 0 done; 1 an error, nothing written; 2 import wrote what it\n"
    "could and named the units it left out.\n";

struct sArguments {
  std::string mCommand;
  std::string mFormat;
  std::string mLanguage;
  std::string mPage;
  bool mJson = false;
  std::vector<std::string> mFiles;
};

int UsageError(const std::string& message) {
  std::cerr << "glossmill-bridge: " << message << "\n" << cUsage;
  return cFailed;
}

// Splits the arguments after the command; false with a message.
bool ParseArguments(int argc, const char* const* argv, sArguments& arguments,
                    std::string& error) {
  arguments.mCommand = argv[1];
  bool optionsEnd = false;
  for (int i = 2; i < argc; ++i) {
    const std::string argument = argv[i];
    if (optionsEnd || argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
      arguments.mFiles.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnd = true;
      continue;
    }
    const size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    std::string* value = name == "--to" ? &arguments.mFormat
                         : name == "--lang" ? &arguments.mLanguage
                         : name == "--html" ? &arguments.mPage
                                            : nullptr;
    if (name == "--json" && equals == std::string::npos) {
      arguments.mJson = true;
    } else if (!value) {
      error = "unknown option " + argument;
      return false;
    } else if (equals != std::string::npos) {
      *value = argument.substr(equals + 1);
    } else if (i + 1 < argc) {
      *value = argv[++i];
    } else {
      error = name + " needs a value";
      return false;
    }
  }
  return true;
}

// glossmill beside this program, or by name along the search path.
std::filesystem::path GlossmillBeside(const char* self) {
#ifdef _WIN32
  const char* cName = "glossmill.exe";
#else
  const char* cName = "glossmill";
#endif
  const std::filesystem::path program(self);
  if (!program.has_parent_path()) return cName;
  std::error_code failed;
  const std::filesystem::path directory = std::filesystem::absolute(program, failed).parent_path();
  return failed ? std::filesystem::path(cName) : directory / cName;
}

const sBridgeLanguage* TargetLanguage(const std::string& name, std::string& error) {
  const sBridgeLanguage* language = FindBridgeLanguage(name);
  if (name.empty())
    error = "--lang is needed";
  else if (!language || language == &GetSourceLanguage())
    error = "no target language " + name + " (French, Italian, German, Spanish, Russian, "
            "Polish, Dutch or their codes)";
  return error.empty() ? language : nullptr;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return UsageError("no command");
  const std::string first = argv[1];
  if (first == "--help" || first == "-h") {
    std::cout << cUsage << cHelp;
    return cDone;
  }
  if (first == "--version") {
    std::cout << "glossmill-bridge " << GLOSSMILL_BRIDGE_VERSION << "\n";
    return cDone;
  }
  sArguments arguments;
  std::string error;
  if (!ParseArguments(argc, argv, arguments, error)) return UsageError(error);
  const std::vector<std::string>& files = arguments.mFiles;

  const bool pageGiven = !arguments.mPage.empty();
  if (arguments.mCommand == "export") {
    eExchangeFormat format;
    if (!ParseExchangeFormat(arguments.mFormat, format))
      return UsageError(arguments.mFormat.empty() ? "--to is needed"
                                                  : "no format " + arguments.mFormat);
    const sBridgeLanguage* language = TargetLanguage(arguments.mLanguage, error);
    if (!language) return UsageError(error);
    if (files.size() != 2 || arguments.mJson || pageGiven)
      return UsageError("export takes --to, --lang, TRANSLATIONS and OUT");
    return RunExport(format, *language, files[0], files[1], std::cout, std::cerr);
  }
  if (arguments.mCommand == "import") {
    const sBridgeLanguage* language = TargetLanguage(arguments.mLanguage, error);
    if (!language) return UsageError(error);
    if (files.size() != 2 || arguments.mJson || pageGiven || !arguments.mFormat.empty())
      return UsageError("import takes --lang, TRANSLATIONS and IN");
    return RunImport(*language, files[0], files[1], std::cout, std::cerr);
  }
  if (arguments.mCommand == "stats") {
    if (files.empty() || files.size() > 2 || !arguments.mFormat.empty() ||
        !arguments.mLanguage.empty())
      return UsageError("stats takes --json, --html OUT, TRANSLATIONS and a TREE if wanted");
    const std::filesystem::path tree = files.size() == 2 ? files[1] : std::string();
    const std::filesystem::path page = arguments.mPage;
    return RunStats(files[0], files.size() == 2 ? &tree : nullptr, GlossmillBeside(argv[0]),
                    arguments.mJson, pageGiven ? &page : nullptr, std::cout, std::cerr);
  }
  return UsageError("unknown command " + arguments.mCommand);
}
