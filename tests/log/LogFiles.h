// Reading back what the log wrote.
#pragma once

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace logtest {

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Splits a log into its records: "<stamp> <message>\r\n" each, and the blank that follows it.
// Answers false (with the reason in error) when the bytes do not follow that layout.
inline bool SplitRecords(const std::string& bytes, std::vector<std::string>& messages, std::string& error) {
  static const std::regex stamp(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2},\d{3} )");
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t end = bytes.find("\r\n ", pos);
    if (end == std::string::npos) {
      error = "record without its CR LF and blank at offset " + std::to_string(pos);
      return false;
    }
    const std::string record = bytes.substr(pos, end - pos);
    if (!std::regex_search(record, stamp)) {
      error = "record without a time stamp: " + record;
      return false;
    }
    messages.push_back(record.substr(24));
    pos = end + 3;
  }
  return true;
}

// Seconds between a record's local time stamp and now.
inline double StampAge(const std::string& record) {
  std::tm parts{};
  std::istringstream in(record.substr(0, 19));
  in >> std::get_time(&parts, "%Y-%m-%d %H:%M:%S");
  parts.tm_isdst = -1;
  return std::difftime(std::time(nullptr), std::mktime(&parts));
}

}  // namespace logtest
