#pragma once
// UTF-8 text inside, UTF-16 at the Windows calls: the conversions both
// ways, included by the Windows files of this folder only.
#include <windows.h>

#include <string>

namespace vz::platform {

inline std::wstring WidePath(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

// Wide text from a Windows call back as UTF-8; `length` in wide characters.
inline std::string Utf8Text(const wchar_t* text, size_t length) {
  if (length == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace vz::platform
