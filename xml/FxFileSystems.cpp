// Start-up and shutdown of the file layer: the pool of open files and the
// one mounted file system, the operating system's, under "os".
#include "API/core/cFxOsFileSystem.h"
#include "API/core/cFxString.h"
#include "xml/cFxFile.h"

namespace {
// Built on first use, so no other static object can reach it unbuilt.
cFxOsFileSystem& OsFileSystem() {
  static cFxOsFileSystem fileSystem;
  return fileSystem;
}
}  // namespace

bool InitFileSystems() {
  if (!FxFilePoolStart()) return false;
  return FxMount(OsFileSystem(), cFxString("os"), 0, cFxString("@os:"), 0);
}

void ShutdownFileSystems() {
  FxUnmount(OsFileSystem());
  FxFilePoolStop();
}

bool FxDeleteFile(const cFxPath& path) {
  cFxOsFileSystem* fileSystem = path.IsValid() ? FxFindMount(path.GetFileSystemName()) : nullptr;
  return fileSystem != nullptr && fileSystem->Delete(path.GetRest());
}
