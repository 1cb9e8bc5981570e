// Text conversions and the small string helpers.
#include "System.h"

#include <clocale>
#include <cstdlib>
#include <vector>

namespace {

// The C runtime's conversions follow the user's default locale (its ANSI code page).
void UseUserConversionLocale() { setlocale(LC_CTYPE, ""); }

std::wstring CodePageToWide(UINT code_page, const std::string& text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

}  // namespace

std::wstring AnsiToWide(const std::string& text) {
  UseUserConversionLocale();
  std::vector<wchar_t> buffer(text.size() * 2 + 1, L'\0');
  if (std::mbstowcs(buffer.data(), text.c_str(), buffer.size() - 1) == static_cast<std::size_t>(-1)) return {};
  return buffer.data();
}

std::string WideToAnsi(const std::wstring& text) {
  UseUserConversionLocale();
  std::vector<char> buffer(text.size() * 4 + 1, '\0');
  if (std::wcstombs(buffer.data(), text.c_str(), buffer.size() - 1) == static_cast<std::size_t>(-1)) return {};
  return buffer.data();
}

std::wstring AcpToWide(const std::string& text) { return CodePageToWide(CP_ACP, text); }

// Straight to UTF-8: going through the ANSI code page would lose every character outside it.
std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                 nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

void ReplaceAll(std::wstring& text, const std::wstring& search, const std::wstring& replacement) {
  if (search.empty()) return;  // would match everywhere and never end
  for (std::size_t pos = text.find(search); pos != std::wstring::npos;
       pos = text.find(search, pos + replacement.size())) {
    text.replace(pos, search.size(), replacement);
  }
}

bool SplitOnce(const std::wstring& text, const std::wstring& separator, std::wstring& left, std::wstring& right) {
  const std::size_t pos = separator.empty() ? std::wstring::npos : text.find(separator);
  if (pos == std::wstring::npos) {
    left = text;
    right.clear();
    return false;
  }
  // Copies first: text may be left or right itself.
  std::wstring before = text.substr(0, pos);
  std::wstring after = text.substr(pos + separator.size());
  left = std::move(before);
  right = std::move(after);
  return true;
}
