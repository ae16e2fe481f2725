// The "Dish Alignment" window in the whole program on the simulated card: where the program
// believes the motor to be follows the card's own motor through a "Go" of the positioner page
// and is where the next run starts, and the meter shows the card's C/N several times a second while
// the window is up.
#include "pages/transponders/dish_window.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <functional>
#include <string>

#include "core/ini_file.h"
#include "pages/positioner/position_dlg.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "pages/transponders/dish_texts.h"
#include "pages/transponders/signal_plot_widget.h"
#include "pages/transponders/transponder_page.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ui/qt/property_sheet.h"
#include "platform/win/known_folders.h"
#include "platform/win/system_clock.h"
#include "positioner/dish_motion_estimate.h"
#include "positioner/pointing.h"
#include "program/sim_program.h"

namespace {

using Page = CTransponderPage;

class DishWindowTest : public SimProgramTest {
protected:
    CDishWindow& OpenDishWindow(Page& page) {
        QTest::mouseClick(page.Item<QPushButton>(Page::kIdDish), Qt::LeftButton);
        CDishWindow* dish = page.DishWindow();
        EXPECT_NE(dish, nullptr);
        EXPECT_TRUE(dish->isVisible());
        return *dish;
    }
    static std::string FieldText(const CDishWindow& dish, int id) {
        return dish.Item<QLineEdit>(id)->text().toStdString();
    }
    // The Motor/Positioner page shown, with the site typed in.
    static CPositionDlg& PositionerAt(CBDAUtilDlg& window, const std::string& latitude,
                                      const std::string& longitude) {
        window.Sheet()->setCurrentIndex(2);
        auto& positioner = dynamic_cast<CPositionDlg&>(*window.Sheet()->widget(2));
        positioner.Item<QLineEdit>(CPositionDlg::kIdLatitude)
            ->setText(QString::fromStdString(latitude));
        positioner.Item<QLineEdit>(CPositionDlg::kIdLongitude)
            ->setText(QString::fromStdString(longitude));
        return positioner;
    }
    static std::string ChosenSatellite(const CPositionDlg& positioner) {
        return positioner.Item<QComboBox>(CPositionDlg::kIdSatellite)->currentText().toStdString();
    }
    static void PressGo(CPositionDlg& positioner) {
        QTest::mouseClick(positioner.Item<QPushButton>(CPositionDlg::kIdGo), Qt::LeftButton);
    }
    // The program on the card's clock, locked on 11362 H behind port B, with the dish window
    // open; `script` goes on from there and the window is closed after it.
    void RunLockedWithDishWindow(
        const std::function<void(CSimProgramWindow&, Page&, CDishWindow&)>& script) {
        m_program.DriveTicksByCardClock();
        CSimProgramWindow window;
        RunModal(window, [&] {
            EnterTransponder(window);
            ASSERT_TRUE(LockTp(window, m_program.Clock()));
            Page& page = TransponderPage(window);
            script(window, page, OpenDishWindow(page));
            window.EndDialog(IDOK);
        });
    }
};

// A site on the equator whose motor angle to 19.2 E is at least `degrees`: the longitude, east.
std::string LongitudeForAngle(const std::string& satellite, double degrees) {
    for (int longitude = 0; longitude > -60; --longitude) {
        const std::string text = std::to_string(longitude);
        const GotoAngleResult result = ComputeGotoAngle(satellite, text, "0");
        if (result.status == GotoAngleStatus::Ok && std::fabs(result.motorAngle) >= degrees)
            return text;
    }
    return {};
}

TEST_F(DishWindowTest, TheBelievedAngleFollowsTheMotorThroughAGoOfTwentyDegrees) {
    m_program.DriveTicksByCardClock();
    CSimProgramWindow window;
    RunModal(window, [&] {
        Page& page = TransponderPage(window);
        CDishWindow& dish = OpenDishWindow(page);
        EXPECT_EQ(FieldText(dish, CDishWindow::kIdMotorState), "at rest");

        CPositionDlg& positioner = PositionerAt(window, "0", "0");
        const std::string satellite = ChosenSatellite(positioner);
        const std::string longitude = LongitudeForAngle(satellite, 20.0);
        ASSERT_FALSE(longitude.empty()) << satellite;
        // The pointing counts the message's D0 direction, west, positive; the motor east.
        const double target = -ComputeGotoAngle(satellite, longitude, "0").motorAngle;
        ASSERT_GT(target, 0) << "a satellite east of the site";
        PositionerAt(window, "0", longitude);
        PressGo(positioner);

        const double speed = page.DishEstimate()->Speed();
        const int seconds = static_cast<int>(std::ceil(std::fabs(target) / speed)) + 2;
        for (int second = 1; second <= seconds; ++second) {
            m_program.Clock().AdvanceMs(1000);
            const DishMotion motion = page.DishEstimate()->At(GetTickCount64());
            const double truth = m_program.Card().MotorAngle();
            EXPECT_NEAR(motion.angle, truth, 0.5) << "after " << second << " s";
            // The message carries sixteenths of a degree: the motor stops within one of the target.
            EXPECT_EQ(motion.moving, std::fabs(truth - target) > 0.07)
                << "after " << second << " s";
            if (second == 3) {
                // The window tells the same while the dish turns, at its next refresh (the card's
                // time stands still meanwhile).
                ASSERT_TRUE(motion.target && motion.secondsLeft);
                EXPECT_NEAR(*motion.target, target, 0.07);
                EXPECT_NEAR(*motion.secondsLeft, target / speed - 3.0, 0.05);
                const std::string arrival = dish_texts::Arrival(motion.secondsLeft, true);
                EXPECT_TRUE(QTest::qWaitFor(
                    [&] { return FieldText(dish, CDishWindow::kIdArrival) == arrival; }, 5000))
                    << FieldText(dish, CDishWindow::kIdArrival) << " instead of " << arrival;
                EXPECT_EQ(FieldText(dish, CDishWindow::kIdTarget),
                          dish_texts::Angle(*motion.target));
                EXPECT_EQ(FieldText(dish, CDishWindow::kIdMotorState), "moving east");
                EXPECT_EQ(FieldText(dish, CDishWindow::kIdDishAngle),
                          dish_texts::Angle(motion.angle, false))
                    << "assumed until the Go has arrived: the start was never referenced";
            }
        }
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return FieldText(dish, CDishWindow::kIdMotorState) == "at rest"; }, 5000));
        EXPECT_EQ(FieldText(dish, CDishWindow::kIdDishAngle),
                  dish_texts::Angle(m_program.Card().MotorAngle()))
            << "referenced by the Go's arrival";
        window.EndDialog(IDOK);
    });

    // The dish stays where it is while the program is not running: the next run starts there.
    const std::string settings = platform::JoinPath(platform::ConfigFolder(), "Transponders.ini");
    EXPECT_NEAR(std::stod(ReadIniString(settings, "Dish", "Angle")), m_program.Card().MotorAngle(),
                0.01);
    EXPECT_EQ(ReadIniString(settings, "Dish", "Referenced"), "1");
    CSimProgramWindow again;
    RunModal(again, [&] {
        const DishMotion motion = TransponderPage(again).DishEstimate()->At(GetTickCount64());
        EXPECT_NEAR(motion.angle, m_program.Card().MotorAngle(), 0.01);
        EXPECT_TRUE(motion.referenced);
        EXPECT_FALSE(motion.moving);
        again.EndDialog(IDOK);
    });
}

// Shown over a locked carrier, the meter reads the card at least five times a second of the
// card's time, and its C/N is the card's.
TEST_F(DishWindowTest, TheMeterShowsTheCardsCarrierToNoiseSeveralTimesASecond) {
    RunLockedWithDishWindow([&](CSimProgramWindow&, Page&, CDishWindow& dish) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return dish.SamplesShown() > 0; }, 5000));
        const std::uint64_t before = dish.SamplesShown();
        const std::uint64_t start = GetTickCount64();
        // The sampler reads on the card's clock.
        for (int step = 0; step < 20; ++step) m_program.Step(100);
        const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
        const double rate = static_cast<double>(dish.SamplesShown() - before) / seconds;
        EXPECT_GE(rate, 5.0) << dish.SamplesShown() - before << " samples in " << seconds << " s";
        const std::string shown = FieldText(dish, CDishWindow::kIdCarrierToNoise);
        EXPECT_NE(shown.find(" dB"), std::string::npos) << shown;
        EXPECT_EQ(FieldText(dish, CDishWindow::kIdLevel), "not reported")
            << "the simulated card has no received power to report";
    });
}

// Peaking the dish: tuned through the motorised dish, which stands 11 degrees off 19.2 E, the card
// reads no carrier; a "Go" to 19.2 E from the card's own site brings it in strongly. The plot's
// span stays on physical readings, so the strong signal takes most of the plot's height.
TEST_F(DishWindowTest, ThePlotOfAnAbsentThenStrongSignalKeepsTheStrongOneReadable) {
    m_program.DriveTicksByCardClock();
    CSimProgramWindow window;
    RunModal(window, [&] {
        EnterTransponder(window);
        Choose(TunerPage(window).Item<QComboBox>(CBdacontrolDlg::kIdDiseqc), 1);  // Diseqc A
        TunerPage(window).Item<QPushButton>(CBdacontrolDlg::kIdLockTp)->click();
        Page& page = TransponderPage(window);
        CDishWindow& dish = OpenDishWindow(page);
        auto* plot = dynamic_cast<CSignalPlotWidget*>(ChildNamed(dish, "Signal history"));
        ASSERT_NE(plot, nullptr);
        // The sampler reads on the card's clock.
        const auto read = [&](int milliseconds) {
            for (int ms = 0; ms < milliseconds; ms += 100) m_program.Step(100);
        };
        const auto shown = [&] {
            return std::stod(FieldText(dish, CDishWindow::kIdCarrierToNoise));
        };
        read(1000);
        EXPECT_LT(shown(), 0.0) << "the estimator's floor: no carrier in the beam";

        PressGo(PositionerAt(window, "50.0", "10.0"));
        m_program.Clock().AdvanceMs(12000);  // about 11 degrees at 1.5 a second
        read(1500);
        EXPECT_GT(shown(), 10.0) << "the carrier on boresight";
        ASSERT_TRUE(plot->CurrentScale());
        EXPECT_GE(plot->CurrentScale()->lowDb, CSignalPlotWidget::kFloorDb);
        EXPECT_LE(plot->CurrentScale()->highDb, 25.0);
        window.EndDialog(IDOK);
    });
}

// The motor sits behind port A; the tuner was switched to port B by "Lock TP". A "Go" asks
// first: No sends nothing, Yes sends, the card says the motor did not hear it, and the estimate
// stays. A card that cannot tell (its answer taken away) has the estimate move "(assumed)"
// until the user says the dish is there.
TEST_F(DishWindowTest, AGoTheMotorDoesNotHearMovesNothingAndAnUnvouchedOneIsAssumed) {
    RunLockedWithDishWindow([&](CSimProgramWindow& window, Page& page, CDishWindow& dish) {
        Choose(dish.Item<QComboBox>(CDishWindow::kIdMotorPort), 1);

        CPositionDlg& positioner = PositionerAt(window, "0", "0");
        PositionerAt(window, "0", LongitudeForAngle(ChosenSatellite(positioner), 10.0));
        const auto goesSent = [&] {
            return m_program.TraceLinesSince(0, "diseqc E1 31 6E").size();
        };
        const auto go = [&](int answer) {
            m_program.Boxes().Clear();
            m_program.Boxes().AnswerQuestionsWith(answer);
            PressGo(positioner);
            m_program.Clock().AdvanceMs(20000);  // the Go of 18 degrees takes 12 s
        };

        go(IDNO);
        ASSERT_EQ(m_program.Boxes().Texts().size(), 1u);
        EXPECT_EQ(m_program.Boxes().Texts()[0],
                  "The dish motor is behind DiSEqC port A, but the tuner is switched to port B: "
                  "the motor will not hear this command. Send it anyway?");
        EXPECT_EQ(goesSent(), 0u);

        go(IDYES);
        EXPECT_EQ(goesSent(), 1u);
        EXPECT_NE(m_program.TraceText().find("motor not reached: switch port B selected"),
                  std::string::npos);
        DishMotion motion = page.DishEstimate()->At(GetTickCount64());
        EXPECT_EQ(motion.angle, 0.0) << "the card said the motor did not hear it";
        EXPECT_FALSE(motion.moving || motion.assumed);
        EXPECT_EQ(m_program.Card().MotorAngle(), 0.0);

        // Behind every port, and a card that cannot say whether the motor heard.
        Choose(dish.Item<QComboBox>(CDishWindow::kIdMotorPort), 0);
        m_program.Card().Faults().MakeUnsupported(KSPROPSETID_MotorReach, KSPROPERTY_MOTOR_REACHED);
        go(IDNO);
        EXPECT_TRUE(m_program.Boxes().Texts().empty()) << "no port to doubt";
        motion = page.DishEstimate()->At(GetTickCount64());
        EXPECT_NE(motion.angle, 0.0) << "believed without the card's word";
        EXPECT_TRUE(motion.assumed);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return FieldText(dish, CDishWindow::kIdDishAngle) ==
                       dish_texts::Angle(motion.angle, false);
            },
            5000))
            << FieldText(dish, CDishWindow::kIdDishAngle);
        auto* confirm = dish.Item<QPushButton>(CDishWindow::kIdConfirm);
        EXPECT_TRUE(confirm->isEnabled());
        QTest::mouseClick(confirm, Qt::LeftButton);
        EXPECT_EQ(FieldText(dish, CDishWindow::kIdDishAngle), dish_texts::Angle(motion.angle));
        EXPECT_FALSE(confirm->isEnabled());
    });
}

}  // namespace
