#include "app/win/WinText_win.h"

#include <climits>

namespace vz::app {

std::wstring Utf16(const std::string& text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), n);
  return out;
}

std::string Utf8(const wchar_t* text, size_t length) {
  if (!text || length == 0 || length > INT_MAX / 4) return {};
  const int size = static_cast<int>(length);
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, size, out.data(), n, nullptr, nullptr);
  return out;
}

std::string Utf8(const std::wstring& text) { return Utf8(text.data(), text.size()); }

std::string GetWindowTextUtf8(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  return Utf8(text.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

void SetWindowTextUtf8(HWND window, const std::string& text) { SetWindowTextW(window, Utf16(text).c_str()); }

}  // namespace vz::app
