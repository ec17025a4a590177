#include "app/SerializerJobs.h"

#include <cstdio>
#include <string>

#include "Core/platform/FxPlatform.h"
#include "app/DataFiles.h"

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
  if (!directory.empty() && FxPlatformGetDirectoryIdentity(directory.c_str(), &volume, &file)) {
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

cSerializerJobs::cSerializerJobs(uint32_t limit) : mLimit(limit < 1 ? 1 : limit) {}

cSerializerJobs::~cSerializerJobs() { WaitForAll(); }

bool cSerializerJobs::HasRoomFor(const std::u16string& family) const {
  if (mRunning.size() >= mLimit) return false;
  for (const auto& running : mRunning)
    if (running.second == family) return false;
  return true;
}

void cSerializerJobs::MakeRoomFor(const std::u16string& family) {
  while (!HasRoomFor(family)) WaitForOne();
}

bool cSerializerJobs::Launch(const std::u16string& family, const char* program,
                             const char* const* args) {
  const uint32_t token = FxPlatformStartProgram(program, args);
  if (token == 0) return false;
  mRunning[token] = family;
  return true;
}

void cSerializerJobs::WaitForFamily(const std::u16string& family) {
  for (;;) {
    bool going = false;
    for (const auto& running : mRunning) going = going || running.second == family;
    if (!going) return;
    WaitForOne();
  }
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
