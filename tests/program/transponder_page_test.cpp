// The transponder page in the whole program on the simulated card: a transponder from the list
// is tuned exactly as "Lock TP" tunes it.
#include "pages/transponders/transponder_page.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <string>

#include "core/ini_file.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "platform/ui/qt/property_sheet.h"
#include "program/sim_program.h"
#include "status/signal_monitor.h"

namespace {

using Page = CTransponderPage;

class TransponderPageTest : public SimProgramTest {
protected:
    Page& ShowPage(CBDAUtilDlg& window) {
        window.Sheet()->setCurrentIndex(3);
        auto* page = dynamic_cast<Page*>(window.Sheet()->widget(3));
        EXPECT_NE(page, nullptr);
        return *page;
    }
};

// Enter and a double-click both tune: the fields take the transponder, the card hears one tune
// with the page's LNB and port, and the settings file keeps what was tuned.
TEST_F(TransponderPageTest, AListedTransponderIsTunedAsLockTpTunesIt) {
    for (const bool byEnter : {true, false}) {
        SCOPED_TRACE(byEnter ? "Enter" : "double-click");
        CSimProgramWindow window;
        RunModal(window, [&] {
            EnterTransponder(window);
            CBdacontrolDlg& tuner = TunerPage(window);
            tuner.Item<QLineEdit>(CBdacontrolDlg::kIdFrequency)->setText("12000");
            tuner.Item<QLineEdit>(CBdacontrolDlg::kIdSymbolRate)->setText("27500");
            Choose(tuner.Item<QComboBox>(CBdacontrolDlg::kIdPolarity), 1);

            Page& page = ShowPage(window);
            auto* satellites = page.Item<QComboBox>(Page::kIdSatellite);
            ASSERT_EQ(satellites->count(), 1);
            EXPECT_EQ(satellites->currentText(), "19.2E  Astra");
            QTableWidget* table = page.TransponderTable();
            ASSERT_EQ(table->rowCount(), 1);
            const char* row[] = {"11362", "H", "22000", "DVB-S2", "8PSK", "2/3"};
            for (int column = 0; column < 6; ++column)
                EXPECT_EQ(table->item(0, column)->text(), row[column]) << "column " << column;

            const std::size_t tracedBefore = m_program.TraceText().size();
            window.activateWindow();
            QApplication::setActiveWindow(&window);
            ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
            g_bSignalLocked = 0;
            table->setFocus();
            if (byEnter) {
                QTest::keyClick(table, Qt::Key_Return);
            } else {
                const QRect cell = table->visualItemRect(table->item(0, 1));
                // A double-click is a click and then the double-click event.
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
                QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
            }
            m_program.Clock().AdvanceMs(400);
            EXPECT_TRUE(QTest::qWaitFor([] { return g_bSignalLocked.load() == 1; }, 5000));

            EXPECT_EQ(tuner.FieldText(TunerField::Frequency), "11362");
            EXPECT_EQ(tuner.FieldText(TunerField::SymbolRate), "22000");
            EXPECT_EQ(tuner.PolarityIndex(), 0);
            EXPECT_EQ(tuner.DiseqcPortIndex(), 2) << "the port stays as set";
            const std::string traced = m_program.TraceText().substr(tracedBefore);
            EXPECT_NE(traced.find("tune 11362000 kHz, LNB 9750000/10600000 kHz, switch 11700000 "
                                  "kHz, horizontal, 22000 kSps"),
                      std::string::npos)
                << traced;
            const std::string settings = m_program.File(CBdacontrolDlg::kSettingsFile);
            EXPECT_EQ(ReadIniString(settings, "Config", "freq"), "11362");
            EXPECT_EQ(ReadIniString(settings, "Config", "symbol"), "22000");
            EXPECT_EQ(ReadIniString(settings, "Config", "polarity"), "0");
            window.EndDialog(IDOK);
        });
    }
}

}  // namespace
