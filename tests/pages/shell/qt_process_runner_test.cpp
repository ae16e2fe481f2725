#include "pages/shell/qt_process_runner.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/hang_watchdog.h"
#include "support/posted_events.h"
#include "support/temp_folder.h"

namespace {

struct OutputCase {
    const char* name;
    const char* program;
    std::vector<std::string> arguments;
    int timeoutMs;
    std::optional<std::string> expected;
};

void PrintTo(const OutputCase& c, std::ostream* os) {
    *os << c.name;
}

const OutputCase kOutputCases[] = {
    {"PrintsItsAnswer", "sh", {"-c", "printf 'xchm.desktop\\n'"}, 2000, "xchm.desktop\n"},
    {"PrintsNothing", "sh", {"-c", "true"}, 2000, ""},
    {"ErrorOutputIsNotTheAnswer",
     "sh",
     {"-c", "echo complaint >&2; echo answer"},
     2000,
     "answer\n"},
    {"ProgramMissing", "vlk-no-such-program", {}, 2000, std::nullopt},
    {"ExitsWithAnError", "sh", {"-c", "echo partial; exit 3"}, 2000, std::nullopt},
    {"Crashes", "sh", {"-c", "kill -SEGV $$"}, 2000, std::nullopt},
    // Killed at the time limit instead of holding the window.
    {"RunsTooLong", "sleep", {"30"}, 200, std::nullopt},
};

class QtProcessRunnerOutputTest : public ::testing::TestWithParam<OutputCase> {};

TEST_P(QtProcessRunnerOutputTest, AnswersOnlyForAProgramThatEndedWell) {
    const CHangWatchdog watchdog("process runner output", std::chrono::seconds(20));
    const OutputCase& c = GetParam();
    CQtProcessRunner runner;
    int answers = 0;
    std::optional<std::string> output;
    runner.Query(c.program, c.arguments, c.timeoutMs, [&](std::optional<std::string> answer) {
        ++answers;
        output = std::move(answer);
    });
    EXPECT_EQ(answers, 0) << "answered later, from the event loop";
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers > 0; }, 10'000));
    EXPECT_EQ(output, c.expected);
    // Nothing outside the runner tells when it has dropped the process: give late signals 50 ms.
    QTest::qWait(50);
    EXPECT_EQ(answers, 1) << "answered once";
}

TEST(QtProcessRunnerTest, ARunnerThatGoesFirstKillsItsQueryAndAnswersNothing) {
    const CHangWatchdog watchdog("process runner teardown", std::chrono::seconds(20));
    const CTempFolder folder;
    const std::string pidFile = folder.File("pid");
    bool answered = false;
    pid_t pid = 0;
    {
        CQtProcessRunner runner;
        // The query tells its process id once it runs (renamed into place, so never read half
        // written), then outlasts the test.
        const std::string script = "echo $$ > '" + pidFile + ".part' && mv '" + pidFile +
                                   ".part' '" + pidFile + "' && exec sleep 30";
        runner.Query("sh", {"-c", script}, 20'000,
                     [&](std::optional<std::string>) { answered = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(pidFile); }, 10'000))
            << "it never ran";
        pid = std::stoi(ReadWholeFile(pidFile));
    }
    errno = 0;
    EXPECT_EQ(::kill(pid, 0), -1) << "the query outlived its runner";
    EXPECT_EQ(errno, ESRCH);
    ASSERT_TRUE(WaitForEventsPostedBefore(QCoreApplication::instance()));
    EXPECT_FALSE(answered);
}

INSTANTIATE_TEST_SUITE_P(Programs, QtProcessRunnerOutputTest, ::testing::ValuesIn(kOutputCases),
                         [](const ::testing::TestParamInfo<OutputCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(QtProcessRunnerTest, StartDetachedTellsWhetherTheProgramStarted) {
    CQtProcessRunner runner;
    EXPECT_TRUE(runner.StartDetached("true", {}, "/", nullptr));
    EXPECT_FALSE(runner.StartDetached("vlk-no-such-program", {"/tmp/x.html"}, "/", nullptr));
    EXPECT_FALSE(runner.StartDetached("true", {}, "/vlk-no-such-folder", nullptr));
}

TEST(QtProcessRunnerTest, ADetachedProgramThatEndsInFailureIsReportedLaterAndOnce) {
    const CHangWatchdog watchdog("process runner detached end", std::chrono::seconds(20));
    CQtProcessRunner runner;
    std::vector<std::string> failed;
    const auto started = [&](const char* name, const std::string& script) {
        return runner.StartDetached("sh", {"-c", script}, "/",
                                    [&failed, name] { failed.push_back(name); });
    };
    ASSERT_TRUE(started("succeeds", "true"));
    // As xdg-open without a program for the file: it runs, then exits with 3.
    ASSERT_TRUE(started("no program", "sleep 0.2; exit 3"));
    ASSERT_TRUE(started("killed", "sleep 0.2; kill -TERM $$"));
    EXPECT_TRUE(failed.empty()) << "reported later, from the event loop";
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed.size() >= 2; }, 10'000));
    QTest::qWait(3 * CQtProcessRunner::kWatchIntervalMs);
    std::sort(failed.begin(), failed.end());
    EXPECT_EQ(failed, (std::vector<std::string>{"killed", "no program"}));
}

TEST(QtProcessRunnerTest, ADetachedProgramOutlivesItsRunnerWhichThenReportsNothing) {
    const CHangWatchdog watchdog("process runner detached teardown", std::chrono::seconds(20));
    const CTempFolder folder;
    const std::string pidFile = folder.File("pid");
    bool reported = false;
    pid_t pid = 0;
    {
        CQtProcessRunner runner;
        const std::string script = "echo $$ > '" + pidFile + ".part' && mv '" + pidFile +
                                   ".part' '" + pidFile + "' && sleep 1 && exit 4";
        ASSERT_TRUE(runner.StartDetached("sh", {"-c", script}, "/", [&] { reported = true; }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(pidFile); }, 10'000))
            << "it never ran";
        pid = std::stoi(ReadWholeFile(pidFile));
    }
    EXPECT_EQ(::kill(pid, 0), 0) << "the program ended with its runner";
    // Its failing end, after the runner has gone, reaches no one.
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_EQ(WEXITSTATUS(status), 4);
    ASSERT_TRUE(WaitForEventsPostedBefore(QCoreApplication::instance()));
    QTest::qWait(2 * CQtProcessRunner::kWatchIntervalMs);
    EXPECT_FALSE(reported);
}

}  // namespace
