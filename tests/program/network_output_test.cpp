// The Transponders page's "Network..." in the whole program on the simulated card: the user's
// story of sending the tuned stream to players elsewhere, as UDP or RTP datagrams or from an
// HTTP server that only this computer reaches unless opened, with live counts, and the choices
// kept for the next run.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/ini_file.h"
#include "loopback.h"
#include "network/datagram_sender.h"
#include "pages/transponders/network_dialog.h"
#include "pages/transponders/transponder_page.h"
#include "platform/win/file_locations.h"
#include "program/sim_program.h"
#include "services/service_info.h"
#include "services/service_scanner.h"
#include "support/screenshot.h"

namespace {

using Dialog = CNetworkDialog;

// A receiver on a thread of its own, as a player is: it keeps up with the stream, so what the
// test sees is what was sent, not what a full socket buffer left of it.
class CDatagramCollector {
public:
    CDatagramCollector() {
        m_thread = std::thread([this] {
            while (!m_bStop.load()) {
                std::vector<Bytes> datagrams = m_receiver.TakeWaiting();
                if (datagrams.empty()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
                const std::lock_guard guard(m_lock);
                for (Bytes& datagram : datagrams) m_datagrams.push_back(std::move(datagram));
            }
        });
    }
    ~CDatagramCollector() {
        m_bStop = true;
        m_thread.join();
    }
    CDatagramCollector(const CDatagramCollector&) = delete;
    CDatagramCollector& operator=(const CDatagramCollector&) = delete;

    std::uint16_t Port() const { return m_receiver.Port(); }
    std::vector<Bytes> Datagrams() const {
        const std::lock_guard guard(m_lock);
        return m_datagrams;
    }

private:
    loopback::CUdpReceiver m_receiver;
    mutable std::mutex m_lock;
    std::vector<Bytes> m_datagrams;  // guarded by m_lock
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

class NetworkOutputTest : public SimProgramTest {
protected:
    // In steps of `stepMs`: each step's stream goes out at once, as fast as the tap passes it
    // on, and a receiver's socket holds only so much of such a burst.
    void Stream(int milliseconds, int stepMs = 50) {
        for (int ms = 0; ms < milliseconds; ms += stepMs)
            m_program.Clock().AdvanceMs(static_cast<std::uint64_t>(stepMs));
    }
};

std::string Shown(const Dialog& dialog, int id) {
    return dialog.Item<QLineEdit>(id)->text().toStdString();
}

void Type(Dialog& dialog, int id, const std::string& text) {
    auto* field = dialog.Item<QLineEdit>(id);
    field->clear();
    QTest::keyClicks(field, QString::fromStdString(text));
}

// The transport packets of what came, with the RTP header of each datagram taken off.
Bytes Packets(const std::vector<Bytes>& datagrams, std::size_t header) {
    Bytes packets;
    for (const Bytes& datagram : datagrams)
        packets.insert(packets.end(), datagram.begin() + static_cast<std::ptrdiff_t>(header),
                       datagram.end());
    return packets;
}

TEST_F(NetworkOutputTest, TheStreamGoesOutAsDatagramsOrOverHttpWithItsCountsAndIsKept) {
    CSimProgramWindow window;
    std::uint16_t httpPort = 0;
    std::uint16_t rtpPort = 0;
    RunModal(window, [&] {
        EnterTransponder(window);
        ASSERT_TRUE(LockTp(window, m_program.Clock()));
        CTransponderPage& page = TransponderPage(window);
        Stream(1000);
        QTableWidget* services = page.ServiceTable();
        ASSERT_TRUE(QTest::qWaitFor([&] { return services->rowCount() > 0; }));
        services->setCurrentCell(0, 0);
        const auto chosen = static_cast<std::uint16_t>(services->item(0, 0)->text().toUInt());

        page.Item<QPushButton>(CTransponderPage::kIdNetwork)->click();
        Dialog* dialog = page.NetworkDialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(dialog->isVisible());
        EXPECT_EQ(Shown(*dialog, Dialog::kIdCounts), "not sending");
        EXPECT_FALSE(dialog->Item<QCheckBox>(Dialog::kIdOpenToNetwork)->isChecked());

        // Datagrams to a receiver on this computer: 7 whole packets each, behind a 12-byte
        // header for RTP; the whole stream, so the service list is the page's.
        struct Datagrams {
            const char* name;
            int kind;
            std::size_t header;
        };
        for (const Datagrams& row :
             {Datagrams{"UDP", Dialog::kUdp, 0}, Datagrams{"RTP", Dialog::kRtp, 12}}) {
            SCOPED_TRACE(row.name);
            CDatagramCollector receiver;
            const std::uint16_t port = receiver.Port();
            ASSERT_NE(port, 0);
            if (row.kind == Dialog::kRtp) rtpPort = port;
            Choose(dialog->Item<QComboBox>(Dialog::kIdWhat), 0);
            Choose(dialog->Item<QComboBox>(Dialog::kIdKind), row.kind);
            Type(*dialog, Dialog::kIdHost, "127.0.0.1");
            Type(*dialog, Dialog::kIdPort, std::to_string(port));
            Type(*dialog, Dialog::kIdTtl, "2");
            QTest::mouseClick(dialog->Item<QPushButton>(Dialog::kIdStart), Qt::LeftButton);
            ASSERT_TRUE(dialog->IsSending()) << m_program.Boxes().Texts().size() << " boxes";
            EXPECT_EQ(Shown(*dialog, Dialog::kIdAddress), "127.0.0.1:" + std::to_string(port));
            EXPECT_FALSE(dialog->Item<QLineEdit>(Dialog::kIdHost)->isEnabled()) << "while sending";
            Stream(1000, 10);
            // 42.58 Mbit/s is some 4000 datagrams a second.
            std::vector<Bytes> datagrams;
            EXPECT_TRUE(QTest::qWaitFor([&] {
                datagrams = receiver.Datagrams();
                return datagrams.size() >= 3000;
            })) << datagrams.size()
                << " datagrams";
            for (const Bytes& datagram : datagrams) {
                ASSERT_EQ(datagram.size(), row.header + CDatagramSender::kPayloadSize);
                if (row.header > 0) {
                    EXPECT_EQ(datagram[0], 0x80) << "RTP version 2";
                }
                for (std::size_t at = row.header; at < datagram.size(); at += 188)
                    ASSERT_EQ(datagram[at], 0x47);
            }
            const QRegularExpression counts(R"(^(\d+) datagrams sent, 0 dropped$)");
            EXPECT_TRUE(QTest::qWaitFor([&] {
                const auto match =
                    counts.match(QString::fromStdString(Shown(*dialog, Dialog::kIdCounts)));
                return match.hasMatch() && match.captured(1).toULongLong() >= datagrams.size();
            })) << Shown(*dialog, Dialog::kIdCounts);
            const Bytes packets = Packets(datagrams, row.header);
            CServiceScanner scanner;
            scanner.Consume(packets);
            EXPECT_EQ(static_cast<int>(scanner.Snapshot().size()), services->rowCount());
            QTest::mouseClick(dialog->Item<QPushButton>(Dialog::kIdStop), Qt::LeftButton);
            EXPECT_FALSE(dialog->IsSending());
            EXPECT_EQ(Shown(*dialog, Dialog::kIdCounts), "not sending");
        }

        // The chosen service from an HTTP server that this computer alone reaches.
        httpPort = loopback::FreeTcpPort();
        ASSERT_NE(httpPort, 0);
        Choose(dialog->Item<QComboBox>(Dialog::kIdKind), Dialog::kHttp);
        EXPECT_FALSE(dialog->Item<QLineEdit>(Dialog::kIdHost)->isEnabled());
        EXPECT_TRUE(dialog->Item<QCheckBox>(Dialog::kIdOpenToNetwork)->isEnabled());
        Type(*dialog, Dialog::kIdPort, std::to_string(httpPort));
        Choose(dialog->Item<QComboBox>(Dialog::kIdWhat), 1);
        EXPECT_TRUE(dialog->Item<QComboBox>(Dialog::kIdWhat)
                        ->currentText()
                        .startsWith(QString("Service %1 ").arg(chosen)));
        QTest::mouseClick(dialog->Item<QPushButton>(Dialog::kIdStart), Qt::LeftButton);
        ASSERT_TRUE(dialog->IsSending());
        const std::string url =
            "http://127.0.0.1:" + std::to_string(httpPort) + "/service/" + std::to_string(chosen);
        EXPECT_EQ(Shown(*dialog, Dialog::kIdAddress), url);
        loopback::CTcpClient player(httpPort);
        ASSERT_TRUE(player.Connected());
        ASSERT_TRUE(player.Send("GET /service/" + std::to_string(chosen) + " HTTP/1.0\r\n\r\n"));
        std::string answer;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            answer += player.TakeWaiting();
            return answer.find("\r\n\r\n") != std::string::npos;
        })) << answer;
        EXPECT_TRUE(answer.starts_with("HTTP/1.1 200 OK\r\n")) << answer;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return Shown(*dialog, Dialog::kIdCounts) ==
                   "1 client now, 1 served, 0 dropped (too slow)";
        })) << Shown(*dialog, Dialog::kIdCounts);
        Stream(1000);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            answer += player.TakeWaiting();
            return answer.size() > std::size_t{100} * 188;
        })) << answer.size()
            << " bytes";
        const CScreenshot shot(*dialog);
        EXPECT_TRUE(shot.BlankControls().empty());
        EXPECT_TRUE(shot.Keep("network_window.png"));
        const std::string body = answer.substr(answer.find("\r\n\r\n") + 4);
        CServiceScanner scanner;
        scanner.Consume(
            {reinterpret_cast<const std::uint8_t*>(body.data()), body.size() / 188 * 188});
        const std::vector<ServiceInfo> seen = scanner.Snapshot();
        ASSERT_EQ(seen.size(), 1u) << "the one service";
        EXPECT_EQ(seen[0].serviceNumber, chosen);

        // Closed, the window's output goes on; the main window's end stops it.
        dialog->Item<QPushButton>(IDCANCEL)->click();
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_TRUE(dialog->IsSending());
        window.EndDialog(IDOK);
    });
    EXPECT_TRUE(m_program.Boxes().Texts().empty());

    // The choices made are kept in the page's settings for the next run.
    const std::string settings = platform::TransponderPageSettingsFile();
    const std::pair<const char*, std::string> kept[] = {
        {"Output", "http"},    {"HttpPort", std::to_string(httpPort)}, {"OpenToNetwork", "0"},
        {"Host", "127.0.0.1"}, {"Port", std::to_string(rtpPort)},      {"Ttl", "2"},
    };
    for (const auto& [key, value] : kept)
        EXPECT_EQ(ReadIniString(settings, "Network", key), value) << key;
}

}  // namespace
