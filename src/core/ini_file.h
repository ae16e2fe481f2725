#pragma once
// The private-profile helpers of the settings files.
#include <cstdint>
#include <string>
#include <string_view>

// The key's value, at most 259 characters; empty when the key or the file is missing.
std::string ReadIniString(const std::string& path, const std::string& section,
                          const std::string& key);

// Writes the value, creating file, section or key as needed; 0 on success, else the system's
// error code.
std::int32_t WriteIniString(const std::string& path, const std::string& section,
                            const std::string& key, const std::string& value);
