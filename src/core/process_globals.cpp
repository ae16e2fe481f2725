#include "core/process_globals.h"

#include "platform/win/known_folders.h"

std::string g_strWorkDir;

void RecordWorkDir() {
    g_strWorkDir = platform::DataFolder();
}

const std::string& WorkDir() {
    return g_strWorkDir;
}
