#include "core/diagnostic_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/win/file_locations.h"
#include "support/fake_devices.h"
#include "support/folder_roots.h"
#include "support/temp_folder.h"
#include "support/test_clocks.h"

namespace {

TEST(DiagnosticLogTest, TickFieldIsEightCharactersWideAndBlankForZero) {
    EXPECT_EQ(diagnostic_log::FormatLine("12/08/26", "01:02:03", 0, "x"),
              "[12/08/26 01:02:03 :         ] x");
    EXPECT_EQ(diagnostic_log::FormatLine("12/08/26", "01:02:03", 123, "x"),
              "[12/08/26 01:02:03 :      123] x");
    EXPECT_EQ(diagnostic_log::FormatLine("12/08/26", "01:02:03", 123456789, "x"),
              "[12/08/26 01:02:03 : 123456789] x");
    EXPECT_EQ(diagnostic_log::FormatLine("12/08/26", "01:02:03", -5, "x"),
              "[12/08/26 01:02:03 :       -5] x");
}

TEST(DiagnosticLogTest, LongLinesAreCutAt254Characters) {
    const std::string line =
        diagnostic_log::FormatLine("12/08/26", "01:02:03", 1, std::string(300, 'a'));
    EXPECT_EQ(line.size(), 254u);
    // Characters, not bytes, are counted: a cut never splits a character.
    std::string umlauts;
    for (int i = 0; i < 300; ++i) umlauts += "\xC3\xA4";
    const std::string cut = diagnostic_log::FormatLine("12/08/26", "01:02:03", 1, umlauts);
    const std::string prefix = "[12/08/26 01:02:03 :        1] ";
    EXPECT_EQ(cut.size(), prefix.size() + 2 * (254 - prefix.size()));
}

TEST(DiagnosticLogTest, WritesOneCrLfLinePerCallToTheHomeFolderLog) {
    CShellTestEnvironment env;
    const CScopedClock<CStandingClock> clock(123);
    WriteLog("BDA Device Name: [{}]      (Tuner Type:{})", "Card 100% {odd}", 1);
    WriteLog("second");
    WriteLog("{}", std::string(400, 'z'));

    const std::string log = env.LogText();
    const auto first = log.find("\r\n");
    ASSERT_NE(first, std::string::npos);
    const std::string line1 = log.substr(0, first);
    EXPECT_EQ(line1.substr(18),
              " :      123] BDA Device Name: [Card 100% {odd}]      (Tuner Type:1)");
    EXPECT_EQ(line1[0], '[');
    EXPECT_EQ(line1[3], '/');
    EXPECT_EQ(line1[6], '/');
    EXPECT_EQ(line1[12], ':');
    const auto second = log.find("\r\n", first + 2);
    EXPECT_TRUE(log.substr(first + 2, second - first - 2).ends_with("] second"));
    const auto third = log.find("\r\n", second + 2);
    EXPECT_EQ(third - (second + 2), 254u);
    EXPECT_EQ(third + 2, log.size()) << "every line ends with CR LF, even a cut one";
}

// A log that would pass its size with the next line is moved to Keplin.log.1 (the older one
// goes) and the line starts a new log; a line that just fits is still appended.
TEST(DiagnosticLogTest, AFullLogIsMovedAsideAndTheLineStartsANewOne) {
    CShellTestEnvironment env;
    const CScopedClock<CStandingClock> clock(7);
    const std::string log = platform::DiagnosticLogFile();
    const std::string older = log + ".1";
    // "[mm/dd/yy hh:mm:ss :        7] fits" and CR LF.
    const std::size_t lineSize = 31 + 4 + 2;
    WriteWholeFile(log, std::string(diagnostic_log::kRotateSize - lineSize, 'x'));
    WriteWholeFile(older, "the oldest lines");

    WriteLog("fits");
    EXPECT_EQ(std::filesystem::file_size(log), diagnostic_log::kRotateSize);
    EXPECT_EQ(ReadWholeFile(older), "the oldest lines");

    WriteLog("over");
    WriteLog("next");
    EXPECT_EQ(std::filesystem::file_size(older), diagnostic_log::kRotateSize)
        << "the full log, whole";
    const std::string fresh = ReadWholeFile(log);
    ASSERT_EQ(fresh.size(), 2 * lineSize) << fresh;
    EXPECT_EQ(fresh.substr(18, lineSize - 18), " :        7] over\r\n");
    EXPECT_EQ(fresh.substr(lineSize + 18), " :        7] next\r\n");
}

TEST(DiagnosticLogTest, AnUnwritableLogLosesTheLineQuietly) {
    CShellTestEnvironment env;
    test_roots::SetDriveCRoot(env.Folder().File("missing-folder"));
    WriteLog("lost");
    test_roots::SetDriveCRoot(env.Folder().Path());
    EXPECT_EQ(env.LogText(), "");
}

}  // namespace
