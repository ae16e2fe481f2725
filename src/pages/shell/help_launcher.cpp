#include "pages/shell/help_launcher.h"

#include <optional>
#include <utility>

#include "pages/shell/process_runner.h"
#include "platform/ui/message_box.h"
#include "platform/win/file_locations.h"

CHelpLauncher::CHelpLauncher(IProcessRunner& runner, std::string dataDir)
    : m_runner(runner), m_strDataDir(std::move(dataDir)) {}

std::string CHelpLauncher::ChmPath() const {
    return platform::HelpChmFile(m_strDataDir);
}

std::string CHelpLauncher::HtmlIndexPath() const {
    return platform::HelpHtmlIndexFile(m_strDataDir);
}

std::string CHelpLauncher::NotOpenedText(const std::string& htmlIndexPath,
                                         const std::string& chmPath) {
    return "The help could not be opened: the desktop's opener xdg-open (Debian package xdg-utils) "
           "did not start, or found no program for the file.\n\nThe help is in the program "
           "folder:\n" +
           htmlIndexPath + " (in a web browser)\n" + chmPath + " (in a CHM viewer)";
}

void CHelpLauncher::Open() {
    if (m_bAsking) return;
    m_bAsking = true;
    m_runner.Query(
        kMimeQuery, {"query", "default", kChmMimeType}, kQueryTimeoutMs,
        [this](const std::optional<std::string>& answer) {
            m_bAsking = false;
            // xdg-mime prints the desktop file of the default program, or nothing. A
            // query that fails or hangs counts as nothing: the HTML pages are the safer
            // choice then.
            OpenWith(answer && answer->find_first_not_of(" \t\r\n") != std::string::npos);
        });
}

void CHelpLauncher::OpenWith(bool chmViewerRegistered) {
    // The opener fails only after it has looked for a program (none for the file: exit code 3 or
    // 4), long after F1; the box then comes from the event loop. It holds copies, not the
    // launcher, which may be gone by then.
    const auto showWhereTheHelpIs = [text = NotOpenedText(HtmlIndexPath(), ChmPath())] {
        AfxMessageBox(text);
    };
    if (!m_runner.StartDetached(kOpener, {chmViewerRegistered ? ChmPath() : HtmlIndexPath()},
                                m_strDataDir, showWhereTheHelpIs)) {
        showWhereTheHelpIs();
    }
}
