// The two replacement runs (-gr, -sr): plain strings held in named tags
// become localised strings in every data file below the current directory.
// Each data file is copied into its temporary sibling with the strings
// replaced, and only a complete copy then takes the data file's place, in
// one step; one that cannot be written keeps its contents and is named on
// standard error.
#include "app/BinaryConversion.h"
#include "app/CommitQueue.h"
#include "app/DataFiles.h"
#include "app/RunDrivers.h"
#include "app/RunSupport.h"
#include "app/WriteBack.h"
#include "localisation/cGameReplaceVisitor.h"
#include "localisation/cSourceReplaceVisitor.h"

namespace {

// Copies `readPath` into its temporary sibling through the flavour's
// replacement visitor, and a complete copy takes its place, by `rewrite`
// (RewriteDataFile or a commit queue's). For a ".bin" that is its XML form,
// which is also the file a failure names: the ".bin" is rebuilt from it
// afterwards either way.
template <class tVisitor, class tRewrite>
void ReplaceInFile(const cFxWString& readPath, const tTagList& replaceTags,
                   const tTagList& excludeTags, const tTagList& scopeTags, tRewrite rewrite) {
  tVisitor visitor;
  visitor.SetReplaceTags(replaceTags);
  visitor.SetExcludeTags(excludeTags);
  visitor.SetScopeTags(scopeTags);
  visitor.SetFilePath(readPath + gTempExtension);
  rewrite(readPath, visitor);
}

bool IsBinFile(const cFxWString& path) { return path.EndsWith(gBinExtension.c_str()); }

}  // namespace

void RunGameReplace(const tTagList& replaceTags, const tTagList& excludeTags,
                    const tTagList& scopeTags) {
  cFxWString startDirectory;
  if (!ReadStartDirectory(startDirectory)) return;
  WalkDataTree(startDirectory);
  ConvertAllBinToXml();

  const int total = static_cast<int>(gDataFiles.size());
  int position = 1;
  for (const cFxWString& dataFile : gDataFiles) {
    // The line names the data file itself, a ".bin" too; the change is made
    // in its XML form.
    PrintProgressLine(position, total, dataFile);
    ++position;
    const cFxWString readPath = IsBinFile(dataFile) ? XmlTwinOf(dataFile) : dataFile;
    ReplaceInFile<cGameReplaceVisitor>(readPath, replaceTags, excludeTags, scopeTags, RewriteDataFile);
  }

  // Every ".bin" is rebuilt only once every file has been rewritten; an XML
  // form that could not be opened or written gives back the old contents.
  ConvertAllXmlToBin();
}

void RunSourceReplace(const tTagList& replaceTags, const tTagList& excludeTags,
                      const tTagList& scopeTags) {
  cFxWString startDirectory;
  if (!ReadStartDirectory(startDirectory)) return;
  WalkDataTree(startDirectory);

  const int total = static_cast<int>(gDataFiles.size());
  cCommitQueue commits;
  // The next files are read while one is rewritten.
  cDataFileList::cIterator upcoming = gDataFiles.begin();
  commits.ReadAhead([&upcoming](cFxWString& dataPath) {
    // Binary files are not read: they are left to the game run.
    while (upcoming != gDataFiles.end()) {
      dataPath = *upcoming;
      ++upcoming;
      if (!IsBinFile(dataPath)) return true;
    }
    return false;
  });
  const auto rewrite = [&commits](const cFxWString& dataPath, cRewritingVisitor& visitor) {
    commits.RewriteDataFile(dataPath, visitor);
  };
  int position = 1;
  for (const cFxWString& dataFile : gDataFiles) {
    commits.PrintProgressLine(position, total, dataFile);
    ++position;
    // Binary files are counted and reported but left to the game run.
    if (IsBinFile(dataFile)) continue;
    ReplaceInFile<cSourceReplaceVisitor>(dataFile, replaceTags, excludeTags, scopeTags, rewrite);
  }
}
