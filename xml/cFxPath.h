// A file name in the internal form "@" + file-system name + ":" + rest.
//
// The only file system mounted is the operating system's, under "os":
// on POSIX "@os:" followed by the absolute path ("@os:/home/u/a.xml"), on
// Windows "@os:" + lower-case drive letter + "/" + the rest with "/" as
// separator ("@os:c/Work/a.xml"). Set() accepts either an internal form
// (starting with "@") or an OS path, relative or absolute, and normalises
// it: "." removed, ".." removing the segment before it, leading ".." kept.
// An empty segment or a segment holding ":" makes the path invalid; opening
// an invalid path fails.
#pragma once

#include "API/core/cFxString.h"

class cFxPath {
 public:
  cFxPath() = default;
  cFxPath(const char* text) { Set(cFxString(text)); }
  cFxPath(const cFxString& text) { Set(text); }
  // A native path held as 16-bit text, reduced to the system's name bytes
  // (FxPlatformNameBytes) on the way in.
  explicit cFxPath(const cFxWString& nativePath);
  cFxPath& operator=(const cFxString& text) {
    Set(text);
    return *this;
  }

  void Set(const cFxString& text);
  bool IsValid() const { return mValid; }
  const cFxString& GetText() const { return mText; }
  // The file-system name between "@" and ":" ("os"); empty when invalid.
  cFxString GetFileSystemName() const;
  // The part after "@name:".
  cFxString GetRest() const;

 private:
  bool mValid = false;
  cFxString mText;
};
