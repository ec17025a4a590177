#include "bridge/cTranslationsFile.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <system_error>

#include "Core/platform/FxPlatform.h"

namespace {
using kTranslationsLine::cByteOrderMark;
using kTranslationsLine::cLineEnd;

// Whether `bytes` begin as every translations file does: the byte-order
// mark of UTF-16LE. Anything else (UTF-8 saved by an editor, UTF-16BE, an
// empty file) would read as lines of nonsense or none, so it is named.
bool IsTranslationsText(const std::string& bytes, const std::filesystem::path& path,
                        std::string& error) {
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) return true;
  const char* what = bytes.empty()                                ? "is empty"
                     : bytes.compare(0, 2, "\xFE\xFF") == 0     ? "is UTF-16 big-endian"
                     : bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? "is UTF-8"
                                                                  : "has no byte-order mark";
  error = path.string() + " " + what +
          ": a translations file is UTF-16LE text beginning with a byte-order mark, as "
          "glossmill -sx and -gx write it";
  return false;
}

void AppendUnit(char16_t unit, std::string& bytes) {
  bytes += static_cast<char>(unit & 0xFF);
  bytes += static_cast<char>(unit >> 8);
}
}  // namespace

std::u16string sTranslationsEntry::GetText(size_t index) const {
  return GetReadText(mLine.data(), mLayout, index, static_cast<int32_t>(mLine.size()));
}

void sTranslationsEntry::SetText(size_t index, const std::u16string& text) {
  SetTextColumn(mLine, mLayout, index, text);
  LayOutTranslationsLine(mLine.data(), static_cast<int32_t>(mLine.size()), mLayout);
  mChanged = true;
}

std::u16string MakeUnitId(const sTranslationsEntry& entry) {
  if (entry.mOccurrence == 1) return entry.mKey;
  std::u16string id = entry.mKey + u'\t';
  for (char c : std::to_string(entry.mOccurrence)) id += static_cast<char16_t>(c);
  return id;
}

bool cTranslationsFile::Load(const std::filesystem::path& path, std::string& error) {
  mEntries.clear();
  mTail.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path.string();
    return false;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read " + path.string();
    return false;
  }

  if (!IsTranslationsText(bytes, path, error)) return false;

  std::map<std::u16string, int> occurrences;
  size_t lineStart = 0;
  std::u16string stored;
  for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
    const char16_t unit = static_cast<char16_t>(static_cast<uint8_t>(bytes[at]) |
                                                static_cast<uint8_t>(bytes[at + 1]) << 8);
    stored += unit;
    if (unit != cLineEnd) continue;

    sTranslationsEntry entry;
    entry.mStored.swap(stored);
    for (char16_t kept : entry.mStored) {
      if (kept != cByteOrderMark) entry.mLine += kept;
    }
    const wchar16* line = entry.mLine.data();
    if (!LayOutTranslationsLine(line, static_cast<int32_t>(entry.mLine.size()), entry.mLayout)) {
      error = path.string() + ": line " + std::to_string(mEntries.size() + 1) +
              " is not a translations line (it needs a key before its first TAB)";
      mEntries.clear();
      return false;
    }
    const sTranslationsLineLayout& layout = entry.mLayout;
    entry.mKey.assign(line + layout.mKey.mStart, line + layout.mKey.mStop);
    entry.mPath.assign(line + layout.mPath.mStart, line + layout.mPath.mStop);
    entry.mFlavour.assign(line + layout.mFlavour.mStart, line + layout.mFlavour.mStop);
    entry.mOccurrence = ++occurrences[entry.mKey];
    mEntries.push_back(std::move(entry));
    lineStart = at + 2;
  }
  mTail = bytes.substr(lineStart);
  return true;
}

bool cTranslationsFile::Save(const std::filesystem::path& path, std::string& error) const {
  std::string bytes;
  for (const sTranslationsEntry& entry : mEntries) {
    if (!entry.mChanged) {
      for (char16_t unit : entry.mStored) AppendUnit(unit, bytes);
      continue;
    }
    // A changed line is written as read; only a byte-order mark that
    // opened it (the file's own) is put back.
    if (!entry.mStored.empty() && entry.mStored[0] == cByteOrderMark)
      AppendUnit(cByteOrderMark, bytes);
    for (char16_t unit : entry.mLine) AppendUnit(unit, bytes);
  }
  bytes += mTail;
  return ReplaceFileContents(path, bytes, error);
}

bool NamesSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code failed;
  if (std::filesystem::equivalent(a, b, failed)) return true;
  // A file that does not exist yet is the same as another only by name.
  const std::filesystem::path first = std::filesystem::weakly_canonical(a, failed);
  if (failed) return false;
  const std::filesystem::path second = std::filesystem::weakly_canonical(b, failed);
  return !failed && first == second;
}

std::filesystem::path TemporaryPathFor(const std::filesystem::path& path) {
  std::filesystem::path temporary = path;
  temporary += ".temp";
  return temporary;
}

bool ReplaceFileContents(const std::filesystem::path& path, const std::string& bytes,
                         std::string& error) {
  const std::filesystem::path temporary = TemporaryPathFor(path);
  // A new file of our own, whatever stood at its name before: a link
  // planted there never carries the bytes to where it leads.
  intptr_t handle = 0;
  const cFxOsResult created = FxPlatformCreateTemporaryFile(temporary.c_str(), handle);
  if (!created.IsOk()) {
    error = "cannot write " + temporary.string() + ": " + created.Text();
    return false;
  }
  cFxOsResult written = FxPlatformWriteFile(handle, bytes.data(), bytes.size());
  const cFxOsResult closed = FxPlatformCloseFile(handle);
  if (written.IsOk()) written = closed;
  if (!written.IsOk()) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    error = "cannot write " + temporary.string() + ": " + written.Text();
    return false;
  }
  std::error_code failed;
  std::filesystem::rename(temporary, path, failed);
  if (failed) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    error = "cannot replace " + path.string() + ": " + failed.message();
    return false;
  }
  return true;
}

bool WriteThroughPrivateFile(const std::function<bool(const std::filesystem::path&)>& write,
                             std::string& bytes, std::string& error) {
  std::error_code failed;
  const std::filesystem::path base = std::filesystem::temp_directory_path(failed);
  if (failed) {
    error = "cannot find a directory for temporary files: " + failed.message();
    return false;
  }
  // A name nobody can have guessed and a directory made by this call, then
  // closed to everybody else before anything is written in it: whatever
  // the writer opens there is the file it made.
  std::random_device random;
  std::filesystem::path directory;
  for (int attempt = 0; directory.empty() && attempt < 16; ++attempt) {
    char name[40];
    std::snprintf(name, sizeof name, "glossmill-bridge-%08x%08x", random(), random());
    if (std::filesystem::create_directory(base / name, failed)) directory = base / name;
    if (failed) break;
  }
  if (directory.empty()) {
    error = "cannot make a private directory in " + base.string() + (failed ? ": " + failed.message() : "");
    return false;
  }
  std::filesystem::permissions(directory, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace, failed);
  const bool privateAndEmpty = !failed && std::filesystem::is_empty(directory, failed) && !failed;
  bool done = false;
  if (!privateAndEmpty) {
    error = "cannot make a private directory in " + base.string();
  } else if (write(directory / "file")) {
    std::ifstream in(directory / "file", std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    done = in.is_open() && !in.bad();
    if (!done) error = "cannot read back what was written in " + directory.string();
  }
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
  return done;
}
