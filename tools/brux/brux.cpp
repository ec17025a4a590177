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
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

namespace {

constexpr char cMagic[8] = {'B', 'R', 'U', 'X', 'B', 'I', 'N', '1'};
constexpr unsigned char cMask = 0xA5;
constexpr std::size_t cChunkSize = 64 * 1024;

enum eExit { eExitOk = 0, eExitUsage = 1, eExitInput = 2, eExitOutput = 3 };

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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2) return XmlToBin(argv[1]);
  if (argc == 3 || (argc == 4 && std::strcmp(argv[3], "-floathex") == 0))
    return BinToXml(argv[1], argv[2]);
  return Fail(eExitUsage,
              "usage: brux.exe <in.bin> <out.xml> [-floathex] | brux.exe <in.xml>");
}
