#include "bridge/ExchangeFile.h"

#include <fstream>

namespace {
std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
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
  // mark and spaces, our CSV with its header's first field.
  std::ifstream in(path, std::ios::binary);
  std::string head(64, '\0');
  in.read(&head[0], static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) head.erase(0, 3);
  const size_t first = head.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && head[first] == '<') return eExchangeFormat::eXliff;
  if (head.compare(0, 3, "id,") == 0) return eExchangeFormat::eCsv;
  return eExchangeFormat::ePo;
}
