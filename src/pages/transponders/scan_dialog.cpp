#include "pages/transponders/scan_dialog.h"

#include <fmt/format.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <algorithm>
#include <array>
#include <mutex>

#include "graph/driver_control.h"
#include "graph/lock_search_time.h"
#include "graph/tuner_session.h"
#include "graph/tuning.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "pages/transponders/list_table.h"
#include "pages/transponders/periodic_worker.h"
#include "pages/transponders/scan_table_item.h"
#include "pages/transponders/window_size.h"
#include "platform/ui/qt/anchored_layout.h"
#include "platform/win/c_number.h"
#include "platform/win/system_clock.h"
#include "scan/scan_reading.h"
#include "scan/scan_store.h"
#include "services/service_scanner.h"
#include "status/signal_monitor.h"

namespace {

// Steps between readings, so that a reading stuck behind a slow driver call does not stop the
// time-outs.
constexpr int kStepPeriodMs = 100;
// The template's size in dialog units; the user may make the window larger.
constexpr QSize kTemplateSize(400, 240);
constexpr const char* kWindowSection = "ScanWindow";

DialogTemplate ScanTemplate(const SatelliteFile& satellite) {
    using enum ControlKind;
    using namespace ControlStyle;
    using D = CScanDialog;
    // clang-format off
    return DialogTemplate{
        D::kIdd,
        "Scan of " + SatelliteLabel(satellite),
        kTemplateSize.width(),
        kTemplateSize.height(),
        {
            {D::kIdStart, PushButton, "Start Scan", 4, 4, 60, 14},
            {D::kIdCancelScan, PushButton, "Cancel Scan", 68, 4, 60, 14, kDisabled},
            {D::kIdProgress, ProgressBar, "", 134, 6, 262, 10, kNone, {}, "Scan progress"},
            {D::kIdStatus, Edit, "", 4, 22, 392, 12, kReadOnly | kBorder, {}, "Scan status"},
            {D::kIdExport, PushButton, "Export CSV...", 4, 222, 64, 14},
            {D::kIdClose, PushButton, "Close", 332, 222, 64, 14},
        },
        DialogStyle::kResizable};
    // clang-format on
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Decibels(const std::optional<double>& value, const char* format) {
    return value ? fmt::format(fmt::runtime(format), *value) : std::string();
}

// The cells of one row, with the numbers they sort by.
std::array<CScanDialog::ScanCell, CScanDialog::kColumns> CellsOf(const ScanRow& row) {
    std::string streams;
    for (const int id : row.inputStreamIds)
        streams += (streams.empty() ? "" : " ") + std::to_string(id);
    const auto number = [](const auto& value) -> std::optional<double> {
        if (!value) return std::nullopt;
        return static_cast<double>(*value);
    };
    const std::optional<double> lockSeconds =
        row.lockMs ? std::optional<double>(*row.lockMs / 1000.0) : std::nullopt;
    return {
        {{fmt::format("{}", row.frequencyMHz), row.frequencyMHz},
         {std::string(1, row.polarisation), std::nullopt},
         {std::to_string(row.symbolRateKsps), row.symbolRateKsps},
         {row.locked ? "yes" : "no", std::nullopt},
         {lockSeconds ? fmt::format("{:.2f}", *lockSeconds) : "", lockSeconds},
         {Decibels(row.carrierToNoiseDb, "{:.1f}"), row.carrierToNoiseDb},
         {Decibels(row.marginDb, "{:+.1f}"), row.marginDb},
         {row.deliverySystem, std::nullopt},
         {row.modCod, std::nullopt},
         {streams, row.inputStreamIds.empty() ? std::nullopt
                                              : number(std::optional(row.inputStreamIds.size()))},
         {row.services ? std::to_string(*row.services) : "", number(row.services)}}};
}

}  // namespace

CScanDialog::CScanDialog(CBdacontrolDlg& tunerPage, SatelliteFile satellite,
                         std::shared_ptr<CServiceScanner> scanner, QWidget* parent)
    : CDialog(ScanTemplate(satellite), parent),
      m_tunerPage(tunerPage),
      m_satellite(std::move(satellite)),
      m_pScanner(std::move(scanner)),
      m_pStartButton(Item<QPushButton>(kIdStart)),
      m_pCancelButton(Item<QPushButton>(kIdCancelScan)),
      m_pExportButton(Item<QPushButton>(kIdExport)),
      m_pProgress(Item<QProgressBar>(kIdProgress)),
      m_pStatus(Item<QLineEdit>(kIdStatus)),
      m_pTable(MakeListTable(this, QRect(4, 38, 392, 180), BaseUnits(),
                             {"Frequency", "Pol.", "Symbol rate", "Locked", "Lock (s)", "C/N (dB)",
                              "Margin (dB)", "System", "MODCOD", "ISIs", "Services"},
                             "Scan results")) {
    m_pTable->setObjectName(QString::number(kIdResults));
    auto* anchors = new CAnchoredLayout(this, kTemplateSize, BaseUnits());
    anchors->Anchor(m_pTable, {0, 0, 1, 1});
    anchors->Anchor(m_pProgress, {0, 0, 1, 0});
    anchors->Anchor(m_pStatus, {0, 0, 1, 0});
    anchors->Anchor(m_pExportButton, {0, 1, 0, 0});
    anchors->Anchor(Item<QPushButton>(kIdClose), {1, 1, 0, 0});
    window_size::Restore(this, kWindowSection);
    // Widths measured per new cell (FitColumns): the header's own fitting measures a thousand rows
    // at every cell set, seconds for a table of thousands.
    QHeaderView* header = m_pTable->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    for (int column = 0; column < kColumns; ++column)
        header->resizeSection(column, header->sectionSizeHint(column));
    m_pTable->setSortingEnabled(true);
    m_pTable->sortByColumn(-1, Qt::AscendingOrder);  // scan order until the user sorts
    setTabOrder(m_pStatus, m_pTable);
    setTabOrder(m_pTable, m_pExportButton);
    m_pProgress->setFormat(QStringLiteral("%v of %m"));
    m_pProgress->setTextVisible(true);
    m_pProgress->setRange(0, std::max<int>(1, static_cast<int>(m_satellite.transponders.size())));
    m_pProgress->setValue(0);

    connect(m_pStartButton, &QPushButton::clicked, this, [this] { OnStart(); });
    connect(m_pCancelButton, &QPushButton::clicked, this, [this] { OnCancelScan(); });
    connect(m_pExportButton, &QPushButton::clicked, this, [this] { OnExport(); });
    m_stepTimer.setInterval(kStepPeriodMs);
    connect(&m_stepTimer, &QTimer::timeout, this, [this] { Advance(nullptr); });
}

CScanDialog::~CScanDialog() {
    if (m_pWorker) m_pWorker->Stop();
}

bool CScanDialog::OnInitDialog() {
    m_strStorePath = scan_store::PathOf(scan_store::FileStem(m_satellite));
    ShowLastScan();
    m_pWorker = std::make_unique<CPeriodicWorker>([this] { ReadCard(); }, kScanReadPeriodMs);
    EnableButtons();
    return true;
}

void CScanDialog::OnDestroy() {
    window_size::Keep(this, size(), kWindowSection);
    if (m_pScan) {
        // The page's transponder is tuned again before the dialog goes; the window keeps
        // answering meanwhile (a message box of the tune needs it).
        OnCancelScan();
        while (m_pScan) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (m_pWorker) m_pWorker->Stop();
}

void CScanDialog::OnCancel() {
    if (m_pScan) OnCancelScan();
    EndDialog(IDCANCEL);
}

void CScanDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_pScan) {
        OnCancelScan();
        event->accept();
        return;
    }
    CDialog::keyPressEvent(event);
}

void CScanDialog::ShowLastScan() {
    std::string error;
    const auto rows = scan_store::Load(m_strStorePath, error);
    if (rows) {
        ShowRows(*rows);
        const QString made = QFileInfo(Text(m_strStorePath))
                                 .lastModified()
                                 .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        SetStatus(fmt::format("Last scan of {}: {} of {} transponders locked.", made.toStdString(),
                              LockedCount(*rows), rows->size()));
    } else if (!error.empty()) {
        SetStatus("The last scan could not be read: " + error);
    } else {
        SetStatus(
            fmt::format("No scan of this satellite yet. Start Scan tunes its {} "
                        "transponders in turn.",
                        m_satellite.transponders.size()));
    }
}

void CScanDialog::OnStart() {
    if (m_pScan) return;
    m_pageEntry =
        TunerEntry{m_tunerPage.FieldText(TunerField::Frequency),
                   m_tunerPage.FieldText(TunerField::SymbolRate), m_tunerPage.PolarityIndex()};
    m_nBaseTick = GetTickCount();
    m_nStartMs = NowMs();
    m_bExtendedCodes = m_session.IsExtendedModel();
    const auto field = [this](TunerField which) {
        return QString::fromStdString(m_tunerPage.FieldText(which)).toInt();
    };
    std::vector<bool> tunable;
    for (const SatelliteTransponder& transponder : m_satellite.transponders) {
        tunable.push_back(WithinTunerRange(transponder.frequencyMHz, field(TunerField::LnbLow),
                                           field(TunerField::LnbHigh),
                                           field(TunerField::LnbSwitch)));
    }
    m_pScan = std::make_unique<CSatelliteScan>(m_satellite.transponders, std::move(tunable));
    m_nGeneration = m_pScan->Generation();
    ShowRows({});
    EnableButtons();
    m_pCancelButton->setFocus();
    m_pWorker->SetRunning(true);
    m_stepTimer.start();
    Advance(nullptr);
}

void CScanDialog::OnCancelScan() {
    if (!m_pScan) return;
    m_pScan->Cancel();
    EnableButtons();
    Advance(nullptr);
}

// On the worker: one reading of the card, in the generation the window had set before it began.
void CScanDialog::ReadCard() {
    const ScanObservation reading = ReadScanObservation(
        m_session, m_pScanner.get(), m_nGeneration.load(), NowMs(), m_bExtendedCodes.load());
    QMetaObject::invokeMethod(
        this, [this, reading] { OnReading(reading); }, Qt::QueuedConnection);
}

void CScanDialog::OnReading(const ScanObservation& reading) {
    if (m_pScan) Advance(&reading);
}

std::uint64_t CScanDialog::NowMs() const {
    // A span from the scan's start: right across the tick count's wrap.
    return static_cast<DWORD>(GetTickCount() - m_nBaseTick.load());
}

void CScanDialog::StartTune(const TunerEntry& entry) {
    const Transponder transponder =
        m_tunerPage.ListedTransponder(platform::Atoi(entry.frequencyMHz),
                                      platform::Atoi(entry.symbolRateKsps), entry.polarityIndex);
    // The driver's part on the worker, so a slow driver never holds the window up; the page and
    // the scan hear of its end on the window's thread, the page first.
    m_pWorker->RunOnce([this, transponder] {
        const auto lockWait =
            static_cast<std::uint64_t>(LockSearchTime(m_session, transponder).count());
        const std::uint64_t tunedMs = NowMs();
        const TuneResult result = Tune(m_session, transponder);
        QMetaObject::invokeMethod(
            this,
            [this, tunedMs, result, lockWait] {
                m_tunerPage.ListedTransponderTuned(result);
                OnTuned(tunedMs, result, lockWait);
            },
            Qt::QueuedConnection);
    });
}

void CScanDialog::OnTuned(std::uint64_t tunedMs, const TuneResult& result,
                          std::uint64_t lockWaitMs) {
    if (!m_pScan) return;
    // Without a tuner nothing more can be tuned: the scan ends (the page has said why).
    const bool noTuner = std::any_of(result.errors.begin(), result.errors.end(), [](const auto& e) {
        return e.kind == TuneError::Kind::NoTuner;
    });
    if (noTuner) {
        m_pScan->Refused();
    } else {
        m_nGeneration = m_pScan->Acted(tunedMs, lockWaitMs);
    }
    Advance(nullptr);
}

void CScanDialog::Advance(const ScanObservation* reading) {
    // A tune may show a message box, whose loop would deliver readings in the middle of it.
    if (!m_pScan || m_bAdvancing) return;
    m_bAdvancing = true;
    while (m_pScan) {
        const ScanStep step = m_pScan->Step(NowMs(), reading);
        reading = nullptr;
        if (step.action == ScanAction::Wait) break;
        if (step.action == ScanAction::Finished) {
            Finish();
            break;
        }
        if (step.action == ScanAction::ResetServices) {
            if (m_pScanner) m_pScanner->Reset();
            m_nGeneration = m_pScan->Acted(NowMs());
            continue;
        }
        // A tune: the scan waits (OnTuned) until it is done.
        TunerEntry entry = m_pageEntry;
        if (step.action == ScanAction::Tune) {
            const SatelliteTransponder& transponder = m_pScan->Transponders()[step.index];
            SetStatus(fmt::format("Scanning {} of {}: {} {} {}", step.index + 1,
                                  m_pScan->Transponders().size(), transponder.frequencyMHz,
                                  transponder.polarisation, transponder.symbolRateKsps));
            entry = TunerEntryOf(transponder);
        }
        StartTune(entry);
    }
    if (m_pScan) ShowNewRows(m_pScan->Rows());
    m_bAdvancing = false;
}

void CScanDialog::Finish() {
    m_stepTimer.stop();
    m_pWorker->SetRunning(false);
    const std::unique_ptr<CSatelliteScan> scan = std::move(m_pScan);
    ShowNewRows(scan->Rows());
    const double seconds = static_cast<double>(NowMs() - m_nStartMs) / 1000.0;
    const std::size_t locked = LockedCount(m_rows);
    if (scan->IsRefused()) {
        SetStatus("The scan stopped: no tuner is ready to tune. The scan was not saved.");
    } else if (scan->IsCancelled()) {
        SetStatus(
            fmt::format("Scan cancelled after {} of {} transponders ({} locked); the Tuner "
                        "Setting page's transponder is tuned again.",
                        m_rows.size(), scan->Transponders().size(), locked));
    } else {
        std::string text = fmt::format("Scan finished in {:.1f} s: {} of {} transponders locked.",
                                       seconds, locked, m_rows.size());
        if (scan->Untunable() > 0) {
            text += fmt::format(
                " {} lie outside what the tuner takes through this LNB (950 to "
                "2150 MHz) and were not tuned.",
                scan->Untunable());
        }
        std::string error;
        if (!scan_store::Save(m_strStorePath, m_rows, error))
            text += " The scan could not be saved: " + error;
        SetStatus(text);
    }
    EnableButtons();
    if (isVisible()) m_pStartButton->setFocus();
}

void CScanDialog::OnExport() {
    const auto path = AskExportPath();
    if (!path) return;
    std::string error;
    if (scan_store::Save(path->toStdString(), m_rows, error)) {
        SetStatus(
            fmt::format("Exported {} transponders to {}.", m_rows.size(), path->toStdString()));
    } else {
        SetStatus("Export failed. " + error);
    }
}

std::optional<QString> CScanDialog::AskExportPath() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setNameFilters({QStringLiteral("CSV Files (*.csv)"), QStringLiteral("All Files (*.*)")});
    dialog.selectFile(QFileInfo(Text(m_strStorePath)).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void CScanDialog::ShowRows(const std::vector<ScanRow>& rows) {
    m_rows.clear();
    m_pTable->setRowCount(0);
    m_pProgress->setValue(0);
    ShowNewRows(rows);
    EnableButtons();
}

void CScanDialog::ShowNewRows(const std::vector<ScanRow>& rows) {
    const std::size_t shown = m_rows.size();
    if (rows.size() == shown) return;
    // One row: with sorting on, the table moves it to its place by a binary search as the item of
    // the sort column is set, so that one goes in last and nothing else is sorted again. Many (a
    // stored scan, transponders passed over): put in unsorted and sorted once.
    const bool many = rows.size() - shown > 1;
    if (many) m_pTable->setSortingEnabled(false);
    const int sortColumn =
        m_pTable->isSortingEnabled() ? m_pTable->horizontalHeader()->sortIndicatorSection() : -1;
    const int first = m_pTable->rowCount();
    m_pTable->setRowCount(first + static_cast<int>(rows.size() - shown));
    const QFontMetrics metrics(m_pTable->font());
    std::array<int, kColumns> widest{};
    for (std::size_t index = shown; index < rows.size(); ++index) {
        const int row = first + static_cast<int>(index - shown);
        const auto cells = CellsOf(rows[index]);
        const auto put = [&](int column) {
            const QString text = Text(cells[static_cast<std::size_t>(column)].first);
            int& width = widest[static_cast<std::size_t>(column)];
            width = std::max(width, metrics.horizontalAdvance(text));
            m_pTable->setItem(
                row, column,
                new CScanTableItem(text, cells[static_cast<std::size_t>(column)].second));
        };
        for (int column = 0; column < kColumns; ++column) {
            if (column != sortColumn) put(column);
        }
        if (sortColumn >= 0 && sortColumn < kColumns) put(sortColumn);
        m_rows.push_back(rows[index]);
    }
    FitColumns(widest);
    if (many) m_pTable->setSortingEnabled(true);
    m_pProgress->setValue(static_cast<int>(m_rows.size()));
}

void CScanDialog::FitColumns(const std::array<int, kColumns>& textWidths) {
    // As an item view lays out a line of text: the text between two focus-frame margins.
    const int padding =
        2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_pTable) + 1);
    QHeaderView* header = m_pTable->horizontalHeader();
    for (int column = 0; column < kColumns; ++column) {
        const int width = textWidths[static_cast<std::size_t>(column)] + padding;
        if (width > header->sectionSize(column)) header->resizeSection(column, width);
    }
}

void CScanDialog::SetStatus(const std::string& text) {
    m_pStatus->setText(Text(text));
    m_pStatus->setCursorPosition(0);
}

void CScanDialog::EnableButtons() {
    const bool scanning = m_pScan != nullptr;
    m_pStartButton->setEnabled(!scanning && !m_satellite.transponders.empty());
    m_pCancelButton->setEnabled(scanning && !m_pScan->IsCancelled());
    m_pExportButton->setEnabled(!scanning && !m_rows.empty());
}
