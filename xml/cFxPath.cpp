// Paths are turned into the internal form once, when they are assigned, so
// that opening a file only has to look up the file system by name.
#include "xml/cFxPath.h"

#include <string>
#include <string_view>
#include <vector>

#include "Core/platform/FxPlatform.h"

namespace {

// The network form keeps its two leading backslashes behind "@os:"; every
// other backslash is a separator.
cFxString ForwardSlashes(const cFxString& text) {
  const char* const units = text.c_str();
  const uint32_t length = text.Length();
  const uint32_t start = std::string_view(units, length).compare(0, 6, "@os:\\\\") == 0 ? 6 : 0;
  if (std::string_view(units + start, length - start).find('\\') == std::string_view::npos) return text;
  std::string result(units, length);
  for (size_t i = start; i < result.size(); ++i) {
    if (result[i] == '\\') result[i] = '/';
  }
  return cFxString(result.c_str(), static_cast<uint32_t>(result.size()));
}

// Whether a path after "@os:" begins with a drive: one letter, then a slash
// or nothing.
bool IsDriveRoot(std::string_view rest) {
  const bool letter =
      !rest.empty() && ((rest[0] >= 'a' && rest[0] <= 'z') || (rest[0] >= 'A' && rest[0] <= 'Z'));
  return letter && (rest.size() == 1 || rest[1] == '/');
}

// Resolves "." and ".." in an internal form; false when the form has no
// file-system name or a segment is empty or holds ":". `unchanged` tells
// that the form had nothing to resolve, so `normalised` was not made: the
// common case, and the one every file of a run meets.
bool Normalise(std::string_view text, std::string& normalised, bool& unchanged) {
  const size_t colon = text.find(':');
  if (text.empty() || text[0] != '@' || colon == std::string_view::npos || colon == 1) return false;
  const std::string_view name = text.substr(1, colon - 1);
  if (name.find('/') != std::string_view::npos) return false;

  std::string_view rest = text.substr(colon + 1);
  // The root is not a segment: "/" on POSIX, two backslashes for a network
  // path, a drive letter and its slash on Windows.
  std::string_view root;
  if (rest.compare(0, 2, "\\\\") == 0)
    root = rest.substr(0, 2);
  else if (rest.compare(0, 1, "/") == 0)
    root = rest.substr(0, 1);
  else if (cFxDriveRoots && IsDriveRoot(rest))
    root = rest.substr(0, 2);
  rest.remove_prefix(root.size());

  std::vector<std::string_view> segments;
  size_t leadingParents = 0;  // ".." that found nothing to remove
  unchanged = true;
  // Above the POSIX root is the root itself; elsewhere (no root, a drive
  // letter as first segment) such a ".." stays at the front.
  const bool parentOfRootIsRoot = root == "/";
  if (!rest.empty()) {
    size_t start = 0;
    for (;;) {
      const size_t slash = rest.find('/', start);
      const std::string_view segment =
          rest.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
      if (segment.empty() || (!cFxColonInNames && segment.find(':') != std::string_view::npos))
        return false;
      if (segment == "..") {
        unchanged = false;
        if (segments.size() > leadingParents) {
          segments.pop_back();
        } else if (!parentOfRootIsRoot) {
          segments.push_back(segment);
          ++leadingParents;
        }
      } else if (segment == ".") {
        unchanged = false;
      } else {
        segments.push_back(segment);
      }
      if (slash == std::string_view::npos) break;
      start = slash + 1;
    }
  }
  if (unchanged) return true;

  normalised.assign("@").append(name).append(":").append(root);
  for (size_t i = 0; i < segments.size(); ++i) {
    if (i != 0) normalised += "/";
    normalised.append(segments[i]);
  }
  return true;
}

}  // namespace

cFxPath::cFxPath(const cFxWString& nativePath) {
  const std::string bytes = FxPlatformNameBytes(nativePath.c_str(), nativePath.Length());
  Set(cFxString(bytes.data(), static_cast<uint32_t>(bytes.size())));
}

void cFxPath::Set(const cFxString& text) {
  // Both forms are interned: the same few directories and files are named
  // over and over. An invalid path keeps the text it was given.
  mValid = false;
  const auto keepGiven = [&] { mText = cFxString::Intern(text.c_str(), text.Length()); };
  if (text.IsEmpty()) return keepGiven();  // no file has an empty name

  cFxString internal;
  const bool native = text.c_str()[0] != '@';
  if (!native) {
    internal = ForwardSlashes(text);
  } else if (!FxPlatformNativeToInternal(text.c_str(), internal)) {
    return keepGiven();
  }

  // The system's limit holds for what is left once "." and ".." are
  // resolved.
  std::string normalised;
  bool unchanged = false;
  if (!Normalise(std::string_view(internal.c_str(), internal.Length()), normalised, unchanged))
    return keepGiven();
  mText = unchanged ? cFxString::Intern(internal.c_str(), internal.Length())
                    : cFxString::Intern(normalised.c_str(), static_cast<uint32_t>(normalised.size()));
  if (native && mText.Length() - mText.FindChar(':') - 1 >= FxPlatformPathLimit())
    return keepGiven();
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
