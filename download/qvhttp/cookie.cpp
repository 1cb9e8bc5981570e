#include "qvhttp/cookie.hpp"

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>

namespace qvhttp {
namespace {

struct zone {
  const char* name;
  int minutes_west;
};

// Names servers use in cookie dates, with minutes west of UTC (east is negative).
constexpr std::array<zone, 68> zones{{
    {"GMT", 0},      {"UTC", 0},      {"WET", 0},      {"BST", -60},    {"WAT", 60},     {"AST", 240},
    {"ADT", 180},    {"EST", 300},    {"EDT", 240},    {"CST", 360},    {"CDT", 300},    {"MST", 420},
    {"MDT", 360},    {"PST", 480},    {"PDT", 420},    {"YST", 540},    {"YDT", 480},    {"HST", 600},
    {"HDT", 540},    {"CAT", 600},    {"AHST", 600},   {"NT", 660},     {"IDLW", 720},   {"CET", -60},
    {"MET", -60},    {"MEWT", -60},   {"MEST", -120},  {"CEST", -120},  {"MESZ", -120},  {"FWT", -60},
    {"FST", -120},   {"EET", -120},   {"WAST", -420},  {"WADT", -480},  {"CCT", -480},   {"JST", -540},
    {"EAST", -600},  {"EADT", -660},  {"GST", -600},   {"NZT", -720},   {"NZST", -720},  {"NZDT", -780},
    {"IDLE", -720},  {"A", 60},       {"B", 120},      {"C", 180},      {"D", 240},      {"E", 300},
    {"F", 360},      {"G", 420},      {"H", 480},      {"I", 540},      {"K", 600},      {"L", 660},
    {"M", 720},      {"N", -60},      {"O", -120},     {"P", -180},     {"Q", -240},     {"R", -300},
    {"S", -360},     {"T", -420},     {"U", -480},     {"V", -540},     {"W", -600},     {"X", -660},
    {"Y", -720},     {"Z", 0},
}};

constexpr std::array<const char*, 7> weekdays{"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
constexpr std::array<const char*, 7> weekdays_long{"monday", "tuesday", "wednesday", "thursday",
                                                   "friday", "saturday", "sunday"};
constexpr std::array<const char*, 12> months{"jan", "feb", "mar", "apr", "may", "jun",
                                             "jul", "aug", "sep", "oct", "nov", "dec"};

std::string lower(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// "hh:mm:ss" or "hh:mm", one or two digits each (as sscanf's "%02d" reads them).
bool parse_time(std::string_view s, std::size_t& pos, int& h, int& m, int& sec) {
  std::size_t at = pos;
  auto field = [&](int& out) {
    std::size_t n = 0;
    out = 0;
    while (n < 2 && at < s.size() && is_digit(s[at])) out = out * 10 + (s[at++] - '0'), ++n;
    return n > 0;
  };
  auto colon = [&] { return at < s.size() && s[at] == ':' ? (++at, true) : false; };
  if (!field(h) || !colon() || !field(m)) return false;
  sec = 0;
  if (colon() && !field(sec)) return false;
  if (at < s.size() && is_digit(s[at])) return false;
  if (h > 23 || m > 59 || sec > 60) return false;
  pos = at;
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// host is the domain or one of its sub-domains; a leading "." of the domain is not significant.
bool domain_matches(const std::string& host, std::string domain) {
  if (!domain.empty() && domain.front() == '.') domain.erase(0, 1);
  if (host.size() < domain.size() || host.compare(host.size() - domain.size(), domain.size(), domain) != 0)
    return false;
  return host.size() == domain.size() || host[host.size() - domain.size() - 1] == '.';
}

} // namespace

bool parse_cookie_date(std::string_view text, std::time_t& out) {
  int day = -1, month = -1, year = -1, hour = 0, minute = 0, second = 0;
  bool have_time = false;
  int offset_west = 0; // minutes
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (is_alpha(c)) {
      std::size_t end = pos;
      while (end < text.size() && is_alpha(text[end])) ++end;
      const std::string word = lower(text.substr(pos, end - pos));
      pos = end;
      bool known = false;
      for (std::size_t i = 0; i < weekdays.size() && !known; ++i)
        known = word == weekdays[i] || word == weekdays_long[i];
      for (std::size_t i = 0; i < months.size() && !known; ++i) {
        if (word == months[i]) {
          month = static_cast<int>(i) + 1;
          known = true;
        }
      }
      for (const auto& z : zones) {
        if (!known && word == lower(z.name)) {
          offset_west = z.minutes_west;
          known = true;
        }
      }
      if (!known) return false;
    } else if (is_digit(c)) {
      int h, m, s;
      if (!have_time && parse_time(text, pos, h, m, s)) {
        hour = h, minute = m, second = s;
        have_time = true;
        continue;
      }
      std::size_t end = pos;
      while (end < text.size() && is_digit(text[end])) ++end;
      const std::string_view digits = text.substr(pos, end - pos);
      const char sign = pos > 0 ? text[pos - 1] : ' ';
      pos = end;
      if (digits.size() > 8) return false;
      const long value = std::strtol(std::string(digits).c_str(), nullptr, 10);
      // An offset never passes 1400: "-1994" of "06-Nov-1994" stays a year.
      if ((sign == '+' || sign == '-') && digits.size() == 4 && value <= 1400 && value % 100 < 60) {
        const int east = static_cast<int>(value / 100 * 60 + value % 100);
        offset_west = sign == '+' ? -east : east;
      } else if (digits.size() == 8 && year < 0 && month < 0 && day < 0) {
        year = static_cast<int>(value / 10000);
        month = static_cast<int>(value / 100 % 100);
        day = static_cast<int>(value % 100);
      } else if (day < 0 && value >= 1 && value <= 31 && digits.size() <= 2) {
        day = static_cast<int>(value);
      } else if (year < 0) {
        year = static_cast<int>(value);
        if (year < 1900) year += year > 70 ? 1900 : 2000;
      } else {
        return false;
      }
    } else {
      ++pos; // separators: blanks, commas, "-", "+", "/"
    }
  }
  if (day < 1 || month < 1 || month > 12 || year < 1970 || year > 9999) return false;
  static constexpr int month_days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (day > month_days[month - 1]) return false;
  const std::int64_t seconds = days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
                               hour * 3600 + minute * 60 + second + std::int64_t{offset_west} * 60;
  if (seconds < 0) return false;
  out = static_cast<std::time_t>(seconds);
  return static_cast<std::int64_t>(out) == seconds; // a 32-bit time_t cannot hold every year
}

void cookie_store::add(std::string_view set_cookie, const std::string& host) {
  cookie common;
  common.domain = host;
  std::vector<cookie> found;
  while (!set_cookie.empty()) {
    const auto semicolon = set_cookie.find(';');
    std::string_view item = trim(set_cookie.substr(0, semicolon));
    set_cookie.remove_prefix(semicolon == std::string_view::npos ? set_cookie.size() : semicolon + 1);
    if (item.empty()) continue;
    const auto equals = item.find('=');
    const std::string_view name = trim(item.substr(0, equals));
    const std::string_view value = equals == std::string_view::npos ? std::string_view() : trim(item.substr(equals + 1));
    if (name.empty()) continue;
    const std::string key = lower(name);
    if (key == "secure" && equals == std::string_view::npos) {
      common.secure = true;
    } else if (key == "httponly" && equals == std::string_view::npos) {
      common.http_only = true;
    } else if (key == "expires") {
      std::time_t when;
      if (parse_cookie_date(value, when)) {
        common.expires = when;
      } else if (!value.empty() && value.size() <= 12 &&
                 value.find_first_not_of("0123456789") == std::string_view::npos) {
        common.expires = std::time(nullptr) + std::strtoll(std::string(value).c_str(), nullptr, 10);
      }
    } else if (key == "domain") {
      common.domain = value;
    } else if (key == "path") {
      common.path = value;
    } else {
      cookie c;
      c.name = name;
      c.value = value;
      found.push_back(std::move(c));
    }
  }
  for (auto& c : found) {
    c.domain = common.domain;
    c.path = common.path;
    c.expires = common.expires;
    c.http_only = common.http_only;
    c.secure = common.secure;
    cookies_.push_back(std::move(c));
  }
}

std::string cookie_store::cookie_line(const std::string& host, const std::string& path, bool secure) const {
  const std::string h = lower(host), p = lower(path);
  const std::time_t now = std::time(nullptr);
  std::string line;
  for (const auto& c : cookies_) {
    if (c.value.empty() || (c.expires && *c.expires <= now) || (c.secure && !secure)) continue;
    if (!domain_matches(h, lower(c.domain)) || p.compare(0, c.path.size(), lower(c.path)) != 0) continue;
    if (!line.empty()) line += "; ";
    line += c.name + "=" + c.value;
  }
  return line;
}

} // namespace qvhttp
