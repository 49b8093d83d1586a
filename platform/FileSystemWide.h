#pragma once
// UTF-8 paths as the wide text the Windows file functions take; included by
// the Windows files of this folder only.
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

}  // namespace vz::platform
