#include "app/CommandLine.h"

#include <cstdio>

#include "Core/platform/FxPlatform.h"
#include "app/DataFiles.h"
#include "app/RewriteLock.h"
#include "translations/TranslationsColumns.h"
#include "xml/cFxFile.h"

namespace {

const cFxString gExcludeMarker("!");
const cFxString gScopeMarker("@");

// Buffer sizes of the translations file read by the update runs.
constexpr int cTranslationsReadBuffer = 64 * 1024;

// Which list a builder fills, and how it reacts to the two markers.
enum eCollect { eCollectReplace, eCollectExclude, eCollectScope };

void Collect(int argc, const char* const* argv, tTagList& list, eCollect which) {
  bool collecting = which == eCollectReplace;
  for (int i = 2; i < argc; ++i) {
    cFxString argument(argv[i]);
    if (argument == gExcludeMarker) {
      if (which == eCollectReplace) return;
      collecting = which == eCollectExclude;
    } else if (argument == gScopeMarker) {
      if (which == eCollectReplace) return;
      collecting = which == eCollectScope;
    } else if (collecting) {
      // A tag enters as every word of the command line does, so a name
      // typed in UTF-8 matches the name the data file holds.
      list.push_back(WidePath(argv[i]));
    }
  }
}

void ReplaceWithArguments(eFlavour flavour, int argc, const char* const* argv) {
  cRewriteLock lock;
  if (!lock.Take()) return;
  tTagList replaceTags, excludeTags, scopeTags;
  CollectReplaceTags(argc, argv, replaceTags);
  CollectExcludeTags(argc, argv, excludeTags);
  CollectScopeTags(argc, argv, scopeTags);
  RunReplace(flavour, replaceTags, excludeTags, scopeTags);
}

void UpdateFromFile(eFlavour flavour, const char* fileName) {
  // Taken before anything is read: a run turned away reads nothing.
  cRewriteLock lock;
  if (!lock.Take()) return;
  cFxFile translations;
  if (!translations.Open(cFxPath(fileName), kFxFileMode::cModeRead, 0, 0,
                         cTranslationsReadBuffer, cTranslationsReadBuffer)) {
    std::printf("Could not open file '%s'\n", fileName);
    return;
  }
  RunUpdate(flavour, translations);
  translations.Close();
}

}  // namespace

void CollectReplaceTags(int argc, const char* const* argv, tTagList& list) {
  Collect(argc, argv, list, eCollectReplace);
}

void CollectExcludeTags(int argc, const char* const* argv, tTagList& list) {
  Collect(argc, argv, list, eCollectExclude);
}

void CollectScopeTags(int argc, const char* const* argv, tTagList& list) {
  Collect(argc, argv, list, eCollectScope);
}

void PrintUsage() {
  // Null stands for a blank line, which also flushes the stream.
  static const char* const cSteps[] = {
      "usage:\n",
      "\tglossmill -sx <outfile.txt>\n",
      "\tglossmill -su <infile.txt>\n",
      "to e[x]tract to/[u]pdate a tab-delimited Vektrel translations file from\n[s]ource XML.\n",
      nullptr,
      "\tglossmill -sr string1 [string2] [...] [! [tagToExlude1] [...]]\n",
      "[s]ource [r]eplacement, changes strings to user localised entries.\n",
      nullptr,
      "\tglossmill -gx <outfile.txt>\n",
      "\tglossmill -gu <infile.txt>\n",
      "to e[x]tract to/[u]pdate a tab-delimited Vektrel translations file from\n[g]ame XML/Bin "
      "files.\n",
      nullptr,
      "\tglossmill -gr string1 [string2] [...] [! [tagToExlude1] [...]]\n",
      "[g]ame [r]eplacement, changes strings to user localised entries.\n",
  };
  for (const char* step : cSteps) {
    std::fputs(step ? step : "\n", stdout);
    if (!step) std::fflush(stdout);
  }
  std::fflush(stdout);
}

int RunCommandLine(int argc, const char* const* argv) {
  // Progress nobody reads any more must not cut the translations file short,
  // nor a file-size limit end the run in the middle of a tree.
  FxPlatformKeepRunningWhenWritesFail();
  InitFileSystems();
  {
    // The switch is built before the count is looked at: with no arguments
    // at all it is the empty string.
    const cFxString switchText(argc > 1 ? argv[1] : "");
    const cFxString option = switchText.ToLower();
    // The switch's first letter names the flavour, its second the operation.
    const eFlavour flavour = option.Length() > 1 && option.c_str()[1] == 'g' ? eFlavour::Game : eFlavour::Source;
    if (argc < 3) {
      PrintUsage();
    } else if (option == "-sr" || option == "-gr") {
      ReplaceWithArguments(flavour, argc, argv);
    } else if (argc != 3) {
      PrintUsage();
    } else if (option == "-gu" || option == "-su") {
      UpdateFromFile(flavour, argv[2]);
    } else if (option == "-gx" || option == "-sx") {
      RunExtract(flavour, argv[2]);
    }
    // Any other switch with one argument: nothing is done or printed.
  }
  std::fflush(stdout);
  ShutdownFileSystems();
  return 0;
}
