// The registry: keys under HKEY_CURRENT_USER hold the stored settings as
// string values (REG_SZ), read and written with the ANSI functions.
#include "platform/SettingsStore.h"

#include <windows.h>

namespace vz::platform {

namespace {

HKEY RootKey(RegRoot root) { return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

// The registry refuses a sub-key path that starts with "\": drop it.
std::string SubKey(const std::string& keyPath) {
  size_t begin = 0;
  while (begin < keyPath.size() && keyPath[begin] == '\\') ++begin;
  return keyPath.substr(begin);
}

bool ReadStringValue(HKEY key, const char* name, std::string& value) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  std::string buffer(size + 1, '\0');
  DWORD got = size;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got) != ERROR_SUCCESS)
    return false;
  buffer.resize(got < buffer.size() ? got : buffer.size());
  const size_t nul = buffer.find('\0');
  if (nul != std::string::npos) buffer.resize(nul);
  value = buffer;
  return true;
}

}  // namespace

std::string ReadRegString(RegRoot root, const std::string& keyPath, const std::string& valueName) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(RootKey(root), SubKey(keyPath).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  std::string value;
  if (!ReadStringValue(key, valueName.c_str(), value)) value.clear();
  RegCloseKey(key);
  return value;
}

bool ReadStoredValues(const std::string& keyPath, StoredValues& values) {
  values.clear();
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SubKey(keyPath).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameSize = sizeof name;
    DWORD type = 0;
    if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) break;
    std::string value;
    if (ReadStringValue(key, name, value)) values.emplace_back(std::string(name, nameSize), value);
  }
  RegCloseKey(key);
  return true;
}

bool WriteStoredValues(const std::string& keyPath, const StoredValues& values) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, SubKey(keyPath).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = true;
  for (const auto& [name, value] : values) {
    const auto* data = reinterpret_cast<const BYTE*>(value.c_str());
    if (RegSetValueExA(key, name.c_str(), 0, REG_SZ, data, static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
      ok = false;
  }
  RegCloseKey(key);
  return ok;
}

bool DeleteStoredKey(const std::string& keyPath) {
  const LSTATUS status = RegDeleteTreeA(HKEY_CURRENT_USER, SubKey(keyPath).c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
    RegDeleteKeyA(HKEY_CURRENT_USER, SubKey(keyPath).c_str());
    return true;
  }
  return false;
}

void SetSettingsFilePath(const std::string&) {}
std::string SettingsFilePath() { return {}; }

}  // namespace vz::platform
