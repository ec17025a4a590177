#include "support/TestSupport.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace test {

namespace {
// Single-quotes a word for the shell; embedded quotes become '\''.
std::string ShellQuote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}
}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (;;) {
    fs::path candidate = fs::temp_directory_path() /
                         ("glossmill-test-" + std::to_string(random()) + "-" +
                          std::to_string(counter++));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      mPath = candidate;
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code error;
  // Tests may leave read-only files behind; make them removable first.
  for (auto it = fs::recursive_directory_iterator(mPath, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(mPath, error);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  fs::path p(path);
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return fs::exists(path, error);
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::u16string Utf16(const std::string& utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    char32_t cp;
    size_t n;
    if (c < 0x80) {
      cp = c;
      n = 1;
    } else if (c < 0xE0) {
      cp = c & 0x1F;
      n = 2;
    } else if (c < 0xF0) {
      cp = c & 0x0F;
      n = 3;
    } else {
      cp = c & 0x07;
      n = 4;
    }
    for (size_t k = 1; k < n && i + k < utf8.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

ProcessResult Run(const std::string& exe, const std::vector<std::string>& args,
                  const std::string& workingDirectory) {
  TempDir capture;
  std::string out = capture / "out";
  std::string err = capture / "err";
  std::string status = capture / "status";
  std::string command = "cd " + ShellQuote(workingDirectory) + " && " + ShellQuote(exe);
  for (const std::string& arg : args) command += " " + ShellQuote(arg);
  command += " >" + ShellQuote(out) + " 2>" + ShellQuote(err) + "; echo $? >" + ShellQuote(status);
  int ignored = std::system(command.c_str());
  (void)ignored;
  ProcessResult result;
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  std::string code = ReadFile(status);
  result.status = code.empty() ? -1 : std::atoi(code.c_str());
  return result;
}

ProcessResult RunGlossmill(const std::vector<std::string>& args, const std::string& workingDirectory) {
  return Run(GlossmillExe(), args, workingDirectory);
}

std::string GlossmillExe() { return GLOSSMILL_EXE; }
std::string BruxExe() { return GLOSSMILL_BRUX_EXE; }
std::string SourceDir() { return GLOSSMILL_SOURCE_DIR; }

}  // namespace test
