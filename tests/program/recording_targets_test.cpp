// Where a recording goes and what happens to it there, in the whole program on the simulated card:
// a second recording after a wait, a pipe whose reader stops reading, a size limit into a pipe,
// a record file deleted under the recording, and the default record file left by an earlier run.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <thread>

#include "drivers/sim/ts_generator.h"
#include "drivers/sim/ts_packet_reader.h"
#include "graph/tuner_session.h"
#include "pages/record/uti_virtual_damon_dlg.h"
#include "pages/shell/bda_util_dlg.h"
#include "program/sim_program.h"
#include "record/recording.h"
#include "support/temp_folder.h"

namespace {

using Page = CUtiVirtualDamonDlg;

// Stop, Cancel Record and closing the window must not wait on another program for longer.
constexpr qint64 kPromptMs = 1000;

void Cancel(Page& page) {
    page.Item<QPushButton>(Page::kIdCancelRecord)->click();
}

std::uint64_t PipeHolds(int reader) {
    int bytes = 0;
    return ::ioctl(reader, FIONREAD, &bytes) == 0 ? static_cast<std::uint64_t>(bytes) : 0;
}

// The bytes a reader finds waiting in a pipe, without waiting for more.
std::uint64_t DrainPipe(int reader) {
    std::uint64_t total = 0;
    char buffer[65536];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
        total += static_cast<std::uint64_t>(n);
    return total;
}

// `wc -c` reading a named pipe, as another program would, writing its count into a file.
class CCountingReader {
public:
    CCountingReader(const std::string& pipe, const std::string& count) : m_strPipe(pipe) {
        ::mkfifo(pipe.c_str(), 0600);
        const std::string command = "exec wc -c < '" + pipe + "' > '" + count + "'";
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~CCountingReader() {
        if (m_nProbe >= 0) ::close(m_nProbe);
        if (m_pid > 0) ::waitpid(m_pid, nullptr, 0);
    }
    CCountingReader(const CCountingReader&) = delete;
    CCountingReader& operator=(const CCountingReader&) = delete;

    // Until the reader has opened the pipe, a writer is refused; the probe that finds it there is
    // kept open until the program writes too, so the reader does not see an end before that.
    bool WaitUntilOpen() {
        for (int i = 0; i < 500 && m_nProbe < 0; ++i) {
            m_nProbe = ::open(m_strPipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (m_nProbe < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return m_nProbe >= 0;
    }
    void CloseProbe() {
        ::close(m_nProbe);
        m_nProbe = -1;
    }
    // Waits for the reader's end: true when it ended normally.
    bool Finish() {
        int status = 0;
        const bool ended = m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid;
        m_pid = -1;
        return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    const std::string m_strPipe;
    pid_t m_pid = -1;
    int m_nProbe = -1;
};

class RecordingTargetsTest : public SimProgramTest {
protected:
    void Stream(int steps) {
        for (int i = 0; i < steps; ++i) m_program.Clock().AdvanceMs(50);
    }
    std::vector<std::string> Boxes() { return m_program.Boxes().Texts(); }
    void Lock(CSimProgramWindow& window) {
        EnterTransponder(window);
        ASSERT_TRUE(LockTp(window, m_program.Clock())) << "the card did not lock";
    }
};

TEST_F(RecordingTargetsTest, ARecordingAfterAWaitHoldsOnlyTheStreamSinceItsStart) {
    // A recording that an earlier run left at the default path survives the program's start.
    const std::string defaultFile = m_program.File("Vantor-capture.ts");
    WriteWholeFile(defaultFile, "an earlier recording");
    CSimProgramWindow window;
    std::uint64_t secondSamples = 0;
    std::uint64_t secondStart = 0;
    const int result = RunModal(window, [&] {
        EXPECT_EQ(ReadWholeFile(defaultFile), "an earlier recording") << "emptied at start-up";
        Lock(window);
        Page& page = CapturePage(window);
        StartRecord(page, m_program.File("first.ts"));
        ASSERT_TRUE(page.IsRecording());
        Stream(10);
        Cancel(page);
        // Twenty seconds later, with a start refused halfway (the graph ran and stopped again),
        // the default file gets the second recording: half a second of stream, no backlog.
        m_program.Clock().AdvanceMs(10'000);
        StartRecord(page, m_program.File("no-such-folder/x.ts"));
        ASSERT_EQ(Boxes().size(), 1u);
        m_program.Clock().AdvanceMs(10'000);
        secondStart = m_program.Clock().Now();
        const std::uint64_t before = m_program.SamplesDelivered();
        StartRecord(page, defaultFile);
        ASSERT_TRUE(page.IsRecording());
        Stream(10);
        Cancel(page);
        secondSamples = m_program.SamplesDelivered() - before;
        window.close();
    });
    EXPECT_EQ(result, IDCANCEL);
    ExpectRecordedSamples(defaultFile, secondSamples, true);
    const SimStreamPlan plan = m_program.Card().StreamPlan();
    const std::uint64_t dueInHalfASecond =
        CTsGenerator::PacketsBefore(plan.bitRate, 500 * CSimClock::kTicksPerMs);
    EXPECT_LE(secondSamples * CSimCaptureOutputPin::kSamplePackets, dueInHalfASecond)
        << "a burst of the backlog";
    const std::string bytes = ReadWholeFile(defaultFile);
    CTsPacketReader reader;
    reader.Read(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size() / 188);
    ASSERT_FALSE(reader.Pcrs().empty());
    EXPECT_GE(plan.epoch + reader.Pcrs().front().value, secondStart)
        << "a packet from before the start";
}

// A reader that opened the pipe and stopped reading, as a paused player does: the pipe fills, the
// card's streaming thread waits in the write, and the user ends the recording.
class StalledPipeTest : public RecordingTargetsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(StalledPipeTest, EndingTheRecordingReturnsPromptlyAndTellsWhatWasNotWritten) {
    const bool closeWindow = GetParam();
    const std::string pipe = m_program.File("player.ts");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    CSimProgramWindow window;
    std::uint64_t before = 0;
    qint64 endedMs = -1;
    QElapsedTimer sinceEnd;
    std::thread time;
    std::atomic<bool> timePassed{false};
    const int result = RunModal(window, [&] {
        Lock(window);
        Page& page = CapturePage(window);
        before = m_program.SamplesDelivered();
        StartRecord(page, pipe);
        ASSERT_TRUE(page.IsRecording()) << ::testing::PrintToString(Boxes());
        // Time runs on another thread: it waits for the streaming thread, which waits for the pipe.
        time = std::thread([&] {
            Stream(4);
            timePassed = true;
        });
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return PipeHolds(reader) >= CSimProgram::kSampleBytes; }, 5000))
            << "the pipe never filled";
        // Sixteen samples are due: the next write comes at once and finds the pipe full.
        // A thread blocked in write() sends no signal: 300 ms give time the chance to pass.
        QTest::qWait(300);
        EXPECT_FALSE(timePassed) << "the streaming thread does not wait for the pipe";
        sinceEnd.start();
        if (closeWindow) {
            window.close();
            return;
        }
        Cancel(page);
        endedMs = sinceEnd.elapsed();
        EXPECT_FALSE(page.IsRecording());
        window.close();
    });
    if (closeWindow) endedMs = sinceEnd.elapsed();
    time.join();
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_LT(endedMs, kPromptMs);
    EXPECT_FALSE(DefaultTunerSession().HasGraph()) << "the graph was released";

    const std::uint64_t given = (m_program.SamplesDelivered() - before) * CSimProgram::kSampleBytes;
    const std::uint64_t inPipe = DrainPipe(reader);
    ::close(reader);
    ASSERT_GT(given, inPipe);
    EXPECT_GE(inPipe, CSimProgram::kSampleBytes) << "what the pipe took stays there for the reader";
    if (closeWindow) {
        // Asked and answered Yes; then the window is gone: nothing more to tell.
        EXPECT_EQ(Boxes(), std::vector<std::string>{CBDAUtilDlg::kStopRecordingAndQuit});
    } else {
        EXPECT_EQ(Boxes(), std::vector<std::string>{
                               "Recording stopped: the program reading " + pipe +
                               " stopped reading: " + std::to_string(given - inPipe) +
                               " bytes were not written. Every byte written before is kept."});
    }
}

INSTANTIATE_TEST_SUITE_P(CancelOrClose, StalledPipeTest, ::testing::Values(false, true),
                         [](const auto& test) {
                             return test.param ? "CloseWindow" : "CancelRecord";
                         });

TEST_F(RecordingTargetsTest, ASizeLimitIntoAPipeEndsTheRecordingAtTheLimit) {
    const std::string pipe = m_program.File("counted.ts");
    const std::string count = m_program.File("count.txt");
    CCountingReader wc(pipe, count);
    CSimProgramWindow window;
    std::uint64_t written = 0;
    const int result = RunModal(window, [&] {
        Lock(window);
        Page& page = CapturePage(window);
        page.Item<QLineEdit>(Page::kIdSizeLimit)->setText("50");
        ASSERT_TRUE(wc.WaitUntilOpen());
        StartRecord(page, pipe);
        wc.CloseProbe();
        ASSERT_TRUE(page.IsRecording()) << ::testing::PrintToString(Boxes());
        // 42.6 Mbit/s: 51,712 KB, the first size past 101 % of 50 MB, come after about ten seconds.
        // A tick follows every 100 ms of stream, as in real time.
        for (int i = 0; i < 200 && page.IsRecording(); ++i) {
            Stream(2);
            page.OnTimer(Page::kRecordTimer);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !page.IsRecording(); }, 5000))
            << "the limit never ended it";
        written = std::stoull(
            page.Item<QLineEdit>(Page::kIdAmount)->text().split(' ').front().toStdString());
        EXPECT_EQ(page.Item<QLineEdit>(Page::kIdStatus)->text(), "Record Stopped!");
        window.close();
    });
    EXPECT_EQ(result, IDCANCEL);
    ASSERT_TRUE(wc.Finish());
    const std::uint64_t counted = std::stoull(ReadWholeFile(count));
    EXPECT_GE(counted, 51712u * 1024) << "ended before the limit";
    EXPECT_LT(counted, 51712u * 1024 + 10 * CSimProgram::kSampleBytes)
        << "ran on past the tick after the limit";
    // The page's last size is that of the tick that ended the recording: bytes written, not a file
    // size.
    EXPECT_GE(written, 51712u);
    EXPECT_LE(written, counted / 1024);
    EXPECT_TRUE(Boxes().empty()) << ::testing::PrintToString(Boxes());
}

TEST_F(RecordingTargetsTest, ARecordFileDeletedDuringTheRecordingEndsItWithAMessage) {
    const std::string folder = m_program.File("recordings");
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/capture.ts";
    CSimProgramWindow window;
    const int result = RunModal(window, [&] {
        Lock(window);
        Page& page = CapturePage(window);
        StartRecord(page, path);
        ASSERT_TRUE(page.IsRecording());
        Stream(4);
        std::filesystem::remove_all(folder);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !page.IsRecording(); }, 5000))
            << "still recording";
        EXPECT_EQ(page.Item<QLineEdit>(Page::kIdStatus)->text(), "Record Stopped!");
        window.close();
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(Boxes(), std::vector<std::string>{
                           "Recording stopped: the record file " + path +
                           " was deleted during the recording; the bytes written into it "
                           "are gone. Start Record again to record into a new file."});
}

// Closing the window during a recording asks first: Escape answered No keeps the window and the
// recording going; the close box answered Yes stops it and quits, with every sample the card
// delivered in the file. Without a recording, Escape closes at once.
TEST_F(RecordingTargetsTest, ClosingDuringARecordingAsksAndNoKeepsItGoing) {
    const std::string path = m_program.File("kept.ts");
    CSimProgramWindow window;
    std::uint64_t before = 0;
    const int result = RunModal(window, [&] {
        Lock(window);
        Page& page = CapturePage(window);
        before = m_program.SamplesDelivered();
        StartRecord(page, path);
        ASSERT_TRUE(page.IsRecording());
        Stream(10);
        m_program.Boxes().AnswerQuestionsWith(IDNO);
        QTest::keyClick(&window, Qt::Key_Escape);
        ASSERT_EQ(Boxes(), std::vector<std::string>{CBDAUtilDlg::kStopRecordingAndQuit});
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(page.IsRecording());
        const std::uint64_t atNo = m_program.SamplesDelivered();
        Stream(10);
        EXPECT_GT(m_program.SamplesDelivered(), atNo) << "the recording goes on after No";
        m_program.Boxes().AnswerQuestionsWith(IDYES);
        window.close();
        EXPECT_EQ(Boxes().size(), 2u);
        EXPECT_EQ(Boxes().back(), CBDAUtilDlg::kStopRecordingAndQuit);
    });
    EXPECT_EQ(result, IDCANCEL);
    const std::uint64_t samples = m_program.SamplesDelivered() - before;
    Stream(4);
    EXPECT_EQ(m_program.SamplesDelivered() - before, samples) << "still recording after Yes";
    ExpectRecordedSamples(path, samples, true);

    m_program.Boxes().Clear();
    CSimProgramWindow again;
    EXPECT_EQ(RunModal(again, [&] { QTest::keyClick(&again, Qt::Key_Escape); }), IDCANCEL);
    EXPECT_TRUE(Boxes().empty()) << "nothing to ask without a recording";
}

}  // namespace
