#pragma once
// Points one of the program's folder roots (platform::FolderRoots) at a test's folder and keeps
// the other two; an empty text gives that root back to the environment.
#include <string>
#include <utility>

#include "platform/win/known_folders.h"

namespace test_roots {

inline void SetProgramFolder(std::string folder) {
    platform::FolderRoots roots = platform::CurrentFolderRoots();
    roots.programFolder = std::move(folder);
    platform::SetFolderRoots(std::move(roots));
}

inline void SetDriveCRoot(std::string folder) {
    platform::FolderRoots roots = platform::CurrentFolderRoots();
    roots.driveCRoot = std::move(folder);
    platform::SetFolderRoots(std::move(roots));
}

inline void SetConfigFolder(std::string folder) {
    platform::FolderRoots roots = platform::CurrentFolderRoots();
    roots.configFolder = std::move(folder);
    platform::SetFolderRoots(std::move(roots));
}

}  // namespace test_roots
