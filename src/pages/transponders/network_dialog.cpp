#include "pages/transponders/network_dialog.h"

#include <fmt/format.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <utility>

#include "core/ini_file.h"
#include "network/datagram_sender.h"
#include "network/http_stream_server.h"
#include "network/network_address.h"
#include "pages/common/shown_text.h"
#include "pages/settings/settings_save.h"
#include "pages/transponders/network_texts.h"

namespace {

constexpr const char* kSection = "Network";
constexpr const char* kOutputKey = "Output";
constexpr const char* kHostKey = "Host";
constexpr const char* kPortKey = "Port";
constexpr const char* kTtlKey = "Ttl";
constexpr const char* kInterfaceKey = "Interface";
constexpr const char* kHttpPortKey = "HttpPort";
constexpr const char* kOpenKey = "OpenToNetwork";
constexpr const char* kOutputNames[] = {"udp", "rtp", "http"};
// What a first run offers: a player on this computer, on the ports players are used to.
constexpr const char* kDefaultHost = "127.0.0.1";
constexpr const char* kDefaultDatagramPort = "1234";
constexpr const char* kDefaultHttpPort = "8001";
// The counts as often as the Transponders page shows the player's.
constexpr int kCountsPeriodMs = 500;

DialogTemplate NetworkDialogTemplate() {
    using enum ControlKind;
    using namespace ControlStyle;
    using W = CNetworkDialog;
    // clang-format off
    return DialogTemplate{
        W::kIdd,
        "Stream to Network",
        236,
        152,
        {
            {kStaticId, Label, "Send:", 6, 8, 40, 8},
            {W::kIdWhat, DropDownList, "", 48, 6, 182, 60, kNone,
             {"Whole stream", "Chosen service"}},
            {kStaticId, Label, "As:", 6, 24, 40, 8},
            {W::kIdKind, DropDownList, "", 48, 22, 182, 60, kNone,
             {"UDP datagrams", "RTP datagrams", "HTTP server"}},
            {kStaticId, Label, "Host:", 6, 40, 40, 8},
            {W::kIdHost, Edit, "", 48, 38, 110, 12, kBorder},
            {kStaticId, Label, "Port:", 164, 40, 20, 8},
            {W::kIdPort, Edit, "", 186, 38, 44, 12, kBorder | kDigitsOnly},
            {kStaticId, Label, "TTL:", 6, 56, 40, 8},
            {W::kIdTtl, Edit, "", 48, 54, 30, 12, kBorder | kDigitsOnly},
            {kStaticId, Label, "Interface:", 84, 56, 36, 8},
            {W::kIdInterface, Edit, "", 122, 54, 108, 12, kBorder},
            {W::kIdOpenToNetwork, CheckBox, "Open to the network (other computers may connect)",
             6, 70, 224, 10},
            {W::kIdStart, PushButton, "Start", 6, 84, 50, 14},
            {W::kIdStop, PushButton, "Stop", 60, 84, 50, 14},
            {kStaticId, Label, "Address:", 6, 106, 40, 8},
            {W::kIdAddress, Edit, "", 48, 104, 182, 12, kReadOnly | kBorder},
            {kStaticId, Label, "Counts:", 6, 122, 40, 8},
            {W::kIdCounts, Edit, "", 48, 120, 182, 12, kReadOnly | kBorder},
            {IDCANCEL, PushButton, "Close", 180, 134, 50, 14},
        }};
    // clang-format on
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Field(const QLineEdit* field) {
    return field->text().trimmed().toStdString();
}

}  // namespace

CNetworkDialog::CNetworkDialog(std::function<std::optional<ChosenService>()> chosenService,
                               std::string settingsPath, QWidget* parent)
    : CDialog(NetworkDialogTemplate(), parent),
      m_fnChosenService(std::move(chosenService)),
      m_strSettingsPath(std::move(settingsPath)) {
    Item<QLineEdit>(kIdHost)->setToolTip(
        "Where the datagrams go: a name, an IPv4 address, or an IPv6 address; a multicast "
        "address (224.0.0.0 to 239.255.255.255, ff00::/8) reaches every receiver that joins it");
    Item<QLineEdit>(kIdTtl)->setToolTip(
        "How many routers multicast datagrams may cross, 1 to 255; empty: 1, this network only");
    Item<QLineEdit>(kIdInterface)
        ->setToolTip(
            "The network interface for multicast, by name (eth0) or address; empty: the system's "
            "choice");
    Item<QCheckBox>(kIdOpenToNetwork)
        ->setToolTip(
            "Unchecked: only players on this computer can connect (127.0.0.1). Checked: any "
            "computer that reaches this one can, without a password");
    Item<QPushButton>(IDCANCEL)->setToolTip("Close the window; what is sent goes on until Stop");
    connect(Item<QComboBox>(kIdKind), &QComboBox::currentIndexChanged, this,
            [this] { OnKindChosen(); });
    connect(Item<QPushButton>(kIdStart), &QPushButton::clicked, this, [this] { OnStart(); });
    connect(Item<QPushButton>(kIdStop), &QPushButton::clicked, this, [this] {
        StopOutput();
        ShowCounts();
    });
    m_countsTimer.setInterval(kCountsPeriodMs);
    connect(&m_countsTimer, &QTimer::timeout, this, [this] {
        ShowChosenService();
        ShowCounts();
    });
}

CNetworkDialog::~CNetworkDialog() {
    StopOutput();
}

bool CNetworkDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    const auto read = [this](const char* key, const char* fallback) {
        std::string value = ReadIniString(m_strSettingsPath, kSection, key);
        return value.empty() ? std::string(fallback) : value;
    };
    const std::string output = read(kOutputKey, kOutputNames[kUdp]);
    Kind kind = kUdp;
    for (const Kind k : {kUdp, kRtp, kHttp}) {
        if (output == kOutputNames[k]) kind = k;
    }
    m_strDatagramPort = read(kPortKey, kDefaultDatagramPort);
    m_strHttpPort = read(kHttpPortKey, kDefaultHttpPort);
    Item<QLineEdit>(kIdHost)->setText(Text(read(kHostKey, kDefaultHost)));
    Item<QLineEdit>(kIdTtl)->setText(Text(read(kTtlKey, "")));
    Item<QLineEdit>(kIdInterface)->setText(Text(read(kInterfaceKey, "")));
    // Open only when the user opened it last time: a server reachable from the network is never
    // the default.
    Item<QCheckBox>(kIdOpenToNetwork)->setChecked(read(kOpenKey, "0") == "1");
    m_shownKind = kind;
    Item<QLineEdit>(kIdPort)->setText(Text(kind == kHttp ? m_strHttpPort : m_strDatagramPort));
    Item<QComboBox>(kIdKind)->setCurrentIndex(kind);
    Item<QComboBox>(kIdWhat)->setCurrentIndex(0);
    ShowChosenService();
    EnableControls();
    ShowCounts();
    return true;
}

void CNetworkDialog::OnDestroy() {
    StopOutput();
}

void CNetworkDialog::OnOK() {
    if (!IsSending()) OnStart();
}

void CNetworkDialog::showEvent(QShowEvent* event) {
    CDialog::showEvent(event);
    ShowChosenService();
    ShowCounts();
    m_countsTimer.start();
}

void CNetworkDialog::hideEvent(QHideEvent* event) {
    CDialog::hideEvent(event);
    m_countsTimer.stop();
}

CNetworkDialog::Kind CNetworkDialog::ChosenKind() const {
    const int index = Item<QComboBox>(kIdKind)->currentIndex();
    return index == kRtp ? kRtp : index == kHttp ? kHttp : kUdp;
}

void CNetworkDialog::OnKindChosen() {
    const Kind kind = ChosenKind();
    const bool wasHttp = m_shownKind == kHttp;
    if (wasHttp != (kind == kHttp)) {
        auto* port = Item<QLineEdit>(kIdPort);
        (wasHttp ? m_strHttpPort : m_strDatagramPort) = port->text().toStdString();
        port->setText(Text(kind == kHttp ? m_strHttpPort : m_strDatagramPort));
    }
    m_shownKind = kind;
    EnableControls();
}

void CNetworkDialog::ShowChosenService() {
    const std::optional<ChosenService> chosen = m_fnChosenService();
    const QString text = chosen ? Text(fmt::format("Service {} {}", chosen->number, chosen->name))
                                : QStringLiteral("Chosen service (none chosen)");
    auto* what = Item<QComboBox>(kIdWhat);
    if (what->itemText(1) != text) what->setItemText(1, text);
}

void CNetworkDialog::EnableControls() {
    const bool sending = IsSending();
    const bool datagrams = ChosenKind() != kHttp;
    for (const int id : {kIdWhat, kIdKind, kIdPort}) GetDlgItem(id)->setEnabled(!sending);
    for (const int id : {kIdHost, kIdTtl, kIdInterface})
        GetDlgItem(id)->setEnabled(!sending && datagrams);
    GetDlgItem(kIdOpenToNetwork)->setEnabled(!sending && !datagrams);
    GetDlgItem(kIdStart)->setEnabled(!sending);
    GetDlgItem(kIdStop)->setEnabled(sending);
}

void CNetworkDialog::OnStart() {
    if (IsSending()) return;
    if (!m_session.HasStreamTap()) {
        AfxMessageBox("No tuner is ready: there is no stream to send.");
        return;
    }
    std::optional<std::uint16_t> service;
    if (Item<QComboBox>(kIdWhat)->currentIndex() == 1) {
        const std::optional<ChosenService> chosen = m_fnChosenService();
        if (!chosen) {
            AfxMessageBox(
                "No service is chosen: choose one in the services list of the Transponders page, "
                "or send the whole stream.");
            return;
        }
        service = chosen->number;
    }
    const bool started = ChosenKind() == kHttp ? StartHttp(service) : StartDatagrams(service);
    if (!started) return;
    SaveSettings();
    EnableControls();
    ShowCounts();
    Item<QPushButton>(kIdStop)->setFocus();
}

bool CNetworkDialog::StartDatagrams(std::optional<std::uint16_t> service) {
    const std::string text = network_texts::DatagramAddress(
        ChosenKind() == kRtp, Field(Item<QLineEdit>(kIdHost)), Field(Item<QLineEdit>(kIdPort)),
        Field(Item<QLineEdit>(kIdTtl)), Field(Item<QLineEdit>(kIdInterface)));
    std::string error;
    const std::optional<NetworkAddress> address = ParseNetworkAddress(text, &error);
    if (!address) {
        AfxMessageBox(error + ". Correct the host, port, TTL (1 to 255 or empty) or interface.");
        return false;
    }
    auto sender = std::make_shared<CDatagramSender>();
    CDatagramSender::Options options;
    options.address = *address;
    options.service = service;
    if (!sender->Open(options, &error)) {
        AfxMessageBox(
            fmt::format("Nothing is sent to {}: {}. Check the host, and for multicast "
                        "the interface, then press Start again.",
                        text, error));
        return false;
    }
    if (!m_session.AddStreamConsumer(sender)) {
        sender->Stop();
        AfxMessageBox("No tuner is ready: there is no stream to send.");
        return false;
    }
    m_pSender = std::move(sender);
    return true;
}

bool CNetworkDialog::StartHttp(std::optional<std::uint16_t> service) {
    const std::optional<std::uint16_t> port = network_texts::Port(Field(Item<QLineEdit>(kIdPort)));
    if (!port) {
        AfxMessageBox("The port must be a number from 1 to 65535.");
        return false;
    }
    auto server = std::make_shared<CHttpStreamServer>();
    std::string error;
    if (!server->Start(*port, Item<QCheckBox>(kIdOpenToNetwork)->isChecked(), &error)) {
        AfxMessageBox(
            fmt::format("The HTTP server did not start: {}. Choose another port, or end "
                        "the program that uses it, then press Start again.",
                        error));
        return false;
    }
    if (!m_session.AddStreamConsumer(server)) {
        server->Stop();
        AfxMessageBox("No tuner is ready: there is no stream to send.");
        return false;
    }
    m_sentService = service;
    m_pServer = std::move(server);
    return true;
}

void CNetworkDialog::StopOutput() {
    m_countsTimer.stop();
    // Off the tap first, so that the tap's thread no longer feeds what is being stopped.
    if (m_pSender) {
        m_session.RemoveStreamConsumer(m_pSender);
        m_pSender->Stop();
        m_pSender.reset();
    }
    if (m_pServer) {
        m_session.RemoveStreamConsumer(m_pServer);
        m_pServer->Stop();
        m_pServer.reset();
    }
    EnableControls();
    if (isVisible()) m_countsTimer.start();
}

void CNetworkDialog::SaveSettings() {
    const auto save = [this](const char* key, const std::string& value) {
        SaveSetting(this, m_strSettingsPath, kSection, key, value);
    };
    const Kind kind = ChosenKind();
    save(kOutputKey, kOutputNames[kind]);
    if (kind == kHttp) {
        save(kHttpPortKey, Field(Item<QLineEdit>(kIdPort)));
        save(kOpenKey, Item<QCheckBox>(kIdOpenToNetwork)->isChecked() ? "1" : "0");
    } else {
        save(kHostKey, Field(Item<QLineEdit>(kIdHost)));
        save(kPortKey, Field(Item<QLineEdit>(kIdPort)));
        save(kTtlKey, Field(Item<QLineEdit>(kIdTtl)));
        save(kInterfaceKey, Field(Item<QLineEdit>(kIdInterface)));
    }
}

void CNetworkDialog::ShowCounts() {
    auto* address = Item<QLineEdit>(kIdAddress);
    auto* counts = Item<QLineEdit>(kIdCounts);
    if (m_pSender) {
        ShowText(address, m_pSender->Destination());
        ShowText(counts, network_texts::DatagramCounts(m_pSender->SentDatagrams(),
                                                       m_pSender->DroppedDatagrams()));
    } else if (m_pServer) {
        ShowText(address, network_texts::HttpStreamUrl(m_pServer->BaseUrl(), m_sentService));
        ShowText(counts,
                 network_texts::HttpCounts(m_pServer->ClientsNow(), m_pServer->ClientsServed(),
                                           m_pServer->ClientsDropped()));
    } else {
        ShowText(address, "");
        ShowText(counts, "not sending");
    }
}
