#pragma once
// A private folder for one test under $TMPDIR (or /tmp), removed with its content afterwards.
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

class CTempFolder {
public:
    CTempFolder() {
        const char* base = ::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vlk-win-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        m_strPath = pattern;
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    ~CTempFolder() {
        // A test may have taken permissions away; give them back so everything can go.
        namespace fs = std::filesystem;
        std::error_code error;
        fs::permissions(m_strPath, fs::perms::owner_all, fs::perm_options::add, error);
        for (auto it = fs::recursive_directory_iterator(m_strPath, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_directory(error) && !it->is_symlink(error)) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
            }
        }
        fs::remove_all(m_strPath, error);
    }

    const std::string& Path() const { return m_strPath; }
    std::string File(std::string_view name) const { return m_strPath + "/" + std::string(name); }

private:
    std::string m_strPath;
};
