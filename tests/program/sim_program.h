#pragma once
// The whole program in-process on the simulated card, for tests that run the main window as the
// program does (DoModal) and act on it as a user and the world would: the platform classes, the
// simulated cards on a manual clock (time moves only when a test advances it, so every sample the
// card delivers is known), the Arden card chosen as the program's device, and "drive C", the
// configuration folder and the program folder in one temporary folder, where the settings files
// and the record files lie. Message boxes are recorded. The sky is the Astra 19.2 E file alone.
#include <gtest/gtest.h>

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drivers/sim/sim_capture_output_pin.h"
#include "drivers/sim/sim_device_provider.h"
#include "drivers/sim/sim_test_rig.h"
#include "pages/shell/bda_util_dlg.h"
#include "support/hang_watchdog.h"
#include "support/message_box_recorder.h"
#include "support/modal_window.h"

class CCardTicks;
class QComboBox;
class CBdacontrolDlg;
class CModeDlg;
class CTransponderPage;
class CUtiVirtualDamonDlg;

// The main window with its monitor polling a hundred times faster, so a lock is seen at once.
class CSimProgramWindow : public CBDAUtilDlg {
public:
    void WaitOrStop(std::uint32_t milliseconds) override {
        CBDAUtilDlg::WaitOrStop(milliseconds / 100);
    }
};

class CSimProgram {
public:
    static constexpr std::size_t kArden = 0;
    static constexpr std::size_t kHeath = 2;  // the x-model card: DVB-S2X
    // Bytes of every sample the simulated capture filter delivers.
    static constexpr std::uint64_t kSampleBytes = CSimCaptureOutputPin::kSampleBytes;

    // `card` is the program's device (an index of the simulated cards).
    explicit CSimProgram(std::size_t card = kArden);
    ~CSimProgram();
    CSimProgram(const CSimProgram&) = delete;
    CSimProgram& operator=(const CSimProgram&) = delete;

    CSimDeviceProvider& Provider() { return *m_pProvider; }
    CSimCard& Card() { return m_pProvider->Card(m_nCard); }
    CSimClock& Clock() { return m_pProvider->Clock(); }
    CMessageBoxRecorder& Boxes() { return m_boxes; }
    // From now until the program ends, the program's tick count (GetTickCount) is the card's
    // clock in milliseconds, so what the program times follows the test's clock, and the workers
    // of windows made from now on do their periodic jobs on it.
    void DriveTicksByCardClock();
    // Moves the card's clock on (the workers that were due have done their jobs when it
    // returns), then lets the window handle what they posted.
    void Step(int milliseconds);
    // A file in the program folder, which is also "drive C".
    std::string File(const std::string& name) const { return m_environment.Folder().File(name); }
    std::string TraceText() const { return m_environment.TraceText(); }
    // The trace's lines holding `what` (the card's tunes by default) from byte `from` on.
    std::vector<std::string> TraceLinesSince(std::size_t from, const char* what = " tune ") const;

    // Samples that the card's capture filter has delivered into the window's graph so far. The
    // filter is taken from the graph at the first call, which must come while the graph exists;
    // it is kept, so the count stays readable after the window has released the graph.
    std::uint64_t SamplesDelivered();

private:
    const std::size_t m_nCard;
    CSimTestEnvironment m_environment{false};
    std::unique_ptr<CSimDeviceProvider> m_pProvider;
    CMessageBoxRecorder m_boxes;
    ComPtr<IBaseFilter> m_pCapture;
    std::shared_ptr<CCardTicks> m_pTicks;  // the program's clock while the card's drives it
};

// A test of the program on the simulated card; one that has not ended after a minute is a hang
// and ends the test program.
class SimProgramTest : public ::testing::Test {
protected:
    static std::string TestName() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        return std::string(test->test_suite_name()) + "." + test->name();
    }

    CHangWatchdog m_watchdog{TestName(), std::chrono::seconds(60)};
    CSimProgram m_program;
};

// Runs `window` with DoModal, as the program does, while `script` acts from inside its modal
// loop; returns what DoModal returned. The script must end the window: one still open 5 s after
// the script has returned fails the test and is cancelled.
int RunModal(CDialog& window, const std::function<void()>& script);

// The first page, "Tuner Setting", the second, "Capture Control", and the fourth,
// "Transponders" (the last two shown, so initialised).
CBdacontrolDlg& TunerPage(CBDAUtilDlg& window);
CUtiVirtualDamonDlg& CapturePage(CBDAUtilDlg& window);
CTransponderPage& TransponderPage(CBDAUtilDlg& window);

// The widget under `parent` that assistive technology knows by `name`; null when none is (the
// plot and other widgets of ours have no meta-object of their own to find them by).
QWidget* ChildNamed(const QWidget& parent, const QString& name);
// Moves a list's selection with the keyboard, as a user does (the list reports the change).
void Choose(QComboBox* list, int index);
// Types Astra 19.2 E 11362 H 22000 behind port B of a universal LNB into the Tuner Setting page.
void EnterTransponder(CBDAUtilDlg& window);
// Presses "Lock TP", lets simulated time pass the acquisition and waits until the monitor has
// published the lock; false when it has not within 5 s.
bool LockTp(CBDAUtilDlg& window, CSimClock& clock);
// Types the path into the Capture Control page and presses "Start Record".
void StartRecord(CUtiVirtualDamonDlg& page, const std::string& path);

// Opens "Select Mode Code" with "Set MODCODES" and runs `work` on it while it is up.
void WithModeDialog(CBDAUtilDlg& window, const std::function<void(CModeDlg&)>& work);
// Clicks on a check box's mark, as a user does.
void ClickCheckBox(CDialog& dialog, int id);

// The record file holds `samples` whole samples of the card: its size is exactly theirs and every
// 188-byte packet starts with the sync byte. `oneStream`: the samples are one stream without a
// gap, so no continuity counter of any PID jumps.
void ExpectRecordedSamples(const std::string& path, std::uint64_t samples, bool oneStream);
