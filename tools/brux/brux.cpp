// brux.exe: a stand-in for the game's serializer, for tests and the sample
// tree. It keeps the serializer's two command lines and their effects on
// disk; its binary form is its own:
//
//   brux.exe <in.bin> <out.xml> [-floathex]   writes the XML form of in.bin
//   brux.exe <in.xml>                         writes the binary form beside
//                                             it (last ".xml" -> ".bin")
//
// Binary form: the 8-byte magic "BRUXBIN1", then every byte of the XML text
// XOR 0xA5. It is clearly not XML (a reader that takes it for XML fails at
// the first byte) and converts back without loss. "-floathex" is accepted
// and changes nothing: the XML form is the original text byte for byte.
//
// Exit status 0 on success; on bad input (wrong arguments, a missing or
// unreadable file, a wrong magic) a message on standard error, status
// non-zero, and no output file is left behind.
//
// Test hooks, read by this stand-in only and off unless set:
//   BRUX_DELAY_MS=<n>      every call takes n milliseconds longer
//   BRUX_FAIL=<text>       a call whose input path holds <text> fails as on
//                          bad input (status 4, no output)
//   BRUX_ALIVE_FILE=<file> <file> holds "<running> <most ever running>":
//                          how many calls of this stand-in are under way
//                          at once, kept under a lock directory <file>.lock
//   BRUX_CALL_LOG=<file>   every call appends one line to <file> before it
//                          does anything else: its arguments, separated by
//                          single spaces
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>
#include <thread>

namespace {

constexpr char cMagic[8] = {'B', 'R', 'U', 'X', 'B', 'I', 'N', '1'};
constexpr unsigned char cMask = 0xA5;
constexpr std::size_t cChunkSize = 64 * 1024;

enum eExit { eExitOk = 0, eExitUsage = 1, eExitInput = 2, eExitOutput = 3, eExitAsked = 4 };

int Fail(eExit code, const std::string& message) {
  std::cerr << "brux: " << message << "\n";
  return code;
}

void Mask(char* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    bytes[i] = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ cMask);
}

// Copies the rest of `in` to `out`, masking every byte; false on a write
// error.
bool CopyMasked(std::ifstream& in, std::ofstream& out) {
  std::string chunk(cChunkSize, '\0');
  while (in) {
    in.read(&chunk[0], static_cast<std::streamsize>(chunk.size()));
    const std::size_t count = static_cast<std::size_t>(in.gcount());
    if (count == 0) break;
    Mask(&chunk[0], count);
    if (!out.write(chunk.data(), static_cast<std::streamsize>(count))) return false;
  }
  return in.eof() && static_cast<bool>(out.flush());
}

int BinToXml(const std::string& binPath, const std::string& xmlPath) {
  std::ifstream in(binPath, std::ios::binary);
  if (!in) return Fail(eExitInput, "cannot open '" + binPath + "'");
  char magic[sizeof cMagic];
  if (!in.read(magic, sizeof magic) || std::memcmp(magic, cMagic, sizeof magic) != 0)
    return Fail(eExitInput, "'" + binPath + "' is not a brux binary file");

  std::ofstream out(xmlPath, std::ios::binary | std::ios::trunc);
  if (!out) return Fail(eExitOutput, "cannot create '" + xmlPath + "'");
  if (!CopyMasked(in, out)) {
    out.close();
    std::remove(xmlPath.c_str());
    return Fail(eExitOutput, "cannot write '" + xmlPath + "'");
  }
  return eExitOk;
}

int XmlToBin(const std::string& xmlPath) {
  const std::string::size_type dot = xmlPath.rfind(".xml");
  if (dot == std::string::npos)
    return Fail(eExitUsage, "'" + xmlPath + "' does not name an .xml file");
  const std::string binPath = xmlPath.substr(0, dot) + ".bin" + xmlPath.substr(dot + 4);

  std::ifstream in(xmlPath, std::ios::binary);
  if (!in) return Fail(eExitInput, "cannot open '" + xmlPath + "'");
  std::ofstream out(binPath, std::ios::binary | std::ios::trunc);
  if (!out) return Fail(eExitOutput, "cannot create '" + binPath + "'");
  if (!out.write(cMagic, sizeof cMagic) || !CopyMasked(in, out)) {
    out.close();
    std::remove(binPath.c_str());
    return Fail(eExitOutput, "cannot write '" + binPath + "'");
  }
  return eExitOk;
}

// The record of calls under way: <file> holds "<running> <most>". Creating
// a directory is atomic everywhere, so <file>.lock serves as the lock.
class cAliveRecord {
 public:
  explicit cAliveRecord(const char* file) : mFile(file != nullptr ? file : "") { Change(+1); }
  ~cAliveRecord() { Change(-1); }

 private:
  void Change(int step) {
    if (mFile.empty()) return;
    const std::filesystem::path lock = mFile + ".lock";
    std::error_code error;
    while (!std::filesystem::create_directory(lock, error))
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    long running = 0, most = 0;
    {
      std::ifstream in(mFile);
      in >> running >> most;
    }
    running += step;
    if (running > most) most = running;
    {
      std::ofstream out(mFile, std::ios::trunc);
      out << running << " " << most << "\n";
    }
    std::filesystem::remove(lock, error);
  }

  std::string mFile;
};

int Convert(int argc, char** argv) {
  const char* fail = std::getenv("BRUX_FAIL");
  if (fail != nullptr && *fail != '\0' && argc >= 2 && std::strstr(argv[1], fail) != nullptr)
    return Fail(eExitAsked, std::string("failing on request for '") + argv[1] + "'");
  if (argc == 2) return XmlToBin(argv[1]);
  if (argc == 3 || (argc == 4 && std::strcmp(argv[3], "-floathex") == 0))
    return BinToXml(argv[1], argv[2]);
  return Fail(eExitUsage,
              "usage: brux.exe <in.bin> <out.xml> [-floathex] | brux.exe <in.xml>");
}

void LogCall(int argc, char** argv) {
  const char* logPath = std::getenv("BRUX_CALL_LOG");
  if (logPath == nullptr || *logPath == '\0') return;
  std::string line;
  for (int i = 1; i < argc; ++i) line += (i > 1 ? " " : "") + std::string(argv[i]);
  std::ofstream log(logPath, std::ios::binary | std::ios::app);
  log << line + "\n";
}

}  // namespace

int main(int argc, char** argv) {
  LogCall(argc, argv);
  const cAliveRecord alive(std::getenv("BRUX_ALIVE_FILE"));
  if (const char* delay = std::getenv("BRUX_DELAY_MS"))
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(delay)));
  return Convert(argc, argv);
}
