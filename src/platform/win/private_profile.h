#pragma once
// Private-profile (INI) files with the Windows behaviour the system relies on.
//
// Section and key names are matched without regard to case and with surrounding blanks
// ignored; values are trimmed, and one pair of matching enclosing quotes is removed.
// A write creates the file, the section or the key as needed and keeps every other byte of
// the file as it was; it replaces the file atomically, so a crash never leaves half a file.
#include <cstddef>
#include <string>

#include "platform/com/win_types.h"

// Copies the value (or `defaultValue` when the file or key is missing) into `buffer`, cut to
// size - 1 characters and terminated; returns the number of characters copied.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, DWORD size, const char* path);

// Returns TRUE on success; on failure FALSE, with the reason for GetLastError.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* path);

// The calling thread's last error code (an errno value), as set by the functions above.
DWORD GetLastError();
void SetLastError(DWORD code);
