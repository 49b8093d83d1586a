// The registry: keys under HKEY_CURRENT_USER hold the stored settings as
// string values (REG_SZ). Names and texts are UTF-8 here and UTF-16 in the
// registry, so a path with any characters survives being stored.
#include "platform/SettingsStore.h"

#include <windows.h>

#include <algorithm>

#include "platform/FileSystemWide.h"

namespace vz::platform {

namespace {

HKEY RootKey(RegRoot root) { return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

// The registry refuses a sub-key path that starts with "\": drop it.
std::wstring SubKey(const std::string& keyPath) {
  size_t begin = 0;
  while (begin < keyPath.size() && keyPath[begin] == '\\') ++begin;
  return WidePath(keyPath.substr(begin));
}

bool ReadStringValue(HKEY key, const wchar_t* name, std::string& value) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got) != ERROR_SUCCESS)
    return false;
  buffer.resize(std::min<size_t>(got / sizeof(wchar_t), buffer.size()));
  const size_t nul = buffer.find(L'\0');
  if (nul != std::wstring::npos) buffer.resize(nul);
  value = Utf8Text(buffer.data(), buffer.size());
  return true;
}

}  // namespace

std::string ReadRegString(RegRoot root, const std::string& keyPath, const std::string& valueName) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(RootKey(root), SubKey(keyPath).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  std::string value;
  if (!ReadStringValue(key, WidePath(valueName).c_str(), value)) value.clear();
  RegCloseKey(key);
  return value;
}

bool ReadStoredValues(const std::string& keyPath, StoredValues& values) {
  values.clear();
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, SubKey(keyPath).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD nameSize = 16384;
    DWORD type = 0;
    if (RegEnumValueW(key, index, name, &nameSize, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) break;
    std::string value;
    if (ReadStringValue(key, name, value)) values.emplace_back(Utf8Text(name, nameSize), value);
  }
  RegCloseKey(key);
  return true;
}

bool WriteStoredValues(const std::string& keyPath, const StoredValues& values) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SubKey(keyPath).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = true;
  for (const auto& [name, value] : values) {
    const std::wstring text = WidePath(value);
    const auto* data = reinterpret_cast<const BYTE*>(text.c_str());
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(key, WidePath(name).c_str(), 0, REG_SZ, data, bytes) != ERROR_SUCCESS) ok = false;
  }
  RegCloseKey(key);
  return ok;
}

bool DeleteStoredKey(const std::string& keyPath) {
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, SubKey(keyPath).c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
    RegDeleteKeyW(HKEY_CURRENT_USER, SubKey(keyPath).c_str());
    return true;
  }
  return false;
}

void SetSettingsFilePath(const std::string&) {}
std::string SettingsFilePath() { return {}; }

}  // namespace vz::platform
