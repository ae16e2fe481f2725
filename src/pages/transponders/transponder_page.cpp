#include "pages/transponders/transponder_page.h"

#include <fmt/format.h>

#include <QComboBox>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>
#include <array>
#include <cmath>

#include "core/ini_file.h"
#include "data/listed_transponder.h"
#include "graph/tuner_session.h"
#include "graph/tuning.h"
#include "pages/common/shown_text.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "pages/settings/settings_save.h"
#include "pages/transponders/dish_window.h"
#include "pages/transponders/list_table.h"
#include "pages/transponders/network_dialog.h"
#include "pages/transponders/periodic_worker.h"
#include "pages/transponders/scan_dialog.h"
#include "pages/transponders/window_size.h"
#include "platform/ui/message_box.h"
#include "platform/ui/qt/anchored_layout.h"
#include "platform/ui/qt/property_sheet.h"
#include "platform/win/c_number.h"
#include "platform/win/file_locations.h"
#include "platform/win/system_clock.h"
#include "positioner/motor_port.h"
#include "positioner/satellite_list.h"
#include "scan/satellite_scan.h"
#include "services/service_info.h"
#include "services/service_scanner.h"
#include "sink/stream_tap_filter.h"
#include "status/signal_texts.h"
#include "watch/player_feed.h"

namespace {

constexpr const char* kSection = "Transponders";
constexpr const char* kSatelliteKey = "Satellite";
constexpr const char* kPlayerKey = "Player";
constexpr const char* kDishSection = "Dish";
constexpr const char* kDishAngleKey = "Angle";
constexpr const char* kDishReferencedKey = "Referenced";
// The signal as often as a pointing hand needs it; the services and the player's counts twice a
// second.
constexpr int kSignalPeriodMs = 500;
constexpr int kRefreshPeriodMs = 500;
// The template's size in dialog units, the page's size in its tab. In a window of its own it
// grows: the tables take the room, three fifths of the height to the transponders.
constexpr QSize kTemplateSize(302, 158);
constexpr QRect kSignalGroup(174, 0, 124, 89);
constexpr QRect kPlayerRow(0, 140, 302, 18);
constexpr double kTransponderShare = 0.6;
constexpr const char* kWindowSection = "PageWindow";
// What the page's own window shows at first: rows of each table, and all their columns.
constexpr int kRoomyTransponderRows = 15;
constexpr int kRoomyServiceRows = 8;
// Pixels a cell adds to its text's width (the style's margins and the grid line).
constexpr int kCellMargins = 12;

DialogTemplate TransponderPageTemplate() {
    using enum ControlKind;
    using namespace ControlStyle;
    using P = CTransponderPage;
    // clang-format off
    return DialogTemplate{
        P::kIdd,
        "Transponders",
        kTemplateSize.width(),
        kTemplateSize.height(),
        {
            {kStaticId, Label, "Transponders of:", 4, 5, 58, 8},
            {P::kIdSatellite, DropDownList, "", 64, 2, 106, 120, kVerticalScroll},
            {kStaticId, GroupBox, "Signal in dB", 174, 0, 124, 89},
            {kStaticId, Label, "MODCOD:", 178, 10, 33, 8},
            {P::kIdModCod, Edit, "", 212, 9, 82, 10, kReadOnly | kBorder},
            {kStaticId, Label, "C/N:", 178, 21, 33, 8},
            {P::kIdCarrierToNoise, Edit, "", 212, 20, 82, 10, kReadOnly | kBorder},
            {kStaticId, Label, "Needs:", 178, 32, 33, 8},
            {P::kIdRequired, Edit, "", 212, 31, 82, 10, kReadOnly | kBorder},
            {kStaticId, Label, "Margin:", 178, 43, 33, 8},
            {P::kIdMargin, Edit, "", 212, 42, 82, 10, kReadOnly | kBorder},
            {kStaticId, Label, "Level:", 178, 54, 33, 8},
            {P::kIdLevel, Edit, "", 212, 53, 82, 10, kReadOnly | kBorder},
            {kStaticId, Label, "BER:", 178, 65, 33, 8},
            {P::kIdBitErrorRate, Edit, "", 212, 64, 82, 10, kReadOnly | kBorder},
            {kStaticId, Label, "UNC:", 178, 76, 33, 8},
            {P::kIdUncorrected, Edit, "", 212, 75, 82, 10, kReadOnly | kBorder},
            {P::kIdScan, PushButton, "Scan...", 266, 92, 32, 14},
            {P::kIdDish, PushButton, "Dish...", 266, 108, 32, 14},
            {P::kIdOwnWindow, PushButton, "Window", 266, 124, 32, 14},
            {P::kIdWatch, PushButton, "Watch", 4, 141, 40, 14},
            {P::kIdStopWatching, PushButton, "Stop Player", 47, 141, 50, 14},
            {P::kIdNetwork, PushButton, "Network...", 100, 141, 44, 14},
            {kStaticId, Label, "Player:", 147, 144, 26, 8},
            {P::kIdPlayer, Edit, "", 174, 141, 46, 14, kBorder},
            {P::kIdPlayerStatus, Edit, "", 224, 141, 74, 14, kReadOnly | kBorder, {},
             "Player status"},
        }};
    // clang-format on
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// The services table's columns: number, name, provider, type, video and audio streams (PID and
// codec), scrambled or free.
constexpr int kServiceColumns = 7;

std::string StreamsOfKind(const ServiceInfo& service, StreamKind kind) {
    std::string text;
    for (const ElementaryStreamInfo& stream : service.streams) {
        if (stream.kind != kind) continue;
        if (!text.empty()) text += "; ";
        text += fmt::format("{} {}", stream.pid, stream.codec);
        if (!stream.language.empty()) text += " (" + stream.language + ")";
    }
    return text.empty() ? std::string("-") : text;
}

std::array<std::string, kServiceColumns> ServiceRowTexts(const ServiceInfo& service) {
    return {std::to_string(service.serviceNumber),
            service.name.empty() ? std::string("-") : service.name,
            service.provider.empty() ? std::string("-") : service.provider,
            service.serviceTypeText.empty() ? std::string("-") : service.serviceTypeText,
            StreamsOfKind(service, StreamKind::Video),
            StreamsOfKind(service, StreamKind::Audio),
            service.IsScrambled() ? "scrambled" : "free"};
}

// The button says what it does next; screen readers hear the same.
void NameOwnWindowButton(QPushButton* button, const char* name) {
    button->setText(name);
    button->setAccessibleName(name);
}

}  // namespace

CTransponderPage::CTransponderPage(CBdacontrolDlg& tunerPage, QWidget* parent)
    : CPropertyPage(TransponderPageTemplate(), parent),
      m_tunerPage(tunerPage),
      m_pSatelliteList(Item<QComboBox>(kIdSatellite)),
      m_pPlayerCommand(Item<QLineEdit>(kIdPlayer)),
      m_pPlayerStatus(Item<QLineEdit>(kIdPlayerStatus)),
      m_pWatchButton(Item<QPushButton>(kIdWatch)),
      m_pStopButton(Item<QPushButton>(kIdStopWatching)),
      m_pTransponderTable(
          MakeListTable(this, QRect(4, 18, 166, 71), BaseUnits(),
                        {"Frequency", "Pol.", "Symbol rate", "System", "Modulation", "FEC", "File"},
                        "Transponders")),
      m_pServiceTable(MakeListTable(this, QRect(4, 93, 258, 44), BaseUnits(),
                                    {"No.", "Name", "Provider", "Type", "Video", "Audio", "Access"},
                                    "Services")),
      m_pScanner(std::make_shared<CServiceScanner>()) {
    m_pTransponderTable->setObjectName(QString::number(kIdTransponders));
    m_pServiceTable->setObjectName(QString::number(kIdServices));
    m_pTransponderTable->installEventFilter(this);
    m_pPlayerCommand->setPlaceholderText("mpv, ffplay or vlc");
    m_pPlayerCommand->setToolTip(
        "A command that plays a transport stream from its standard input; empty: the first of "
        "mpv, ffplay and vlc found");
    setTabOrder(m_pSatelliteList, m_pTransponderTable);
    setTabOrder(m_pTransponderTable, Item<QLineEdit>(kIdModCod));
    setTabOrder(Item<QLineEdit>(kIdUncorrected), m_pServiceTable);
    setTabOrder(m_pServiceTable, Item<QPushButton>(kIdScan));
    setTabOrder(Item<QPushButton>(kIdScan), Item<QPushButton>(kIdDish));
    setTabOrder(Item<QPushButton>(kIdDish), m_pWatchButton);
    Item<QPushButton>(kIdScan)->setToolTip(
        "Tune every transponder of the satellite in turn and list what each one carries");
    Item<QPushButton>(kIdDish)->setToolTip(
        "A fast signal meter with its last minute and a tone, and the motor as it turns");
    Item<QPushButton>(kIdNetwork)
        ->setToolTip(
            "Send the stream, or the chosen service, to the network: UDP or RTP datagrams, or an "
            "HTTP server for players");
    m_pStopButton->setEnabled(false);
    Item<QPushButton>(kIdOwnWindow)
        ->setToolTip("Show the page in a window of its own, as large as you make it");

    auto* anchors = new CAnchoredLayout(this, kTemplateSize, BaseUnits());
    anchors->Anchor(m_pTransponderTable, {0, 0, 1, kTransponderShare});
    anchors->Anchor(m_pServiceTable, {0, kTransponderShare, 1, 1 - kTransponderShare});
    anchors->Anchor(m_pSatelliteList, {0, 0, 1, 0});
    for (const int id : {kIdScan, kIdDish, kIdOwnWindow})
        anchors->Anchor(Item<QPushButton>(id), {1, kTransponderShare, 0, 0});
    anchors->AnchorInside(kSignalGroup, {1, 0, 0, 0});
    anchors->Anchor(m_pPlayerCommand, {0, 1, 1, 0});
    anchors->Anchor(m_pPlayerStatus, {1, 1, 0, 0});
    anchors->AnchorInside(kPlayerRow, {0, 1, 0, 0});

    connect(m_pSatelliteList, &QComboBox::activated, this, [this] { OnSatelliteChosen(); });
    // Enter (the event filter) and a double-click tune; a single click only chooses.
    connect(m_pTransponderTable, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { OnTransponderActivated(row); });
    connect(Item<QPushButton>(kIdScan), &QPushButton::clicked, this, [this] { OnScan(); });
    connect(Item<QPushButton>(kIdDish), &QPushButton::clicked, this, [this] { OnDish(); });
    connect(Item<QPushButton>(kIdNetwork), &QPushButton::clicked, this, [this] { OnNetwork(); });
    connect(Item<QPushButton>(kIdOwnWindow), &QPushButton::clicked, this,
            [this] { OnOwnWindow(); });
    connect(m_pWatchButton, &QPushButton::clicked, this, [this] { OnWatch(); });
    connect(m_pStopButton, &QPushButton::clicked, this, [this] { OnStopWatching(); });
    connect(m_pPlayerCommand, &QLineEdit::editingFinished, this, [this] {
        SaveSetting(this, platform::TransponderPageSettingsFile(), kSection, kPlayerKey,
                    m_pPlayerCommand->text().toStdString());
    });
    m_refresh.setInterval(kRefreshPeriodMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] {
        RefreshServices();
        ShowPlayerStatus();
    });
    LoadDishAngle();
}

CTransponderPage::~CTransponderPage() {
    StopLiveWork();
    SetDiseqcSentListener(m_session, {});
    SaveDishAngle();
}

void CTransponderPage::LoadDishAngle() {
    bool valid = false;
    const double angle =
        QString::fromStdString(
            ReadIniString(platform::TransponderPageSettingsFile(), kDishSection, kDishAngleKey))
            .toDouble(&valid);
    const bool referenced = ReadIniString(platform::TransponderPageSettingsFile(), kDishSection,
                                          kDishReferencedKey) == "1";
    m_loadedDish =
        DishMotion{valid ? angle : 0.0, false, std::nullopt, std::nullopt, valid && referenced};
    m_pDishEstimate =
        std::make_shared<CDishMotionEstimate>(m_loadedDish.angle, m_loadedDish.referenced);
    SetDiseqcSentListener(m_session, [estimate = m_pDishEstimate](
                                         std::span<const std::uint8_t> message, MotorReach reach) {
        estimate->OnMessage(message, GetTickCount64(), reach);
    });
}

void CTransponderPage::SaveDishAngle() {
    // Where a movement under way ends, when that is known: the motor goes on without us.
    const DishMotion motion = m_pDishEstimate->At(GetTickCount64());
    const double angle = motion.moving && motion.target ? *motion.target : motion.angle;
    const bool referenced =
        motion.referenced && !motion.assumed && (!motion.moving || motion.target);
    // Unchanged (or saved already, when the window went): nothing to write, and no settings
    // write, which may fail, as the program ends.
    if (angle == m_loadedDish.angle && referenced == m_loadedDish.referenced) return;
    SaveSetting(this, platform::TransponderPageSettingsFile(), kDishSection, kDishAngleKey,
                fmt::format("{:.2f}", angle));
    SaveSetting(this, platform::TransponderPageSettingsFile(), kDishSection, kDishReferencedKey,
                referenced ? "1" : "0");
    m_loadedDish.angle = angle;
    m_loadedDish.referenced = referenced;
}

bool CTransponderPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_positions = GroupByOrbitalPosition(ReadSatelliteFolder(SatelliteFolderPath()));
    // East to west across the sky, as a dish turns.
    std::stable_sort(m_positions.begin(), m_positions.end(),
                     [](const OrbitalPosition& a, const OrbitalPosition& b) {
                         const auto eastFirst = [](int tenths) {
                             return tenths <= 1800 ? 1800 - tenths : 5400 - tenths;
                         };
                         return eastFirst(a.satellite.orbitalTenthsEast) <
                                eastFirst(b.satellite.orbitalTenthsEast);
                     });
    const QString remembered = QString::fromStdString(
        ReadIniString(platform::TransponderPageSettingsFile(), kSection, kSatelliteKey));
    for (const OrbitalPosition& position : m_positions)
        m_pSatelliteList->addItem(QString::fromStdString(SatelliteLabel(position.satellite)));
    int index = m_pSatelliteList->findText(remembered);
    // A label saved before the files of a position were merged ("19.2E  Astra-1L") still finds
    // its position.
    if (index < 0 && remembered.contains("  ")) {
        index =
            m_pSatelliteList->findText(remembered.section("  ", 0, 0) + "  ", Qt::MatchStartsWith);
    }
    index = std::max(0, index);
    if (m_pSatelliteList->count() > 0) m_pSatelliteList->setCurrentIndex(index);
    OnSatelliteChosen();
    FollowTheTuner();
    m_pPlayerCommand->setText(
        Text(ReadIniString(platform::TransponderPageSettingsFile(), kSection, kPlayerKey)));
    ShowSignal(SignalMeasureResult{});
    AttachScanner();
    m_pSignalWorker = std::make_unique<CPeriodicWorker>([this] { PollSignal(); }, kSignalPeriodMs);
    m_pSignalWorker->SetRunning(isVisible());
    if (isVisible()) m_refresh.start();
    return true;
}

void CTransponderPage::OnDestroy() {
    StopLiveWork();
    SaveDishAngle();
}

void CTransponderPage::StopLiveWork() {
    m_refresh.stop();
    if (m_pSignalWorker) m_pSignalWorker->Stop();
    if (m_pDishWindow) m_pDishWindow->StopLiveWork();
    if (m_pNetworkDialog) m_pNetworkDialog->StopOutput();
    OnStopWatching();
    // The players' ends must not come after the page: wait for them here.
    for (const auto& feed : m_stoppingFeeds) feed->Stop();
    m_stoppingFeeds.clear();
}

void CTransponderPage::showEvent(QShowEvent* event) {
    CPropertyPage::showEvent(event);
    if (m_pSignalWorker) m_pSignalWorker->SetRunning(true);
    if (IsInitialised()) {
        m_refresh.start();
        FollowTheTuner();
    }
}

void CTransponderPage::hideEvent(QHideEvent* event) {
    CPropertyPage::hideEvent(event);
    if (m_pSignalWorker) m_pSignalWorker->SetRunning(false);
    // The player's counts keep coming while it plays; the services wait for the page.
    if (!m_pFeed) m_refresh.stop();
}

void CTransponderPage::AttachScanner() {
    // The tap lives with the graph, which the Tuner Setting page built before this page was
    // first shown.
    m_session.AddStreamConsumer(m_pScanner);
}

void CTransponderPage::NoteCarrierReport(const std::optional<MediaInfoRecord>& report) {
    {
        std::lock_guard guard(m_carrierLock);
        m_carrier = report;
    }
    ProveDishByLock(report.has_value());
}

void CTransponderPage::ProveDishByLock(bool locked) {
    // The first locked report after a tune may have been read before it; the second is of it.
    constexpr int kLockedReportsOfTheTune = 2;
    if (!locked) {
        m_nLockedReportsSinceTune = 0;
        return;
    }
    if (++m_nLockedReportsSinceTune != kLockedReportsOfTheTune) return;
    const std::optional<CTunerSession::TunedCarrier> tuned = m_session.LastTuned();
    if (!tuned || !motor_port::Reaches(motor_port::Read(platform::TransponderPageSettingsFile()),
                                       tuned->diseqcPortIndex))
        return;
    m_pDishEstimate->ProveByLock(m_nTunedMs, GetTickCount64());
}

void CTransponderPage::OnTransponderLocked() {
    m_nTunedMs = GetTickCount64();
    m_nLockedReportsSinceTune = 0;
    m_pScanner->Reset();
    {
        std::lock_guard guard(m_carrierLock);
        m_carrier.reset();
    }
    m_nServicesShown = ~std::uint64_t{0};
    if (IsInitialised()) {
        RefreshServices();
        FollowTheTuner();
        MarkTunedRow();
    }
}

std::optional<int> CTransponderPage::TunedRowIn(const OrbitalPosition& position) const {
    const std::optional<CTunerSession::TunedCarrier> tuned = m_session.LastTuned();
    if (!tuned) return std::nullopt;
    const auto& transponders = position.satellite.transponders;
    for (int row = 0; row < static_cast<int>(transponders.size()); ++row) {
        const TunerEntry entry = TunerEntryOf(transponders[row]);
        if (platform::Atoi(entry.frequencyMHz) == tuned->frequencyMHz &&
            entry.polarityIndex == tuned->polarityIndex)
            return row;
    }
    return std::nullopt;
}

void CTransponderPage::MarkTunedRow() {
    const int index = m_pSatelliteList->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_positions.size())) return;
    const std::optional<int> tuned = TunedRowIn(m_positions[index]);
    for (int row = 0; row < m_pTransponderTable->rowCount(); ++row) {
        for (int column = 0; column < m_pTransponderTable->columnCount(); ++column) {
            QTableWidgetItem* item = m_pTransponderTable->item(row, column);
            // Only the rows that change: each change has the columns measured again.
            if (item == nullptr || item->font().bold() == (tuned == row)) continue;
            QFont font = item->font();
            font.setBold(tuned == row);
            item->setFont(font);
            item->setToolTip(tuned == row ? "The transponder the tuner was tuned to last" : "");
        }
    }
}

void CTransponderPage::FollowTheTuner() {
    const std::optional<CTunerSession::TunedCarrier> tuned = m_session.LastTuned();
    if (!tuned || tuned == m_followed) return;
    m_followed = tuned;
    for (int index = 0; index < static_cast<int>(m_positions.size()); ++index) {
        const std::optional<int> row = TunedRowIn(m_positions[index]);
        if (!row) continue;
        if (index != m_pSatelliteList->currentIndex()) {
            m_pSatelliteList->setCurrentIndex(index);
            OnSatelliteChosen();
        }
        m_pTransponderTable->setCurrentCell(*row, 0);
        return;
    }
}

// On the signal worker.
void CTransponderPage::PollSignal() {
    const SignalMeasureResult measure = GetSignalMeasure(m_session);
    QMetaObject::invokeMethod(
        this, [this, measure] { ShowSignal(measure); }, Qt::QueuedConnection);
}

void CTransponderPage::ShowSignal(const SignalMeasureResult& measure) {
    std::optional<MediaInfoRecord> carrier;
    {
        std::lock_guard guard(m_carrierLock);
        carrier = m_carrier;
    }
    const SignalTexts texts = DescribeSignal(measure, carrier);
    const std::pair<int, const std::string*> fields[] = {
        {kIdModCod, &texts.modCod},
        {kIdCarrierToNoise, &texts.carrierToNoise},
        {kIdRequired, &texts.required},
        {kIdMargin, &texts.margin},
        {kIdLevel, &texts.level},
        {kIdBitErrorRate, &texts.bitErrorRate},
        {kIdUncorrected, &texts.uncorrected},
    };
    for (const auto& [id, text] : fields) {
        auto* field = Item<QLineEdit>(id);
        if (field->text() != Text(*text)) field->setText(Text(*text));
    }
}

void CTransponderPage::RefreshServices() {
    const std::uint64_t revision = m_pScanner->Revision();
    if (revision == m_nServicesShown) return;
    m_nServicesShown = revision;
    const int chosen = m_pServiceTable->currentRow();
    const std::vector<ServiceInfo> services = m_pScanner->Snapshot();
    m_pServiceTable->setRowCount(static_cast<int>(services.size()));
    for (int row = 0; row < static_cast<int>(services.size()); ++row) {
        const auto texts = ServiceRowTexts(services[static_cast<std::size_t>(row)]);
        for (int column = 0; column < kServiceColumns; ++column) {
            auto* item = new QTableWidgetItem(Text(texts[static_cast<std::size_t>(column)]));
            if (column == 0) item->setData(Qt::UserRole, services[row].serviceNumber);
            m_pServiceTable->setItem(row, column, item);
        }
    }
    if (chosen >= 0 && chosen < m_pServiceTable->rowCount())
        m_pServiceTable->setCurrentCell(chosen, 0);
}

void CTransponderPage::OnWatch() {
    if (m_pFeed) OnStopWatching();
    if (!m_session.HasStreamTap()) {
        AfxMessageBox("No tuner is ready: there is no stream to watch.");
        return;
    }
    const std::string command = m_pPlayerCommand->text().trimmed().toStdString();
    CPlayerFeed::Options options;
    options.argv =
        command.empty() ? CPlayerFeed::DefaultPlayer() : CPlayerFeed::ShellCommand(command);
    if (options.argv.empty()) {
        AfxMessageBox(
            "No media player was found. Install mpv, ffplay or vlc, or type a command that plays "
            "a transport stream from its standard input into the \"Player:\" box.");
        return;
    }
    const int row = m_pServiceTable->currentRow();
    if (row >= 0 && m_pServiceTable->item(row, 0) != nullptr) {
        options.service =
            static_cast<std::uint16_t>(m_pServiceTable->item(row, 0)->data(Qt::UserRole).toUInt());
    }
    options.logPath = platform::PlayerLogFile();
    auto feed = std::make_shared<CPlayerFeed>();
    options.onEnd = [this, player = feed.get()](const PlayerEnd& end) {
        QMetaObject::invokeMethod(
            this, [this, player, end] { OnPlayerEnded(player, end); }, Qt::QueuedConnection);
    };
    std::string error;
    if (!feed->Start(std::move(options), &error)) {
        AfxMessageBox(error);
        return;
    }
    m_pFeed = feed;
    m_strPlayerName = command.empty() ? CPlayerFeed::DefaultPlayer().front() : command;
    if (const std::size_t slash = m_strPlayerName.rfind('/');
        slash != std::string::npos && command.empty())
        m_strPlayerName = m_strPlayerName.substr(slash + 1);
    m_strPlayerEnd.clear();
    m_session.AddStreamConsumer(m_pFeed);
    m_pStopButton->setEnabled(true);
    m_refresh.start();
    ShowPlayerStatus();
}

void CTransponderPage::OnStopWatching() {
    if (!m_pFeed) return;
    m_session.RemoveStreamConsumer(m_pFeed);
    m_pFeed->RequestStop();
    m_stoppingFeeds.push_back(std::move(m_pFeed));
    m_pStopButton->setEnabled(false);
    ShowPlayerStatus();
}

void CTransponderPage::OnPlayerEnded(const CPlayerFeed* feed, const PlayerEnd& end) {
    std::erase_if(m_stoppingFeeds, [feed](const auto& stopping) { return stopping.get() == feed; });
    if (m_pFeed.get() != feed) return;
    // The player went by itself (closed by the user, or it failed): its feed ends here.
    m_strPlayerEnd = end.text;
    m_session.RemoveStreamConsumer(m_pFeed);
    m_pFeed.reset();
    m_pStopButton->setEnabled(false);
    ShowPlayerStatus();
}

void CTransponderPage::ShowPlayerStatus() {
    QString text;
    if (m_pFeed) {
        text = Text(fmt::format("{}: {:.1f} MB sent, {:.1f} MB dropped", m_strPlayerName,
                                static_cast<double>(m_pFeed->WrittenBytes()) / 1e6,
                                static_cast<double>(m_pFeed->DroppedBytes()) / 1e6));
    } else {
        text = Text(m_strPlayerEnd);
    }
    ShowText(m_pPlayerStatus, text);
}

void CTransponderPage::OnSatelliteChosen() {
    m_pTransponderTable->setRowCount(0);
    const int index = m_pSatelliteList->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_positions.size())) return;
    const OrbitalPosition& position = m_positions[index];
    const std::vector<SatelliteTransponder>& transponders = position.satellite.transponders;
    // The columns are measured once, after the fill: measured at every cell, a position of a
    // hundred transponders took a second of the window's thread.
    QHeaderView* header = m_pTransponderTable->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    m_pTransponderTable->setRowCount(static_cast<int>(transponders.size()));
    for (int row = 0; row < static_cast<int>(transponders.size()); ++row) {
        const auto texts = TransponderRowTexts(transponders[row]);
        for (int column = 0; column < static_cast<int>(texts.size()); ++column) {
            m_pTransponderTable->setItem(
                row, column, new QTableWidgetItem(QString::fromStdString(texts[column])));
        }
        m_pTransponderTable->setItem(
            row, static_cast<int>(texts.size()),
            new QTableWidgetItem(QString::fromStdString(position.transponderFiles[row])));
    }
    MarkTunedRow();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (!transponders.empty()) m_pTransponderTable->setCurrentCell(0, 0);
    SaveSetting(this, platform::TransponderPageSettingsFile(), kSection, kSatelliteKey,
                m_pSatelliteList->currentText().toStdString());
}

void CTransponderPage::OnScan() {
    const int index = m_pSatelliteList->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_positions.size())) return;
    CScanDialog dialog(m_tunerPage, m_positions[index].satellite, m_pScanner, window());
    dialog.DoModal();
}

void CTransponderPage::OnDish() {
    if (!m_pDishWindow) {
        m_pDishWindow = std::make_unique<CDishWindow>(
            m_pDishEstimate, platform::TransponderPageSettingsFile(), this);
        m_pDishWindow->Create();
    }
    m_pDishWindow->show();
    m_pDishWindow->raise();
    m_pDishWindow->activateWindow();
}

void CTransponderPage::OnNetwork() {
    if (!m_pNetworkDialog) {
        // The service chosen in the list when the window asks: the row's number and name.
        auto chosen = [this]() -> std::optional<CNetworkDialog::ChosenService> {
            const int row = m_pServiceTable->currentRow();
            if (row < 0 || m_pServiceTable->item(row, 0) == nullptr) return std::nullopt;
            return CNetworkDialog::ChosenService{
                static_cast<std::uint16_t>(
                    m_pServiceTable->item(row, 0)->data(Qt::UserRole).toUInt()),
                m_pServiceTable->item(row, 1)->text().toStdString()};
        };
        m_pNetworkDialog = std::make_unique<CNetworkDialog>(
            std::move(chosen), platform::TransponderPageSettingsFile(), this);
        m_pNetworkDialog->Create();
    }
    m_pNetworkDialog->show();
    m_pNetworkDialog->raise();
    m_pNetworkDialog->activateWindow();
}

bool CTransponderPage::OnEnter() {
    return true;
}

bool CTransponderPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pTransponderTable && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OnTransponderActivated(m_pTransponderTable->currentRow());
            return true;
        }
    }
    return CPropertyPage::eventFilter(watched, event);
}

QSize CTransponderPage::RoomySize() const {
    const auto extraFor = [](const QTableWidget* table, int rows) {
        const int needed = rows * table->verticalHeader()->defaultSectionSize() +
                           table->horizontalHeader()->sizeHint().height() +
                           table->horizontalScrollBar()->sizeHint().height() +
                           2 * table->frameWidth();
        // The columns fit their contents, but for the last, which stretches to what is left: its
        // widest text instead.
        const QHeaderView* header = table->horizontalHeader();
        const int last = table->columnCount() - 1;
        int wide = table->verticalScrollBar()->sizeHint().width() + 2 * table->frameWidth();
        for (int column = 0; column < last; ++column) wide += header->sectionSize(column);
        int lastWidth = header->sectionSizeHint(last);
        for (int row = 0; row < table->rowCount(); ++row) {
            if (const QTableWidgetItem* item = table->item(row, last))
                lastWidth = std::max(
                    lastWidth, table->fontMetrics().horizontalAdvance(item->text()) + kCellMargins);
        }
        wide += lastWidth;
        return QSize(std::max(0, wide - table->width()), std::max(0, needed - table->height()));
    };
    const QSize transponders = extraFor(m_pTransponderTable, kRoomyTransponderRows);
    const QSize services = extraFor(m_pServiceTable, kRoomyServiceRows);
    const int extraHeight = static_cast<int>(std::ceil(std::max(
        transponders.height() / kTransponderShare, services.height() / (1 - kTransponderShare))));
    const int extraWidth = std::max(transponders.width(), services.width());
    return size() + QSize(extraWidth, extraHeight);
}

void CTransponderPage::OnOwnWindow() {
    auto* button = Item<QPushButton>(kIdOwnWindow);
    if (m_pSheet != nullptr && m_pSheet->PageWindow(this) != nullptr) {
        m_pSheet->ReturnPage(this);
        return;
    }
    for (QWidget* above = parentWidget(); above != nullptr && m_pSheet == nullptr;
         above = above->parentWidget())
        m_pSheet = dynamic_cast<CPropertySheet*>(above);
    if (m_pSheet == nullptr) return;
    // Measured in the tab, at the template's size.
    const QSize roomy = RoomySize();
    m_pSheet->ShowPageInWindow(this, roomy, [this, button](QSize lastSize) {
        NameOwnWindowButton(button, "Window");
        window_size::Keep(this, lastSize, kWindowSection);
    });
    if (QWidget* window = m_pSheet->PageWindow(this))
        window_size::Restore(window, kWindowSection, roomy);
    NameOwnWindowButton(button, "To Tab");
}

void CTransponderPage::OnTransponderActivated(int row) {
    const int index = m_pSatelliteList->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_positions.size())) return;
    const std::vector<SatelliteTransponder>& transponders =
        m_positions[index].satellite.transponders;
    if (row < 0 || row >= static_cast<int>(transponders.size())) return;
    const SatelliteTransponder& transponder = transponders[row];
    const auto field = [this](TunerField which) {
        return QString::fromStdString(m_tunerPage.FieldText(which)).toInt();
    };
    const int lnbLow = field(TunerField::LnbLow);
    const int lnbHigh = field(TunerField::LnbHigh);
    const int lnbSwitch = field(TunerField::LnbSwitch);
    // Tuned anyway, such a row would only lose the lock the card had: the scan passes it over
    // for the same reason.
    if (!WithinTunerRange(transponder.frequencyMHz, lnbLow, lnbHigh, lnbSwitch)) {
        const auto texts = TransponderRowTexts(transponder);
        AfxMessageBox(fmt::format(
            "{} MHz {} was not tuned: through the LNB of the Tuner Setting page (oscillators {} "
            "and {} MHz, switch at {} MHz) it would reach the tuner outside what the tuner takes "
            "(950 to 2150 MHz). Set the LNB that receives this band on the Tuner Setting page.",
            texts[0], texts[1], lnbLow, lnbHigh, lnbSwitch));
        return;
    }
    const TunerEntry entry = TunerEntryOf(transponder);
    m_tunerPage.ListedTransponderTuned(Tune(
        m_session,
        m_tunerPage.ListedTransponder(platform::Atoi(entry.frequencyMHz),
                                      platform::Atoi(entry.symbolRateKsps), entry.polarityIndex)));
}
