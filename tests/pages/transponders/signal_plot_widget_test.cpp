#include "pages/transponders/signal_plot_widget.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QFont>
#include <QImage>
#include <QObject>
#include <QPalette>
#include <QTest>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

#include "support/screenshot.h"

namespace {

constexpr std::uint32_t kNewest = 200000;

bool IsColour(QRgb pixel, const QColor& colour) {
    return std::abs(qRed(pixel) - colour.red()) <= 8 &&
           std::abs(qGreen(pixel) - colour.green()) <= 8 &&
           std::abs(qBlue(pixel) - colour.blue()) <= 8;
}

// The rows of column `x` inside the plot whose pixel has `colour`.
std::vector<int> RowsOf(const QImage& image, const QRect& area, int x, const QColor& colour) {
    std::vector<int> rows;
    for (int y = area.top(); y <= area.bottom(); ++y)
        if (IsColour(image.pixel(x, y), colour)) rows.push_back(y);
    return rows;
}

// Where the widget promises to draw a C/N of `db` and a reading `agoMs` before the newest.
double RowFor(const CSignalPlotWidget& plot, double db) {
    const CSignalPlotWidget::Scale scale = *plot.CurrentScale();
    const QRect area = plot.PlotArea();
    return area.top() + (scale.highDb - db) / (scale.highDb - scale.lowDb) * (area.height() - 1);
}
int ColumnFor(const CSignalPlotWidget& plot, std::uint32_t agoMs) {
    const QRect area = plot.PlotArea();
    return static_cast<int>(std::lround(area.right() - agoMs / 60000.0 * (area.width() - 1)));
}

// A minute at 10 dB read every 150 ms, with no C/N from 50 to 45 s ago and one reading of 12 dB
// 30 s ago.
CSignalHistory SteadyMinuteWithPeak() {
    CSignalHistory history;
    for (std::uint32_t tick = kNewest - 60000; tick <= kNewest; tick += 150) {
        std::optional<double> carrierToNoise = 10.0;
        if (tick >= kNewest - 50000 && tick <= kNewest - 45000) carrierToNoise.reset();
        if (tick == kNewest - 30000) carrierToNoise = 12.0;
        history.Add(MeterSample{tick, carrierToNoise, -50.0});
    }
    return history;
}

// The span is at least 3 dB around what was seen, out to whole grid steps, at most five of them.
TEST(SignalPlotWidgetTest, ScaleOfWhatWasSeen) {
    struct Case {
        double low;
        double high;
        CSignalPlotWidget::Scale scale;
    };
    const Case cases[] = {
        {10.0, 10.0, {8, 12, 1}},       // 8.5..11.5 widened to whole dB
        {10.0, 12.0, {9, 13, 1}},       // 9.5..12.5
        {-2.3, 1.1, {-3, 2, 1}},        // 3.4 dB: five steps of 1
        {0.0, 7.0, {0, 8, 2}},          // seven steps of 1 are too many
        {3.0, 14.5, {0, 15, 5}},        // 11.5 dB
        {-5.0, 25.0, {-10, 30, 10}},    // 30 dB
        {-40.0, 40.0, {-10, 40, 10}},   // cut at -5 dB: 45 dB
        {-215.7, 12.0, {-5, 15, 5}},    // a card's figure without a carrier, then a lock
        {-215.7, -215.7, {-5, -2, 1}},  // nothing but such figures: the floor's 3 dB
        {-4.0, 35.0, {-10, 40, 10}},    // widened above 25 dB for a strong signal
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.low << ".." << c.high);
        const CSignalPlotWidget::Scale scale = CSignalPlotWidget::ScaleFor({c.low, c.high});
        EXPECT_EQ(scale.lowDb, c.scale.lowDb);
        EXPECT_EQ(scale.highDb, c.scale.highDb);
        EXPECT_EQ(scale.stepDb, c.scale.stepDb);
    }
}

// A dish swung through its satellite: 20 s weak, 20 s where a card without a floor reports an
// absurd figure, 20 s strong. The strong signal stays in the upper part of the plot, drawn on its
// row, and the absurd figures lie on the bottom edge.
TEST(SignalPlotWidgetTest, AnAbsurdReadingDoesNotFlattenAStrongSignal) {
    CSignalHistory history;
    for (std::uint32_t tick = kNewest - 60000; tick <= kNewest; tick += 150) {
        const std::uint32_t ago = kNewest - tick;
        const double db = ago > 40000 ? 3.0 : ago > 20000 ? -215.7 : 12.0;
        history.Add(MeterSample{tick, db, std::nullopt});
    }
    CSignalPlotWidget plot;
    plot.resize(480, 240);
    plot.SetHistory(history);
    ASSERT_TRUE(plot.CurrentScale());
    EXPECT_EQ(plot.CurrentScale()->lowDb, CSignalPlotWidget::kFloorDb);
    const QRect area = plot.PlotArea();
    EXPECT_LT(RowFor(plot, 12.0) - area.top(), area.height() / 4.0);
    const QImage image = plot.grab().toImage();
    const QColor line = plot.palette().color(QPalette::Highlight);
    // The strong readings are the peak too: its line lies over theirs.
    const std::vector<int> strong =
        RowsOf(image, area, ColumnFor(plot, 10000), CSignalPlotWidget::PeakColour());
    ASSERT_FALSE(strong.empty());
    EXPECT_NEAR(strong.front(), RowFor(plot, 12.0), plot.LineWidth());
    const std::vector<int> absent = RowsOf(image, area, ColumnFor(plot, 30000), line);
    ASSERT_FALSE(absent.empty());
    EXPECT_GE(absent.back(), area.bottom() - plot.LineWidth());
}

// Rendered offscreen at 100 % and 200 % of the font: the C/N line lies on the row of 10 dB and
// leaves the gap empty, the peak's line lies on the row of 12 dB across the plot, and its mark
// stands at 30 s ago.
TEST(SignalPlotWidgetTest, DrawsTheLineAndThePeakWhereTheyBelong) {
    for (const int percent : {100, 200}) {
        SCOPED_TRACE(percent);
        CSignalPlotWidget plot;
        QFont font = plot.font();
        font.setPointSizeF(font.pointSizeF() * percent / 100);
        plot.setFont(font);
        plot.resize(480 * percent / 100, 240 * percent / 100);
        plot.SetHistory(SteadyMinuteWithPeak());
        EXPECT_TRUE(CScreenshot(plot).Keep("signal_plot_" + std::to_string(percent) + ".png"));
        ASSERT_TRUE(plot.CurrentScale());
        EXPECT_EQ(plot.CurrentScale()->lowDb, 9.0);
        EXPECT_EQ(plot.CurrentScale()->highDb, 13.0);
        const QImage image = plot.grab().toImage();
        const QRect area = plot.PlotArea();
        const QColor lineColour = plot.palette().color(QPalette::Highlight);
        const int tolerance = plot.LineWidth();

        const double tenDb = RowFor(plot, 10.0);
        for (const std::uint32_t agoMs : {55000U, 40000U, 15000U, 1000U}) {
            SCOPED_TRACE(testing::Message() << "C/N line " << agoMs << " ms ago");
            const std::vector<int> rows = RowsOf(image, area, ColumnFor(plot, agoMs), lineColour);
            ASSERT_FALSE(rows.empty());
            EXPECT_LE(std::abs(rows.front() - tenDb), tolerance);
            EXPECT_LE(std::abs(rows.back() - tenDb), tolerance);
        }
        EXPECT_TRUE(RowsOf(image, area, ColumnFor(plot, 47500), lineColour).empty())
            << "a gap without C/N was drawn";

        const double twelveDb = RowFor(plot, 12.0);
        for (const std::uint32_t agoMs : {58000U, 40000U, 10000U}) {
            SCOPED_TRACE(testing::Message() << "peak line " << agoMs << " ms ago");
            const std::vector<int> rows =
                RowsOf(image, area, ColumnFor(plot, agoMs), CSignalPlotWidget::PeakColour());
            ASSERT_FALSE(rows.empty());
            EXPECT_LE(std::abs(rows.front() - twelveDb), tolerance);
            EXPECT_LE(std::abs(rows.back() - twelveDb), tolerance);
        }
        // The mark is taller than the peak's line: a disc at the peak's time.
        const std::vector<int> markRows =
            RowsOf(image, area, ColumnFor(plot, 30000), CSignalPlotWidget::PeakColour());
        EXPECT_GE(static_cast<int>(markRows.size()), 2 * tolerance + 2);
        for (const int row : markRows)
            EXPECT_LE(std::abs(row - twelveDb), plot.fontMetrics().height() / 4.0 + 1.5);
    }
}

// Before any reading with a C/N only the frame is drawn: no grid, no labels, no line.
TEST(SignalPlotWidgetTest, EmptyHistoryDrawsOnlyTheFrame) {
    struct Case {
        const char* name;
        std::vector<MeterSample> samples;
    };
    const Case cases[] = {
        {"nothing yet", {}},
        {"readings without C/N", {{1000, std::nullopt, -60.0}, {1150, std::nullopt, std::nullopt}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSignalPlotWidget plot;
        plot.resize(400, 200);
        CSignalHistory history;
        for (const MeterSample& sample : c.samples) history.Add(sample);
        plot.SetHistory(history);
        const QImage image = plot.grab().toImage();
        const QRect area = plot.PlotArea();
        const QColor base = plot.palette().color(QPalette::Base);
        std::set<QRgb> outside;
        int painted = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (area.contains(x, y))
                    painted += IsColour(image.pixel(x, y), base) ? 0 : 1;
                else
                    outside.insert(image.pixel(x, y));
            }
        }
        EXPECT_EQ(painted, 0);
        EXPECT_LE(outside.size(), 2U) << "more than the frame and the background";
    }
}

// Assistive technology knows the plot by name and reads the latest C/N and the peak from it.
TEST(SignalPlotWidgetTest, NameAndDescription) {
    CSignalPlotWidget plot;
    EXPECT_EQ(plot.accessibleName(), "Signal history");
    EXPECT_EQ(plot.accessibleDescription(), "No readings yet");
    EXPECT_EQ(plot.focusPolicy() & Qt::TabFocus, Qt::TabFocus);

    plot.SetHistory(SteadyMinuteWithPeak());
    EXPECT_EQ(plot.accessibleDescription(), "Latest C/N 10.0 dB, peak 12.0 dB 30 s ago");

    CSignalHistory noCarrier = SteadyMinuteWithPeak();
    noCarrier.Add({kNewest + 150, std::nullopt, std::nullopt});
    noCarrier.ResetPeak();
    plot.SetHistory(noCarrier);
    EXPECT_EQ(plot.accessibleDescription(), "Latest C/N not reported, no peak");
}

// The margins and the line grow with the font, so the plot keeps its labels at 200 %.
TEST(SignalPlotWidgetTest, SizesFollowTheFont) {
    CSignalPlotWidget normal;
    CSignalPlotWidget doubled;
    QFont large = normal.font();
    large.setPointSizeF(normal.font().pointSizeF() * 2);
    doubled.setFont(large);
    normal.resize(600, 300);
    doubled.resize(600, 300);
    const QRect small = normal.PlotArea();
    const QRect big = doubled.PlotArea();
    EXPECT_GE(big.left(), small.left() * 18 / 10);
    EXPECT_GE(600 - big.width(), (600 - small.width()) * 18 / 10);
    EXPECT_GE(300 - big.height(), (300 - small.height()) * 18 / 10);
    EXPECT_GE(doubled.LineWidth(), normal.LineWidth() * 2 - 1);
    EXPECT_GE(doubled.sizeHint().height(), normal.sizeHint().height() * 18 / 10);
}

// The plot repaints when given readings, not by itself: nothing changes between two readings.
TEST(SignalPlotWidgetTest, RepaintsOnlyOnNewData) {
    class CPaintCounter : public QObject {
    public:
        int m_nPaints = 0;
        bool eventFilter(QObject* /*watched*/, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++m_nPaints;
            return false;
        }
    };
    CSignalPlotWidget plot;
    CPaintCounter counter;
    plot.installEventFilter(&counter);
    plot.resize(400, 200);
    plot.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return counter.m_nPaints > 0; }, 5000));
    const int afterShow = counter.m_nPaints;
    QTest::qWait(300);  // two sampler periods: a plot on a timer would have painted
    EXPECT_EQ(counter.m_nPaints, afterShow);
    plot.SetHistory(SteadyMinuteWithPeak());
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.m_nPaints > afterShow; }, 5000));
}

}  // namespace
