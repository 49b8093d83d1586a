#pragma once
// Stored settings of the current user, and read-only system values.
// On Windows these are registry keys and string values; elsewhere one
// settings file under the user's configuration folder holds the same keys
// and values, so the program reads and writes the same names everywhere.
//
// Key paths use "\" between their parts, as registry paths do; a leading
// "\" is ignored and parts compare without regard to case.
#include <string>
#include <utility>
#include <vector>

namespace vz::platform {

enum class RegRoot { CurrentUser, LocalMachine };

// The string value `valueName` of the key `keyPath` under `root`; the key is
// opened without creating it. Any failure (no key, no value, not a string)
// gives an empty text. Outside Windows, LocalMachine knows one value:
// "RegisteredOwner", which is the login name.
std::string ReadRegString(RegRoot root, const std::string& keyPath, const std::string& valueName);

using StoredValues = std::vector<std::pair<std::string, std::string>>;

// All string values of a key under the current user, in stored order.
// False when the key does not exist or cannot be read.
bool ReadStoredValues(const std::string& keyPath, StoredValues& values);

// Writes the values into the key under the current user, creating it and
// replacing values of the same names; other values of the key stay. False
// when the store cannot be written (the previous contents then stay whole).
bool WriteStoredValues(const std::string& keyPath, const StoredValues& values);

// Removes a key and everything below it; true when it is gone afterwards.
bool DeleteStoredKey(const std::string& keyPath);

// Outside Windows: where the settings file lives. Empty restores the
// default ($XDG_CONFIG_HOME, else ~/.config, then
// "vuzuz-archive-creator/settings.ini"). Ignored on Windows.
void SetSettingsFilePath(const std::string& path);
std::string SettingsFilePath();

}  // namespace vz::platform
