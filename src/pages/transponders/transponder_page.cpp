#include "pages/transponders/transponder_page.h"

#include <QComboBox>
#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>

#include "core/ini_file.h"
#include "core/settings_file.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "pages/transponders/listed_transponder.h"
#include "platform/win/known_folders.h"
#include "positioner/satellite_list.h"

namespace {

constexpr const char* kSection = "Transponders";
constexpr const char* kSatelliteKey = "Satellite";

DialogTemplate TransponderPageTemplate() {
    using enum ControlKind;
    using namespace ControlStyle;
    using P = CTransponderPage;
    // clang-format off
    return DialogTemplate{
        P::kIdd,
        "Transponders",
        302,
        158,
        {
            {kStaticId, Label, "Satellite:", 4, 5, 34, 8},
            {P::kIdSatellite, DropDownList, "", 40, 2, 130, 120, kVerticalScroll},
        }};
    // clang-format on
}

QTableWidget* MakeTable(QWidget* host, const QRect& dlu, const DialogBaseUnits& units,
                        const QStringList& headers, const QString& accessibleName) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), host);
    table->setGeometry(DluToPixels(dlu, units));
    table->setHorizontalHeaderLabels(headers);
    table->setAccessibleName(accessibleName);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setTabKeyNavigation(false);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

}  // namespace

CTransponderPage::CTransponderPage(CBdacontrolDlg& tunerPage, QWidget* parent)
    : CPropertyPage(TransponderPageTemplate(), parent),
      m_tunerPage(tunerPage),
      m_pSatelliteList(Item<QComboBox>(kIdSatellite)),
      m_pTransponderTable(MakeTable(
          this, QRect(4, 18, 166, 74), BaseUnits(),
          {"Frequency", "Pol.", "Symbol rate", "System", "Modulation", "FEC"}, "Transponders")) {
    m_pTransponderTable->setObjectName(QString::number(kIdTransponders));
    setTabOrder(m_pSatelliteList, m_pTransponderTable);
    connect(m_pSatelliteList, &QComboBox::activated, this, [this] { OnSatelliteChosen(); });
    // Enter (through the page) and a double-click tune; a single click only chooses.
    connect(m_pTransponderTable, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { OnTransponderActivated(row); });
}

CTransponderPage::~CTransponderPage() = default;

std::string CTransponderPage::SettingsPath() const {
    return platform::JoinPath(platform::ConfigFolder(), kSettingsFile);
}

bool CTransponderPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_satellites = ReadSatelliteFolder(SatelliteFolderPath());
    // East to west across the sky, as a dish turns; the files' own order within a position.
    std::stable_sort(m_satellites.begin(), m_satellites.end(),
                     [](const SatelliteFile& a, const SatelliteFile& b) {
                         const auto eastFirst = [](int tenths) {
                             return tenths <= 1800 ? 1800 - tenths : 5400 - tenths;
                         };
                         return eastFirst(a.orbitalTenthsEast) < eastFirst(b.orbitalTenthsEast);
                     });
    const QString remembered =
        QString::fromStdString(ReadIniString(SettingsPath(), kSection, kSatelliteKey));
    for (const SatelliteFile& satellite : m_satellites)
        m_pSatelliteList->addItem(QString::fromStdString(SatelliteLabel(satellite)));
    const int index = std::max(0, m_pSatelliteList->findText(remembered));
    if (m_pSatelliteList->count() > 0) m_pSatelliteList->setCurrentIndex(index);
    OnSatelliteChosen();
    return true;
}

void CTransponderPage::OnSatelliteChosen() {
    m_pTransponderTable->setRowCount(0);
    const int index = m_pSatelliteList->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_satellites.size())) return;
    const std::vector<SatelliteTransponder>& transponders = m_satellites[index].transponders;
    m_pTransponderTable->setRowCount(static_cast<int>(transponders.size()));
    for (int row = 0; row < static_cast<int>(transponders.size()); ++row) {
        const auto texts = TransponderRowTexts(transponders[row]);
        for (int column = 0; column < static_cast<int>(texts.size()); ++column) {
            m_pTransponderTable->setItem(
                row, column, new QTableWidgetItem(QString::fromStdString(texts[column])));
        }
    }
    if (!transponders.empty()) m_pTransponderTable->setCurrentCell(0, 0);
    WriteSettingsString(SettingsPath(), kSection, kSatelliteKey,
                        m_pSatelliteList->currentText().toStdString());
}

bool CTransponderPage::OnEnter() {
    if (m_pTransponderTable->hasFocus()) OnTransponderActivated(m_pTransponderTable->currentRow());
    return true;
}

void CTransponderPage::OnTransponderActivated(int row) {
    const int index = m_pSatelliteList->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_satellites.size())) return;
    const std::vector<SatelliteTransponder>& transponders = m_satellites[index].transponders;
    if (row < 0 || row >= static_cast<int>(transponders.size())) return;
    const TunerEntry entry = TunerEntryOf(transponders[row]);
    m_tunerPage.LockListedTransponder(entry.frequencyMHz, entry.symbolRateKsps,
                                      entry.polarityIndex);
}
