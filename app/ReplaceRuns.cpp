// The replacement runs (-gr, -sr): plain strings held in named tags become
// localised strings in every data file below the current directory. Each
// data file is copied into its temporary sibling with the strings replaced,
// and only a complete copy, flushed to disk, then replaces it atomically;
// one that cannot be written keeps its contents and is named on standard
// error.
//
// How the two flavours differ, step by step:
//   step                   game (-gr)                     source (-sr)
//   before the first file  every ".bin" converted to XML  nothing
//   a ".bin" data file     changed through its XML form   counted, its line printed, left alone
//   progress line          the data file, a ".bin" too    the data file
//   visitor                cGameReplaceVisitor            cSourceReplaceVisitor
//   write-back             one file at a time             the commit queue, the next files read ahead
//   after the last file    every ".bin" rebuilt from XML  nothing
#include <memory>

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
// replacement visitor, and a complete copy replaces it, by `rewrite`
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

void RunReplace(eFlavour flavour, const tTagList& replaceTags, const tTagList& excludeTags,
                const tTagList& scopeTags) {
  const bool game = flavour == eFlavour::Game;
  cFxWString startDirectory;
  if (!ReadStartDirectory(startDirectory)) return;
  WalkDataTree(startDirectory);
  if (game) ConvertAllBinToXml();

  const int total = static_cast<int>(gDataFiles.size());
  {
    // The write-back: the game run's one file at a time (RewriteDataFile),
    // each replaced before the next is read; the source run's through the
    // commit queue, which reads the next files ahead while one is parsed.
    std::unique_ptr<cCommitQueue> commits;
    if (!game) {
      commits.reset(new cCommitQueue);
      cDataFileList::cIterator upcoming = gDataFiles.begin();
      commits->ReadAhead([upcoming](cFxWString& dataPath) mutable {
        while (upcoming != gDataFiles.end()) {
          dataPath = *upcoming;
          ++upcoming;
          if (!IsBinFile(dataPath)) return true;
        }
        return false;
      });
    }
    const auto printProgressLine = [&](int position, const cFxWString& path) {
      commits ? commits->PrintProgressLine(position, total, path) : PrintProgressLine(position, total, path);
    };
    const auto rewrite = [&commits](const cFxWString& dataPath, cRewritingVisitor& visitor) {
      commits ? commits->RewriteDataFile(dataPath, visitor) : RewriteDataFile(dataPath, visitor);
    };

    int position = 1;
    for (const cFxWString& dataFile : gDataFiles) {
      printProgressLine(position, dataFile);
      ++position;
      const bool binFile = IsBinFile(dataFile);
      if (binFile && !game) continue;
      const cFxWString readPath = binFile ? XmlTwinOf(dataFile) : dataFile;
      if (game)
        ReplaceInFile<cGameReplaceVisitor>(readPath, replaceTags, excludeTags, scopeTags, rewrite);
      else
        ReplaceInFile<cSourceReplaceVisitor>(readPath, replaceTags, excludeTags, scopeTags, rewrite);
    }
  }

  // Every ".bin" is rebuilt only once every file has been rewritten; an XML
  // form that could not be opened or written gives back the old contents.
  if (game) ConvertAllXmlToBin();
}
