#pragma once
// The per-user settings store: text values by application, section and key. On Linux the store of
// application "tarnwick" is the INI file $XDG_CONFIG_HOME/tarnwick/tarnwick.conf (default
// ~/.config/tarnwick/tarnwick.conf), falling back to the system's copy under $XDG_CONFIG_DIRS (/etc/xdg).
// Sections and keys are case-sensitive. Every read looks at the file as it stands.

#include <cstdint>
#include <optional>
#include <string>

namespace brisel::platform {

// The stored text of section/key for application, or defaultValue when the key is absent. A value the
// store keeps as a list (an unquoted value with commas) comes back joined by ", ".
std::string GetSetting(const std::string& application, const std::string& section, const std::string& key,
                       const std::string& defaultValue);

// Stores value as section/key of application's user file (made where it is missing); the other keys stay.
void SetSetting(const std::string& application, const std::string& section, const std::string& key,
                const std::string& value);

// A setting's text as a Long: a decimal number, rounded half to even when it has a fraction, or a hex
// number written &Hxx; surrounding blanks allowed. Nothing else (and nothing outside Long's range) is one.
std::optional<int32_t> SettingNumber(const std::string& text);

}  // namespace brisel::platform
