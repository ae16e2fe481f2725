#pragma once
// "Stream to Network", a window of the Transponders page: the live stream, whole or the service
// chosen in the page's list, as UDP or RTP datagrams to HOST:PORT (with a multicast TTL and
// interface), or from an HTTP server on a port that only this computer reaches unless the user
// opens it to the network. The output goes on when the window is closed, until Stop or the end
// of the tuner's graph; the window shows its counts while it is open.
//
// Threads: the sender and the server are fed on the stream tap's worker and never make it wait;
// the window reads their counters (atomics) by a timer of its own thread.
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "graph/tuner_session.h"
#include "platform/ui/qt/dialog.h"

class CDatagramSender;
class CHttpStreamServer;

class CNetworkDialog : public CDialog {
public:
    static constexpr int kIdd = 162;
    static constexpr int kIdWhat = 1201;
    static constexpr int kIdKind = 1202;
    static constexpr int kIdHost = 1203;
    static constexpr int kIdPort = 1204;
    static constexpr int kIdTtl = 1205;
    static constexpr int kIdInterface = 1206;
    static constexpr int kIdOpenToNetwork = 1207;
    static constexpr int kIdStart = 1208;
    static constexpr int kIdStop = 1209;
    static constexpr int kIdAddress = 1210;
    static constexpr int kIdCounts = 1211;
    // The items of the "As:" list.
    enum Kind { kUdp, kRtp, kHttp };

    struct ChosenService {
        std::uint16_t number = 0;
        std::string name;
    };

    // `chosenService`: the service chosen in the page's list now, if any. `settingsPath`: the
    // page's settings file, where the last output, address and ports are kept.
    CNetworkDialog(std::function<std::optional<ChosenService>()> chosenService,
                   std::string settingsPath, QWidget* parent);
    ~CNetworkDialog() override;

    bool IsSending() const { return m_pSender != nullptr || m_pServer != nullptr; }
    // Ends the output (before the tuner's graph goes).
    void StopOutput();

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    // Enter starts the output; it never closes the window.
    void OnOK() override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    Kind ChosenKind() const;
    void OnKindChosen();
    void OnStart();
    bool StartDatagrams(std::optional<std::uint16_t> service);
    bool StartHttp(std::optional<std::uint16_t> service);
    void SaveSettings();
    // The "Send:" list's second item names the service chosen in the page's list now.
    void ShowChosenService();
    void ShowCounts();
    void EnableControls();

    CTunerSession& m_session = DefaultTunerSession();
    std::function<std::optional<ChosenService>()> m_fnChosenService;
    const std::string m_strSettingsPath;
    // The port box serves both kinds of output: each keeps its own port.
    std::string m_strDatagramPort;
    std::string m_strHttpPort;
    Kind m_shownKind = kUdp;
    std::optional<std::uint16_t> m_sentService;  // of the running HTTP server's address
    std::shared_ptr<CDatagramSender> m_pSender;
    std::shared_ptr<CHttpStreamServer> m_pServer;
    QTimer m_countsTimer;
};
