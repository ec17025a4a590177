// The update runs (-gu, -su): the translations of a translations file go
// back into the data files its keys name. Each data file is copied into its
// temporary sibling with the translations in place, and only a complete
// copy, flushed to disk, then replaces it atomically: no data file is ever
// left half written, and one that cannot be written keeps its contents and
// is named on standard error. A key that names no file below the start
// directory (see KeyPaths.h) gets its progress line and one line on
// standard error, and nothing is read, converted or written for it.
//
// How the two flavours differ, step by step:
//   step                 game (-gu)                            source (-su)
//   file total           the files the table names             the data files below the start directory
//   lines read           "Game" lines                          "Source" lines
//   before reading       the key's ".bin" converted to XML     nothing
//   path read, printed   the XML form of a ".bin" key          the key's data file
//   visitor              cGameUpdateVisitor, adds ".temp"      cSourceUpdateVisitor, given ".temp"
//   write-back           one file at a time                    the commit queue, the next files read ahead
//   after the write-back the XML form converted back to ".bin" nothing
// The keys' loops differ with them: the game run's converts the keys ahead
// through the serializer jobs (UpdateGameFiles), the source run's hands the
// keys ahead to the commit queue to read (UpdateSourceFiles).
#include <algorithm>
#include <deque>
#include <vector>

#include "app/BinaryConversion.h"
#include "app/CommitQueue.h"
#include "app/DataFiles.h"
#include "app/KeyPaths.h"
#include "app/RunDrivers.h"
#include "app/RunSupport.h"
#include "app/SerializerJobs.h"
#include "app/WriteBack.h"
#include "localisation/cGameUpdateVisitor.h"
#include "localisation/cSourceUpdateVisitor.h"
#include "translations/cTranslationTable.h"
#include "xml/cFxFile.h"

namespace {

// Whether a data file is a ".bin" one, in any case: such a file is read and
// rebuilt through its XML form.
bool NamesBinFile(const cFxWString& path) {
  return path.ToLower().EndsWith(gBinExtension.c_str());
}

// The XML form of a ".bin" data file as the update names it: only the last
// four characters change, whatever their case.
cFxWString XmlFormOf(const cFxWString& binPath) {
  return binPath.Substring(0, static_cast<int32_t>(binPath.Length()) - 4) + gXmlExtension;
}

void UpdateGameFile(const cFxWString& readPath, const cFxWString& startDirectory,
                    cFileRecords& records) {
  cGameUpdateVisitor visitor;
  // The visitor writes to the path it is given followed by ".temp".
  visitor.SetFilePath(readPath);
  visitor.SetOutputPath(startDirectory);
  visitor.SetRecords(records);
  RewriteDataFile(readPath, visitor);
}

// One key of a game update: the path its progress line shows, and, unless
// it is refused, the files it names and the families (see FamilyOf) of
// everything its conversions and its write-back touch.
struct sGameKey {
  cFxWString mKeyPath;
  cFxWString mShownPath;
  bool mRefused = false;
  cFxWString mDataPath;
  cFxWString mReadPath;
  bool mBinFile = false;
  std::vector<std::u16string> mFamilies;
};

sGameKey GameKeyOf(const cFxWString& keyPath, const cFxWString& keyBase) {
  sGameKey key;
  key.mKeyPath = keyPath;
  // The line shows the key as it is spelled, the XML form of a ".bin".
  const cFxWString spelled = SpelledKeyPath(keyPath, keyBase);
  key.mShownPath = NamesBinFile(keyPath) ? XmlFormOf(spelled) : spelled;
  key.mRefused = !ResolveKeyPath(keyPath, keyBase, key.mDataPath);
  if (key.mRefused) return key;
  key.mBinFile = NamesBinFile(key.mDataPath);
  key.mReadPath = key.mBinFile ? XmlFormOf(key.mDataPath) : key.mDataPath;
  return key;
}

void AddFamilies(sGameKey& key) {
  if (key.mRefused) return;
  // The conversion writes the twin, which may name another directory than
  // the form the update reads; both count.
  std::vector<cFxWString> touched = {key.mDataPath, key.mReadPath};
  if (key.mDataPath.EndsWith(gBinExtension.c_str())) touched.push_back(XmlTwinOf(key.mDataPath));
  for (const cFxWString& path : touched)
    for (const std::u16string& family : FamiliesOf(path))
      if (std::find(key.mFamilies.begin(), key.mFamilies.end(), family) == key.mFamilies.end())
        key.mFamilies.push_back(family);
}

bool ShareAFamily(const sGameKey& a, const sGameKey& b) {
  for (const std::u16string& family : a.mFamilies)
    if (std::find(b.mFamilies.begin(), b.mFamilies.end(), family) != b.mFamilies.end()) return true;
  return false;
}

// The progress line of a key, and what becomes of a refused one: the line
// on standard error, and nothing read, converted or written for it.
void PrintGameKey(int position, int total, const sGameKey& key) {
  PrintProgressLine(position, total, key.mShownPath);
  if (key.mRefused) ReportRefusedKey(key.mKeyPath);
}

// The game update with up to `jobLimit` serializer processes: the ".bin"
// files of the keys ahead are converted while one is read (at most
// `jobLimit` keys ahead), and each is rebuilt while the next ones are read.
// The progress lines and every file come out as in the one-at-a-time run
// (a limit of 1): a key is read only once its own conversion and every
// earlier run on its files have ended, and no key is converted ahead past a
// key that reaches the same files.
void UpdateGameFiles(cTranslationTable& table, const cFxWString& startDirectory, const cFxWString& keyBase,
                     int total, uint32_t jobLimit) {
  cSerializerJobs jobs(jobLimit);
  // The key being updated, then the keys after it taken from the table so
  // far; the first `converted` of them have had their conversion started.
  std::deque<sGameKey> keys;
  size_t converted = 0;
  auto takeNextKey = [&] {
    cFxWString keyPath;
    if (!table.GetNextFile(keyPath)) return false;
    keys.push_back(GameKeyOf(keyPath, keyBase));
    AddFamilies(keys.back());
    return true;
  };
  auto waitForFiles = [&](const sGameKey& key) {
    for (const std::u16string& family : key.mFamilies) jobs.WaitForFamily(family);
  };
  auto mayConvertAhead = [&] {
    if (converted > jobLimit || (converted == keys.size() && !takeNextKey())) return false;
    const sGameKey& next = keys[converted];
    for (size_t between = 1; between < converted; ++between)
      if (ShareAFamily(keys[between], next)) return false;
    return next.mRefused || jobs.HasRoomFor(next.mFamilies);
  };
  // Only an exact ".bin" is converted; a ".BIN" key is still read and
  // rebuilt through its XML form, whatever stands there.
  auto convert = [&](const sGameKey& key) {
    if (!key.mRefused) StartBinToXml(jobs, key.mDataPath);
  };

  int position = 1;
  while (!keys.empty() || takeNextKey()) {
    const sGameKey& key = keys.front();
    if (converted == 0) {
      waitForFiles(key);
      convert(key);
      converted = 1;
    }
    waitForFiles(key);

    PrintGameKey(position, total, key);
    ++position;
    if (!key.mRefused) {
      UpdateGameFile(key.mReadPath, startDirectory, table.GetRecords(key.mKeyPath));
      // Also when the XML form could not be opened: the serializer then
      // finds no fresh XML and the ".bin" stays as it was.
      if (key.mBinFile) StartXmlToBin(jobs, key.mReadPath);
    }

    while (mayConvertAhead()) convert(keys[converted++]);
    keys.pop_front();
    --converted;
  }
  jobs.WaitForAll();
}

// One key of a source update: the data file it names, unless it is refused.
struct sSourceKey {
  cFxWString mKeyPath;
  bool mRefused = false;
  cFxWString mDataPath;
};

sSourceKey SourceKeyOf(const cFxWString& keyPath, const cFxWString& keyBase) {
  sSourceKey key;
  key.mKeyPath = keyPath;
  key.mRefused = !ResolveKeyPath(keyPath, keyBase, key.mDataPath);
  return key;
}

void UpdateSourceFile(const cFxWString& dataPath, const cFxWString& startDirectory,
                      cFileRecords& records, cCommitQueue& commits) {
  cSourceUpdateVisitor visitor;
  // The source visitor writes to exactly the path it is given.
  visitor.SetFilePath(dataPath + gTempExtension);
  visitor.SetRecords(records);
  visitor.SetOutputPath(startDirectory);
  commits.RewriteDataFile(dataPath, visitor);
}

void UpdateSourceFiles(cTranslationTable& table, const cFxWString& startDirectory, const cFxWString& keyBase,
                       int total) {
  cCommitQueue commits;
  // The next keys' files are read while one is rewritten: the keys taken
  // from the table for that and not yet come to. A refused key is passed
  // over there; it only gets its lines here.
  std::deque<sSourceKey> upcomingKeys;
  commits.ReadAhead([&](cFxWString& dataPath) {
    cFxWString keyPath;
    while (table.GetNextFile(keyPath)) {
      upcomingKeys.push_back(SourceKeyOf(keyPath, keyBase));
      if (upcomingKeys.back().mRefused) continue;
      dataPath = upcomingKeys.back().mDataPath;
      return true;
    }
    return false;
  });
  int position = 1;
  for (;;) {
    sSourceKey key;
    if (!upcomingKeys.empty()) {
      key = std::move(upcomingKeys.front());
      upcomingKeys.pop_front();
    } else {
      cFxWString keyPath;
      if (!table.GetNextFile(keyPath)) break;
      key = SourceKeyOf(keyPath, keyBase);
    }
    commits.PrintProgressLine(position, total, SpelledKeyPath(key.mKeyPath, keyBase));
    ++position;
    if (key.mRefused)
      commits.PrintErrorLine(RefusedKeyLine(key.mKeyPath));
    else
      UpdateSourceFile(key.mDataPath, startDirectory, table.GetRecords(key.mKeyPath), commits);
  }
}

}  // namespace

void RunUpdate(eFlavour flavour, cFxFile& translations) {
  const bool game = flavour == eFlavour::Game;
  cFxWString startDirectory;
  if (!ReadStartDirectory(startDirectory)) return;
  // The source run's walk only counts the data files below the start
  // directory: its progress lines show how many of them the translations
  // file touches.
  int total = game ? 0 : static_cast<int>(CountDataFiles(startDirectory));

  cTranslationTable table;
  table.SetFlavour(flavour);
  // A malformed file or one of the other flavour changes nothing.
  if (!table.Read(translations)) return;
  table.RewindFiles();
  if (game) total = static_cast<int>(table.GetFileCount());

  const cFxWString keyBase = KeyBaseOf(startDirectory);
  if (game)
    UpdateGameFiles(table, startDirectory, keyBase, total, SerializerJobLimit());
  else
    UpdateSourceFiles(table, startDirectory, keyBase, total);
}
