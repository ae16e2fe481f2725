#include "pages/shell/bda_util_dlg.h"

#include <fmt/format.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>
#include <optional>

#include "core/process_globals.h"
#include "core/version_text.h"
#include "graph/driver_control.h"
#include "graph/tuner_session.h"
#include "graph/tuning.h"
#include "pages/common/driver_report_boxes.h"
#include "pages/health/stream_health_page.h"
#include "pages/positioner/position_dlg.h"
#include "pages/record/uti_virtual_damon_dlg.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "pages/shell/about_dlg.h"
#include "pages/shell/app_resources.h"
#include "pages/shell/resource_strings.h"
#include "pages/transponders/transponder_page.h"
#include "platform/ui/qt/property_page.h"
#include "platform/ui/qt/property_sheet.h"
#include "platform/ui/qt/sorted_combo.h"
#include "platform/win/c_number.h"
#include "platform/win/system_clock.h"
#include "status/signal_monitor.h"
#include "status/stream_info.h"

namespace {

using namespace stream_info_ids;

DialogTemplate MainWindowTemplate() {
    using enum ControlKind;
    using namespace ControlStyle;
    constexpr int kLeftLabel = 8, kLeftField = 70, kFieldWidth = 80, kRightLabel = 158,
                  kRightField = 236, kRightWidth = 70;
    auto row = [](int y) { return 274 + 16 * y; };
    return DialogTemplate{
        CBDAUtilDlg::kIdd,
        "VLKArden Skarveld",
        315,
        415,
        {
            {CBDAUtilDlg::kIdBanner, Icon, "", 0, 0, 313, 25, kNone, {}, "Banner"},
            {CBDAUtilDlg::kIdSeparator, EtchedLine, "", 0, 208, 315, 1, kNone, {}, "Separator"},
            {kStaticId, GroupBox, "", 4, 208, 308, 36, kNone, {}, "Signal"},
            {kStaticId, Label, "Strength:", 9, 217, 0, 0},
            {CBDAUtilDlg::kIdStrengthText, Edit, "", 61, 215, 32, 12, kDisabled | kBorder},
            {CBDAUtilDlg::kIdStrengthBar,
             ProgressBar,
             "",
             105,
             216,
             68,
             9,
             kSmooth,
             {},
             "Strength bar"},
            {kStaticId, Label, "Quality:", 10, 230, 0, 0},
            {CBDAUtilDlg::kIdQualityText, Edit, "", 61, 229, 32, 12, kDisabled | kBorder},
            {CBDAUtilDlg::kIdQualityBar,
             ProgressBar,
             "",
             105,
             230,
             68,
             9,
             kSmooth,
             {},
             "Quality bar"},
            {kStaticId, Label, "LockStatus:", 180, 224, 0, 0},
            // Wider than the 34 units of the original layout: "UNLOCKED" needs it in this font.
            {CBDAUtilDlg::kIdLockText, Edit, "", 229, 221, 42, 14, kDisabled | kBorder},
            {CBDAUtilDlg::kIdLockIcon, Icon, "", 273, 218, 21, 20, kNone, {}, "Lock status icon"},

            {kStaticId, Label, "IF:", kLeftLabel, 250, 0, 0},
            {kIfFrequency, Edit, "", 40, 248, 60, 12, kReadOnly},
            {kStaticId, Label, "KHz", 104, 250, 0, 0},
            // Named apart from the "SymbolRate:" field of the Tuner Setting page in this window.
            {kStaticId,
             Label,
             "SymbolRate:",
             kRightLabel,
             250,
             0,
             0,
             kNone,
             {},
             "Carrier SymbolRate: label"},
            {kSymbolRate, Edit, "", 210, 248, 60, 12, kReadOnly, {}, "Carrier SymbolRate:"},
            {kStaticId, Label, "Bds", 274, 250, 0, 0},

            {kStaticId, GroupBox, "MATYPE", 1, 262, 311, 127},
            {kStaticId, Label, "StreamType:", kLeftLabel, row(0) + 2, 0, 0},
            {kStreamType, Edit, "", kLeftField, row(0), kFieldWidth, 12, kReadOnly},
            {kStaticId, Label, "DVBS1/S2:", kRightLabel, row(0) + 2, 0, 0},
            {kStandard, Edit, "", kRightField, row(0), kRightWidth, 12, kReadOnly},
            {kStaticId, Label, "InputStream:", kLeftLabel, row(1) + 2, 0, 0},
            {kInputStream, Edit, "", kLeftField, row(1), kFieldWidth, 12, kReadOnly},
            {kStaticId, Label, "Modulation Type:", kRightLabel, row(1) + 2, 0, 0},
            {kModulation, Edit, "", kRightField, row(1), kRightWidth, 12, kReadOnly},
            {kStaticId, Label, "InputSynchro:", kLeftLabel, row(2) + 2, 0, 0},
            {kInputSynchro, Edit, "", kLeftField, row(2), kFieldWidth, 12, kReadOnly},
            {kStaticId, Label, "CodingModulation:", kRightLabel, row(2) + 2, 0, 0},
            {kCodingModulation, Edit, "", kRightField, row(2), kRightWidth, 12, kReadOnly},
            {kStaticId, Label, "Roll Off:", kLeftLabel, row(3) + 2, 0, 0},
            {kRollOff, Edit, "", kLeftField, row(3), kFieldWidth, 12, kReadOnly},
            {kStaticId, Label, "NullPacketDeletion:", kRightLabel, row(3) + 2, 0, 0},
            {kNullPacketDeletion, Edit, "", kRightField, row(3), kRightWidth, 12, kReadOnly},
            {kStaticId, Label, "Pilots:", kLeftLabel, row(4) + 2, 0, 0},
            {kPilots, Edit, "", kLeftField, row(4), kFieldWidth, 12, kReadOnly},
            {kStaticId, Label, "FEC:", kRightLabel, row(4) + 2, 0, 0},
            {kFec, Edit, "", kRightField, row(4), kRightWidth, 12, kReadOnly},
            {kStaticId, Label, "FrameLength:", kLeftLabel, row(5) + 2, 0, 0},
            {kFrameLength, Edit, "", kLeftField, row(5), kFieldWidth, 12, kReadOnly},
            {kStaticId, Label, "Spectrum:", kRightLabel, row(5) + 2, 0, 0},
            {kSpectrum, Edit, "", kRightField, row(5), kRightWidth, 12, kReadOnly},
            {kStaticId, Label, "MATYPE:", kLeftLabel, row(6) + 2, 0, 0},
            {kMatype, Edit, "", kLeftField, row(6), kFieldWidth, 12, kReadOnly},

            {kStaticId, Label, "Input Stream Identify:", kLeftLabel, 398, 0, 0},
            {kInputStreamList, DropDownList, "", 90, 395, 70, 80, kSorted | kVerticalScroll},
            {CBDAUtilDlg::kIdApply, PushButton, "Apply", 166, 395, 50, 14},
        },
        DialogStyle::kMinimizeBox};
}

// A control write carried over to the window's thread; dropped if the window is gone.
template <typename Action>
void OnWindowThread(QWidget* window, Action action) {
    QMetaObject::invokeMethod(window, std::move(action), Qt::QueuedConnection);
}

}  // namespace

CBDAUtilDlg::CBDAUtilDlg(QWidget* parent)
    : CDialog(MainWindowTemplate(), parent),
      m_hAppIcon(LoadAppIcon(128)),
      m_lockedIcon(LoadAppIcon(133)),
      m_unlockedIcon(LoadAppIcon(134)) {
    m_pSheet = new CPropertySheet(this);
    m_pTunerPage = new CBdacontrolDlg(m_pSheet);
    m_pCapturePage = new CUtiVirtualDamonDlg(m_pSheet);
    m_pPositionerPage = new CPositionDlg(m_pSheet);
    m_pTransponderPage = new CTransponderPage(*m_pTunerPage, m_pSheet);
    m_pHealthPage = new CStreamHealthPage(m_pSheet);
    if (auto* apply = Item<QPushButton>(kIdApply))
        connect(apply, &QPushButton::clicked, this, [this] { OnApplyStreamId(); });
    m_pTunerPage->SetLockTpListener([this] { OnTransponderLocked(); });
    if (auto* banner = Item<QLabel>(kIdBanner)) {
        banner->setPixmap(LoadBanner(banner->size(), banner->devicePixelRatioF()));
    }
}

CBDAUtilDlg::~CBDAUtilDlg() {
    DestroyWindow();
}

bool CBDAUtilDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The system menu's About item: a context-menu entry on this platform (contextMenuEvent).
    setWindowIcon(m_hAppIcon);
    setWindowTitle(QString::fromStdString(
        fmt::format("{} Skarveld - Version: {}", m_session.DeviceName(), GetVersionText(nullptr))));
    Item<QLineEdit>(kIdLockText)->setText(QStringLiteral("unlock"));
    Item<QLineEdit>(kIdStrengthText)->setText(QStringLiteral("0"));
    Item<QLineEdit>(kIdQualityText)->setText(QStringLiteral("0"));

    m_pSheet->AddPage(m_pTunerPage);
    m_pSheet->AddPage(m_pCapturePage);
    m_pSheet->AddPage(m_pPositionerPage);
    m_pSheet->AddPage(m_pTransponderPage);
    m_pSheet->AddPage(m_pHealthPage);
    m_pSheet->Create();
    m_pSheet->show();
    PlaceSheet();
    // The keyboard starts in the first page, where Enter is "Lock TP".
    for (QWidget* child :
         m_pTunerPage->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isEnabled() && !child->isHidden() && (child->focusPolicy() & Qt::TabFocus)) {
            child->setFocus();
            break;
        }
    }

    m_deviceEvents = CDeviceEventHub::Instance().Subscribe([this](DWORD event) {
        OnWindowThread(this, [this, event] { DefWindowProc(WM_DEVICECHANGE, event); });
    });
    m_bMonitorRunning = true;
    m_hMonitorThread = std::thread([this] {
        {
            std::lock_guard monitorLock(m_hMonitorMutex);
            RunSignalMonitor(m_session, *this);
        }
        m_bMonitorRunning = false;
    });
    return true;
}

void CBDAUtilDlg::PlaceSheet() {
    const QWidget* banner = GetDlgItem(kIdBanner);
    const QWidget* separator = GetDlgItem(kIdSeparator);
    const int bannerBottom = banner->geometry().bottom() + 1;
    m_pSheet->setGeometry(0, bannerBottom + 2, separator->width(),
                          separator->geometry().top() - bannerBottom);
}

void CBDAUtilDlg::OnDestroy() {
    // The monitor goes first, so that nothing writes a control that is gone; then the pages
    // (the Tuner Setting page saves its settings and releases the graph).
    m_deviceEvents = CDeviceEventHub::CSubscription();
    StopMonitor();
    // The transponder page's driver questions and player feed, and the health page's monitor,
    // end before the graph goes.
    m_pTransponderPage->StopLiveWork();
    m_pHealthPage->StopLiveWork();
    m_pSheet->DestroyPages();
}

void CBDAUtilDlg::StopMonitor() {
    {
        std::lock_guard guard(m_waitLock);
        m_bStopMonitor = 1;
    }
    m_stopSignal.notify_all();
    if (!m_hMonitorThread.joinable()) return;
    // The monitor may wait for a message box that needs this thread: close those boxes, and keep
    // serving events until it has ended.
    ReleaseMessageBoxWaiters();
    while (m_bMonitorRunning) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    m_hMonitorThread.join();
}

void CBDAUtilDlg::done(int result) {
    if (!AllowedToCloseWhileRecording()) return;
    // A box the monitor waits on runs a modal loop above this window's: left up, it would keep
    // the window's loop, and so the shutdown, waiting for an answer about a window already
    // closed. The monitor is about to be stopped; its boxes are moot.
    ReleaseMessageBoxWaiters();
    CDialog::done(result);
}

bool CBDAUtilDlg::AllowedToCloseWhileRecording() {
    if (m_bCardRemoved || m_pCapturePage == nullptr || !m_pCapturePage->IsRecording()) return true;
    // Yes: the window's end stops the recording as it always has, every byte written.
    return AfxMessageBox(kStopRecordingAndQuit, MB_YESNO | MB_ICONEXCLAMATION) != IDNO;
}

bool CBDAUtilDlg::StopRequested() const {
    return m_bStopMonitor.load() != 0;
}

void CBDAUtilDlg::WaitOrStop(std::uint32_t milliseconds) {
    std::unique_lock guard(m_waitLock);
    m_stopSignal.wait_for(guard, std::chrono::milliseconds(milliseconds),
                          [this] { return m_bStopMonitor.load() != 0; });
}

void CBDAUtilDlg::ShowSignal(const SignalReading& reading) {
    OnWindowThread(this, [this, reading] {
        const bool locked = reading.locked == 1;
        Item<QLineEdit>(kIdLockText)
            ->setText(locked ? QStringLiteral("LOCKED") : QStringLiteral("UNLOCKED"));
        Item<QLineEdit>(kIdStrengthText)->setText(QString::number(reading.strength));
        Item<QLineEdit>(kIdQualityText)->setText(QString::number(reading.quality));
        Item<QProgressBar>(kIdQualityBar)->setValue(std::min<int>(reading.quality, 100));
        Item<QProgressBar>(kIdStrengthBar)->setValue(std::min<int>(reading.strength, 100));
        auto* icon = Item<QLabel>(kIdLockIcon);
        icon->setPixmap((locked ? m_lockedIcon : m_unlockedIcon).pixmap(icon->size()));
        icon->setProperty("lockIcon", locked ? 133 : 134);
    });
}

int CBDAUtilDlg::UpdateStreamInfo(bool locked) {
    const int result = ::UpdateStreamInfo(m_session, locked, *this);
    // The transponder page's needed C/N and the health page's useful rate follow the report
    // just read.
    const std::optional<MediaInfoRecord> report =
        locked && result == 1 ? std::optional<MediaInfoRecord>(m_session.m_MediaInfoRecord)
                              : std::nullopt;
    m_pTransponderPage->NoteCarrierReport(report);
    m_pHealthPage->NoteCarrierReport(report);
    return result;
}

void CBDAUtilDlg::SetText(int controlId, const std::string& text) {
    OnWindowThread(this, [this, controlId, text = QString::fromStdString(text)] {
        if (auto* box = Item<QLineEdit>(controlId)) box->setText(text);
    });
}

void CBDAUtilDlg::ShowDriverReports(const DriverReports& reports) {
    // As the driver's own word always was: a box the monitor waits on.
    ::ShowDriverReports(reports);
}

void CBDAUtilDlg::AddInputStreamId(const std::string& identifier, std::uint64_t tune) {
    OnWindowThread(this, [this, tune, text = QString::fromStdString(identifier)] {
        if (tune < m_nStreamsSinceTune)
            return;  // read before the last "Lock TP": another carrier's
        auto* list = Item<QComboBox>(kIdInputStreamList);
        // An equal item, not one that begins with it: "12" listed must not keep out 1.
        if (list->findText(text, Qt::MatchFixedString) < 0) SortedCombo::AddString(list, text);
    });
}

void CBDAUtilDlg::OnTransponderLocked() {
    m_nStreamsSinceTune = TuneCount(m_session);
    Item<QComboBox>(kIdInputStreamList)->clear();
    m_pTransponderPage->OnTransponderLocked();
    m_pHealthPage->OnTransponderLocked();
}

void CBDAUtilDlg::OnApplyStreamId() {
    const auto* list = Item<QComboBox>(kIdInputStreamList);
    const QString text = list->currentIndex() >= 0 ? list->currentText() : QString();
    if (text.isEmpty()) {
        AfxMessageBox("NULL");
        return;
    }
    DriverReports reports;
    const bool set = SetInputStreamId(m_session, platform::Atoi(text.toStdString()), reports);
    ShowDriverReports(reports);
    if (!set) return;
    Sleep(500);
    LockTransponder(m_session, *m_pTunerPage);
}

bool CBDAUtilDlg::DefWindowProc(std::uint32_t message, DWORD wParam) {
    if (message == WM_DEVICECHANGE &&
        (wParam == DBT_DEVICEREMOVEPENDING || wParam == DBT_DEVICEREMOVECOMPLETE)) {
        m_bCardRemoved = true;
        EndDialog(IDOK);
        return true;
    }
    return false;
}

void CBDAUtilDlg::OnHelp() {
    // The desktop's opener takes the place of the shell's "open" verb; the launcher picks the CHM
    // file or the HTML pages and says where the help is when nothing can open it.
    if (!m_pHelpLauncher)
        m_pHelpLauncher = std::make_unique<CHelpLauncher>(m_processRunner, WorkDir());
    m_pHelpLauncher->Open();
}

void CBDAUtilDlg::OnAbout() {
    CAboutDlg about(this);
    about.DoModal();
}

void CBDAUtilDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QString::fromUtf8(kAboutMenuText), this, [this] { OnAbout(); });
    menu.exec(event->globalPos());
}

void CBDAUtilDlg::mousePressEvent(QMouseEvent* event) {
    // A press on the background moves the window as if its caption had been grabbed.
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr)
        windowHandle()->startSystemMove();
    CDialog::mousePressEvent(event);
}

void CBDAUtilDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_F1:
            OnHelp();
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter outside the pages would close the window as the OK command; a stray Enter in
            // a read-only box must not end the program. Buttons still take it.
            if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
            event->accept();
            return;
        default:
            CDialog::keyPressEvent(event);
    }
}
