#pragma once
// The one boundary between the program's UTF-8 texts and the UTF-16 texts
// of Windows: every window text, message and command-line argument passes
// through here.
#include <windows.h>

#include <string>

namespace vz::app {

std::wstring Utf16(const std::string& text);
std::string Utf8(const wchar_t* text, size_t length);
std::string Utf8(const std::wstring& text);

std::string GetWindowTextUtf8(HWND window);
void SetWindowTextUtf8(HWND window, const std::string& text);

}  // namespace vz::app
