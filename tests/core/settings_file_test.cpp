#include "core/settings_file.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/ini_file.h"
#include "support/debug_output_capture.h"
#include "support/temp_folder.h"

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    // A path below a regular file: no one, root included, can write there.
    std::string Impossible() const {
        WriteWholeFile(m_folder.File("file"), "");
        return m_folder.File("file/VLK-TScap.ini");
    }

    CTempFolder m_folder;
    CDebugOutputCapture m_debug;
};

// Reason and advice for faults a test cannot make for real (a full disk, a user's permissions), and
// for a pipe, which the writer refuses with a reason of its own words ("Invalid argument").
TEST_F(SettingsFileTest, TheTextNamesThePathTheReasonAndAWayOut) {
    const std::string pipe = m_folder.File("VLK-IPdata.ini");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const struct {
        int error;
        const char* reason;
        const char* advice;
    } cases[] = {
        {EINVAL, "it is not a regular file", "move what is in the way at that path"},
        {ENOSPC, "No space left on device", "free some space on that disk"},
        {EACCES, "Permission denied", "make the folder and the file writable for this user"},
        {EIO, "Input/output error", "make the folder writable or free some space"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settings_file::FailureText(pipe, c.error),
                  "Cannot save the settings to " + pipe + ": " + c.reason +
                      ". Changes made now are lost when the program ends; " + c.advice + ".");
    }
}

// The caller decides how to tell a failure: the write itself only returns it.
TEST_F(SettingsFileTest, EachWriteReturnsWhetherItFailedWithItsErrorAndText) {
    const std::string good = m_folder.File("VLK-TScap.ini");
    const std::string bad = Impossible();
    const SettingsWriteResult failed{ENOTDIR, "Cannot save the settings to " + bad +
                                                  ": Not a directory. Changes made now are lost "
                                                  "when the program ends; move what is in the "
                                                  "way at that path."};
    EXPECT_EQ(WriteSettingsString(good, "Config", "freq", "11362"), SettingsWriteResult{});
    const SettingsWriteResult refused = WriteSettingsString(bad, "Config", "freq", "1");
    EXPECT_FALSE(refused.Written());
    EXPECT_EQ(refused, failed);
    EXPECT_EQ(WriteSettingsString(good, "Config", "symbol", "22000"), SettingsWriteResult{});
    EXPECT_EQ(WriteSettingsString(bad, "Config", "symbol", "1"), failed);
    EXPECT_EQ(ReadIniString(good, "Config", "freq"), "11362");
    EXPECT_EQ(ReadIniString(good, "Config", "symbol"), "22000");
    EXPECT_TRUE(m_debug.Lines().empty());
}

}  // namespace
