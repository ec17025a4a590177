// How far a translations file's languages are: the figures that stats
// prints as text or JSON and shows on its coverage page.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "bridge/Languages.h"
#include "bridge/UpdateView.h"

struct sLanguageCoverage {
  const sBridgeLanguage* mLanguage;
  size_t mTranslated = 0;
  size_t mMissing = 0;
  size_t mWords = 0;  // English words of the strings still missing
};

// The strings of the data files below one folder at the top of the tree (a
// route, a pack); the files at the top themselves make the folder "".
struct sFolderCoverage {
  std::string mFolder;
  size_t mStrings = 0;
  std::vector<size_t> mMissing;  // per target language, in their order
  size_t mAllMissing = 0;        // the sum of mMissing
};

struct sCoverage {
  size_t mStrings = 0;  // every line of the file
  // The strings that cannot travel; the figures below count the others.
  std::vector<sLeftOutString> mCannotTravel;
  std::vector<sLanguageCoverage> mLanguages;  // the seven targets
  std::vector<sFolderCoverage> mFolders;      // most missing strings first
  // With a tree: the keys the tree has more often than the file, and the
  // other way round.
  bool mComparedWithTree = false;
  std::vector<std::string> mNotInFile;
  std::vector<std::string> mNotInTree;
};

// One self-contained HTML5 page (its style inline, no scripts, nothing
// fetched): per language a bar of translated and missing strings with the
// counts, a table of the missing strings per folder and language, worst
// first, and the strings that cannot travel or that tree and file lack.
// `title` names the translations file.
std::string MakeCoveragePage(const sCoverage& coverage, const std::string& title);
