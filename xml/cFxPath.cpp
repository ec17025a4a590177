// Paths are turned into the internal form once, when they are assigned, so
// that opening a file only has to look up the file system by name.
#include "xml/cFxPath.h"

#include <string>
#include <vector>

#include "Core/platform/FxPlatform.h"

namespace {

// The network form keeps its two leading backslashes behind "@os:"; every
// other backslash is a separator.
std::string ForwardSlashes(const cFxString& text) {
  std::string result(text.c_str(), text.Length());
  size_t start = 0;
  if (result.compare(0, 6, "@os:\\\\") == 0) start = 6;
  for (size_t i = start; i < result.size(); ++i) {
    if (result[i] == '\\') result[i] = '/';
  }
  return result;
}

// Resolves "." and ".." in an internal form; false when the form has no
// file-system name or a segment is empty or holds ":".
bool Normalise(const std::string& text, std::string& normalised) {
  size_t colon = text.find(':');
  if (text.empty() || text[0] != '@' || colon == std::string::npos || colon == 1) return false;
  std::string name = text.substr(1, colon - 1);
  if (name.find('/') != std::string::npos) return false;

  std::string rest = text.substr(colon + 1);
  // The root is not a segment: "/" on POSIX, two backslashes for a network
  // path; a drive letter is the first segment.
  std::string root;
  if (rest.compare(0, 2, "\\\\") == 0)
    root = "\\\\";
  else if (rest.compare(0, 1, "/") == 0)
    root = "/";
  rest.erase(0, root.size());

  std::vector<std::string> segments;
  size_t leadingParents = 0;  // ".." that found nothing to remove
  if (!rest.empty()) {
    size_t start = 0;
    for (;;) {
      size_t slash = rest.find('/', start);
      std::string segment =
          rest.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
      if (segment.empty() || segment.find(':') != std::string::npos) return false;
      if (segment == "..") {
        if (segments.size() > leadingParents)
          segments.pop_back();
        else {
          segments.push_back(segment);
          ++leadingParents;
        }
      } else if (segment != ".") {
        segments.push_back(segment);
      }
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
  }

  normalised = "@" + name + ":" + root;
  for (size_t i = 0; i < segments.size(); ++i) {
    if (i != 0) normalised += "/";
    normalised += segments[i];
  }
  return true;
}

}  // namespace

void cFxPath::Set(const cFxString& text) {
  mValid = false;
  mText = text;
  if (text.IsEmpty()) return;  // no file has an empty name

  std::string internal;
  if (text.c_str()[0] == '@') {
    internal = ForwardSlashes(text);
  } else {
    cFxString converted;
    if (!FxPlatformNativeToInternal(text.c_str(), converted)) return;
    internal.assign(converted.c_str(), converted.Length());
  }

  // An invalid path keeps the text it was given.
  std::string normalised;
  if (!Normalise(internal, normalised)) return;
  mText = cFxString(normalised.c_str(), static_cast<uint32_t>(normalised.size()));
  mValid = true;
}

cFxString cFxPath::GetFileSystemName() const {
  if (!mValid) return cFxString();
  return mText.Substring(1, mText.FindChar(':'));
}

cFxString cFxPath::GetRest() const {
  if (!mValid) return cFxString();
  return mText.Substring(mText.FindChar(':') + 1);
}
