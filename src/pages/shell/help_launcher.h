#pragma once
// What F1 opens. The help comes twice in the data folder (beside the program in a build tree,
// share/vlk-tscap once installed): the compiled Vantor-recorder.chm and the same pages as HTML in
// help/. The desktop's opener (xdg-open) gets the CHM file when a
// program is registered for that type, the HTML pages otherwise (most Linux desktops have no CHM
// viewer, and a browser is nearly always there). When the opener cannot be started, or ends in
// failure because no program opens the file, a box says where both are. Nothing here waits: the
// type query answers through the window's event loop.
#include <string>

class IProcessRunner;

class CHelpLauncher {
public:
    static constexpr const char* kOpener = "xdg-open";
    static constexpr const char* kMimeQuery = "xdg-mime";
    static constexpr const char* kChmMimeType = "application/vnd.ms-htmlhelp";
    // It answers in well under a second; one that does not is given up.
    static constexpr int kQueryTimeoutMs = 2000;

    // `dataDir`: the data folder, without a trailing separator.
    CHelpLauncher(IProcessRunner& runner, std::string dataDir);

    // Asks which program opens CHM files, then starts the opener on the CHM file or on the HTML
    // index, or shows the box; never waits for either program. A second F1 while the question is
    // still open is passed over.
    void Open();

    // platform::HelpChmFile and platform::HelpHtmlIndexFile of the data folder.
    std::string ChmPath() const;
    std::string HtmlIndexPath() const;
    // The box's text when nothing could be opened.
    static std::string NotOpenedText(const std::string& htmlIndexPath, const std::string& chmPath);

private:
    void OpenWith(bool chmViewerRegistered);

    IProcessRunner& m_runner;
    std::string m_strDataDir;
    bool m_bAsking = false;
};
