#include "pages/health/stream_health_page.h"

#include <fmt/format.h>

#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <cerrno>
#include <cstring>
#include <string>

#include "pages/common/shown_text.h"
#include "pages/health/health_light.h"
#include "pages/health/health_texts.h"
#include "pages/transponders/list_table.h"
#include "platform/ui/message_box.h"
#include "platform/win/file_replacement.h"
#include "platform/win/known_folders.h"
#include "status/carrier_useful_rate.h"

namespace {

// Twice a second: a light turns red soon after the error, and the table can still be read.
constexpr int kRefreshPeriodMs = 500;

// In dialog units: the lights in three columns of four rows inside their group, the PID table
// under it and the row of the rate and the buttons at the bottom.
constexpr QSize kTemplateSize(302, 158);
constexpr int kLightColumns = 3;
constexpr QRect kFirstLight(10, 11, 92, 9);
constexpr int kLightColumnStep = 96;
constexpr int kLightRowStep = 10;
constexpr QRect kPidTable(4, 57, 294, 80);

DialogTemplate StreamHealthPageTemplate() {
    using enum ControlKind;
    using namespace ControlStyle;
    using P = CStreamHealthPage;
    // clang-format off
    return DialogTemplate{
        P::kIdd,
        "Stream Health",
        kTemplateSize.width(),
        kTemplateSize.height(),
        {
            {kStaticId, GroupBox, "ETSI TR 101 290 since the last reset", 4, 0, 294, 54},
            {kStaticId, Label, "Stream rate:", 4, 144, 44, 8},
            {P::kIdRate, Edit, "", 50, 141, 132, 14, kReadOnly | kBorder},
            {P::kIdReset, PushButton, "Reset", 186, 141, 40, 14},
            {P::kIdExport, PushButton, "Export CSV...", 230, 141, 68, 14},
        }};
    // clang-format on
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// The columns of numbers read best right-aligned.
bool IsNumberColumn(int column) {
    return column >= 3 && column <= 5;
}

std::string WriteFailure(int error) {
    // EINVAL is what the regular-file rule says of a pipe or a device.
    return error == EINVAL ? std::string("it is not a regular file") : std::strerror(error);
}

}  // namespace

CStreamHealthPage::CStreamHealthPage(QWidget* parent)
    : CPropertyPage(StreamHealthPageTemplate(), parent),
      m_pPidTable(MakeListTable(
          this, kPidTable, BaseUnits(),
          [] {
              QStringList headings;
              for (const char* heading : health_texts::PidHeadings()) headings << heading;
              return headings;
          }(),
          "PIDs of the stream")),
      m_pRate(Item<QLineEdit>(kIdRate)),
      m_pMonitor(std::make_shared<CStreamHealthMonitor>()) {
    for (std::size_t i = 0; i < kHealthIndicators; ++i) {
        auto* light = new CHealthLight(this);
        const int column = static_cast<int>(i) % kLightColumns;
        const int row = static_cast<int>(i) / kLightColumns;
        light->setGeometry(DluToPixels(
            kFirstLight.translated(column * kLightColumnStep, row * kLightRowStep), BaseUnits()));
        light->setObjectName(QString::number(kIdFirstLight + static_cast<int>(i)));
        m_lights[i] = light;
    }
    m_pPidTable->setObjectName(QString::number(kIdPids));
    // Each column as wide as its contents, the last too: stretched, it keeps a default width
    // when the room runs short, and pushes the columns past the page's width.
    m_pPidTable->horizontalHeader()->setStretchLastSection(false);
    m_pRate->setToolTip(
        "The stream's rate by its own clock (its PCRs), and the most the tuned carrier can "
        "carry by its modulation, code rate and symbol rate");
    Item<QPushButton>(kIdReset)->setToolTip("Count every indicator and PID from zero again");
    Item<QPushButton>(kIdExport)->setToolTip(
        "Save the indicators with their counts and the PID table as a CSV file");
    setTabOrder(m_pPidTable, m_pRate);
    setTabOrder(m_pRate, Item<QPushButton>(kIdReset));
    setTabOrder(Item<QPushButton>(kIdReset), Item<QPushButton>(kIdExport));
    connect(Item<QPushButton>(kIdReset), &QPushButton::clicked, this, [this] { OnReset(); });
    connect(Item<QPushButton>(kIdExport), &QPushButton::clicked, this, [this] { OnExport(); });
    m_refresh.setInterval(kRefreshPeriodMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] { Refresh(); });
    // Grey, with their names, until the page is first shown.
    Refresh();
}

CStreamHealthPage::~CStreamHealthPage() {
    StopLiveWork();
}

bool CStreamHealthPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    // Attached from the first showing for as long as the graph lives, shown or not: counts since
    // the reset then cover the night the page was hidden, and the analysis is cheap beside the
    // tap's own copy of the stream.
    AttachMonitor();
    Refresh();
    if (isVisible()) m_refresh.start();
    return true;
}

void CStreamHealthPage::OnDestroy() {
    StopLiveWork();
}

void CStreamHealthPage::StopLiveWork() {
    m_refresh.stop();
    DetachMonitor();
}

void CStreamHealthPage::showEvent(QShowEvent* event) {
    CPropertyPage::showEvent(event);
    if (!IsInitialised()) return;
    Refresh();
    m_refresh.start();
}

void CStreamHealthPage::hideEvent(QHideEvent* event) {
    CPropertyPage::hideEvent(event);
    m_refresh.stop();
}

void CStreamHealthPage::AttachMonitor() {
    DetachMonitor();
    m_pMonitor = std::make_shared<CStreamHealthMonitor>();
    // False without a graph: nothing streams, and the page says so.
    m_bAttached = m_session.AddStreamConsumer(m_pMonitor);
}

void CStreamHealthPage::DetachMonitor() {
    if (!m_bAttached) return;
    m_session.RemoveStreamConsumer(m_pMonitor);
    m_bAttached = false;
}

void CStreamHealthPage::NoteCarrierReport(const std::optional<MediaInfoRecord>& report) {
    std::lock_guard guard(m_carrierLock);
    m_carrier = report;
}

void CStreamHealthPage::OnTransponderLocked() {
    {
        std::lock_guard guard(m_carrierLock);
        m_carrier.reset();
    }
    // Another carrier is another stream: what the old one's tables named would read as missing.
    if (!IsInitialised()) return;
    AttachMonitor();
    if (isVisible()) Refresh();
}

void CStreamHealthPage::Refresh() {
    const StreamHealth health = m_pMonitor->Snapshot();
    for (std::size_t i = 0; i < kHealthIndicators; ++i) {
        const auto indicator = static_cast<HealthIndicator>(i);
        m_lights[i]->Show(health_texts::LightOf(health, indicator),
                          Text(health_texts::LightText(health, indicator)),
                          Text(health_texts::SpokenText(health, indicator)));
    }

    const std::vector<health_texts::PidRow> rows = health_texts::PidRows(health);
    m_pPidTable->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        for (int column = 0; column < static_cast<int>(health_texts::kPidColumns); ++column) {
            const QString text =
                Text(rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]);
            QTableWidgetItem* item = m_pPidTable->item(row, column);
            if (item == nullptr) {
                item = new QTableWidgetItem(text);
                if (IsNumberColumn(column))
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                m_pPidTable->setItem(row, column, item);
            } else if (item->text() != text) {
                item->setText(text);
            }
        }
    }

    std::optional<double> useful;
    {
        std::lock_guard guard(m_carrierLock);
        if (m_carrier) useful = stream_info::CarrierUsefulRate(*m_carrier);
    }
    const QString rate = m_bAttached ? Text(health_texts::RateText(health.bitRate, useful))
                                     : QStringLiteral("no stream: no tuner is ready");
    ShowText(m_pRate, rate);
}

void CStreamHealthPage::OnReset() {
    m_pMonitor->ResetCounts();
    Refresh();
}

void CStreamHealthPage::OnExport() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setNameFilters({QStringLiteral("CSV Files (*.csv)"), QStringLiteral("All Files (*.*)")});
    dialog.selectFile(Text(platform::JoinPath(platform::DriveCRoot(), "stream-health.csv")));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::string path = dialog.selectedFiles().constFirst().toStdString();
    // What the page shows now, counted up to this moment.
    const std::string csv = health_texts::Csv(m_pMonitor->Snapshot());
    // A folder, pipe or device at the path stays as it is; a regular file is replaced only by a
    // whole new one.
    CFileReplacement replacement = CFileReplacement::Begin(path);
    int error = replacement.IsOpen() ? replacement.Write(csv) : replacement.Error();
    if (error == 0) error = replacement.Commit(true);
    if (error == 0) return;
    AfxMessageBox(fmt::format(
        "The stream's health was not exported: {} could not be written ({}). Choose a file in a "
        "folder you may write to, on a disk with room, and export again.",
        path, WriteFailure(error)));
}
