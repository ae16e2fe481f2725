// The Stream Health page in the whole program on the simulated card: the user's story of tuning,
// reading the stream's health, seeing each fault the card injects light its indicator with the
// exact count, resetting the counts and exporting them.
#include "pages/health/stream_health_page.h"

#include <sys/stat.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStringList>
#include <QTableWidget>
#include <QTest>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "drivers/sim/sim_card.h"
#include "graph/tuner_session.h"
#include "pages/health/health_light.h"
#include "platform/ui/qt/property_sheet.h"
#include "program/sim_program.h"
#include "sink/stream_tap_filter.h"
#include "support/modal_window.h"
#include "support/screenshot.h"
#include "support/temp_folder.h"

namespace {

using Page = CStreamHealthPage;
using health_texts::Light;

constexpr int kHealthPageIndex = 4;
constexpr int kStepMs = 50;

Page& HealthPage(CBDAUtilDlg& window) {
    window.Sheet()->setCurrentIndex(kHealthPageIndex);
    auto* page = dynamic_cast<Page*>(window.Sheet()->widget(kHealthPageIndex));
    EXPECT_NE(page, nullptr) << "the fifth page is no Stream Health page";
    return *page;
}

std::string Spoken(const Page& page, HealthIndicator indicator) {
    return page.Light(indicator)->accessibleName().toStdString();
}

// The PIDs the faults go to, as the page's table names them.
struct StreamPids {
    std::uint16_t video = 0;
    std::uint16_t audio = 0;
    std::uint16_t pcr = 0;
};

StreamPids PidsIn(const QTableWidget& table) {
    StreamPids pids;
    for (int row = 0; row < table.rowCount(); ++row) {
        const auto pid =
            static_cast<std::uint16_t>(table.item(row, 0)->text().section(' ', 0, 0).toUInt());
        const QString type = table.item(row, 2)->text();
        if (type == "MPEG-2 video" && pids.video == 0) pids.video = pid;
        if (type == "MPEG audio" && pids.audio == 0) pids.audio = pid;
        if (table.item(row, 7)->text() == "yes" && pids.pcr == 0) pids.pcr = pid;
    }
    return pids;
}

class StreamHealthPageTest : public SimProgramTest {
protected:
    // The card's time moves on in steps, each taken once the stream tap has handed the page's
    // monitor all the card delivered: nothing is dropped for a test that runs faster than the
    // analysis, and what the page shows after the last step is all of the stream.
    void Stream(int milliseconds) {
        CStreamTapFilter* tap = DefaultTunerSession().m_BDAGraph.m_pTapFilter.Get();
        ASSERT_NE(tap, nullptr);
        for (int ms = 0; ms < milliseconds; ms += kStepMs) {
            const std::uint64_t samples = m_program.SamplesDelivered();
            const std::uint64_t packets = tap->DeliveredPackets();
            m_program.Clock().AdvanceMs(kStepMs);
            const std::uint64_t due = packets + (m_program.SamplesDelivered() - samples) *
                                                    CSimProgram::kSampleBytes / 188;
            ASSERT_TRUE(QTest::qWaitFor([&] { return tap->DeliveredPackets() >= due; }, 5000));
        }
        ASSERT_EQ(tap->DroppedBytes(), 0u);
    }
    // Waits for the page's next refresh to show `spoken` on the indicator's light.
    static bool LightSays(const Page& page, HealthIndicator indicator, const std::string& spoken) {
        return QTest::qWaitFor([&] { return Spoken(page, indicator) == spoken; }, 3000);
    }
};

TEST_F(StreamHealthPageTest, EachInjectedFaultLightsItsIndicatorUntilResetAndTheCsvHoldsTheCounts) {
    CSimProgramWindow window;
    RunModal(window, [&] {
        EnterTransponder(window);
        ASSERT_TRUE(LockTp(window, m_program.Clock()));
        Page& page = HealthPage(window);
        EXPECT_EQ(window.Sheet()->tabText(kHealthPageIndex), "Stream Health");
        Stream(2000);

        // A clean stream: every light green, the stream's rate by its PCRs within 1 % of what
        // DVB-S2 8PSK 2/3 with pilots at 22000 kSps carries (42.58 Mbit/s), and the PID rows
        // adding up to it.
        for (std::size_t i = 0; i < kHealthIndicators; ++i) {
            const auto indicator = static_cast<HealthIndicator>(i);
            EXPECT_TRUE(
                LightSays(page, indicator, std::string(IndicatorName(indicator)) + ": 0 errors"))
                << Spoken(page, indicator);
            EXPECT_EQ(page.Light(indicator)->State(), Light::Good) << IndicatorName(indicator);
        }
        auto* rateBox = page.Item<QLineEdit>(Page::kIdRate);
        const QRegularExpression rateForm(R"(^(\d+\.\d\d) of (\d+\.\d\d) Mbit/s useful$)");
        QRegularExpressionMatch rate;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            rate = rateForm.match(rateBox->text());
            return rate.hasMatch();
        })) << rateBox->text().toStdString();
        EXPECT_EQ(rate.captured(2), "42.58");
        const double total = rate.captured(1).toDouble();
        EXPECT_NEAR(total, 42.58, 0.01 * 42.58);
        QTableWidget* table = page.PidTable();
        ASSERT_GT(table->rowCount(), 4);
        double summed = 0;
        for (int row = 0; row < table->rowCount(); ++row)
            summed += table->item(row, 3)->text().toDouble();
        EXPECT_NEAR(summed, total, 0.01 * total);
        const StreamPids pids = PidsIn(*table);
        ASSERT_NE(pids.video * pids.audio * pids.pcr, 0) << "video, audio and PCR PIDs listed";
        // Every column in the page's width; the table lays out its scroll bars a moment later.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return table->horizontalHeader()->length() <= table->viewport()->width(); },
            1000));
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return !table->horizontalScrollBar()->isVisible(); }, 1000));
        const CScreenshot shot(page);
        EXPECT_TRUE(shot.BlankControls().empty());
        EXPECT_TRUE(shot.Keep("stream_health_page.png"));

        // Each fault lights its own indicator with exactly what was injected, and no other; the
        // stopped PID comes last, as it stays stopped.
        struct FaultCase {
            const char* name;
            HealthIndicator indicator;
            int streamMs;
            std::function<void(CSimFaults&)> inject;
            std::string spoken;
            std::string afterReset;
        };
        const FaultCase faults[] = {
            {"three video packets lost", HealthIndicator::Continuity, 1000,
             [&](CSimFaults& f) { f.LosePackets(pids.video, 3); }, "CC: 3 errors", "CC: 0 errors"},
            {"the PCR jumps half a second", HealthIndicator::PcrDiscontinuity, 1000,
             [&](CSimFaults& f) { f.JumpPcr(pids.pcr, 500); }, "PCR discontinuity: 1 error",
             "PCR discontinuity: 0 errors"},
            {"four uncorrectable packets", HealthIndicator::TransportError, 1000,
             [&](CSimFaults& f) { f.CorruptPackets(4); }, "Transport error: 4 errors",
             "Transport error: 0 errors"},
            {"the audio stops", HealthIndicator::MissingPid, 6000,
             [&](CSimFaults& f) { f.StopPid(pids.audio); }, "Missing PID: 1 error, in error now",
             "Missing PID: 0 errors, in error now"},
        };
        for (const FaultCase& fault : faults) {
            SCOPED_TRACE(fault.name);
            fault.inject(m_program.Card().Faults());
            Stream(fault.streamMs);
            EXPECT_TRUE(LightSays(page, fault.indicator, fault.spoken))
                << Spoken(page, fault.indicator);
            EXPECT_EQ(page.Light(fault.indicator)->State(), Light::Bad);
            for (std::size_t i = 0; i < kHealthIndicators; ++i) {
                const auto other = static_cast<HealthIndicator>(i);
                if (other == fault.indicator) continue;
                EXPECT_EQ(Spoken(page, other), std::string(IndicatorName(other)) + ": 0 errors");
            }
            if (fault.indicator == HealthIndicator::MissingPid) break;  // counted in the CSV below
            QTest::mouseClick(page.Item<QPushButton>(Page::kIdReset), Qt::LeftButton);
            EXPECT_EQ(Spoken(page, fault.indicator), fault.afterReset);
            EXPECT_EQ(page.Light(fault.indicator)->State(), Light::Good);
        }

        // The export holds what the page shows: every indicator with its count, then every PID.
        const std::string exported = m_program.File("health.csv");
        EXPECT_TRUE(WithModalWindow(
            [&] { QTest::mouseClick(page.Item<QPushButton>(Page::kIdExport), Qt::LeftButton); },
            [&](QWidget& saveAs) { AnswerFileDialog(saveAs, exported); }));
        const QStringList lines = QString::fromStdString(ReadWholeFile(exported)).split("\r\n");
        ASSERT_GE(lines.size(), static_cast<qsizetype>(kHealthIndicators) + 3);
        EXPECT_EQ(lines[0], "Indicator,Count,In error now");
        for (std::size_t i = 0; i < kHealthIndicators; ++i) {
            const auto indicator = static_cast<HealthIndicator>(i);
            const bool missing = indicator == HealthIndicator::MissingPid;
            EXPECT_EQ(lines[static_cast<qsizetype>(i) + 1].toStdString(),
                      std::string(IndicatorName(indicator)) + (missing ? ",1,yes" : ",0,no"));
        }
        const qsizetype pidHeader = static_cast<qsizetype>(kHealthIndicators) + 2;
        EXPECT_EQ(lines[pidHeader - 1], "");
        EXPECT_EQ(lines[pidHeader],
                  "PID,PID (hex),Service,Stream type,Bit rate (bit/s),Share (%),CC errors,"
                  "Scrambled,PCR");
        ASSERT_EQ(lines.size(), pidHeader + 1 + table->rowCount() + 1) << "a line per PID";
        EXPECT_EQ(lines.back(), "") << "the last line ends too";
        for (int row = 0; row < table->rowCount(); ++row) {
            const QStringList fields = lines[pidHeader + 1 + row].split(',');
            ASSERT_EQ(fields.size(), 9);
            EXPECT_EQ(fields[0], table->item(row, 0)->text().section(' ', 0, 0));
            EXPECT_EQ(fields[3], table->item(row, 2)->text());
            EXPECT_EQ(fields[6], "0") << "no CC error since the last reset";
        }

        // A file that cannot be written is told, with what to do; nothing is left behind.
        const std::string noFolder = m_program.File("health.csv") + "/x.csv";
        EXPECT_TRUE(WithModalWindow(
            [&] { QTest::mouseClick(page.Item<QPushButton>(Page::kIdExport), Qt::LeftButton); },
            [&](QWidget& saveAs) { AnswerFileDialog(saveAs, noFolder); }));
        ASSERT_EQ(m_program.Boxes().Texts().size(), 1u);
        EXPECT_EQ(m_program.Boxes().Texts()[0],
                  "The stream's health was not exported: " + noFolder +
                      " could not be written (Not a directory). Choose a file in a folder you may "
                      "write to, on a disk with room, and export again.");
        window.EndDialog(IDOK);
    });
}

}  // namespace
