#include "bridge/ExchangeFile.h"

#include <fstream>

#include "API/core/FxUtf8.h"
#include "bridge/Utf8.h"

namespace {
std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

bool ParseExchangeFormat(const std::string& name, eExchangeFormat& format) {
  const std::string lower = Lower(name);
  if (lower == "xliff") {
    format = eExchangeFormat::eXliff;
  } else if (lower == "po") {
    format = eExchangeFormat::ePo;
  } else if (lower == "csv") {
    format = eExchangeFormat::eCsv;
  } else {
    return false;
  }
  return true;
}

eExchangeFormat GuessExchangeFormat(const std::filesystem::path& path) {
  const std::string extension = Lower(path.extension().string());
  if (extension == ".xlf" || extension == ".xliff") return eExchangeFormat::eXliff;
  if (extension == ".po" || extension == ".pot") return eExchangeFormat::ePo;
  if (extension == ".csv") return eExchangeFormat::eCsv;
  // Otherwise by the first bytes: XML begins with "<" after any byte-order
  // mark and spaces, a CSV with its header's first name; UTF-16 text is
  // taken for a CSV a spreadsheet saved, which its reader then names.
  std::ifstream in(path, std::ios::binary);
  std::string head(64, '\0');
  in.read(&head[0], static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  if (StartsWith(head, "\xFF\xFE") || StartsWith(head, "\xFE\xFF")) return eExchangeFormat::eCsv;
  if (StartsWith(head, "\xEF\xBB\xBF")) head.erase(0, 3);
  const size_t first = head.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && head[first] == '<') return eExchangeFormat::eXliff;
  if (StartsWith(head, "\"")) head.erase(0, 1);
  for (const char* name : {"location", "id"}) {
    const size_t length = std::string(name).size();
    if (StartsWith(head, name) && head.size() > length &&
        std::string("\",;").find(head[length]) != std::string::npos)
      return eExchangeFormat::eCsv;
  }
  return eExchangeFormat::ePo;
}

std::string EncodeReference(const std::string& name) {
  static const char cHex[] = "0123456789ABCDEF";
  std::string reference;
  for (size_t at = 0; at < name.size();) {
    char32_t point;
    size_t length = FxDecodeUtf8(name.data() + at, name.size() - at, point);
    if (length == 0) {  // not UTF-8: the byte alone, encoded
      length = 1;
      point = 0xFFFD;
    }
    const bool encoded = point == '%' || point == '+' || point == ':' || point < 0x20 ||
                         (point >= 0x7F && point < 0xA0) || point == 0xFFFD ||
                         (point != ' ' && IsWhiteSpace(point));
    if (point == ' ') {
      reference += '+';
    } else if (!encoded) {
      reference.append(name, at, length);
    } else {
      for (size_t i = at; i < at + length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(name[i]);
        reference += '%';
        reference += cHex[byte >> 4];
        reference += cHex[byte & 0xF];
      }
    }
    at += length;
  }
  return reference;
}

std::string DecodeReference(const std::string& reference) {
  std::string name;
  for (size_t at = 0; at < reference.size(); ++at) {
    const char c = reference[at];
    if (c == '+') {
      name += ' ';
    } else if (c == '%' && at + 2 < reference.size() && HexValue(reference[at + 1]) >= 0 &&
               HexValue(reference[at + 2]) >= 0) {
      name += static_cast<char>(HexValue(reference[at + 1]) * 16 + HexValue(reference[at + 2]));
      at += 2;
    } else {
      name += c;
    }
  }
  std::u16string ignored;
  return Utf8ToUtf16(name, ignored) ? name : reference;
}

std::string DraftStateReason(const std::string& state) {
  if (state == "new" || StartsWith(state, "needs-")) return "its state is " + state;
  return std::string();
}
