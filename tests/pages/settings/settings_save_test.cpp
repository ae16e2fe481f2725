#include "pages/settings/settings_save.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QWidget>
#include <cerrno>

#include "core/settings_file.h"
#include "support/debug_output_capture.h"
#include "support/message_box_recorder.h"
#include "support/temp_folder.h"

namespace {

// A window's pages and dialogs share one box for the run; each window is a run of its own, so a
// new window tells its first failure again.
TEST(SaveSettingTest, TheFirstFailureUnderAWindowShowsABoxAndEveryFailureIsLogged) {
    CTempFolder folder;
    CMessageBoxRecorder boxes;
    CDebugOutputCapture debug;
    WriteWholeFile(folder.File("file"), "");
    const std::string good = folder.File("VLK-TScap.ini");
    const std::string bad = folder.File("file/VLK-TScap.ini");  // below a file: never writable
    const std::string text = settings_file::FailureText(bad, ENOTDIR);

    QWidget window;
    auto* page = new QWidget(&window);
    auto* dialog = new QDialog(page);
    EXPECT_FALSE(SaveSetting(page, bad, "Config", "freq", "1"));
    EXPECT_FALSE(SaveSetting(dialog, bad, "Config", "symbol", "1"));
    EXPECT_TRUE(SaveSetting(page, good, "Config", "symbol", "22000"));  // logs and shows nothing
    EXPECT_FALSE(SaveSetting(&window, bad, "Config", "lnblow", "1"));
    EXPECT_EQ(boxes.Boxes(), (std::vector<MessageBoxRequest>{
                                 {nullptr, text, AfxGetAppName(), MB_OK | MB_ICONEXCLAMATION}}));
    EXPECT_EQ(debug.Lines(), std::vector<std::string>(3, text));

    QWidget nextWindow;
    EXPECT_FALSE(SaveSetting(&nextWindow, bad, "Config", "freq", "1"));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, text));
    EXPECT_EQ(debug.Lines(), std::vector<std::string>(4, text));
}

}  // namespace
