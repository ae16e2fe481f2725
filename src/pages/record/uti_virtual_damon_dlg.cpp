#include "pages/record/uti_virtual_damon_dlg.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cerrno>
#include <system_error>

#include "platform/ui/message_box.h"
#include "platform/ui/qt/data_exchange.h"
#include "platform/win/debug_output.h"
#include "platform/win/file_locations.h"
#include "record/record_texts.h"
#include "record/recording.h"

namespace {

constexpr const char* kFileSizeCaption = "File Size:";
constexpr const char* kTimeLeftCaption = "Time Left:";

DialogTemplate CaptureControlTemplate() {
    using enum ControlKind;
    using namespace ControlStyle;
    using D = CUtiVirtualDamonDlg;
    // Labels sit 3 units below the top of the 14-unit fields they name, so the texts line up.
    // clang-format off
    return DialogTemplate{
        D::kIdd,
        "Capture Control",
        302,
        158,
        {
            {kStaticId, Label, "Store File Path:", 6, 10, 58, 8},
            {D::kIdFilePath, Edit, "", 66, 7, 202, 14, kBorder},
            {D::kIdBrowse, PushButton, "...", 272, 7, 24, 14, kNone, {}, "Browse for the record file"},
            {kStaticId, GroupBox, "Limit Option:", 6, 26, 188, 50},
            {D::kIdSizeMode, RadioButton, "Use File Size Limit", 14, 39, 86, 10},
            {D::kIdSizeLimit, Edit, "", 104, 37, 50, 14, kBorder, {}, "File size limit"},
            {kStaticId, Label, "MB", 158, 40, 30, 8, kNone, {}, "File size limit unit"},
            {D::kIdTimeMode, RadioButton, "Use Time Limit", 14, 58, 86, 10},
            {D::kIdTimeLimit, Edit, "", 104, 56, 50, 14, kBorder, {}, "Time limit"},
            {kStaticId, Label, "Seconds", 158, 59, 30, 8, kNone, {}, "Time limit unit"},
            {kStaticId, GroupBox, "Record Control:", 200, 26, 96, 50},
            {D::kIdStartRecord, PushButton, "Start Record", 210, 37, 76, 14},
            {D::kIdCancelRecord, PushButton, "Cancel Record", 210, 56, 76, 14},
            {kStaticId, GroupBox, "Record Process:", 6, 80, 290, 72},
            {kStaticId, Label, "Status:", 14, 95, 44, 8},
            {D::kIdStatus, Edit, "", 60, 92, 226, 14, kReadOnly | kBorder},
            {D::kIdAmountCaption, Label, kFileSizeCaption, 14, 113, 44, 8},
            {D::kIdAmount, Edit, "", 60, 110, 226, 14, kReadOnly | kBorder},
            {D::kIdProgress, ProgressBar, "Progress1", 14, 130, 272, 12, kNone, {}, "Record progress"},
        }};
    // clang-format on
}

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

CUtiVirtualDamonDlg::CUtiVirtualDamonDlg(QWidget* parent)
    : CPropertyPage(CaptureControlTemplate(), parent),
      m_pFilePath(Item<QLineEdit>(kIdFilePath)),
      m_pStatus(Item<QLineEdit>(kIdStatus)),
      m_pAmount(Item<QLineEdit>(kIdAmount)),
      m_pAmountCaption(Item<QLabel>(kIdAmountCaption)),
      m_pSizeMode(Item<QRadioButton>(kIdSizeMode)),
      m_pTimeMode(Item<QRadioButton>(kIdTimeMode)),
      m_Progress(Item<QProgressBar>(kIdProgress)),
      m_pTimer(new QTimer(this)),
      m_TimeField{Item<QLineEdit>(kIdTimeLimit), kMinTimeLimit, kMaxTimeLimit, false, std::nullopt},
      m_SizeField{Item<QLineEdit>(kIdSizeLimit), kMinSizeLimit, kMaxSizeLimit, false, std::nullopt},
      m_strFilePath(platform::DefaultRecordFile()) {
    m_pTimer->setSingleShot(true);
    connect(m_pTimer, &QTimer::timeout, this, [this] { OnTimer(kRecordTimer); });

    connect(m_pSizeMode, &QRadioButton::clicked, this, [this] { OnSizeMode(); });
    connect(m_pTimeMode, &QRadioButton::clicked, this, [this] { OnTimeMode(); });
    // A button can also be checked without a click (the accessibility interface's toggle, as a
    // screen reader uses it): the mode follows the checked button all the same, or the page
    // would record to the size limit under a checked "Use Time Limit".
    connect(m_pSizeMode, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked && !m_bSizeLimit) OnSizeMode();
    });
    connect(m_pTimeMode, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked && m_bSizeLimit) OnTimeMode();
    });
    connect(Item<QPushButton>(kIdBrowse), &QPushButton::clicked, this, [this] { OnBrowse(); });
    connect(Item<QPushButton>(kIdStartRecord), &QPushButton::clicked, this,
            [this] { OnStartRecord(); });
    connect(Item<QPushButton>(kIdCancelRecord), &QPushButton::clicked, this,
            [this] { OnCancelRecord(); });

    // An edit counts from the first key typed to Enter or leaving the field, so that the
    // numbers passed on the way ("6" on the way to "600") never become the limit in force.
    for (LimitField* field : {&m_TimeField, &m_SizeField}) {
        connect(field->m_pEdit, &QLineEdit::textEdited, this,
                [field] { field->m_bEditing = true; });
        connect(field->m_pEdit, &QLineEdit::editingFinished, this,
                [field] { field->m_bEditing = false; });
    }
}

CUtiVirtualDamonDlg::~CUtiVirtualDamonDlg() = default;

bool CUtiVirtualDamonDlg::IsTimerRunning() const {
    return m_pTimer->isActive();
}

bool CUtiVirtualDamonDlg::OnInitDialog() {
    CPropertyPage::OnInitDialog();

    m_bSizeLimit = 1;
    m_SizeField.m_pEdit->setEnabled(true);
    m_TimeField.m_pEdit->setEnabled(false);
    m_pSizeMode->setChecked(true);
    m_pTimeMode->setChecked(false);

    m_Progress->setRange(0, 100);

    m_bRecording = 0;
    m_nTicks = 0;

    SetAmountCaption(kFileSizeCaption);
    m_pAmount->setText(QStringLiteral("0 KBytes"));

    WriteControls();
    return true;
}

// --- Data exchange ----------------------------------------------------------------------

std::optional<std::uint32_t> CUtiVirtualDamonDlg::ReadLimit(LimitField& field,
                                                            bool duringRecording) {
    const QString text = field.m_pEdit->text();
    // During a recording a text already refused stays refused without a new prompt, or every
    // tick would prompt again.
    if (duringRecording && field.m_strRefused == text) return std::nullopt;
    auto value = DataExchange::ReadUnsigned(field.m_pEdit);
    if (value &&
        !DataExchange::CheckRange(field.m_pEdit, *value, field.m_nMinimum, field.m_nMaximum))
        value.reset();
    if (!value) {
        field.m_strRefused = text;
        return std::nullopt;
    }
    field.m_strRefused.reset();
    return value;
}

bool CUtiVirtualDamonDlg::ReadControls(bool duringRecording) {
    // Order of the exchange: progress bar (a control, nothing to read), path, time, size.
    m_strFilePath = m_pFilePath->text().toStdString();
    for (auto [field, member] :
         {std::pair{&m_TimeField, &m_nTimeLimit}, std::pair{&m_SizeField, &m_nSizeLimit}}) {
        if (duringRecording && field->m_bEditing) continue;  // taken when the user ends the edit
        const auto value = ReadLimit(*field, duringRecording);
        if (!value) return false;
        *member = *value;
    }
    return true;
}

void CUtiVirtualDamonDlg::WriteControls() {
    m_pFilePath->setText(Text(m_strFilePath));
    m_TimeField.m_pEdit->setText(QString::number(m_nTimeLimit));
    m_SizeField.m_pEdit->setText(QString::number(m_nSizeLimit));
}

// --- Modes and browse -------------------------------------------------------------------

void CUtiVirtualDamonDlg::SetAmountCaption(const QString& caption) {
    // The display is named after the caption the user sees, which changes with the mode.
    m_pAmountCaption->setText(caption);
    m_pAmountCaption->setAccessibleName(caption + QStringLiteral(" label"));
    m_pAmount->setAccessibleName(caption);
}

void CUtiVirtualDamonDlg::OnSizeMode() {
    m_bSizeLimit = 1;  // first, so that checking the button below does not come back here
    m_TimeField.m_pEdit->setEnabled(false);
    m_SizeField.m_pEdit->setEnabled(true);
    m_pSizeMode->setChecked(true);
    m_pTimeMode->setChecked(false);
    SetAmountCaption(kFileSizeCaption);
    m_pAmount->setText(QStringLiteral("0 KBytes"));
}

void CUtiVirtualDamonDlg::OnTimeMode() {
    m_bSizeLimit = 0;  // first, so that checking the button below does not come back here
    m_TimeField.m_pEdit->setEnabled(true);
    m_SizeField.m_pEdit->setEnabled(false);
    m_pSizeMode->setChecked(false);
    m_pTimeMode->setChecked(true);
    SetAmountCaption(kTimeLeftCaption);
    m_pAmount->setText(QStringLiteral("0 Seconds"));
}

std::optional<QString> CUtiVirtualDamonDlg::AskSavePath() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("ts"));
    dialog.setNameFilters({QStringLiteral("TS Files (*.ts)"), QStringLiteral("All Files (*.*)")});
    // No file name is proposed; the dialog opens where the current record file lies.
    const QFileInfo current(m_pFilePath->text());
    if (!m_pFilePath->text().isEmpty() && current.absoluteDir().exists())
        dialog.setDirectory(current.absoluteDir());
    // Overwriting an existing file is confirmed by the dialog itself (no DontConfirmOverwrite).
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void CUtiVirtualDamonDlg::OnBrowse() {
    const auto path = AskSavePath();
    if (!path) return;
    m_strFilePath = path->toStdString();
    m_pFilePath->setText(*path);
}

// --- Start and cancel -------------------------------------------------------------------

void CUtiVirtualDamonDlg::ReportStreamLoss() {
    if (const RecordStreamLoss loss = GetRecordStreamLoss(m_session); loss.overruns > 0) {
        AfxMessageBox(record_texts::StreamLossText(loss.overruns, loss.bytesLost));
    }
}

void CUtiVirtualDamonDlg::ReportWriteFailure() {
    if (const int error = GetRecordWriteError(m_session); error != 0) {
        AfxMessageBox(record_texts::WriteFailedText(m_strRecordingPath, error,
                                                    GetRecordLostBytes(m_session)));
    }
}

void CUtiVirtualDamonDlg::StartTimer() {
    m_pTimer->start(kTickMilliseconds);
}

void CUtiVirtualDamonDlg::KillTimer() {
    m_pTimer->stop();
}

void CUtiVirtualDamonDlg::OnStartRecord() {
    if (m_bRecording) {
        AfxMessageBox(kAlreadyStarted);
        return;
    }
    if (!m_session.IsSignalLocked()) {
        AfxMessageBox(kNotLocked);
        return;
    }
    // Whatever the fields hold now is what the user starts with, finished edit or not.
    m_TimeField.m_bEditing = false;
    m_SizeField.m_bEditing = false;
    if (!ReadControls(false)) return;

    m_bRecording = 1;
    m_strRecordingPath = m_strFilePath;
    SetRecordFilePath(m_session, m_strRecordingPath);
    if (const int error = StartRecording(m_session); error != 0) {
        // No byte would reach a file: leave the graph and the sink as a cancel leaves them,
        // and say why, so the user can pick a place that works or free the tuner's stream.
        m_bRecording = 0;
        StopRecording(m_session);
        AfxMessageBox(error == kRecordGraphNotRunning
                          ? record_texts::RunFailedText(GetRecordRunFailure(m_session))
                          : record_texts::CreateFailedText(m_strRecordingPath, error));
        return;
    }
    m_nTicks = 0;
    StartTimer();
}

void CUtiVirtualDamonDlg::OnCancelRecord() {
    if (!m_bRecording) {
        AfxMessageBox(kNotStarted);
        return;
    }
    m_bRecording = 0;
    m_nTicks = 0;
    KillTimer();
    GetRecordWriteError(m_session);  // a deleted file is seen only while it is still open
    StopRecording(m_session);
    m_Progress->setValue(0);
    m_pStatus->setText(kStopped);
    // A write that the stop had to give up (a pipe's reader that stopped reading), or a failure
    // that ended the recording, is told once it has ended; so are gaps in the stream.
    ReportWriteFailure();
    ReportStreamLoss();
}

// --- Tick -------------------------------------------------------------------------------

void CUtiVirtualDamonDlg::OnTimer(int id) {
    if (id != kRecordTimer) return;  // not the page's: nothing of its own to do
    Tick();
}

void CUtiVirtualDamonDlg::Tick() {
    if (!m_bRecording) {
        KillTimer();  // a tick that was on its way when the recording ended
        return;
    }
    // A limit changed during the recording counts from this tick; a refused one does not.
    ReadControls(true);
    KillTimer();
    if (!m_bRecording) return;  // ended while a prompt of the reading was open

    if (GetRecordWriteError(m_session) != 0) {
        // The sink has stopped writing: end the recording as Cancel Record does, which says why.
        OnCancelRecord();
        return;
    }

    std::uint64_t percent = 0;
    if (m_bSizeLimit) {
        const std::uint64_t kbytes = GetRecordedKBytes(m_session);
        percent = RecordedPercent(kbytes, m_nSizeLimit);
        m_pAmount->setText(QStringLiteral("%1 KBytes").arg(kbytes));
    } else {
        ++m_nTicks;
        percent = m_nTicks * 10u / m_nTimeLimit;
        // Goes below zero for long limits: the last tick comes after the limit's last second.
        const auto left = static_cast<std::int32_t>(m_nTimeLimit - m_nTicks / 10);
        m_pAmount->setText(QStringLiteral("%1 Seconds").arg(left));
    }

    if (percent > 100) {
        OnCancelRecord();
    } else {
        const QString status = QStringLiteral("Recording... %1%").arg(percent);
        m_pStatus->setText(status);
        if (m_bSizeLimit) OutputDebugStringA(status.toStdString());
        m_Progress->setValue(static_cast<int>(percent));
    }

    if (m_bRecording) StartTimer();
}
