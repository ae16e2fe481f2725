// Load test A: "Lock TP" ten thousand times on the whole main window (CBDAUtilDlg with its pages)
// over the simulated card, alternating a transponder that locks (11362 MHz H, 22000 kSps, DVB-S2
// 8PSK 2/3 at 19.2 E) and a frequency where there is no carrier (11332 MHz H), while the signal
// monitor polls at the program's own pace and a recording started on "Capture Control" runs all
// the time. Built with ThreadSanitizer it must end without a report.
//
// The card's clock is manual and moved by a thread of the test (CSimClockDriver) in 10 ms steps,
// up to 325 ms past each tune: the card's 300 ms acquisition plus a little stream, so the
// streaming thread delivers while the next "Lock TP" runs. Nothing in the program is made faster:
// a cycle costs what the handler, the driver calls, the settings file writes and the simulated
// time's steps cost. The user-interface thread never sleeps in a cycle; it serves its events
// (the monitor's display writes, the recording page's 100 ms timer) while it waits for the card.
//
// At the end: the lock flag and the window follow the last cycle and a closing one, the recording
// is still going, and the record file holds exactly the samples the card delivered since the
// start of the recording, in whole 188-byte packets with the sync byte 0x47.
//
// Usage: load_lock_tp [--cycles=N] (default 10000) [GoogleTest flags]
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "drivers/sim/sim_capture_filter.h"
#include "drivers/sim/sim_capture_output_pin.h"
#include "drivers/sim/sim_device_provider.h"
#include "graph/tuner_session.h"
#include "load/load_options.h"
#include "load/load_test_environment.h"
#include "load/sim_clock_driver.h"
#include "pages/record/uti_virtual_damon_dlg.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "pages/shell/bda_util_dlg.h"
#include "platform/ui/qt/accessibility.h"
#include "platform/ui/qt/property_sheet.h"
#include "record/recording.h"
#include "sink/record_file.h"
#include "status/signal_monitor.h"
#include "support/debug_output_capture.h"

namespace {

using Clock = std::chrono::steady_clock;

std::uint64_t g_nCycles = 10000;

constexpr const char* kLockingFrequency = "11362";
constexpr const char* kEmptyFrequency = "11332";  // 19.2 E has nothing within 29 MHz of it
constexpr std::uint64_t kStepTicks = 10 * CSimClock::kTicksPerMs;
constexpr std::uint64_t kCycleTicks = CSimCard::kAcquisitionTicks + 25 * CSimClock::kTicksPerMs;
constexpr std::uint64_t kSampleBytes = CSimCaptureOutputPin::kSampleBytes;
constexpr std::uint64_t kReportEvery = 1000;
// Real time without progress after which the test gives up: a deadlock, or a wait that never
// ends. Far beyond a cycle's cost, also under ThreadSanitizer.
constexpr auto kStallLimit = std::chrono::seconds(120);

// The main window, counting the monitor's polls by what they showed.
class CLoadMainWindow : public CBDAUtilDlg {
public:
    // Counted after the display write is queued, so that a test which sees the count and then
    // serves its events finds the write done.
    void ShowSignal(const SignalReading& reading) override {
        CBDAUtilDlg::ShowSignal(reading);
        (reading.locked == 1 ? m_nLockedPolls : m_nUnlockedPolls).fetch_add(1);
    }
    std::uint64_t Polls() const { return m_nLockedPolls.load() + m_nUnlockedPolls.load(); }

    std::atomic<std::uint64_t> m_nLockedPolls{0};
    std::atomic<std::uint64_t> m_nUnlockedPolls{0};
};

// Ends the process when the test stops making progress, so that a deadlock fails the run
// instead of hanging it.
class CStallWatchdog {
public:
    CStallWatchdog() : m_thread([this] { Watch(); }) {}
    ~CStallWatchdog() {
        {
            std::lock_guard guard(m_lock);
            m_bStop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    void Progress(std::uint64_t cycle) { m_nCycle.store(cycle); }

private:
    void Watch() {
        std::unique_lock guard(m_lock);
        std::uint64_t seen = ~std::uint64_t{0};
        while (!m_changed.wait_for(guard, kStallLimit, [this] { return m_bStop; })) {
            const std::uint64_t now = m_nCycle.load();
            if (now == seen) {
                std::fprintf(stderr, "no progress for %lld s at cycle %llu: deadlock\n",
                             static_cast<long long>(kStallLimit.count()),
                             static_cast<unsigned long long>(now));
                std::abort();
            }
            seen = now;
        }
    }

    std::atomic<std::uint64_t> m_nCycle{0};
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bStop = false;
    std::thread m_thread;
};

// Serves the user-interface thread's events until `done` holds; false after kStallLimit.
template <typename Predicate>
bool ServeEventsUntil(Predicate done) {
    const auto deadline = Clock::now() + kStallLimit;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (done()) return true;
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

std::string Narrow(std::wstring_view text) {
    return std::string(text.begin(), text.end());
}

// Whole packets with the sync byte in front of each; the count of bad ones.
std::uint64_t BadPacketStarts(const std::string& path, std::uint64_t& size) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(std::size_t{188} * 348 * 16);
    std::uint64_t bad = 0;
    size = 0;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        for (std::size_t i = 0; i < got; i += 188) {
            if (static_cast<std::uint8_t>(buffer[i]) != 0x47) ++bad;
        }
        size += got;
    }
    return bad;
}

class LockTpLoad : public ::testing::Test {
protected:
    void SetUp() override {
        WriteWholeFile(
            m_environment.ProgramFile("VLK-TScap.ini"),
            "[Config]\npolarity=0\ndiseqc=2\ngoldcode=0\ngoldtype=0\nfreq=11362\nsymbol=22000\n"
            "lnblow=9750\nlnbhigh=10600\nlnbswitch=11700\n");
        // The main window's pages work on the process's default session.
        Session().SelectDevice(0, Narrow(m_provider.Card(0).Profile().friendlyName));
        // The recording page reports each tick to the debugger output: count the ticks instead
        // of printing ten lines a second.
        m_pDebug = std::make_unique<CDebugOutputCapture>([this](std::string_view text) {
            if (text.starts_with("Recording... ")) m_nRecordTicks.fetch_add(1);
        });
    }
    void TearDown() override { m_pDebug.reset(); }

    static CTunerSession& Session() { return DefaultTunerSession(); }
    CSimCard& Card() { return m_provider.Card(0); }
    std::uint64_t Delivered() const {
        return dynamic_cast<CSimCaptureFilter*>(Session().m_BDAGraph.m_pReceiverDevice.Get())
            ->OutputPin()
            ->SamplesDelivered();
    }

    // One "Lock TP" through the page's button, then simulated time until the card has locked or
    // (on the empty frequency) has had its chance to.
    ::testing::AssertionResult Cycle(CSimClockDriver& clock, bool locking) {
        m_pFrequency->setText(locking ? kLockingFrequency : kEmptyFrequency);
        m_pLockTp->click();
        // The tune was made before this reading of the clock, so the card decides by its target.
        clock.RunUntil(m_provider.Clock().Now() + kCycleTicks);
        const bool settled =
            ServeEventsUntil([&] { return (locking && Card().IsLocked()) || clock.Idle(); });
        if (!settled) return ::testing::AssertionFailure() << "the card's clock stalled";
        if (Card().IsLocked() != locking) {
            return ::testing::AssertionFailure() << (locking ? "no lock on " : "a lock on ")
                                                 << (locking ? kLockingFrequency : kEmptyFrequency);
        }
        if (!m_pLockTp->isEnabled())
            return ::testing::AssertionFailure() << "\"Lock TP\" stayed disabled";
        return ::testing::AssertionSuccess();
    }

    // Waits for two more polls of the monitor, so that one began after the last change.
    bool WaitForFreshPolls(const CLoadMainWindow& window) {
        const std::uint64_t polls = window.Polls();
        return ServeEventsUntil([&] { return window.Polls() >= polls + 2; });
    }

    CLoadTestEnvironment m_environment;
    CSimDeviceProvider m_provider{SimOptions{}, CSimClock::Mode::Manual,
                                  CSimSky::Load(CLoadTestEnvironment::BuildTranspondersFolder())};
    QLineEdit* m_pFrequency = nullptr;
    QPushButton* m_pLockTp = nullptr;
    std::atomic<std::uint64_t> m_nRecordTicks{0};
    std::unique_ptr<CDebugOutputCapture> m_pDebug;
};

TEST_F(LockTpLoad, LockTpCyclesWithTheMonitorPollingAndARecordingRunning) {
    const auto testStart = Clock::now();
    if (!m_environment.ProgramFolderInMemory()) {
        std::printf(
            "no /dev/shm: the settings file is on disk, and its writes will dominate each cycle\n");
    }
    CLoadMainWindow window;
    window.Create();
    ASSERT_NE(Session().TunerModel(), 0) << "the simulated card is a supported model";
    ASSERT_TRUE(Session().HasDriverControl());
    ASSERT_NE(dynamic_cast<CSimCaptureFilter*>(Session().m_BDAGraph.m_pReceiverDevice.Get()),
              nullptr);
    CBdacontrolDlg* tunerPage = window.TunerPage();
    m_pFrequency = tunerPage->Item<QLineEdit>(CBdacontrolDlg::kIdFrequency);
    m_pLockTp = tunerPage->Item<QPushButton>(CBdacontrolDlg::kIdLockTp);
    CSimClockDriver clock(m_provider.Clock(), kStepTicks);
    CStallWatchdog watchdog;

    // Lock, let the monitor see it, then start recording on "Capture Control" with a size limit
    // that the run never reaches.
    ASSERT_TRUE(Cycle(clock, true));
    ASSERT_TRUE(ServeEventsUntil([] { return Session().IsSignalLocked(); }));
    ASSERT_TRUE(ServeEventsUntil([&] { return clock.Idle(); }));
    window.Sheet()->setCurrentIndex(1);
    auto* capturePage = dynamic_cast<CUtiVirtualDamonDlg*>(window.Sheet()->widget(1));
    ASSERT_NE(capturePage, nullptr);
    const std::string recordPath = m_environment.File("load-record.ts");
    capturePage->Item<QLineEdit>(CUtiVirtualDamonDlg::kIdFilePath)
        ->setText(QString::fromStdString(recordPath));
    capturePage->Item<QLineEdit>(CUtiVirtualDamonDlg::kIdSizeLimit)->setText("800000");
    const std::uint64_t deliveredBefore = Delivered();
    capturePage->Item<QPushButton>(CUtiVirtualDamonDlg::kIdStartRecord)->click();
    ASSERT_TRUE(capturePage->IsRecording())
        << ::testing::PrintToString(m_environment.Boxes().Texts());
    window.Sheet()->setCurrentIndex(0);

    // The cycles: the first goes to the empty frequency, so an even count ends locked.
    const std::uint64_t pollsBefore = window.Polls();
    const std::uint64_t lockedPollsBefore = window.m_nLockedPolls.load();
    const auto loopStart = Clock::now();
    for (std::uint64_t cycle = 1; cycle <= g_nCycles; ++cycle) {
        ASSERT_TRUE(Cycle(clock, cycle % 2 == 0)) << "cycle " << cycle;
        watchdog.Progress(cycle);
        if (cycle % kReportEvery == 0) {
            const double elapsed = Seconds(Clock::now() - loopStart);
            std::printf("  %llu cycles in %.1f s (%.1f/s), %llu monitor polls, record %.1f MB\n",
                        static_cast<unsigned long long>(cycle), elapsed,
                        static_cast<double>(cycle) / elapsed,
                        static_cast<unsigned long long>(window.Polls() - pollsBefore),
                        static_cast<double>(Session().m_Record.m_RecordFile.BytesWritten()) / 1e6);
            std::fflush(stdout);
        }
    }
    const double loopSeconds = Seconds(Clock::now() - loopStart);
    const std::uint64_t loopPolls = window.Polls() - pollsBefore;
    const std::uint64_t loopLockedPolls = window.m_nLockedPolls.load() - lockedPollsBefore;

    // The lock flag and the window follow the last cycle, and a closing one the other way.
    const bool lastLocked = g_nCycles % 2 == 0;
    ASSERT_TRUE(ServeEventsUntil([&] { return clock.Idle(); }));
    ASSERT_TRUE(WaitForFreshPolls(window));
    EXPECT_EQ(Session().IsSignalLocked(), lastLocked);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Item<QLineEdit>(CBDAUtilDlg::kIdLockText)->text(),
              lastLocked ? "LOCKED" : "UNLOCKED");
    ASSERT_TRUE(Cycle(clock, !lastLocked)) << "closing cycle";
    ASSERT_TRUE(ServeEventsUntil([&] { return clock.Idle(); }));
    ASSERT_TRUE(WaitForFreshPolls(window));
    EXPECT_EQ(Session().IsSignalLocked(), !lastLocked);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Item<QLineEdit>(CBDAUtilDlg::kIdLockText)->text(),
              lastLocked ? "UNLOCKED" : "LOCKED");

    // The recording is still going and has every sample delivered since it started.
    EXPECT_TRUE(capturePage->IsRecording());
    EXPECT_TRUE(capturePage->IsTimerRunning());
    EXPECT_TRUE(capturePage->Item<QLineEdit>(CUtiVirtualDamonDlg::kIdStatus)
                    ->text()
                    .startsWith("Recording... "));
    EXPECT_TRUE(Session().m_Record.m_RecordFile.IsOpen());
    EXPECT_EQ(GetRecordWriteError(Session()), 0);
    EXPECT_GT(m_nRecordTicks.load(), 0u) << "the recording page's timer ticked";
    const std::uint64_t samples = Delivered() - deliveredBefore;
    EXPECT_GT(samples, 0u);
    EXPECT_EQ(Session().m_Record.m_RecordFile.BytesWritten(), samples * kSampleBytes);
    EXPECT_EQ(std::filesystem::file_size(recordPath), samples * kSampleBytes);

    window.Sheet()->setCurrentIndex(1);
    capturePage->Item<QPushButton>(CUtiVirtualDamonDlg::kIdCancelRecord)->click();
    EXPECT_EQ(capturePage->Item<QLineEdit>(CUtiVirtualDamonDlg::kIdStatus)->text(),
              "Record Stopped!");
    std::uint64_t fileSize = 0;
    EXPECT_EQ(BadPacketStarts(recordPath, fileSize), 0u) << "every 188th byte is a sync byte";
    EXPECT_EQ(fileSize, samples * kSampleBytes);
    EXPECT_EQ(fileSize % 188, 0u);

    window.DestroyWindow();
    EXPECT_FALSE(window.MonitorRunning());
    EXPECT_TRUE(m_environment.Boxes().Texts().empty())
        << ::testing::PrintToString(m_environment.Boxes().Texts());

    std::printf(
        "lock TP: %llu cycles in %.1f s: %.1f cycles/s; %llu clock steps; monitor polled %llu "
        "times "
        "during the cycles (%llu locked); record %llu bytes (%llu samples), whole packets; %llu "
        "recording ticks\n",
        static_cast<unsigned long long>(g_nCycles), loopSeconds,
        static_cast<double>(g_nCycles) / loopSeconds,
        static_cast<unsigned long long>(clock.Steps()), static_cast<unsigned long long>(loopPolls),
        static_cast<unsigned long long>(loopLockedPolls), static_cast<unsigned long long>(fileSize),
        static_cast<unsigned long long>(samples),
        static_cast<unsigned long long>(m_nRecordTicks.load()));
    std::printf("lock TP: whole test %.1f s\n", Seconds(Clock::now() - testStart));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    InstallAccessibility();
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (const auto cycles = CountOption(argv[i], "cycles")) {
            g_nCycles = *cycles;
        } else {
            std::fprintf(stderr, "usage: %s [--cycles=N] [GoogleTest flags]\n", argv[0]);
            return 2;
        }
    }
    return RUN_ALL_TESTS();
}
