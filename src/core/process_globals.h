#pragma once
// Process-wide values of the application shell, written at start-up and read afterwards.
#include <string>

// The folder of the program's data (platform::DataFolder()), without a trailing separator.
extern std::string g_strWorkDir;

// Records the data folder in g_strWorkDir: the shell does so once a tuner is chosen.
void RecordWorkDir();
// The recorded data folder.
const std::string& WorkDir();
