#include "pages/record/uti_virtual_damon_dlg.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "drivers/linuxdvb/dvb_errors.h"
#include "graph/bda_graph.h"
#include "graph/tuner_session.h"
#include "platform/media/media_types.h"
#include "platform/media/wait_until.h"
#include "platform/win/known_folders.h"
#include "record/record_texts.h"
#include "record/recording.h"
#include "record/test_dvr.h"
#include "sink/dest_filter.h"
#include "sink/dump_input_pin.h"
#include "sink/record_file.h"
#include "support/debug_output_capture.h"
#include "support/folder_roots.h"
#include "support/message_box_recorder.h"
#include "support/modal_window.h"
#include "support/page_host.h"
#include "support/recording_graph.h"
#include "support/screenshot.h"
#include "support/temp_folder.h"
#include "support/test_source_filter.h"

namespace {

// The page's control ids read as Dlg::kIdStatus and so on.
using Dlg = CUtiVirtualDamonDlg;

// What the Linux capture filter reads at a time: 348 packets.
constexpr LONG kSampleSize = 188 * 348;
constexpr const char* kPositivePrompt = "请输入一个正整数。";
constexpr const char* kTimeRangePrompt = "请输入一个在 1 和 65535 之间的整数。";
constexpr const char* kSizeRangePrompt = "请输入一个在 50 和 800000 之间的整数。";

// Byte `offset` of the stream's sample `index`: a lost, doubled or misplaced piece shows.
BYTE SampleByte(std::uint64_t index, LONG offset) {
    return static_cast<BYTE>(index * 7 + static_cast<std::uint64_t>(offset));
}

// The page on a graph of a sample source, the infinite pin tee and the real sink in the default
// session's graph, as the tuner graph holds them; "drive C" is a temporary folder, message boxes
// are recorded and the tuner is locked unless a test says otherwise.
class CaptureControlPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_roots::SetDriveCRoot(m_folder.Path());
        Session().CloseTuner();
        MakeRecordingGraph(Session());
        Session().m_bSignalLocked = 1;
    }
    void TearDown() override {
        m_pHost.reset();  // deletes the page
        m_pPage = nullptr;
        Session().CloseTuner();
        test_roots::SetDriveCRoot("");
    }

    static CTunerSession& Session() { return DefaultTunerSession(); }

    // Each time the graph runs, the source hands on exactly the bytes asked for in m_nRequested,
    // then idles on empty samples until more is asked for or the graph stops.
    void BuildGraph() {
        m_pSource = new CTestSourceFilter(
            media::TransportStreamType(), 4, kSampleSize,
            [this, given = std::uint64_t{0}](BYTE* buffer, LONG, std::uint64_t index) mutable {
                if (index == 0) given = 0;
                const std::uint64_t wanted = m_nRequested.load();
                if (given >= wanted) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    return LONG{0};
                }
                // A piece never spans two of the stream's samples, so each byte tells its place.
                const std::uint64_t sample = given / kSampleSize;
                const auto offset = static_cast<LONG>(given % kSampleSize);
                const auto length = static_cast<LONG>(
                    std::min<std::uint64_t>(kSampleSize - offset, wanted - given));
                for (LONG k = 0; k < length; ++k) buffer[k] = SampleByte(sample, offset + k);
                given += static_cast<std::uint64_t>(length);
                return length;
            });
        ASSERT_TRUE(ConnectSourceThroughTeeToSink(Session(), m_pSource.Get()));
    }

    // The page inside a dialog that stands in for the main window, opened as the sheet opens
    // it, after the Tuner Setting page has opened the default record file.
    CUtiVirtualDamonDlg& Open() {
        BuildGraph();
        OpenRecordFile(Session(), platform::MapDriveCPath("c:\\Vantor-capture.ts"));
        m_pPage = OpenPageInHost<CUtiVirtualDamonDlg>(m_pHost);
        return *m_pPage;
    }

    template <typename T>
    T* Item(int id) const {
        return PageItem<T>(m_pPage, id);
    }
    QString Text(int id) const { return Item<QLineEdit>(id)->text(); }
    void SetText(int id, const QString& text) { Item<QLineEdit>(id)->setText(text); }
    void Click(int id) { QTest::mouseClick(Item<QAbstractButton>(id), Qt::LeftButton); }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) m_pPage->OnTimer(Dlg::kRecordTimer);
    }
    int Progress() const { return Item<QProgressBar>(Dlg::kIdProgress)->value(); }
    // "Browse...", with its save-as dialog answered as a user would: the file chosen, or Cancel
    // without one. False when no dialog came up.
    bool Browse(const std::optional<std::string>& chosen) {
        return WithModalWindow([&] { Click(Dlg::kIdBrowse); },
                               [&](QWidget& asked) { AnswerFileDialog(asked, chosen); });
    }

    // Starts a recording into the file `name` of the temporary folder, or into `name` itself
    // when it is an absolute path; expects no message. The source hands on nothing until
    // SetRecorded asks for it.
    void StartInto(const std::string& name) {
        m_nRequested = 0;
        const std::string path = name.front() == '/' ? name : m_folder.File(name);
        SetText(Dlg::kIdFilePath, QString::fromStdString(path));
        Click(Dlg::kIdStartRecord);
        ASSERT_TRUE(m_pPage->IsRecording());
        ASSERT_TRUE(m_boxes.Texts().empty()) << m_boxes.Texts().front();
    }
    // Has the source hand on bytes until the running recording holds `kbytes` KB, and waits
    // until they are written.
    void SetRecorded(std::uint64_t kbytes) {
        const std::uint64_t bytes = kbytes * 1024;
        m_nRequested = bytes;
        const CRecordFile& file = Session().m_Record.m_RecordFile;
        ASSERT_TRUE(WaitUntil([&] { return file.BytesWritten() >= bytes; })) << kbytes << " KB";
    }
    static bool GraphStopped() { return Session().m_BDAGraph.m_pSinkFilter->IsStopped(); }
    // Idle: no recording and no timer.
    void ExpectIdle() const {
        EXPECT_FALSE(m_pPage->IsRecording());
        EXPECT_FALSE(m_pPage->IsTimerRunning());
        EXPECT_EQ(m_pPage->Ticks(), 0u);
    }
    // Idle after a recording: also the graph stopped and no record file open, as a cancel
    // leaves them.
    void ExpectStopped() const {
        ExpectIdle();
        EXPECT_FALSE(Session().m_Record.m_bRecordFileOpen);
        EXPECT_TRUE(GraphStopped());
    }

    // Declared before the source, whose thread reads it.
    std::atomic<std::uint64_t> m_nRequested{0};
    CTempFolder m_folder;
    CMessageBoxRecorder m_boxes;
    ComPtr<CTestSourceFilter> m_pSource;
    std::unique_ptr<QDialog> m_pHost;
    CUtiVirtualDamonDlg* m_pPage = nullptr;
};

// --- Initialisation, controls and layout --------------------------------------------------

TEST_F(CaptureControlPageTest, InitialisationShowsSizeModeTheDefaultPathAndTheDefaultLimits) {
    CUtiVirtualDamonDlg& page = Open();
    EXPECT_EQ(page.Title(), "Capture Control");
    EXPECT_EQ(Text(Dlg::kIdFilePath).toStdString(), m_folder.Path() + "/Vantor-capture.ts");
    EXPECT_EQ(Text(Dlg::kIdTimeLimit), "10");
    EXPECT_EQ(Text(Dlg::kIdSizeLimit), "500");
    EXPECT_TRUE(Item<QRadioButton>(Dlg::kIdSizeMode)->isChecked());
    EXPECT_FALSE(Item<QRadioButton>(Dlg::kIdTimeMode)->isChecked());
    EXPECT_TRUE(Item<QLineEdit>(Dlg::kIdSizeLimit)->isEnabled());
    EXPECT_FALSE(Item<QLineEdit>(Dlg::kIdTimeLimit)->isEnabled());
    EXPECT_EQ(Item<QLabel>(Dlg::kIdAmountCaption)->text(), "File Size:");
    EXPECT_EQ(Text(Dlg::kIdAmount), "0 KBytes");
    EXPECT_EQ(Text(Dlg::kIdStatus), "");
    EXPECT_EQ(Item<QProgressBar>(Dlg::kIdProgress)->minimum(), 0);
    EXPECT_EQ(Item<QProgressBar>(Dlg::kIdProgress)->maximum(), 100);
    EXPECT_EQ(Progress(), 0);
    EXPECT_TRUE(page.IsSizeLimit());
    EXPECT_EQ(page.TimeLimit(), 10u);
    EXPECT_EQ(page.SizeLimit(), 500u);
    EXPECT_EQ(page.FilePath(), m_folder.Path() + "/Vantor-capture.ts");
    ExpectIdle();
    EXPECT_TRUE(Item<QLineEdit>(Dlg::kIdStatus)->isReadOnly());
    EXPECT_TRUE(Item<QLineEdit>(Dlg::kIdAmount)->isReadOnly());
    EXPECT_FALSE(Item<QLineEdit>(Dlg::kIdFilePath)->isReadOnly());
}

TEST_F(CaptureControlPageTest, EveryControlOfDialog131HasItsKindAndText) {
    Open();
    struct Expected {
        int id;
        const char* className;
        const char* text;
    };
    for (const auto& e :
         std::vector<Expected>{{Dlg::kIdFilePath, "QLineEdit", ""},
                               {Dlg::kIdBrowse, "QPushButton", "..."},
                               {Dlg::kIdSizeMode, "QRadioButton", "Use File Size Limit"},
                               {Dlg::kIdSizeLimit, "QLineEdit", "500"},
                               {Dlg::kIdTimeMode, "QRadioButton", "Use Time Limit"},
                               {Dlg::kIdTimeLimit, "QLineEdit", "10"},
                               {Dlg::kIdStartRecord, "QPushButton", "Start Record"},
                               {Dlg::kIdCancelRecord, "QPushButton", "Cancel Record"},
                               {Dlg::kIdStatus, "QLineEdit", ""},
                               {Dlg::kIdAmountCaption, "QLabel", "File Size:"},
                               {Dlg::kIdAmount, "QLineEdit", "0 KBytes"},
                               {Dlg::kIdProgress, "QProgressBar", ""}}) {
        QWidget* w = m_pPage->GetDlgItem(e.id);
        ASSERT_NE(w, nullptr) << e.id;
        EXPECT_STREQ(w->metaObject()->className(), e.className) << e.id;
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_EQ(button->text(), e.text) << e.id;
        }
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(label->text(), e.text) << e.id;
        }
        if (auto* edit = qobject_cast<QLineEdit*>(w); edit && e.id != Dlg::kIdFilePath) {
            EXPECT_EQ(edit->text(), e.text) << e.id;
        }
    }
    std::vector<QString> statics;
    for (QLabel* label : m_pPage->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        statics.push_back(label->text());
    for (QGroupBox* box : m_pPage->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly))
        statics.push_back(box->title());
    std::sort(statics.begin(), statics.end());
    EXPECT_EQ(statics, (std::vector<QString>{"File Size:", "Limit Option:", "MB",
                                             "Record Control:", "Record Process:", "Seconds",
                                             "Status:", "Store File Path:"}));
    for (QPushButton* button : m_pPage->findChildren<QPushButton*>())
        EXPECT_FALSE(button->property(kDefaultButtonProperty).toBool()) << "no default button";
}

TEST_F(CaptureControlPageTest, ControlsLieInsideThePageAndDoNotOverlap) {
    Open();
    const DialogBaseUnits& units = m_pPage->BaseUnits();
    EXPECT_EQ(m_pPage->minimumSize(), DluToPixels(QSize(302, 158), units));
    const QRect page(QPoint(0, 0), m_pPage->minimumSize());
    std::vector<QWidget*> controls;
    for (QWidget* w : m_pPage->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(page.contains(w->geometry())) << w->accessibleName().toStdString();
        if (qobject_cast<QGroupBox*>(w) == nullptr) controls.push_back(w);
    }
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->accessibleName().toStdString() << " / "
                << controls[j]->accessibleName().toStdString();
        }
    }
    // Each control of a group lies inside its frame.
    std::map<QString, QRect> frames;
    for (QGroupBox* box : m_pPage->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly))
        frames[box->title()] = box->geometry();
    for (const auto& [group, ids] : std::vector<std::pair<QString, std::vector<int>>>{
             {"Limit Option:",
              {Dlg::kIdSizeMode, Dlg::kIdSizeLimit, Dlg::kIdTimeMode, Dlg::kIdTimeLimit}},
             {"Record Control:", {Dlg::kIdStartRecord, Dlg::kIdCancelRecord}},
             {"Record Process:",
              {Dlg::kIdStatus, Dlg::kIdAmountCaption, Dlg::kIdAmount, Dlg::kIdProgress}}}) {
        for (int id : ids)
            EXPECT_TRUE(frames[group].contains(m_pPage->GetDlgItem(id)->geometry())) << id;
    }
}

TEST_F(CaptureControlPageTest, EveryControlHasAUniqueAccessibleNameInBothModes) {
    CUtiVirtualDamonDlg& page = Open();
    const auto check = [this](const QString& amountCaption) {
        std::map<QString, int> count;
        for (QWidget* w : m_pPage->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            EXPECT_FALSE(w->accessibleName().isEmpty())
                << w->metaObject()->className() << " " << w->objectName().toStdString();
            ++count[w->accessibleName()];
        }
        for (const auto& [name, n] : count) EXPECT_EQ(n, 1) << name.toStdString();
        for (const auto& [id, name] :
             std::vector<std::pair<int, QString>>{{Dlg::kIdFilePath, "Store File Path:"},
                                                  {Dlg::kIdBrowse, "Browse for the record file"},
                                                  {Dlg::kIdSizeMode, "Use File Size Limit"},
                                                  {Dlg::kIdSizeLimit, "File size limit"},
                                                  {Dlg::kIdTimeMode, "Use Time Limit"},
                                                  {Dlg::kIdTimeLimit, "Time limit"},
                                                  {Dlg::kIdStartRecord, "Start Record"},
                                                  {Dlg::kIdCancelRecord, "Cancel Record"},
                                                  {Dlg::kIdStatus, "Status:"},
                                                  {Dlg::kIdAmountCaption, amountCaption + " label"},
                                                  {Dlg::kIdAmount, amountCaption},
                                                  {Dlg::kIdProgress, "Record progress"}}) {
            EXPECT_EQ(m_pPage->GetDlgItem(id)->accessibleName(), name) << id;
        }
        EXPECT_EQ(count["File size limit unit"], 1);
        EXPECT_EQ(count["Time limit unit"], 1);
        EXPECT_EQ(count["Store File Path: label"], 1);
    };
    check("File Size:");
    page.OnTimeMode();
    check("Time Left:");
    page.OnSizeMode();
    check("File Size:");
}

TEST_F(CaptureControlPageTest, TheScreenshotsShowEveryControlAndTheRecordingInProgress) {
    CUtiVirtualDamonDlg& page = Open();
    const CScreenshot idle(page);
    EXPECT_EQ(page.size(), DluToPixels(QSize(302, 158), page.BaseUnits()));
    EXPECT_EQ(idle.Image().size(), idle.ExpectedSize());
    EXPECT_GT(idle.Colours(), CScreenshot::kPlainColours)
        << "captions and frames, not a plain page";
    EXPECT_EQ(idle.BlankControls(), std::vector<std::string>{});
    EXPECT_TRUE(idle.Keep("capture_control_page.png"));
    // During a recording in time mode the status, the time left, its caption and the bar show it;
    // a control whose state stayed draws the same.
    page.OnTimeMode();
    SetText(Dlg::kIdTimeLimit, "60");
    StartInto("shot.ts");
    Ticks(250);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 41%");
    const CScreenshot recording(page);
    for (int id : {Dlg::kIdStatus, Dlg::kIdAmount, Dlg::kIdAmountCaption, Dlg::kIdProgress}) {
        EXPECT_GT(recording.DifferingPixels(idle, Item<QWidget>(id)->geometry()), 0) << id;
    }
    EXPECT_EQ(recording.DifferingPixels(idle, Item<QWidget>(Dlg::kIdBrowse)->geometry()), 0);
    EXPECT_TRUE(recording.Keep("capture_control_page_recording.png"));
}

// --- Modes --------------------------------------------------------------------------------

TEST_F(CaptureControlPageTest, TheRadioButtonsSwitchBetweenSizeAndTimeMode) {
    CUtiVirtualDamonDlg& page = Open();
    Click(Dlg::kIdTimeMode);
    EXPECT_FALSE(page.IsSizeLimit());
    EXPECT_TRUE(Item<QLineEdit>(Dlg::kIdTimeLimit)->isEnabled());
    EXPECT_FALSE(Item<QLineEdit>(Dlg::kIdSizeLimit)->isEnabled());
    EXPECT_FALSE(Item<QRadioButton>(Dlg::kIdSizeMode)->isChecked());
    EXPECT_TRUE(Item<QRadioButton>(Dlg::kIdTimeMode)->isChecked());
    EXPECT_EQ(Item<QLabel>(Dlg::kIdAmountCaption)->text(), "Time Left:");
    EXPECT_EQ(Text(Dlg::kIdAmount), "0 Seconds");

    Click(Dlg::kIdSizeMode);
    EXPECT_TRUE(page.IsSizeLimit());
    EXPECT_FALSE(Item<QLineEdit>(Dlg::kIdTimeLimit)->isEnabled());
    EXPECT_TRUE(Item<QLineEdit>(Dlg::kIdSizeLimit)->isEnabled());
    EXPECT_TRUE(Item<QRadioButton>(Dlg::kIdSizeMode)->isChecked());
    EXPECT_FALSE(Item<QRadioButton>(Dlg::kIdTimeMode)->isChecked());
    EXPECT_EQ(Item<QLabel>(Dlg::kIdAmountCaption)->text(), "File Size:");
    EXPECT_EQ(Text(Dlg::kIdAmount), "0 KBytes");
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(CaptureControlPageTest, CheckingAModeButtonWithoutAClickSwitchesTheModeAllTheSame) {
    // A screen reader checks a radio button through its accessible toggle action, which emits
    // no click.
    CUtiVirtualDamonDlg& page = Open();
    const auto toggle = [this](int id) {
        QAccessibleInterface* button =
            QAccessible::queryAccessibleInterface(Item<QRadioButton>(id));
        ASSERT_NE(button, nullptr);
        ASSERT_NE(button->actionInterface(), nullptr);
        button->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    };
    toggle(Dlg::kIdTimeMode);
    EXPECT_TRUE(Item<QRadioButton>(Dlg::kIdTimeMode)->isChecked());
    EXPECT_FALSE(page.IsSizeLimit());
    EXPECT_TRUE(Item<QLineEdit>(Dlg::kIdTimeLimit)->isEnabled());
    EXPECT_FALSE(Item<QLineEdit>(Dlg::kIdSizeLimit)->isEnabled());
    EXPECT_EQ(Item<QLabel>(Dlg::kIdAmountCaption)->text(), "Time Left:");
    EXPECT_EQ(Text(Dlg::kIdAmount), "0 Seconds");

    toggle(Dlg::kIdSizeMode);
    EXPECT_TRUE(Item<QRadioButton>(Dlg::kIdSizeMode)->isChecked());
    EXPECT_TRUE(page.IsSizeLimit());
    EXPECT_FALSE(Item<QLineEdit>(Dlg::kIdTimeLimit)->isEnabled());
    EXPECT_TRUE(Item<QLineEdit>(Dlg::kIdSizeLimit)->isEnabled());
    EXPECT_EQ(Item<QLabel>(Dlg::kIdAmountCaption)->text(), "File Size:");
    EXPECT_EQ(Text(Dlg::kIdAmount), "0 KBytes");
}

// --- Time limit ---------------------------------------------------------------------------

struct TimeLimitCase {
    const char* limit;
    const char* firstStatus;  // after tick 1
    const char* firstLeft;
    int endTick;             // the tick that ends the recording
    const char* lastStatus;  // after the tick before it
    const char* endLeft;     // the amount after the last tick
};

TEST_F(CaptureControlPageTest, ATimeLimitEndsTheRecordingAtTheFirstTickAboveOneHundredPercent) {
    const std::vector<TimeLimitCase> cases = {
        {"10", "Recording... 1%", "10 Seconds", 101, "Recording... 100%", "0 Seconds"},
        {"12", "Recording... 0%", "12 Seconds", 122, "Recording... 100%", "0 Seconds"},
        {"100", "Recording... 0%", "100 Seconds", 1010, "Recording... 100%", "-1 Seconds"},
        {"1", "Recording... 10%", "1 Seconds", 11, "Recording... 100%", "0 Seconds"},
        {"90", "Recording... 0%", "90 Seconds", 909, "Recording... 100%", "0 Seconds"},
        {"91", "Recording... 0%", "91 Seconds", 920, "Recording... 100%", "-1 Seconds"},
    };
    CUtiVirtualDamonDlg& page = Open();
    CDebugOutputCapture debug;
    page.OnTimeMode();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        SetText(Dlg::kIdTimeLimit, c.limit);
        StartInto("time.ts");
        EXPECT_TRUE(page.IsTimerRunning());
        Ticks(1);
        EXPECT_EQ(Text(Dlg::kIdStatus), c.firstStatus);
        EXPECT_EQ(Text(Dlg::kIdAmount), c.firstLeft);
        EXPECT_EQ(page.Ticks(), 1u);
        Ticks(c.endTick - 2);
        EXPECT_EQ(Text(Dlg::kIdStatus), c.lastStatus);
        EXPECT_EQ(Progress(), 100);
        ASSERT_TRUE(page.IsRecording());
        EXPECT_TRUE(page.IsTimerRunning()) << "re-armed by every tick";
        Ticks(1);
        EXPECT_EQ(Text(Dlg::kIdStatus), "Record Stopped!");
        EXPECT_EQ(Text(Dlg::kIdAmount), c.endLeft) << "the amount keeps the last tick's text";
        EXPECT_EQ(Progress(), 0);
        ExpectStopped();
    }
    EXPECT_TRUE(m_boxes.Texts().empty());
    for (const auto& line : debug.Lines())
        EXPECT_EQ(line.find("Recording"), std::string::npos) << "time mode: " << line;
}

TEST_F(CaptureControlPageTest,
       TheTenSecondLimitShowsOnePercentAtTheFirstTickAndOneHundredAtTick100) {
    CUtiVirtualDamonDlg& page = Open();
    page.OnTimeMode();
    StartInto("ten.ts");
    Ticks(1);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 1%");
    EXPECT_EQ(Progress(), 1);
    Ticks(54);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 55%");
    EXPECT_EQ(Text(Dlg::kIdAmount), "5 Seconds");
    EXPECT_EQ(Progress(), 55);
    Ticks(45);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 100%");
    EXPECT_EQ(Text(Dlg::kIdAmount), "0 Seconds");
    EXPECT_TRUE(page.IsRecording());
    Ticks(1);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Record Stopped!");
    EXPECT_EQ(Text(Dlg::kIdAmount), "0 Seconds");
    ExpectStopped();
}

// --- Size limit ---------------------------------------------------------------------------

struct SizeLimitCase {
    const char* limit;            // MB
    std::uint64_t lastRunning;    // KB that still show 100 %
    std::uint64_t firstStopping;  // KB that end the recording (101 %)
};

// The recording writes real bytes (to /dev/null), so the table holds the smallest limits; the
// largest ones (beyond 4 GiB, KB x 100 in 64 bits) are in RecordedPercent's table.
TEST_F(CaptureControlPageTest, ASizeLimitEndsTheRecordingAtTheFirstTickAboveOneHundredPercent) {
    const std::vector<SizeLimitCase> cases = {{"50", 51711, 51712}, {"51", 52746, 52747}};
    CUtiVirtualDamonDlg& page = Open();
    CDebugOutputCapture debug;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        SetText(Dlg::kIdSizeLimit, c.limit);
        StartInto("/dev/null");
        Ticks(1);
        EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 0%");
        EXPECT_EQ(Text(Dlg::kIdAmount), "0 KBytes");
        SetRecorded(c.lastRunning / 2);
        Ticks(1);
        EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 50%");
        EXPECT_EQ(Progress(), 50);
        SetRecorded(c.lastRunning);
        Ticks(1);
        EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 100%");
        EXPECT_EQ(Text(Dlg::kIdAmount).toStdString(), std::to_string(c.lastRunning) + " KBytes");
        ASSERT_TRUE(page.IsRecording());
        EXPECT_TRUE(page.IsTimerRunning());
        EXPECT_EQ(page.Ticks(), 0u) << "ticks count only in time mode";
        SetRecorded(c.firstStopping);
        Ticks(1);
        EXPECT_EQ(Text(Dlg::kIdStatus), "Record Stopped!");
        EXPECT_EQ(Text(Dlg::kIdAmount).toStdString(), std::to_string(c.firstStopping) + " KBytes");
        EXPECT_EQ(Progress(), 0);
        ExpectStopped();
    }
    EXPECT_TRUE(m_boxes.Texts().empty());
    // The size mode's status also goes to the debugger output, once per running tick.
    std::vector<std::string> recording;
    for (const auto& line : debug.Lines()) {
        if (line.rfind("Recording", 0) == 0) recording.push_back(line);
    }
    ASSERT_EQ(recording.size(), 3 * cases.size());
    EXPECT_EQ(recording[0], "Recording... 0%");
    EXPECT_EQ(recording[1], "Recording... 50%");
    EXPECT_EQ(recording[2], "Recording... 100%");
}

TEST_F(CaptureControlPageTest, TheSizeShownIsTheRealSinkFileWithEverySampleInIt) {
    constexpr std::uint64_t kKBytes = 2556;  // 40 samples and part of the 41st
    CUtiVirtualDamonDlg& page = Open();
    StartInto("real.ts");
    SetRecorded(kKBytes);
    Ticks(1);
    EXPECT_EQ(Text(Dlg::kIdAmount), "2556 KBytes");
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 0%");
    Click(Dlg::kIdCancelRecord);
    ExpectStopped();
    std::string expected(kKBytes * 1024, '\0');
    for (std::uint64_t i = 0; i < expected.size(); ++i)
        expected[i] =
            static_cast<char>(SampleByte(i / kSampleSize, static_cast<LONG>(i % kSampleSize)));
    const std::string content = ReadWholeFile(m_folder.File("real.ts"));
    ASSERT_EQ(content.size(), expected.size());
    EXPECT_TRUE(content == expected) << "every byte in its place";
    EXPECT_FALSE(page.IsRecording());
}

TEST_F(CaptureControlPageTest, RaisingTheSizeLimitLetsTheRecordingRunOnAndLoweringItEndsIt) {
    CUtiVirtualDamonDlg& page = Open();
    SetText(Dlg::kIdSizeLimit, "50");
    StartInto("/dev/null");
    SetRecorded(51000);
    Ticks(1);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 99%");
    SetRecorded(52000);  // past 101 % of the 50 MB
    SetText(Dlg::kIdSizeLimit, "60");
    Ticks(1);
    EXPECT_EQ(page.SizeLimit(), 60u);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 84%");
    EXPECT_TRUE(page.IsRecording());
    SetRecorded(60000);
    Ticks(1);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 97%");
    EXPECT_TRUE(page.IsRecording());
}

TEST_F(CaptureControlPageTest,
       LoweringTheSizeLimitBelowTheSizeWrittenEndsTheRecordingAtTheNextTick) {
    CUtiVirtualDamonDlg& page = Open();
    SetText(Dlg::kIdSizeLimit, "60");
    StartInto("/dev/null");
    SetRecorded(52000);
    Ticks(1);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 84%");
    SetText(Dlg::kIdSizeLimit, "50");
    Ticks(1);
    EXPECT_EQ(page.SizeLimit(), 50u);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Record Stopped!");
    EXPECT_EQ(Text(Dlg::kIdAmount), "52000 KBytes");
    ExpectStopped();
}

TEST_F(CaptureControlPageTest, SwitchingModesDuringARecordingCountsTimeFromThatMoment) {
    CUtiVirtualDamonDlg& page = Open();
    SetText(Dlg::kIdSizeLimit, "50");
    StartInto("/dev/null");
    Ticks(30);
    EXPECT_EQ(page.Ticks(), 0u);
    Click(Dlg::kIdTimeMode);
    EXPECT_EQ(Text(Dlg::kIdAmount), "0 Seconds");
    Ticks(1);
    EXPECT_EQ(page.Ticks(), 1u);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 1%");
    EXPECT_EQ(Text(Dlg::kIdAmount), "10 Seconds");
    Ticks(9);
    // Back to size mode: the size rules from the next tick, the count stands still.
    Click(Dlg::kIdSizeMode);
    SetRecorded(25600);  // half of 50 MB
    Ticks(5);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 50%");
    EXPECT_EQ(Text(Dlg::kIdAmount), "25600 KBytes");
    EXPECT_EQ(page.Ticks(), 10u);
    Click(Dlg::kIdTimeMode);
    Ticks(1);
    EXPECT_EQ(page.Ticks(), 11u);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 11%");
    EXPECT_EQ(Text(Dlg::kIdAmount), "9 Seconds");
    Ticks(89);
    EXPECT_TRUE(page.IsRecording());
    Ticks(1);
    ExpectStopped();
    EXPECT_TRUE(m_boxes.Texts().empty());
}

// --- Start and cancel ---------------------------------------------------------------------

TEST_F(CaptureControlPageTest, StartCreatesTheFileAtThePathShownAndArmsTheTimer) {
    CUtiVirtualDamonDlg& page = Open();
    WriteWholeFile(m_folder.File("old.ts"), "an older recording");
    StartInto("old.ts");
    EXPECT_TRUE(page.IsTimerRunning());
    EXPECT_EQ(page.Ticks(), 0u);
    EXPECT_TRUE(Session().m_Record.m_bRecordFileOpen);
    EXPECT_EQ(Session().m_Record.m_strRecordPath, m_folder.File("old.ts"));
    EXPECT_EQ(ReadWholeFile(m_folder.File("old.ts")), "") << "an existing file is emptied";
    EXPECT_FALSE(GraphStopped()) << "the graph runs";
    auto* timer = page.findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 100);
}

TEST_F(CaptureControlPageTest, CancelStopsTheGraphClosesTheFileAndKeepsTheLastAmount) {
    CUtiVirtualDamonDlg& page = Open();
    page.OnTimeMode();
    StartInto("cancel.ts");
    Ticks(37);
    EXPECT_EQ(Progress(), 37);
    Click(Dlg::kIdCancelRecord);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Record Stopped!");
    EXPECT_EQ(Text(Dlg::kIdAmount), "7 Seconds");
    EXPECT_EQ(Progress(), 0);
    ExpectStopped();
    EXPECT_TRUE(std::filesystem::exists(m_folder.File("cancel.ts")));
    Ticks(1);  // a tick that was already on its way changes nothing
    EXPECT_EQ(Text(Dlg::kIdStatus), "Record Stopped!");
    ExpectStopped();
    // A new recording starts afresh.
    StartInto("cancel.ts");
    Ticks(1);
    EXPECT_EQ(page.Ticks(), 1u);
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(CaptureControlPageTest,
       StartTwiceCancelWhileIdleAndStartWithoutLockAreRefusedWithTheirMessages) {
    CUtiVirtualDamonDlg& page = Open();
    Click(Dlg::kIdCancelRecord);
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"Record is not started!"});
    EXPECT_EQ(Text(Dlg::kIdStatus), "") << "the message changes nothing else";
    m_boxes.Clear();

    Session().m_bSignalLocked = 0;
    SetText(Dlg::kIdFilePath, QString::fromStdString(m_folder.File("unlocked.ts")));
    Click(Dlg::kIdStartRecord);
    EXPECT_EQ(m_boxes.Texts(),
              std::vector<std::string>{"Signal is not locked! Please check signal first."});
    ExpectIdle();
    EXPECT_TRUE(Session().m_Record.m_bRecordFileOpen) << "the default file stays open, untouched";
    EXPECT_FALSE(std::filesystem::exists(m_folder.File("unlocked.ts")));
    m_boxes.Clear();

    Session().m_bSignalLocked = 1;
    page.OnTimeMode();
    StartInto("twice.ts");
    Ticks(3);
    Session().m_bSignalLocked = 0;  // the recording check comes first
    SetText(Dlg::kIdFilePath, QString::fromStdString(m_folder.File("other.ts")));
    Click(Dlg::kIdStartRecord);
    EXPECT_EQ(m_boxes.Texts(),
              std::vector<std::string>{"Record is started! Please wait or cancel record."});
    EXPECT_TRUE(page.IsRecording());
    EXPECT_TRUE(page.IsTimerRunning());
    EXPECT_EQ(page.Ticks(), 3u);
    EXPECT_EQ(Session().m_Record.m_strRecordPath, m_folder.File("twice.ts"));
    EXPECT_FALSE(std::filesystem::exists(m_folder.File("other.ts")));
    // Every box carries the application's title and one OK button.
    for (const auto& box : m_boxes.Boxes()) {
        EXPECT_EQ(box.caption, AfxGetAppName());
        EXPECT_EQ(box.type, MB_OK);
    }
}

struct RefusedFieldCase {
    const char* time;
    const char* size;
    const char* prompt;
};

TEST_F(CaptureControlPageTest, ALimitRefusedAtStartShowsTheFrameworkPromptAndStartsNothing) {
    const std::vector<RefusedFieldCase> cases = {
        {"0", "500", kTimeRangePrompt},  // the disabled field is checked as well
        {"65536", "500", kTimeRangePrompt},
        {"10", "20", kSizeRangePrompt},
        {"10", "800001", kSizeRangePrompt},
        {"abc", "500", kPositivePrompt},
        {"10", "abc", kPositivePrompt},
        {"", "500", kPositivePrompt},
        {"10", "-60", kPositivePrompt},
        {"2x", "500", kPositivePrompt},  // a number and more is not a number
        {"10", "5abc", kPositivePrompt},
        {"+5", "500", kPositivePrompt},  // unsigned: no sign at all
        {"10", "50 0", kPositivePrompt},
        {"0x10", "500", kPositivePrompt},
        {" ", "500", kPositivePrompt},
        {"0", "20", kTimeRangePrompt},  // the reading stops at the first refusal
    };
    CUtiVirtualDamonDlg& page = Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.time) + " / " + c.size);
        m_boxes.Clear();
        SetText(Dlg::kIdTimeLimit, c.time);
        SetText(Dlg::kIdSizeLimit, c.size);
        SetText(Dlg::kIdFilePath, QString::fromStdString(m_folder.File("refused.ts")));
        Click(Dlg::kIdStartRecord);
        EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{c.prompt});
        ExpectIdle();
        EXPECT_FALSE(std::filesystem::exists(m_folder.File("refused.ts")));
        EXPECT_EQ(page.TimeLimit(), 10u) << "a refused value never becomes the limit";
        EXPECT_EQ(page.SizeLimit(), 500u);
    }
    // The boundaries themselves are accepted, with blanks around and leading zeros too.
    for (const auto& [time, size] : std::vector<std::pair<const char*, const char*>>{
             {"1", "50"}, {"65535", "800000"}, {" 010\t", "  0500 "}}) {
        m_boxes.Clear();
        SetText(Dlg::kIdTimeLimit, time);
        SetText(Dlg::kIdSizeLimit, size);
        StartInto("bounds.ts");
        EXPECT_EQ(page.TimeLimit(), std::stoul(time));
        EXPECT_EQ(page.SizeLimit(), std::stoul(size));
        EXPECT_TRUE(m_boxes.Texts().empty());
        Click(Dlg::kIdCancelRecord);
    }
}

// --- Failures the page reports ------------------------------------------------------------

TEST_F(CaptureControlPageTest, ARecordFileThatCannotBeCreatedIsReportedAndNoRecordingRuns) {
    CUtiVirtualDamonDlg& page = Open();
    const std::string missing = m_folder.File("no such folder/capture.ts");
    SetText(Dlg::kIdFilePath, QString::fromStdString(missing));
    Click(Dlg::kIdStartRecord);
    EXPECT_EQ(m_boxes.Texts(),
              std::vector<std::string>{
                  "Cannot create the record file " + missing +
                  ": No such file or directory. Choose another folder or file name."});
    ExpectStopped();
    EXPECT_EQ(Text(Dlg::kIdStatus), "");
    Ticks(1);
    ExpectStopped();

    // A file another program holds open is named as such.
    m_boxes.Clear();
    const std::string held = m_folder.File("held.ts");
    const int other = ::open(held.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    SetText(Dlg::kIdFilePath, QString::fromStdString(held));
    Click(Dlg::kIdStartRecord);
    EXPECT_EQ(m_boxes.Texts(),
              std::vector<std::string>{"Cannot create the record file " + held +
                                       ": the file is in use by another program. Choose another "
                                       "folder or file name."});
    ExpectStopped();
    ::close(other);

    // Another place works at once.
    m_boxes.Clear();
    StartInto("fine.ts");
    EXPECT_TRUE(page.IsTimerRunning());
}

TEST_F(CaptureControlPageTest, AWriteThatFailsDuringARecordingStopsItAndSaysWhy) {
    CUtiVirtualDamonDlg& page = Open();
    page.OnTimeMode();
    m_nRequested = 6 * std::uint64_t{kSampleSize};
    SetText(Dlg::kIdFilePath, "/dev/full");
    Click(Dlg::kIdStartRecord);
    ASSERT_TRUE(page.IsRecording());
    ASSERT_TRUE(WaitUntil([] { return GetRecordWriteError(Session()) != 0; }));
    Ticks(1);
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{
                                   "Recording stopped: writing /dev/full failed: No space left on "
                                   "device. Every byte written before the failure is kept."});
    EXPECT_EQ(Text(Dlg::kIdStatus), "Record Stopped!");
    ExpectStopped();
    Ticks(3);
    EXPECT_EQ(m_boxes.Texts().size(), 1u) << "told once";
}

TEST_F(CaptureControlPageTest, TheFailureNamesTheFileBeingWrittenNotTheOneTypedSince) {
    CUtiVirtualDamonDlg& page = Open();
    m_nRequested = 6 * std::uint64_t{kSampleSize};
    SetText(Dlg::kIdFilePath, "/dev/full");
    Click(Dlg::kIdStartRecord);
    ASSERT_TRUE(WaitUntil([] { return GetRecordWriteError(Session()) != 0; }));
    SetText(Dlg::kIdFilePath, QString::fromStdString(m_folder.File("next.ts")));
    Ticks(1);
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_NE(m_boxes.Texts()[0].find("writing /dev/full failed"), std::string::npos);
    EXPECT_EQ(page.FilePath(), m_folder.File("next.ts")) << "the next start uses the new path";
}

// The page on the Linux capture filter (the session graph's receiver device) reading a dvr the
// test feeds, in place of the test source.
class CaptureControlPageOnCardTest : public CaptureControlPageTest {
protected:
    CUtiVirtualDamonDlg& OpenOnCapture(ComPtr<linuxdvb::CLinuxDvbCaptureFilter> capture) {
        m_pCapture = std::move(capture);
        Session().m_BDAGraph.m_pReceiverDevice = static_cast<IBaseFilter*>(m_pCapture.Get());
        EXPECT_TRUE(ConnectSourceThroughTeeToSink(Session(), m_pCapture.Get()));
        OpenRecordFile(Session(), platform::MapDriveCPath("c:\\Vantor-capture.ts"));
        m_pPage = OpenPageInHost<CUtiVirtualDamonDlg>(m_pHost);
        return *m_pPage;
    }
    // Feeds `overruns` overruns among whole samples and waits until the page's recording has
    // passed them all on.
    void FeedWithOverruns(int overruns) {
        const std::uint64_t before = m_pCapture->OutputPin()->SamplesDelivered();
        for (int i = 0; i < overruns; ++i) m_pFeed->Push({{}, EOVERFLOW});
        m_pFeed->Push({TestPackets(348), 0});
        ASSERT_TRUE(WaitUntil([&] {
            return m_pFeed->Pending() == 0 && m_pCapture->OutputPin()->SamplesDelivered() > before;
        }));
    }

    std::shared_ptr<CTestDvrFeed> m_pFeed = std::make_shared<CTestDvrFeed>();
    ComPtr<linuxdvb::CLinuxDvbCaptureFilter> m_pCapture;
};

struct RunFailureCase {
    const char* name;
    HRESULT hr;
    const char* description;  // what the card leaves for the thread; "" for nothing
    const char* message;
};

class CaptureControlPageRunFailureTest : public CaptureControlPageOnCardTest,
                                         public ::testing::WithParamInterface<RunFailureCase> {};

// Guards against the 0-byte recording that a refused dvr used to give without a word.
TEST_P(CaptureControlPageRunFailureTest, IsReportedOnceAndNoRecordingRuns) {
    const RunFailureCase& c = GetParam();
    CUtiVirtualDamonDlg& page = OpenOnCapture(MakeRefusingCapture(c.hr, c.description));
    SetText(Dlg::kIdFilePath, QString::fromStdString(m_folder.File("refused.ts")));
    Click(Dlg::kIdStartRecord);
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{c.message});
    ExpectStopped();
    EXPECT_EQ(Text(Dlg::kIdStatus), "");
    EXPECT_EQ(ReadWholeFile(m_folder.File("refused.ts")), "") << "left as a cancel leaves it";
    Ticks(1);
    EXPECT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_FALSE(page.IsRecording());
}

INSTANTIATE_TEST_SUITE_P(
    StreamNotGiven, CaptureControlPageRunFailureTest,
    ::testing::Values(
        RunFailureCase{
            "ReadByAnotherProgram", linuxdvb::kDeviceBusy,
            "The stream of the tuner Vantor DVB-S2 is read by another program: vlc (process "
            "4242). Close that program and start again.",
            "Recording not started: The stream of the tuner Vantor DVB-S2 is read by another "
            "program: vlc (process 4242). Close that program and start again."},
        RunFailureCase{"WithoutADescription", E_FAIL, "",
                       "Recording not started: the tuner's stream did not start (error "
                       "0x80004005)."}),
    [](const ::testing::TestParamInfo<RunFailureCase>& param) { return param.param.name; });

TEST_F(CaptureControlPageOnCardTest, OverrunsAreToldOnceWhenTheRecordingEndsAndNeverWithoutThem) {
    CUtiVirtualDamonDlg& page = OpenOnCapture(MakeTestCapture(m_pFeed, 64u << 20, 16u << 20));
    page.OnTimeMode();
    SetText(Dlg::kIdTimeLimit, "1");
    StartInto("gaps.ts");
    FeedWithOverruns(2);
    Ticks(5);
    FeedWithOverruns(1);
    EXPECT_TRUE(m_boxes.Texts().empty()) << "nothing is said while the recording runs";
    Ticks(6);  // the limit ends it
    ASSERT_FALSE(page.IsRecording());
    // Three 16 MiB buffers, less the sample read just before the third overrun: 47.9 MB.
    EXPECT_EQ(m_boxes.Texts(),
              std::vector<std::string>{
                  "The tuner's buffer overran 3 times during this recording, as the stream was "
                  "not read in time: at least 47 MB of the stream were lost, so the recording has "
                  "gaps at those 3 places."});
    Ticks(2);
    EXPECT_EQ(m_boxes.Texts().size(), 1u) << "told once";

    // A recording the buffer kept up with says nothing, nor does a cancel.
    m_boxes.Clear();
    StartInto("clean.ts");
    FeedWithOverruns(0);
    Click(Dlg::kIdCancelRecord);
    EXPECT_TRUE(m_boxes.Texts().empty()) << m_boxes.Texts().front();
    EXPECT_EQ(Text(Dlg::kIdStatus), "Record Stopped!");
}

TEST(CaptureControlTexts, StreamLossSaysHowOftenAndAtLeastHowMuchAndThatTheFileHasGaps) {
    const std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string>> cases = {
        {1, 64u << 20,
         "The tuner's buffer overran once during this recording, as the stream was not read in "
         "time: at least 64 MB of the stream were lost, so the recording has a gap there."},
        // Whole MB only: an estimate from below is not rounded up.
        {2, (8u << 20) - 1,
         "The tuner's buffer overran 2 times during this recording, as the stream was not read "
         "in time: at least 7 MB of the stream were lost, so the recording has gaps at those 2 "
         "places."},
        {4, 1000,
         "The tuner's buffer overran 4 times during this recording, as the stream was not read "
         "in time: part of the stream was lost, so the recording has gaps at those 4 places."},
    };
    for (const auto& [overruns, bytes, text] : cases)
        EXPECT_EQ(record_texts::StreamLossText(overruns, bytes), text);
}

TEST_F(CaptureControlPageTest, ARefusedLimitDuringARecordingKeepsTheLimitAndIsReportedOncePerEdit) {
    CUtiVirtualDamonDlg& page = Open();
    page.OnTimeMode();
    StartInto("refuse.ts");
    Ticks(10);
    SetText(Dlg::kIdTimeLimit, "0");
    Ticks(5);
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kTimeRangePrompt});
    EXPECT_EQ(page.TimeLimit(), 10u);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 15%") << "the limit in force stays";
    SetText(Dlg::kIdTimeLimit, "abc");
    Ticks(5);
    SetText(Dlg::kIdTimeLimit, "0");
    Ticks(5);
    EXPECT_EQ(m_boxes.Texts(),
              (std::vector<std::string>{kTimeRangePrompt, kPositivePrompt, kTimeRangePrompt}));
    SetText(Dlg::kIdTimeLimit, "20");
    Ticks(1);
    EXPECT_EQ(page.TimeLimit(), 20u);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 13%");
    EXPECT_EQ(Text(Dlg::kIdAmount), "18 Seconds");
    // The same text refused again after an accepted one is a new edit.
    SetText(Dlg::kIdTimeLimit, "0");
    Ticks(3);
    EXPECT_EQ(m_boxes.Texts().size(), 4u);
    EXPECT_TRUE(page.IsRecording());

    // In size mode too.
    SetText(Dlg::kIdTimeLimit, "10");
    page.OnSizeMode();
    m_boxes.Clear();
    SetText(Dlg::kIdSizeLimit, "20");
    Ticks(4);
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kSizeRangePrompt});
    EXPECT_EQ(page.SizeLimit(), 500u);
    EXPECT_TRUE(page.IsRecording());
}

TEST_F(CaptureControlPageTest, ALimitBeingTypedDuringARecordingCountsWhenTheEditEnds) {
    // Regression: the numbers passed on the way ("6" on the way to "600") must not become the
    // limit, or the recording would end at once; nor may an empty field prompt mid-typing.
    CUtiVirtualDamonDlg& page = Open();
    page.OnTimeMode();
    SetText(Dlg::kIdTimeLimit, "60");
    StartInto("typing.ts");
    Ticks(100);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 16%");
    auto* field = Item<QLineEdit>(Dlg::kIdTimeLimit);
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    Ticks(1);
    QTest::keyClicks(field, "6");
    Ticks(1);
    EXPECT_EQ(page.TimeLimit(), 60u);
    EXPECT_TRUE(page.IsRecording());
    QTest::keyClicks(field, "00");
    Ticks(1);
    EXPECT_TRUE(m_boxes.Texts().empty());
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(m_pHost->isVisible()) << "Enter must not close the main window";
    Ticks(1);
    EXPECT_EQ(page.TimeLimit(), 600u);
    EXPECT_EQ(Text(Dlg::kIdStatus), "Recording... 1%");
    EXPECT_EQ(Text(Dlg::kIdAmount), "590 Seconds");

    // An edit that ends refused is reported once.
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    Ticks(3);
    EXPECT_TRUE(m_boxes.Texts().empty());
    QTest::keyClick(field, Qt::Key_Return);
    Ticks(3);
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kPositivePrompt});
    EXPECT_EQ(page.TimeLimit(), 600u);
    EXPECT_TRUE(page.IsRecording());
}

// --- Browse, keys, timer ------------------------------------------------------------------

TEST_F(CaptureControlPageTest, BrowseFillsThePathAndCancelChangesNothing) {
    CUtiVirtualDamonDlg& page = Open();
    const QString before = Text(Dlg::kIdFilePath);
    EXPECT_TRUE(Browse(std::nullopt));
    EXPECT_EQ(Text(Dlg::kIdFilePath), before);
    EXPECT_EQ(page.FilePath(), before.toStdString());

    SetText(Dlg::kIdTimeLimit, "77");  // typed but not yet read: browsing leaves it alone
    EXPECT_TRUE(Browse(m_folder.File("chosen.ts")));
    EXPECT_EQ(Text(Dlg::kIdFilePath).toStdString(), m_folder.File("chosen.ts"));
    EXPECT_EQ(page.FilePath(), m_folder.File("chosen.ts"));
    EXPECT_EQ(Text(Dlg::kIdTimeLimit), "77");

    SetText(Dlg::kIdTimeLimit, "10");
    Click(Dlg::kIdStartRecord);
    EXPECT_TRUE(page.IsRecording());
    EXPECT_TRUE(std::filesystem::exists(m_folder.File("chosen.ts")));
    // A path changed during the recording applies to the next start.
    EXPECT_TRUE(Browse(m_folder.File("later.ts")));
    Ticks(2);
    EXPECT_EQ(Session().m_Record.m_strRecordPath, m_folder.File("chosen.ts"));
    EXPECT_FALSE(std::filesystem::exists(m_folder.File("later.ts")));
    Click(Dlg::kIdCancelRecord);
    Click(Dlg::kIdStartRecord);
    EXPECT_TRUE(std::filesystem::exists(m_folder.File("later.ts")));
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(CaptureControlPageTest, TheSaveAsDialogIsOwnedByThePageAddsTsAndAsksBeforeOverwriting) {
    CUtiVirtualDamonDlg& page = Open();
    EXPECT_TRUE(WithModalWindow(
        [&] { Click(Dlg::kIdBrowse); },
        [&](QWidget& asked) {
            auto* dialog = qobject_cast<QFileDialog*>(&asked);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->parentWidget(), m_pPage);
            EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
            EXPECT_EQ(dialog->defaultSuffix(), "ts");
            EXPECT_EQ(dialog->nameFilters(), (QStringList{"TS Files (*.ts)", "All Files (*.*)"}));
            EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
            EXPECT_EQ(QDir(dialog->directory()).absolutePath(),
                      QDir(QString::fromStdString(m_folder.Path())).absolutePath());
            AnswerFileDialog(asked, m_folder.File("picked"));
        }));
    EXPECT_EQ(page.FilePath(), m_folder.File("picked.ts"));

    // Cancelled: nothing changes.
    EXPECT_TRUE(Browse(std::nullopt));
    EXPECT_EQ(page.FilePath(), m_folder.File("picked.ts"));
    EXPECT_EQ(Text(Dlg::kIdFilePath).toStdString(), m_folder.File("picked.ts"));
}

TEST_F(CaptureControlPageTest, EnterIsSwallowedAndEscapeGoesOnToTheMainWindow) {
    CUtiVirtualDamonDlg& page = Open();
    Item<QLineEdit>(Dlg::kIdFilePath)->setFocus();
    QTest::keyClick(Item<QLineEdit>(Dlg::kIdFilePath), Qt::Key_Return);
    QTest::keyClick(m_pPage, Qt::Key_Enter);
    EXPECT_TRUE(m_pHost->isVisible());
    EXPECT_FALSE(page.IsRecording()) << "no button was run";
    EXPECT_TRUE(m_boxes.Texts().empty());
    QTest::keyClick(m_pPage, Qt::Key_Escape);
    EXPECT_FALSE(m_pHost->isVisible()) << "Escape closes the window, as in a dialog";
}

TEST_F(CaptureControlPageTest, ThePageTimerDrivesTheTicksAndOnlyTimerZeroIsThePages) {
    CUtiVirtualDamonDlg& page = Open();
    page.OnTimeMode();
    StartInto("timer.ts");
    page.OnTimer(1);
    EXPECT_EQ(page.Ticks(), 0u) << "another timer's message is not a tick";
    EXPECT_TRUE(page.IsTimerRunning());
    // The real timer: wait (with a deadline, not a time) until it has ticked twice.
    EXPECT_TRUE(QTest::qWaitFor([&] { return page.Ticks() >= 2; }, 30000));
    EXPECT_TRUE(page.IsTimerRunning());
    Click(Dlg::kIdCancelRecord);
    ExpectStopped();
}

}  // namespace
