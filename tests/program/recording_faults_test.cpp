// Faults during a recording, in the whole program on the simulated card: a full disk, a file
// that cannot grow, a missing folder, a file another program holds, the card pulled out, and the
// window closed while recording, while "Lock TP" holds the driver mutex and while the monitor's
// message box is up. Each ends with a clear message or the specified silence, no recording left
// running, and every byte the sink was given before the fault in the file.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <thread>

#include "core/process_globals.h"
#include "drivers/sim/ts_packet_reader.h"
#include "graph/tuner_session.h"
#include "pages/record/uti_virtual_damon_dlg.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ui/qt/qt_message_box_service.h"
#include "program/sim_program.h"
#include "support/temp_folder.h"

namespace {

using Page = CUtiVirtualDamonDlg;

// Another program that holds a file with an exclusive lock, as the record file's own lock is
// taken, until the object goes.
class COtherProgram {
public:
    explicit COtherProgram(const std::string& path) {
        int ready[2] = {-1, -1};
        int end[2] = {-1, -1};
        if (::pipe(ready) != 0 || ::pipe(end) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            // Only system calls from here: the child of a threaded process.
            ::close(ready[0]);
            ::close(end[1]);
            const int fd = ::open(path.c_str(), O_RDWR);
            const char held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
            [[maybe_unused]] const ssize_t told = ::write(ready[1], &held, 1);
            char ignored = 0;
            [[maybe_unused]] const ssize_t ended =
                ::read(end[0], &ignored, 1);  // until the parent closes
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(end[0]);
        m_nEnd = end[1];
        char held = '0';
        m_bHolding = m_pid > 0 && ::read(ready[0], &held, 1) == 1 && held == '1';
        ::close(ready[0]);
    }
    ~COtherProgram() {
        if (m_nEnd >= 0) ::close(m_nEnd);
        if (m_pid > 0) ::waitpid(m_pid, nullptr, 0);
    }
    COtherProgram(const COtherProgram&) = delete;
    COtherProgram& operator=(const COtherProgram&) = delete;

    bool Holding() const { return m_bHolding; }

private:
    pid_t m_pid = -1;
    int m_nEnd = -1;
    bool m_bHolding = false;
};

// No file of this process may grow beyond `bytes` while the object lives: a write that would
// passes what fits, the next fails with EFBIG. The signal the kernel sends with it is ignored.
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_previous.rlim_max};
        m_bSet = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~CFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        ::signal(SIGXFSZ, m_previousHandler);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

    bool IsSet() const { return m_bSet; }

private:
    rlimit m_previous{};
    sighandler_t m_previousHandler = SIG_DFL;
    bool m_bSet = false;
};

class RecordingFaultsTest : public SimProgramTest {
protected:
    // Tunes, locks and starts a recording into `path` from inside the window's loop; returns the
    // samples the card had delivered before the start (every later one belongs to the recording).
    std::uint64_t Record(CSimProgramWindow& window, const std::string& path) {
        EnterTransponder(window);
        EXPECT_TRUE(LockTp(window, m_program.Clock())) << "the card did not lock";
        Page& page = CapturePage(window);
        const std::uint64_t before = m_program.SamplesDelivered();
        StartRecord(page, path);
        EXPECT_TRUE(page.IsRecording()) << ::testing::PrintToString(m_program.Boxes().Texts());
        return before;
    }

    // Lets simulated time pass in steps, so that the card delivers samples.
    void Stream(int steps) {
        for (int i = 0; i < steps; ++i) m_program.Clock().AdvanceMs(50);
    }

    std::vector<std::string> Boxes() { return m_program.Boxes().Texts(); }

    // A recording has ended as Cancel Record ends it: no timer, no progress, the graph stopped.
    void ExpectStopped(Page& page) {
        EXPECT_FALSE(page.IsRecording());
        EXPECT_FALSE(page.IsTimerRunning());
        EXPECT_EQ(page.Item<QLineEdit>(Page::kIdStatus)->text(), "Record Stopped!");
        EXPECT_EQ(page.Item<QProgressBar>(Page::kIdProgress)->value(), 0);
        const std::uint64_t stopped = m_program.SamplesDelivered();
        Stream(4);
        EXPECT_EQ(m_program.SamplesDelivered(), stopped) << "the graph still streams";
    }
};

TEST_F(RecordingFaultsTest, AFullDiskStopsTheRecordingWithItsReason) {
    CSimProgramWindow window;
    const int result = RunModal(window, [&] {
        Record(window, "/dev/full");
        Page& page = CapturePage(window);
        Stream(2);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !page.IsRecording(); }, 5000))
            << "still recording";
        EXPECT_EQ(Boxes(), std::vector<std::string>{
                               "Recording stopped: writing /dev/full failed: No space left on "
                               "device. Every byte written before the failure is kept."});
        ExpectStopped(page);
        window.close();
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(RecordingFaultsTest, AFileThatCannotGrowKeepsEveryByteWrittenBeforeTheFailure) {
    const std::string path = m_program.File("capture.ts");
    // Room for five samples and 1000 bytes: the sixth sample is cut short inside a packet.
    const rlim_t room = 5 * CSimProgram::kSampleBytes + 1000;
    CSimProgramWindow window;
    std::uint64_t delivered = 0;
    const int result = RunModal(window, [&] {
        const std::uint64_t before = Record(window, path);
        Page& page = CapturePage(window);
        {
            CFileSizeLimit limit(room);
            ASSERT_TRUE(limit.IsSet());
            Stream(6);
            delivered = m_program.SamplesDelivered() - before;
            ASSERT_TRUE(QTest::qWaitFor([&] { return !page.IsRecording(); }, 5000))
                << "still recording";
        }
        EXPECT_EQ(Boxes(),
                  std::vector<std::string>{"Recording stopped: writing " + path +
                                           " failed: File too large. Every byte written before the "
                                           "failure is kept."});
        ExpectStopped(page);
        window.close();
    });
    EXPECT_EQ(result, IDCANCEL);
    ASSERT_GT(delivered * CSimProgram::kSampleBytes, room) << "the limit was never reached";
    const std::string bytes = ReadWholeFile(path);
    ASSERT_EQ(bytes.size(), room) << "every byte that fitted stays";
    CTsPacketReader reader;
    reader.Read(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size() / 188);
    EXPECT_TRUE(reader.Errors().empty()) << reader.Errors().front();
    EXPECT_EQ(bytes[bytes.size() / 188 * 188], '\x47') << "the cut packet begins as a packet";
}

TEST_F(RecordingFaultsTest, AMissingFolderIsNamedAndNothingStartsUntilAPathThatWorks) {
    const std::string missing = m_program.File("no-such-folder/capture.ts");
    const std::string good = m_program.File("capture.ts");
    CSimProgramWindow window;
    std::uint64_t recorded = 0;
    const int result = RunModal(window, [&] {
        EnterTransponder(window);
        ASSERT_TRUE(LockTp(window, m_program.Clock()));
        Page& page = CapturePage(window);
        StartRecord(page, missing);
        EXPECT_EQ(Boxes(),
                  std::vector<std::string>{"Cannot create the record file " + missing +
                                           ": No such file or directory. Choose another folder or "
                                           "file name."});
        EXPECT_FALSE(page.IsRecording());
        EXPECT_FALSE(page.IsTimerRunning());
        EXPECT_EQ(page.Item<QLineEdit>(Page::kIdStatus)->text(), "") << "no recording ran";
        EXPECT_FALSE(std::filesystem::exists(m_program.File("no-such-folder")));

        // The user picks a place that works: that recording runs whole.
        m_program.Boxes().Clear();
        const std::uint64_t before = m_program.SamplesDelivered();
        StartRecord(page, good);
        ASSERT_TRUE(page.IsRecording()) << ::testing::PrintToString(Boxes());
        Stream(4);
        page.Item<QPushButton>(Page::kIdCancelRecord)->click();
        recorded = m_program.SamplesDelivered() - before;
        EXPECT_TRUE(Boxes().empty()) << ::testing::PrintToString(Boxes());
        ExpectStopped(page);
        window.close();
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_GT(recorded, 0u);
    ExpectRecordedSamples(good, recorded, true);
}

TEST_F(RecordingFaultsTest, AFileAnotherProgramHoldsIsRefusedAndLeftAsItWas) {
    // The other program holds the default record file before the program starts.
    const std::string path = m_program.File("Vantor-capture.ts");
    std::string theirs;
    for (int i = 0; i < 1000; ++i)
        theirs += "line " + std::to_string(i) + " of the other program's file\n";
    WriteWholeFile(path, theirs);
    COtherProgram other(path);
    ASSERT_TRUE(other.Holding());

    CSimProgramWindow window;
    const int result = RunModal(window, [&] {
        EXPECT_TRUE(Boxes().empty()) << "the start opens the default file silently";
        EXPECT_EQ(ReadWholeFile(path), theirs) << "the start must not empty it";
        EnterTransponder(window);
        ASSERT_TRUE(LockTp(window, m_program.Clock()));
        Page& page = CapturePage(window);
        EXPECT_EQ(page.FilePath(), path) << "the default record file";
        StartRecord(page, path);
        EXPECT_EQ(Boxes(), std::vector<std::string>{
                               "Cannot create the record file " + path +
                               ": the file is in use by another program. Choose another "
                               "folder or file name."});
        EXPECT_FALSE(page.IsRecording());
        EXPECT_FALSE(page.IsTimerRunning());
        Stream(4);  // what the card delivers now reaches no file
        window.close();
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(ReadWholeFile(path), theirs) << "nothing of the other program's file may change";
}

TEST_F(RecordingFaultsTest, PullingTheCardOutDuringARecordingClosesTheWindowAndKeepsEveryByte) {
    const std::string path = m_program.File("capture.ts");
    CSimProgramWindow window;
    std::uint64_t before = 0;
    const int result = RunModal(window, [&] {
        before = Record(window, path);
        Stream(2);
        // The card goes while it streams: time runs on one thread, the removal comes from another,
        // as the device watch's does.
        std::atomic<int> steps{0};
        std::thread time([&] {
            for (; steps < 20; ++steps) m_program.Clock().AdvanceMs(10);
        });
        std::thread removal([&] {
            while (steps < 5) std::this_thread::yield();
            m_program.Provider().RemoveCard(CSimProgram::kArden);
        });
        removal.join();
        time.join();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 5000))
            << "the window stays";
    });
    EXPECT_EQ(result, IDOK) << "a removal closes the window as OK";
    EXPECT_FALSE(window.MonitorRunning());
    const std::uint64_t delivered = m_program.SamplesDelivered() - before;
    EXPECT_GT(delivered, 0u);
    ExpectRecordedSamples(path, delivered, true);
    EXPECT_NE(m_program.TraceText().find("card removed"), std::string::npos);
    // Closing resets the scrambling code; the card is gone, so its driver refuses (as specified).
    // A poll that saw the lock just before the removal may ask for the carrier report after it.
    std::vector<std::string> boxes = Boxes();
    std::erase(boxes, "666don't support this interface");
    EXPECT_EQ(boxes, std::vector<std::string>{"555don't support this interface"});
}

TEST_F(RecordingFaultsTest, ClosingTheWindowDuringARecordingKeepsEveryByte) {
    const std::string path = m_program.File("capture.ts");
    CSimProgramWindow window;
    std::uint64_t before = 0;
    const int result = RunModal(window, [&] {
        before = Record(window, path);
        Stream(5);
        window.close();
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(window.MonitorRunning());
    const std::uint64_t delivered = m_program.SamplesDelivered() - before;
    EXPECT_GT(delivered, 0u);
    Stream(4);
    EXPECT_EQ(m_program.SamplesDelivered() - before, delivered)
        << "the released graph still streams";
    ExpectRecordedSamples(path, delivered, true);
    // Asked first, and answered Yes.
    EXPECT_EQ(Boxes(), std::vector<std::string>{CBDAUtilDlg::kStopRecordingAndQuit});
}

TEST_F(RecordingFaultsTest, ClosingTheWindowWhileLockTpHoldsTheDriverMutexEndsCleanly) {
    const std::string path = m_program.File("capture.ts");
    CSimProgramWindow window;
    std::uint64_t before = 0;
    bool heldByTuning = false;
    bool tuned = false;
    const int result = RunModal(window, [&] {
        before = Record(window, path);
        Stream(2);
        // A slow tune: while the card tunes, inside "Lock TP", the world goes on. The card keeps
        // streaming into the recording and the user presses the close box, whose event waits
        // for the busy user-interface thread.
        m_program.Card().Faults().DuringCommit([&] {
            tuned = true;
            std::thread world([&] {
                auto& driver = DefaultTunerSession().m_hDriverMutex;
                heldByTuning = !driver.try_lock();
                if (!heldByTuning) driver.unlock();
                m_program.Clock().AdvanceMs(100);
                QMetaObject::invokeMethod(
                    &window, [&window] { window.close(); }, Qt::QueuedConnection);
            });
            world.join();
        });
        TunerPage(window).Item<QPushButton>(CBdacontrolDlg::kIdLockTp)->click();
        m_program.Card().Faults().DuringCommit(nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 5000))
            << "the window stays";
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(tuned);
    EXPECT_TRUE(heldByTuning) << "the tune ran without the driver mutex";
    EXPECT_FALSE(window.MonitorRunning());
    ExpectRecordedSamples(path, m_program.SamplesDelivered() - before, false);
    EXPECT_NE(ReadWholeFile(m_program.File("VLK-TScap.ini")).find("freq=11362"), std::string::npos);
    EXPECT_EQ(Boxes(), std::vector<std::string>{CBDAUtilDlg::kStopRecordingAndQuit});
}

// The monitor's message box is up (it waits on the user-interface thread) when the window is
// told to close: by the close box, or by the card's removal.
class MonitorBoxTest : public RecordingFaultsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(MonitorBoxTest, ClosingWhileTheMonitorsBoxIsUpReleasesItAndKeepsEveryByte) {
    const bool removal = GetParam();
    const std::string path = m_program.File("capture.ts");
    CQtMessageBoxService boxes;
    IMessageBoxService* recorder = SetMessageBoxService(&boxes);
    CSimProgramWindow window;
    std::uint64_t before = 0;
    std::vector<QString> shown;
    bool monitorBoxSeen = false;
    bool monitorBoxLeft = false;
    // A user who reads every box: other boxes are answered, the monitor's is left up while the
    // window is told to close; if it is still up a while after that, the test gives up on it.
    QTimer user;
    QElapsedTimer sinceClose;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        if (box->text() == CBDAUtilDlg::kStopRecordingAndQuit) {
            shown.push_back(box->text());
            box->button(QMessageBox::Yes)->click();
            return;
        }
        const bool monitors = box->text() == "Get KSPROPERTY_BDA_GET_MEDIAINFO error";
        if (monitors && !monitorBoxSeen) {
            monitorBoxSeen = true;
            shown.push_back(box->text());
            m_program.Clock().AdvanceMs(100);  // the card streams on behind the box
            if (removal) {
                m_program.Provider().RemoveCard(CSimProgram::kArden);
            } else {
                // The close box's event comes through the loop, after this timer's turn, and the
                // question it asks is answered by the next turns.
                QMetaObject::invokeMethod(
                    &window, [&window] { window.close(); }, Qt::QueuedConnection);
            }
            sinceClose.start();
            return;
        }
        if (monitors) {
            if (sinceClose.elapsed() < 3000) return;
            monitorBoxLeft = true;
        } else {
            shown.push_back(box->text());
        }
        box->accept();
    });
    const int result = RunModal(window, [&] {
        before = Record(window, path);
        Stream(2);
        user.start(5);
        m_program.Card().Faults().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO,
                                            CSimFaults::Operation::Get, E_FAIL);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 10000))
            << "the window stays";
    });
    user.stop();
    SetMessageBoxService(recorder);
    EXPECT_EQ(result, removal ? IDOK : IDCANCEL);
    EXPECT_TRUE(monitorBoxSeen);
    EXPECT_FALSE(monitorBoxLeft) << "the monitor's box stayed up after the window was closed";
    EXPECT_FALSE(window.MonitorRunning());
    ExpectRecordedSamples(path, m_program.SamplesDelivered() - before, true);
    std::vector<QString> expected{"Get KSPROPERTY_BDA_GET_MEDIAINFO error"};
    expected.emplace_back(removal ? "555don't support this interface"
                                  : CBDAUtilDlg::kStopRecordingAndQuit);
    EXPECT_EQ(shown, expected);
}

INSTANTIATE_TEST_SUITE_P(CloseOrRemoval, MonitorBoxTest, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "CardRemoved" : "CloseBox"; });

}  // namespace
