#include "program/sim_program.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "core/process_globals.h"
#include "drivers/sim/sim_capture_filter.h"
#include "drivers/sim/ts_packet_reader.h"
#include "graph/tuner_session.h"
#include "pages/record/uti_virtual_damon_dlg.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "pages/settings/mode_dlg.h"
#include "pages/transponders/transponder_page.h"
#include "platform/ui/qt/property_sheet.h"
#include "platform/win/system_clock.h"

namespace {

constexpr int kCloseLimitMs = 5000;

SimOptions Noiseless() {
    SimOptions options;
    options.noise = 0;
    return options;
}

// The program's ticks read from the card's clock; sleeping stays real, since the test advances the
// card's clock from the thread that would be put to sleep. A worker's wait ends when the card's
// time passes its end, and an advance returns once every worker it woke has run its job and waits
// again (as the card's streaming threads catch up), so a test sees what was due at once.
class CCardTicks final : public platform::Clock {
public:
    explicit CCardTicks(std::shared_ptr<CSimClock> card)
        : m_pCard(std::move(card)),
          m_nListener(m_pCard->AddListener([this](std::uint64_t now) { OnAdvance(now); })) {}
    ~CCardTicks() override { m_pCard->RemoveListener(m_nListener); }
    CCardTicks(const CCardTicks&) = delete;
    CCardTicks& operator=(const CCardTicks&) = delete;

    std::uint64_t Milliseconds() override { return m_pCard->Now() / CSimClock::kTicksPerMs; }
    void SleepFor(DWORD milliseconds) override { platform::SystemClock()->SleepFor(milliseconds); }

    bool WaitFor(platform::ClockWaiter& waiter, std::unique_lock<std::mutex>& lock,
                 std::condition_variable& changed, DWORD milliseconds,
                 const std::function<bool()>& ready) override {
        const std::uint64_t end = milliseconds == INFINITE
                                      ? kNever
                                      : m_pCard->Now() + milliseconds * CSimClock::kTicksPerMs;
        Note(waiter, {&changed, end, false});
        changed.wait(lock, [&] { return ready() || m_pCard->Now() >= end; });
        const bool isReady = ready();
        // Awake, the thread runs what was due or asked of it: an advance waits for it.
        Note(waiter, {&changed, kNever, true});
        return isReady;
    }
    void Forget(const platform::ClockWaiter& waiter) override {
        {
            const std::lock_guard guard(m_lock);
            m_waiters.erase(&waiter);
        }
        m_settled.notify_all();
    }

private:
    static constexpr std::uint64_t kNever = ~std::uint64_t{0};
    // How long an advance waits at most for a worker to run its job; a job stuck behind the test's
    // own thread must not hang the test.
    static constexpr auto kLongestJob = std::chrono::seconds(2);

    struct Waiting {
        std::condition_variable* changed;
        std::uint64_t end;
        bool running;
    };

    void Note(const platform::ClockWaiter& waiter, Waiting waiting) {
        {
            const std::lock_guard guard(m_lock);
            m_waiters[&waiter] = waiting;
        }
        m_settled.notify_all();
    }
    // On the advancing thread. The waiters' own locks are not taken (they hold them while they
    // note their waits here): a wake-up lost to a waiter that was about to block is sent again.
    void OnAdvance(std::uint64_t now) {
        std::unique_lock guard(m_lock);
        const auto settled = [&] {
            bool all = true;
            for (const auto& [waiter, waiting] : m_waiters) {
                if (!waiting.running && waiting.end > now) continue;
                all = false;
                if (!waiting.running) waiting.changed->notify_all();
            }
            return all;
        };
        const auto giveUp = std::chrono::steady_clock::now() + kLongestJob;
        while (!settled() && std::chrono::steady_clock::now() < giveUp)
            m_settled.wait_for(guard, std::chrono::milliseconds(1));
    }

    const std::shared_ptr<CSimClock> m_pCard;
    const CSimClock::ListenerId m_nListener;
    std::mutex m_lock;
    std::condition_variable m_settled;
    std::map<const platform::ClockWaiter*, Waiting> m_waiters;
};

}  // namespace

CSimProgram::CSimProgram(std::size_t card) : m_nCard(card) {
    const std::string transponders = File("Transponders");
    std::filesystem::create_directories(transponders);
    std::filesystem::copy_file(BuildTranspondersFolder() + "/Astra-19.2E.ini",
                               transponders + "/Astra-19.2E.ini");
    m_pProvider = std::make_unique<CSimDeviceProvider>(Noiseless(), CSimClock::Mode::Manual,
                                                       CSimSky::Load(transponders));
    // Read to the end now: satellite files that a test writes from here on are not in the sky.
    m_pProvider->Sky().Carriers();

    const std::wstring_view name = Card().Profile().friendlyName;
    // No real card is published before the simulated ones here.
    DefaultTunerSession().CloseTuner();
    DefaultTunerSession().SelectDevice(static_cast<int>(card),
                                       std::string(name.begin(), name.end()));
    g_strWorkDir = m_environment.Folder().Path();
}

void CSimProgram::DriveTicksByCardClock() {
    platform::SetClock(std::make_shared<CCardTicks>(Card().SharedClock()));
}

void CSimProgram::Step(int milliseconds) {
    Clock().AdvanceMs(static_cast<std::uint64_t>(milliseconds));
    QCoreApplication::processEvents();
}

CSimProgram::~CSimProgram() {
    platform::SetClock(nullptr);
    // A window that a failed test left behind must not hand its graph or file to the next test.
    DefaultTunerSession().CloseTuner();
    m_pCapture = nullptr;
    m_pProvider.reset();
}

std::uint64_t CSimProgram::SamplesDelivered() {
    // The one look into the graph: the simulated capture filter counts what it delivered.
    if (!m_pCapture) m_pCapture = DefaultTunerSession().m_BDAGraph.m_pReceiverDevice;
    const auto* capture = dynamic_cast<CSimCaptureFilter*>(m_pCapture.Get());
    EXPECT_NE(capture, nullptr) << "no simulated capture filter in the graph";
    return capture != nullptr ? capture->OutputPin()->SamplesDelivered() : 0;
}

int RunModal(CDialog& window, const std::function<void()>& script) {
    QTimer::singleShot(0, &window, [&window, &script] {
        script();
        QTimer::singleShot(kCloseLimitMs, &window, [&window] {
            if (!window.isVisible()) return;
            ADD_FAILURE() << "the window is still open " << kCloseLimitMs << " ms after the script";
            window.EndDialog(IDCANCEL);
        });
    });
    return window.DoModal();
}

CBdacontrolDlg& TunerPage(CBDAUtilDlg& window) {
    return *window.TunerPage();
}

CTransponderPage& TransponderPage(CBDAUtilDlg& window) {
    window.Sheet()->setCurrentIndex(3);
    auto* page = dynamic_cast<CTransponderPage*>(window.Sheet()->widget(3));
    EXPECT_NE(page, nullptr);
    return *page;
}

CUtiVirtualDamonDlg& CapturePage(CBDAUtilDlg& window) {
    window.Sheet()->setCurrentIndex(1);
    auto* page = dynamic_cast<CUtiVirtualDamonDlg*>(window.Sheet()->widget(1));
    EXPECT_NE(page, nullptr);
    return *page;
}

void Choose(QComboBox* list, int index) {
    list->setFocus();
    if (list->currentIndex() < 0) QTest::keyClick(list, Qt::Key_Home);
    while (list->currentIndex() < index) QTest::keyClick(list, Qt::Key_Down);
    while (list->currentIndex() > index) QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(list->currentIndex(), index);
}

void EnterTransponder(CBDAUtilDlg& window) {
    CBdacontrolDlg& page = TunerPage(window);
    const std::pair<int, const char*> fields[] = {
        {CBdacontrolDlg::kIdLnbLow, "9750"},      {CBdacontrolDlg::kIdLnbHigh, "10600"},
        {CBdacontrolDlg::kIdLnbSwitch, "11700"},  {CBdacontrolDlg::kIdFrequency, "11362"},
        {CBdacontrolDlg::kIdSymbolRate, "22000"},
    };
    for (const auto& [id, text] : fields) {
        auto* field = page.Item<QLineEdit>(id);
        field->clear();
        QTest::keyClicks(field, text);
    }
    Choose(page.Item<QComboBox>(CBdacontrolDlg::kIdPolarity), 0);  // Horizontal
    Choose(page.Item<QComboBox>(CBdacontrolDlg::kIdDiseqc), 2);    // Diseqc B: the 19.2 E dish
}

bool LockTp(CBDAUtilDlg& window, CSimClock& clock) {
    TunerPage(window).Item<QPushButton>(CBdacontrolDlg::kIdLockTp)->click();
    clock.AdvanceMs(400);  // the card locks 300 ms after the tune
    return QTest::qWaitFor([] { return DefaultTunerSession().IsSignalLocked(); }, 5000);
}

void StartRecord(CUtiVirtualDamonDlg& page, const std::string& path) {
    auto* field = page.Item<QLineEdit>(CUtiVirtualDamonDlg::kIdFilePath);
    field->clear();
    QTest::keyClicks(field, QString::fromStdString(path));
    page.Item<QPushButton>(CUtiVirtualDamonDlg::kIdStartRecord)->click();
}

void WithModeDialog(CBDAUtilDlg& window, const std::function<void(CModeDlg&)>& work) {
    bool worked = false;
    QTimer::singleShot(0, &window, [&] {
        auto* dialog = dynamic_cast<CModeDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            ADD_FAILURE() << "\"Select Mode Code\" is not up";
            return;
        }
        worked = true;
        work(*dialog);
        if (dialog->isVisible()) dialog->EndDialog(IDCANCEL);
    });
    TunerPage(window).Item<QPushButton>(CBdacontrolDlg::kIdSetModCodes)->click();
    EXPECT_TRUE(worked);
}

void ClickCheckBox(CDialog& dialog, int id) {
    auto* box = dialog.Item<QCheckBox>(id);
    ASSERT_NE(box, nullptr) << id;
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

void ExpectRecordedSamples(const std::string& path, std::uint64_t samples, bool oneStream) {
    // Read whole at once: a byte at a time, tens of megabytes take minutes under a sanitizer.
    const std::string text = ReadWholeFile(path);
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    ASSERT_EQ(bytes.size(), samples * CSimProgram::kSampleBytes)
        << samples << " samples of " << CSimProgram::kSampleBytes << " bytes were delivered";
    std::uint64_t badSync = 0;
    for (std::size_t at = 0; at < bytes.size(); at += 188) {
        if (bytes[at] != 0x47) ++badSync;
    }
    EXPECT_EQ(badSync, 0u) << "packets without the sync byte";
    if (!oneStream) return;
    CTsPacketReader reader;
    reader.Read(bytes.data(), bytes.size() / 188);
    EXPECT_TRUE(reader.Errors().empty()) << "a gap in the stream: " << reader.Errors().front();
}
