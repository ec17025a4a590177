#include "app/DataFiles.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "Core/platform/FxPlatform.h"
#include "xml/cFxPath.h"

std::set<cFxWString> gDataFiles;

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

void WalkDirectory(const cFxWString& directory, tOpenDirectories& open) {
  const std::u16string units = StableUnits(directory);

  sDirectoryIdentity identity;
  const bool known = FxPlatformGetDirectoryIdentity(units.c_str(), &identity.mVolume,
                                                    &identity.mFile);
  if (known) {
    if (IsOpen(open, identity)) return;
    open.push_back(identity);
  }

  sFxDirEntry entry;
  cFxDirSearch* search = FxPlatformFindFirst(units.c_str(), entry);
  if (search == nullptr) {
    std::printf("Error: failed to find first file\n");
  } else {
    for (;;) {
      if (!IsDotOrDotDot(entry.mName)) {
        // Only regular files hold data: a FIFO or a device named like a data
        // file would keep its reader waiting forever.
        if (entry.mKind == eFxEntryDirectory)
          WalkDirectory(JoinPath(directory, entry.mName), open);
        else if (entry.mKind == eFxEntryFile)
          AddDataFile(directory, entry.mName);
      }
      const eFxFindResult next = FxPlatformFindNext(search, entry);
      if (next == eFxFindFound) continue;
      if (next == eFxFindFailed) std::printf("Error: failed to find next file\n");
      break;
    }
    FxPlatformFindClose(search);
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
  tOpenDirectories open;
  WalkDirectory(directory, open);
}

void AddDataFile(const cFxWString& directory, const cFxWString& name) {
  const cFxWString path = JoinPath(directory, name);
  const cFxWString lower = path.ToLower();
  if (lower.EndsWith(gBinExtension.c_str())) {
    gDataFiles.erase(XmlTwinOf(path));
    gDataFiles.insert(path);
  } else if (lower.EndsWith(gXmlExtension.c_str())) {
    if (gDataFiles.count(BinTwinOf(path)) == 0) gDataFiles.insert(path);
  }
}

void ClearDataFiles() { gDataFiles.clear(); }

void LeaveOutOfDataFiles(const cFxWString& path) {
  const cFxPath left(path);
  if (!left.IsValid()) return;
  for (auto it = gDataFiles.begin(); it != gDataFiles.end(); ++it) {
    if (cFxPath(*it).GetText() == left.GetText()) {
      gDataFiles.erase(it);
      return;
    }
  }
}

void PrintProgressLine(int position, int total, const cFxWString& path) {
  std::fputs(ProgressLine(position, total, path).c_str(), stdout);
  std::fflush(stdout);
}

std::string ProgressLine(int position, int total, const cFxWString& path) {
  const cFxString narrow = NarrowPath(path);
  return "File " + std::to_string(position) + " / " + std::to_string(total) + " : " +
         std::string(narrow.c_str(), narrow.Length()) + "\n";
}
