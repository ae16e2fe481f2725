#include "pages/shell/help_launcher.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "pages/shell/process_runner.h"
#include "support/message_box_recorder.h"

namespace {

// A desktop as the launcher sees it: what xdg-mime answers, whether xdg-open starts, how it ends.
class CFakeProcessRunner : public IProcessRunner {
public:
    struct Call {
        std::string program;
        std::vector<std::string> arguments;
        int timeoutMs = -1;
        std::string workingDirectory;
    };

    bool m_bOpenerStarts = true;
    std::vector<Call> m_queries;
    std::vector<IProcessRunner::Answer> m_answers;  // of the queries still running
    std::vector<Call> m_starts;
    std::vector<IProcessRunner::Failure> m_failures;  // of the openers started

    void Query(const std::string& program, const std::vector<std::string>& arguments, int timeoutMs,
               Answer answer) override {
        m_queries.push_back({program, arguments, timeoutMs, {}});
        m_answers.push_back(std::move(answer));
    }
    // The desktop answers the oldest question.
    void Reply(std::optional<std::string> output) {
        ASSERT_FALSE(m_answers.empty());
        const IProcessRunner::Answer answer = m_answers.front();
        m_answers.erase(m_answers.begin());
        answer(std::move(output));
    }
    bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingDirectory, Failure failed) override {
        m_starts.push_back({program, arguments, -1, workingDirectory});
        if (m_bOpenerStarts) m_failures.push_back(std::move(failed));
        return m_bOpenerStarts;
    }
};

constexpr const char* kProgramDir = "/opt/vlk tscap/bin";
constexpr const char* kChm = "/opt/vlk tscap/bin/Vantor-recorder.chm";
constexpr const char* kHtml = "/opt/vlk tscap/bin/help/index.html";
constexpr const char* kNotOpenedText =
    "The help could not be opened: the desktop's opener xdg-open (Debian package xdg-utils) did "
    "not start, or found no program for the file.\n"
    "\n"
    "The help is in the program folder:\n"
    "/opt/vlk tscap/bin/help/index.html (in a web browser)\n"
    "/opt/vlk tscap/bin/Vantor-recorder.chm (in a CHM viewer)";

struct LaunchCase {
    const char* name;
    std::optional<std::string> mimeAnswer;  // nullopt: xdg-mime missing, failing or too slow
    bool openerStarts;
    const char* openedFile;         // what xdg-open is asked to open
    bool openerFailsLater = false;  // it starts, finds no program for the file and exits with 3
};

void PrintTo(const LaunchCase& c, std::ostream* os) {
    *os << c.name;
}

const LaunchCase kCases[] = {
    {"ChmViewerRegistered", "xchm.desktop\n", true, kChm},
    {"NoChmViewer", "", true, kHtml},
    {"BlankAnswer", " \r\n", true, kHtml},
    {"MimeQueryFails", std::nullopt, true, kHtml},
    {"OpenerMissing", "", false, kHtml},
    {
        "OpenerFailsWithChmViewer",
        "kchmviewer.desktop\n",
        false,
        kChm,
    },
    {"NoXdgUtilsAtAll", std::nullopt, false, kHtml},
    {"NoBrowser", "", true, kHtml, true},
    {"ChmViewerRegisteredButGone", "xchm.desktop\n", true, kChm, true},
};

class HelpLauncherTest : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(HelpLauncherTest, OpensTheChmWithAViewerTheHtmlPagesWithoutOneAndElseSaysWhereTheHelpIs) {
    const LaunchCase& c = GetParam();
    CFakeProcessRunner runner;
    runner.m_bOpenerStarts = c.openerStarts;
    CMessageBoxRecorder boxes;

    CHelpLauncher launcher(runner, kProgramDir);
    launcher.Open();
    // Nothing is opened before the desktop has answered: the window never waits for it.
    EXPECT_TRUE(runner.m_starts.empty());
    launcher.Open();  // F1 again while the question is open
    runner.Reply(c.mimeAnswer);

    ASSERT_EQ(runner.m_queries.size(), 1u) << "a second F1 while asking asks nothing more";
    EXPECT_EQ(runner.m_queries[0].program, "xdg-mime");
    EXPECT_EQ(runner.m_queries[0].arguments,
              (std::vector<std::string>{"query", "default", "application/vnd.ms-htmlhelp"}));
    // A desktop that never answers must not leave F1 dead: the question has a time limit.
    EXPECT_GT(runner.m_queries[0].timeoutMs, 0);
    EXPECT_LE(runner.m_queries[0].timeoutMs, 2000);

    ASSERT_EQ(runner.m_starts.size(), 1u);
    EXPECT_EQ(runner.m_starts[0].program, "xdg-open");
    EXPECT_EQ(runner.m_starts[0].arguments, std::vector<std::string>{c.openedFile});
    EXPECT_EQ(runner.m_starts[0].workingDirectory, kProgramDir);

    if (c.openerFailsLater) {
        EXPECT_TRUE(boxes.Boxes().empty()) << "nothing is said while the opener still runs";
        ASSERT_EQ(runner.m_failures.size(), 1u);
        runner.m_failures[0]();
    }
    if (!c.openerStarts || c.openerFailsLater) {
        EXPECT_EQ(boxes.Boxes(),
                  (std::vector<MessageBoxRequest>{{nullptr, kNotOpenedText, "VLK-TScap", MB_OK}}));
    } else {
        EXPECT_TRUE(boxes.Boxes().empty());
    }
    // Answered, F1 asks again.
    launcher.Open();
    EXPECT_EQ(runner.m_queries.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Desktops, HelpLauncherTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LaunchCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
