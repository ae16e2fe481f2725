#pragma once
// Points the program folder (g_strWorkDir) at a folder for the lifetime of the object.
#include <string>

#include "core/process_globals.h"

class CProgramFolderOverride {
public:
    explicit CProgramFolderOverride(const std::string& folder) : m_strPrevious(g_strWorkDir) {
        g_strWorkDir = folder;
    }
    CProgramFolderOverride(const CProgramFolderOverride&) = delete;
    CProgramFolderOverride& operator=(const CProgramFolderOverride&) = delete;
    ~CProgramFolderOverride() { g_strWorkDir = m_strPrevious; }

private:
    std::string m_strPrevious;
};
