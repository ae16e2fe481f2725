#include "program/sim_program.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
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

}  // namespace

// The program's ticks read from the card's clock; sleeping stays real, since the test advances the
// card's clock from the thread that would be put to sleep. A worker's wait ends when the card's
// time passes its end; Settle waits until every worker has done what was due or asked of it.
class CCardTicks final : public platform::Clock {
public:
    explicit CCardTicks(std::shared_ptr<CSimClock> card)
        : m_pCard(std::move(card)),
          m_nListener(m_pCard->AddListener([this](std::uint64_t now) { WakeDue(now); })) {}
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
        const auto due = [&] { return ready() || m_pCard->Now() >= end; };
        // Nothing to wait for: the thread goes on running, and Settle goes on waiting for it. Were
        // it marked as waiting first, a thread put aside by the scheduler right then would look
        // settled, and the test would move the time on while its job was still to run.
        if (due()) return ready();
        Update(waiter, [&](Waiting& waiting) {
            waiting.changed = &changed;
            waiting.end = end;
            waiting.running = false;
        });
        // The waiters' own locks are not taken by those who wake them (they hold them while they
        // note their waits here): a wake-up lost to a waiter that was about to block is made up
        // for by looking again now and then.
        while (true) {
            changed.wait_for(lock, kLookAgain);
            if (due()) break;
            // Looked at and nothing to do: whatever woke it is dealt with.
            Update(waiter, [](Waiting& waiting) { waiting.woken = false; });
        }
        const bool isReady = ready();
        // Awake, the thread runs what was due or asked of it; Settle waits for it.
        Update(waiter, [](Waiting& waiting) {
            waiting.end = kNever;
            waiting.running = true;
            waiting.woken = false;
        });
        return isReady;
    }
    void Woken(const platform::ClockWaiter& waiter) override {
        Update(waiter, [](Waiting& waiting) { waiting.woken = true; });
    }
    void Forget(const platform::ClockWaiter& waiter) override {
        {
            const std::lock_guard guard(m_lock);
            m_waiters.erase(&waiter);
        }
        m_settled.notify_all();
    }

    // Waits until every waiter waits again with an end still to come and nothing given it: what
    // was due by now, or asked of it, is done. A worker that takes longer than kLongestJob (one
    // stuck behind the test's thread) is given up on, so the test goes on.
    void Settle() {
        const std::uint64_t now = m_pCard->Now();
        std::unique_lock guard(m_lock);
        const auto settled = [&] {
            return std::all_of(m_waiters.begin(), m_waiters.end(), [&](const auto& entry) {
                const Waiting& waiting = entry.second;
                return !waiting.running && !waiting.woken && waiting.end > now;
            });
        };
        m_settled.wait_for(guard, kLongestJob, settled);
    }

private:
    static constexpr std::uint64_t kNever = ~std::uint64_t{0};
    static constexpr auto kLookAgain = std::chrono::milliseconds(5);
    static constexpr auto kLongestJob = std::chrono::seconds(2);

    struct Waiting {
        std::condition_variable* changed = nullptr;  // null before the first wait
        std::uint64_t end = kNever;
        bool running = false;  // awake, doing what it woke for
        bool woken = false;    // given something to do, not yet looked at
    };

    template <typename Change>
    void Update(const platform::ClockWaiter& waiter, Change change) {
        {
            const std::lock_guard guard(m_lock);
            change(m_waiters[&waiter]);
        }
        m_settled.notify_all();
    }
    // On the advancing thread, which holds the card clock's listener lock: it only wakes.
    void WakeDue(std::uint64_t now) {
        const std::lock_guard guard(m_lock);
        for (const auto& [waiter, waiting] : m_waiters) {
            if (!waiting.running && waiting.end <= now && waiting.changed != nullptr)
                waiting.changed->notify_all();
        }
    }

    const std::shared_ptr<CSimClock> m_pCard;
    const CSimClock::ListenerId m_nListener;
    std::mutex m_lock;
    std::condition_variable m_settled;
    std::map<const platform::ClockWaiter*, Waiting> m_waiters;
};

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
    m_pTicks = std::make_shared<CCardTicks>(Card().SharedClock());
    platform::SetClock(m_pTicks);
}

std::vector<std::string> CSimProgram::TraceLinesSince(std::size_t from, const char* what) const {
    std::vector<std::string> found;
    std::istringstream lines(TraceText().substr(from));
    for (std::string line; std::getline(lines, line);) {
        if (line.find(what) != std::string::npos) found.push_back(line);
    }
    return found;
}

void CSimProgram::Step(int milliseconds) {
    Clock().AdvanceMs(static_cast<std::uint64_t>(milliseconds));
    if (m_pTicks) m_pTicks->Settle();
    QCoreApplication::processEvents();
}

CSimProgram::~CSimProgram() {
    platform::SetClock(nullptr);
    m_pTicks.reset();
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

QWidget* ChildNamed(const QWidget& parent, const QString& name) {
    for (QWidget* child : parent.findChildren<QWidget*>())
        if (child->accessibleName() == name) return child;
    return nullptr;
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
