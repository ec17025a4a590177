#include "app/SerializerJobs.h"

#include <cstdio>
#include <string>

#include "Core/platform/FxPlatform.h"
#include "app/DataFiles.h"
#include "xml/cFxPath.h"

bool ParseJobLimit(const char* text, uint32_t& limit) {
  limit = 1;
  if (text == nullptr || *text == '\0') return true;
  uint32_t value = 0;
  for (const char* digit = text; *digit != '\0'; ++digit) {
    if (*digit < '0' || *digit > '9') return false;
    // Past the cap the exact number no longer matters; stopping there keeps
    // a long run of digits from overflowing.
    if (value <= kJobs::cMaximum) value = value * 10 + static_cast<uint32_t>(*digit - '0');
  }
  if (value == 0) return false;
  limit = value < kJobs::cMaximum ? value : kJobs::cMaximum;
  return true;
}

namespace {

uint32_t ReadJobLimit() {
  const char* text = FxPlatformGetEnvironment(kJobs::cVariable);
  uint32_t limit;
  if (!ParseJobLimit(text, limit)) {
    const std::string line = std::string("glossmill: ") + kJobs::cVariable + " must be a positive number, not \"" +
                             text + "\"; running one serializer at a time\n";
    std::fflush(stdout);
    FxPlatformWriteStdErr(line.c_str());
  }
  return limit;
}

char16_t Folded(char16_t unit) { return unit >= u'A' && unit <= u'Z' ? unit - u'A' + u'a' : unit; }

}  // namespace

uint32_t SerializerJobLimit() {
  static const uint32_t limit = ReadJobLimit();
  return limit;
}

std::u16string FamilyOf(const cFxWString& path) {
  const std::u16string units = StableUnits(path);
  const size_t separator = units.rfind(static_cast<char16_t>(cFxNativeSeparator));
  const size_t nameStart = separator == std::u16string::npos ? 0 : separator + 1;
  std::u16string directory = units.substr(0, nameStart);
  std::u16string name = units.substr(nameStart);
  const size_t dot = name.rfind(u'.');
  if (dot != std::u16string::npos) name.erase(dot);

  std::u16string family;
  uint64_t volume, file;
  if (!directory.empty() && FxPlatformGetDirectoryIdentity(directory.c_str(), &volume, &file).IsOk()) {
    const std::string identity = std::to_string(volume) + ":" + std::to_string(file);
    family.assign(identity.begin(), identity.end());
  } else {
    // A directory that cannot be looked at holds no file a run could
    // reach by another name; its spelling is identity enough.
    family = directory;
  }
  family += u'|';
  for (char16_t unit : name) family += Folded(unit);
  return family;
}

std::vector<std::u16string> FamiliesOf(const cFxWString& path) {
  std::vector<std::u16string> families = {FamilyOf(path)};
  // The path's own normalisation, so ".." after a missing directory
  // resolves the same way the open of the file will.
  const cFxPath resolved(path);
  if (!resolved.IsValid()) return families;
  const cFxString& internal = resolved.GetText();
  std::u16string lexical;
  for (const char* unit = internal.c_str(); *unit != '\0'; ++unit)
    lexical += Folded(static_cast<char16_t>(static_cast<unsigned char>(*unit)));
  const size_t nameStart = lexical.find_last_of(u"/\\");
  const size_t dot = lexical.rfind(u'.');
  if (dot != std::u16string::npos && (nameStart == std::u16string::npos || dot > nameStart))
    lexical.erase(dot);
  families.push_back(lexical);
  return families;
}

cSerializerJobs::cSerializerJobs(uint32_t limit) : mLimit(limit < 1 ? 1 : limit) {}

cSerializerJobs::~cSerializerJobs() { WaitForAll(); }

bool cSerializerJobs::IsGoing(const std::u16string& family) const {
  for (const auto& running : mRunning)
    for (const std::u16string& going : running.second)
      if (going == family) return true;
  return false;
}

bool cSerializerJobs::HasRoomFor(const tFamilies& families) const {
  if (mRunning.size() >= mLimit) return false;
  for (const std::u16string& family : families)
    if (IsGoing(family)) return false;
  return true;
}

void cSerializerJobs::MakeRoomFor(const tFamilies& families) {
  while (!HasRoomFor(families)) WaitForOne();
}

bool cSerializerJobs::Launch(const tFamilies& families, const char* program, const char* const* args,
                             const sFxProgramSetup& setup) {
  uint32_t token = 0;
  if (!FxPlatformStartProgram(program, args, token, setup).IsOk()) return false;
  mRunning[token] = families;
  if (mLimit == 1) WaitForAll();
  return true;
}

void cSerializerJobs::WaitForFamily(const std::u16string& family) {
  while (IsGoing(family)) WaitForOne();
}

void cSerializerJobs::WaitForAll() {
  while (!mRunning.empty()) WaitForOne();
}

void cSerializerJobs::WaitForOne() {
  const uint32_t token = FxPlatformWaitForAnyProgram(nullptr);
  // 0: the platform has no child left at all, so none of ours runs.
  if (token == 0)
    mRunning.clear();
  else
    mRunning.erase(token);
}
