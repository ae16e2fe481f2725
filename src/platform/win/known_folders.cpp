#include "platform/win/known_folders.h"

#include <errno.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/win/file_locations.h"

namespace platform {

namespace {

// Read on every thread that builds a path; set at start (and by tests while readers run).
std::mutex g_rootsLock;
FolderRoots g_roots;

// Drops trailing separators, except for the root folder itself.
std::string WithoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

// The folder part of an absolute file path ("/a/b" -> "/a", "/b" -> "/").
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string ExecutablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);  // the link may have been cut: try a larger buffer
    }
}

std::string EnvironmentProgramFolder() {
    // The executable cannot move while it runs, so the answer is computed once.
    static const std::string folder = [] {
        const std::string path = ExecutablePath();
        // Without /proc the working folder is the nearest guess of where the program lies.
        return path.empty() ? std::string(".") : FolderOf(path);
    }();
    return folder;
}

std::string EnvironmentDriveCRoot() {
    const char* home = ::getenv("HOME");
    if (home != nullptr && *home != '\0') return WithoutTrailingSlash(home);
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == ERANGE &&
           buffer.size() < (std::size_t{1} << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (result != nullptr && result->pw_dir != nullptr && *result->pw_dir != '\0') {
        return WithoutTrailingSlash(result->pw_dir);
    }
    return "/";  // a user without a home entry: the root is the only folder sure to exist
}

// mkdir -p; a failure shows later, when a file in the folder cannot be opened.
void MakeFolders(const std::string& folder) {
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos == folder.size() || folder[pos] == '/') {
            const std::string part = folder.substr(0, pos);
            // Private to the user, as configuration folders are expected to be.
            if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return;
        }
    }
}

std::string EnvironmentConfigFolder(const std::string& driveCRoot) {
    const char* configHome = ::getenv("XDG_CONFIG_HOME");
    // Relative values are invalid by the XDG rules and must be ignored.
    const std::string base = configHome != nullptr && configHome[0] == '/'
                                 ? WithoutTrailingSlash(configHome)
                                 : JoinPath(driveCRoot, ".config");
    return JoinPath(base, "vlk-tscap");
}

}  // namespace

FolderRoots EnvironmentFolderRoots() {
    FolderRoots roots;
    roots.programFolder = EnvironmentProgramFolder();
    roots.driveCRoot = EnvironmentDriveCRoot();
    roots.configFolder = EnvironmentConfigFolder(roots.driveCRoot);
    return roots;
}

FolderRoots CurrentFolderRoots() {
    const std::lock_guard<std::mutex> lock(g_rootsLock);
    return g_roots;
}

void SetFolderRoots(FolderRoots roots) {
    const std::lock_guard<std::mutex> lock(g_rootsLock);
    g_roots = std::move(roots);
}

std::string ProgramFolder() {
    std::string folder = CurrentFolderRoots().programFolder;
    return folder.empty() ? EnvironmentProgramFolder() : folder;
}

std::string DataFolder() {
    std::string program = ProgramFolder();
    struct stat info {};
    const auto isFolder = [&info](const std::string& path) {
        return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    };
    if (isFolder(SatelliteFolder(program))) return program;
    const std::string installed = JoinPath(FolderOf(program), "share/vlk-tscap");
    return isFolder(installed) ? installed : program;
}

std::string SettingsFolder() {
    std::string program = ProgramFolder();
    // An installed program keeps them out of the system's folders even when it may write there
    // (run by root), so removing the package leaves nothing behind.
    const bool installed = DataFolder() != program;
    return !installed && ::access(program.c_str(), W_OK) == 0 ? program : ConfigFolder();
}

std::string DriveCRoot() {
    std::string folder = CurrentFolderRoots().driveCRoot;
    return folder.empty() ? EnvironmentDriveCRoot() : folder;
}

std::string MapDriveCPath(std::string_view windowsPath) {
    if (windowsPath.size() < 2 || (windowsPath[0] != 'c' && windowsPath[0] != 'C') ||
        windowsPath[1] != ':') {
        return std::string(windowsPath);
    }
    std::string rest(windowsPath.substr(2));
    for (char& c : rest) {
        if (c == '\\') c = '/';
    }
    return JoinPath(DriveCRoot(), rest.substr(std::min(rest.find_first_not_of('/'), rest.size())));
}

std::string ConfigFolder() {
    std::string folder = CurrentFolderRoots().configFolder;
    if (folder.empty()) folder = EnvironmentConfigFolder(DriveCRoot());
    MakeFolders(folder);
    return folder;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    if (name.empty()) return std::string(folder);
    while (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
    while (!name.empty() && name.front() == '/') name.remove_prefix(1);
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder).append(1, '/').append(name);
    return path;
}

}  // namespace platform
