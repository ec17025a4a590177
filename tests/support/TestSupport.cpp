#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "Core/platform/FxPlatform.h"
#include "support/Documents.h"

namespace test {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  std::error_code error;
  do {
    mPath = fs::temp_directory_path() / ("glossmill-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
  } while (!fs::create_directory(mPath, error));
}

TempDir::~TempDir() {
  std::error_code error;
  // Tests may leave read-only files behind; make them removable first.
  for (auto it = fs::recursive_directory_iterator(mPath, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(mPath, error);
}

std::string ReadFile(const std::string& path) {
  std::ostringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return fs::exists(path, error);
}

tFiles FilesBelow(const fs::path& root) {
  tFiles files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files[fs::relative(entry.path(), root).generic_string()] = ReadFile(entry.path().string());
  return files;
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  return bytes;
}

std::u16string Utf16(const std::string& utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    // The sequence's length from its lead byte, and the lead's own bits.
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += length;
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      cp = 0xDC00 + ((cp - 0x10000) & 0x3FF);
    }
    out += static_cast<char16_t>(cp);
  }
  return out;
}

std::string Native(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '/', kSeparator);
  return native;
}

std::string InternalPath(const std::string& absolutePath) {
#ifdef _WIN32
  std::string internal = absolutePath;
  if (internal.size() >= 2 && internal[1] == ':')
    internal = std::string(1, static_cast<char>(std::tolower(internal[0]))) + internal.substr(2);
  std::replace(internal.begin(), internal.end(), '\\', '/');
  return "@os:" + internal;
#else
  return "@os:" + absolutePath;
#endif
}

std::string ConsoleText(const std::string& text) {
#ifdef _WIN32
  return ReplaceAll(text, "\n", "\r\n");
#else
  return text;
#endif
}

namespace {
void SetEnvironment(const std::string& name, const std::string& value, bool present) {
#ifdef _WIN32
  // An empty value removes the variable on Windows.
  _putenv_s(name.c_str(), present ? value.c_str() : "");
#else
  present ? setenv(name.c_str(), value.c_str(), 1) : unsetenv(name.c_str());
#endif
}
}  // namespace

ScopedEnvironment::ScopedEnvironment(const std::string& name, const std::string& value, bool present)
    : mName(name), mHad(std::getenv(name.c_str()) != nullptr), mOld(mHad ? std::getenv(name.c_str()) : "") {
  SetEnvironment(mName, value, present);
}

ScopedEnvironment::~ScopedEnvironment() { SetEnvironment(mName, mOld, mHad); }

ProcessResult Run(const std::string& exe, const std::vector<std::string>& args, const std::string& workingDirectory) {
  TempDir capture;
  const std::string out = capture / "out", err = capture / "err";
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  const sFxProgramSetup setup = {workingDirectory.c_str(), out.c_str(), err.c_str()};
  int status = -1;
  if (!FxPlatformRunProgram(exe.c_str(), argv.data(), &status, setup).IsOk())
    return {-1, "", "could not start " + exe + "\n"};
  return {status, ReadFile(out), ReadFile(err)};
}

ProcessResult RunGlossmill(const std::vector<std::string>& args, const std::string& workingDirectory) {
  return Run(GlossmillExe(), args, workingDirectory);
}

std::string GlossmillExe() { return Native(GLOSSMILL_EXE); }
std::string BruxExe() { return Native(GLOSSMILL_BRUX_EXE); }
std::string ProbeExe() { return Native(GLOSSMILL_PROBE_EXE); }
std::string SourceDir() { return Native(GLOSSMILL_SOURCE_DIR); }

}  // namespace test
