#pragma once
// A fresh folder under $TMPDIR (or /tmp) for one test, removed with everything in it when the
// object goes, even where the test took permissions away.
#include <string>
#include <string_view>

class CTempFolder {
public:
    CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;
    ~CTempFolder();

    const std::string& Path() const { return m_strPath; }
    std::string File(std::string_view name) const { return m_strPath + "/" + std::string(name); }

private:
    std::string m_strPath;
};

// Reads a whole file into a string ("" when it cannot be read).
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);
