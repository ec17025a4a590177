#include "app/DataFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Core/platform/FxPlatform.h"
#include "xml/cFxPath.h"

cDataFileList gDataFiles;

const cFxWString gBinExtension(u".bin");
const cFxWString gXmlExtension(u".xml");
const cFxWString gTempExtension(u".temp");

namespace {

// Where a directory lives on disk, independent of the path that reached it.
struct sDirectoryIdentity {
  uint64_t mVolume;
  uint64_t mFile;
};

// The directories open on the walk's current path, outermost first. A link
// to one of them would lead the walk round in a circle; a link anywhere else
// is walked like the directory it names.
typedef std::vector<sDirectoryIdentity> tOpenDirectories;

bool IsOpen(const tOpenDirectories& open, const sDirectoryIdentity& identity) {
  for (const sDirectoryIdentity& each : open)
    if (each.mVolume == identity.mVolume && each.mFile == identity.mFile) return true;
  return false;
}

bool IsDotOrDotDot(const cFxWString& name) { return name == u"." || name == u".."; }

// Where the files of a walk go: appended to gDataFiles in order, or only
// counted.
struct sWalkSink {
  bool mKeepPaths;
  size_t mCount = 0;

  void File(const cFxWString& path) {
    if (mKeepPaths) gDataFiles.Append(path);
    ++mCount;
  }
};

// An entry of a directory, ordered by the place its paths take in
// gDataFiles: a file by its name, a directory by its name and the
// separator, which every path below it continues. A name holds no
// separator, so sorting these keys sorts the paths they lead to.
struct sDirectoryEntry {
  cFxWString mName;
  bool mDirectory;

  // The key's unit at `i`, or -1 past its end.
  int32_t KeyUnit(uint32_t i) const {
    if (i < mName.Length()) return mName.c_str()[i];
    return mDirectory && i == mName.Length() ? cFxNativeSeparator : -1;
  }
  bool operator<(const sDirectoryEntry& other) const {
    for (uint32_t i = 0;; ++i) {
      const int32_t mine = KeyUnit(i), theirs = other.KeyUnit(i);
      if (mine != theirs) return mine < theirs;
      if (mine < 0) return false;
    }
  }
};

void WalkDirectory(const cFxWString& directory, tOpenDirectories& open, sWalkSink& sink) {
  const std::u16string units = StableUnits(directory);

  sFxDirEntry entry;
  cFxDirSearch* search = nullptr;
  FxPlatformFindFirst(units.c_str(), nullptr, search, entry);
  // A directory that opens tells its identity itself; its name is looked up
  // again only when it does not open.
  sDirectoryIdentity identity;
  const bool known =
      search != nullptr ? FxPlatformGetSearchIdentity(search, &identity.mVolume, &identity.mFile).IsOk()
                        : FxPlatformGetDirectoryIdentity(units.c_str(), &identity.mVolume, &identity.mFile).IsOk();
  if (known) {
    if (IsOpen(open, identity)) {
      FxPlatformFindClose(search);
      return;
    }
    open.push_back(identity);
  }

  if (search == nullptr) {
    std::printf("Error: failed to find first file\n");
  } else {
    std::vector<cFxWString> files;
    std::vector<sDirectoryEntry> entries;
    bool brokeOff = false;
    for (;;) {
      if (!IsDotOrDotDot(entry.mName)) {
        // Only regular files hold data: a FIFO or a device named like a data
        // file would keep its reader waiting forever.
        if (entry.mKind == eFxEntryDirectory)
          entries.push_back({entry.mName, true});
        else if (entry.mKind == eFxEntryFile)
          files.push_back(entry.mName);
      }
      const cFxOsResult next = FxPlatformFindNext(search, entry);
      if (next.IsOk()) continue;
      brokeOff = !next.IsEnd();
      break;
    }
    FxPlatformFindClose(search);

    for (const cFxWString& name : DataFileNamesAmong(std::move(files)))
      entries.push_back({name, false});
    std::sort(entries.begin(), entries.end());
    for (const sDirectoryEntry& each : entries) {
      const cFxWString path = JoinPath(directory, each.mName);
      if (each.mDirectory)
        WalkDirectory(path, open, sink);
      else
        sink.File(path);
    }
    if (brokeOff) std::printf("Error: failed to find next file\n");
  }

  if (known) open.pop_back();
}

}  // namespace

cFxWString JoinPath(const cFxWString& directory, const cFxWString& name) {
  const uint32_t length = directory.Length();
  if (length != 0 && directory.c_str()[length - 1] == cFxNativeSeparator)
    return directory + name;
  const wchar16 separator[2] = {cFxNativeSeparator, 0};
  return directory + separator + name;
}

namespace {
cFxWString WithOtherExtension(const cFxWString& path, const cFxWString& from,
                              const cFxWString& to) {
  if (!path.EndsWith(from.c_str())) return path;
  return path.Substring(0, static_cast<int32_t>(path.Length() - from.Length())) + to;
}
}  // namespace

cFxWString XmlTwinOf(const cFxWString& path) {
  return WithOtherExtension(path, gBinExtension, gXmlExtension);
}

cFxWString BinTwinOf(const cFxWString& path) {
  return WithOtherExtension(path, gXmlExtension, gBinExtension);
}

cFxString NarrowPath(const cFxWString& path) {
  const std::string bytes = FxPlatformNameBytes(path.c_str(), path.Length());
  return cFxString(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

cFxWString WidePath(const char* name) {
  const std::u16string units = FxPlatformNameUnits(name, static_cast<uint32_t>(std::strlen(name)));
  return cFxWString(units.data(), static_cast<uint32_t>(units.size()));
}

std::u16string StableUnits(const cFxWString& path) {
  return std::u16string(path.c_str(), path.Length());
}

void WalkDataTree(const cFxWString& directory) {
  gDataFiles.clear();
  tOpenDirectories open;
  sWalkSink sink{true};
  WalkDirectory(directory, open, sink);
}

size_t CountDataFiles(const cFxWString& directory) {
  tOpenDirectories open;
  sWalkSink sink{false};
  WalkDirectory(directory, open, sink);
  return sink.mCount;
}

std::vector<cFxWString> DataFileNamesAmong(std::vector<cFxWString> names) {
  std::sort(names.begin(), names.end());
  std::vector<cFxWString> kept;
  for (const cFxWString& name : names) {
    const cFxWString lower = name.ToLower();
    if (lower.EndsWith(gBinExtension.c_str())) {
      kept.push_back(name);
    } else if (lower.EndsWith(gXmlExtension.c_str())) {
      // A name that does not end in the exact ".xml" is its own twin.
      const cFxWString twin = BinTwinOf(name);
      if (twin == name || !std::binary_search(names.begin(), names.end(), twin)) kept.push_back(name);
    }
  }
  return kept;
}

void ClearDataFiles() { gDataFiles.clear(); }

void LeaveOutOfDataFiles(const cFxWString& path) {
  const cFxPath left(path);
  if (!left.IsValid()) return;
  for (auto it = gDataFiles.begin(); it != gDataFiles.end(); ++it) {
    if (cFxPath(*it).GetText() == left.GetText()) {
      gDataFiles.Erase(it);
      return;
    }
  }
}

void PrintProgressLine(int position, int total, const cFxWString& path) {
  std::fputs(ProgressLine(position, total, path).c_str(), stdout);
  std::fflush(stdout);
}

std::string ProgressLine(int position, int total, const cFxWString& path) {
  return "File " + std::to_string(position) + " / " + std::to_string(total) + " : " + PrintedPath(path) + "\n";
}

std::string PrintedPath(const cFxWString& path) {
  const std::string bytes = FxPlatformNameBytes(path.c_str(), path.Length());
  return bytes.substr(0, bytes.find('\0'));
}
