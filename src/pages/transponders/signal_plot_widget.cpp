#include "pages/transponders/signal_plot_widget.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QString>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kSecondsShown = CSignalHistory::kWindowMs / 1000;
constexpr int kSecondsPerGridLine = 15;
constexpr int kMostGridSteps = 5;

// Milliseconds from `earlier` to `later` across the wrap of the tick count.
std::int64_t TicksBetween(std::uint32_t earlier, std::uint32_t later) {
    return static_cast<std::int32_t>(later - earlier);
}

QString DecibelLabel(double value) {
    return QString("%1 dB").arg(value, 0, 'g', 4);
}

QString CarrierToNoiseText(double value) {
    return QString("%1 dB").arg(value, 0, 'f', 1);
}

}  // namespace

CSignalPlotWidget::CSignalPlotWidget(QWidget* parent) : QWidget(parent) {
    setAccessibleName("Signal history");
    // Reachable by Tab, so that a screen reader reads the description.
    setFocusPolicy(Qt::TabFocus);
    DescribeForAssistiveTechnology();
}

void CSignalPlotWidget::SetHistory(const CSignalHistory& history) {
    m_history = history;
    std::optional<DecibelRange> seen = m_history.CarrierToNoiseRange();
    if (const auto& peak = m_history.Peak()) {
        const double value = *peak->carrierToNoiseDb;
        if (!seen) seen = DecibelRange{value, value};
        seen->lowDb = std::min(seen->lowDb, value);
        seen->highDb = std::max(seen->highDb, value);
    }
    m_scale = seen ? std::optional(ScaleFor(*seen)) : std::nullopt;
    DescribeForAssistiveTechnology();
    update();
}

CSignalPlotWidget::Scale CSignalPlotWidget::ScaleFor(const DecibelRange& seen) {
    double low = std::isfinite(seen.lowDb) ? std::max(seen.lowDb, kFloorDb) : kFloorDb;
    double high = std::isfinite(seen.highDb) ? std::max(seen.highDb, low) : low;
    if (high - low < kShortestSpanDb) {
        const double middle = std::max((low + high) / 2, kFloorDb + kShortestSpanDb / 2);
        low = middle - kShortestSpanDb / 2;
        high = middle + kShortestSpanDb / 2;
    }
    constexpr std::array kSteps{1.0, 2.0, 5.0, 10.0, 20.0, 50.0};
    Scale scale;
    for (const double step : kSteps) {
        scale = Scale{std::floor(low / step) * step, std::ceil(high / step) * step, step};
        if (std::lround((scale.highDb - scale.lowDb) / step) <= kMostGridSteps) break;
    }
    return scale;
}

QRect CSignalPlotWidget::PlotArea() const {
    const QFontMetrics metrics(font());
    const int left = metrics.horizontalAdvance(DecibelLabel(-88.5)) + metrics.averageCharWidth();
    const int top = metrics.height() / 2 + 2;
    const int right = metrics.averageCharWidth() / 2 + 1;
    const int bottom = metrics.height() + metrics.descent();
    return rect().adjusted(left, top, -right, -bottom);
}

int CSignalPlotWidget::LineWidth() const {
    return std::max(2, QFontMetrics(font()).height() / 8);
}

QSize CSignalPlotWidget::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.averageCharWidth() * 48, metrics.height() * 8};
}

QSize CSignalPlotWidget::minimumSizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.averageCharWidth() * 24, metrics.height() * 5};
}

void CSignalPlotWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const QRect area = PlotArea();
    painter.fillRect(area, colours.color(QPalette::Base));
    painter.setPen(
        QPen(colours.color(hasFocus() ? QPalette::Highlight : QPalette::Mid), hasFocus() ? 2 : 1));
    painter.drawRect(area.adjusted(-1, -1, 0, 0));
    if (!m_scale || m_history.Samples().empty()) return;

    const Scale scale = *m_scale;
    const std::uint32_t newest = m_history.Samples().back().tickMs;
    const auto yFor = [&](double db) {
        return area.top() +
               (scale.highDb - db) / (scale.highDb - scale.lowDb) * (area.height() - 1);
    };
    const auto xFor = [&](std::uint32_t tick) {
        const double age = static_cast<double>(TicksBetween(tick, newest));
        return area.right() - age / CSignalHistory::kWindowMs * (area.width() - 1);
    };

    // Grid and labels first, the readings over them.
    const QFontMetrics metrics(font());
    QColor gridColour = colours.color(QPalette::Mid);
    gridColour.setAlpha(110);
    for (double db = scale.lowDb; db <= scale.highDb + scale.stepDb / 2; db += scale.stepDb) {
        const int y = static_cast<int>(std::lround(yFor(db)));
        painter.setPen(gridColour);
        painter.drawLine(area.left(), y, area.right(), y);
        const QString label = DecibelLabel(db);
        painter.setPen(colours.color(QPalette::WindowText));
        painter.drawText(
            area.left() - metrics.averageCharWidth() / 2 - metrics.horizontalAdvance(label),
            y + (metrics.ascent() - metrics.descent()) / 2, label);
    }
    for (int seconds = 0; seconds <= kSecondsShown; seconds += kSecondsPerGridLine) {
        const int x = static_cast<int>(
            std::lround(area.right() - double(seconds) / kSecondsShown * (area.width() - 1)));
        if (seconds > 0 && seconds < kSecondsShown) {
            painter.setPen(gridColour);
            painter.drawLine(x, area.top(), x, area.bottom());
        }
        // The ends' labels stay inside the plot's width, clear of the dB labels and the edge.
        const QString label = QString("%1 s").arg(seconds);
        const int width = metrics.horizontalAdvance(label);
        const int left = seconds == 0               ? area.right() - width
                         : seconds == kSecondsShown ? area.left()
                                                    : x - width / 2;
        painter.setPen(colours.color(QPalette::WindowText));
        painter.drawText(left, area.bottom() + 1 + metrics.ascent(), label);
    }

    painter.setClipRect(area);
    painter.setRenderHint(QPainter::Antialiasing);
    // The C/N line, broken where a reading had none or readings were far apart.
    QPen linePen(colours.color(QPalette::Highlight), LineWidth());
    linePen.setCapStyle(Qt::RoundCap);
    linePen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(linePen);
    QPainterPath path;
    std::optional<std::uint32_t> previousTick;
    bool lone = false;  // the segment so far is a single point
    for (const MeterSample& sample : m_history.Samples()) {
        if (!sample.carrierToNoiseDb) {
            previousTick.reset();
            continue;
        }
        const double db = std::clamp(*sample.carrierToNoiseDb, scale.lowDb, scale.highDb);
        const QPointF point(xFor(sample.tickMs), yFor(db));
        if (previousTick && TicksBetween(*previousTick, sample.tickMs) <= kLongestJoinMs) {
            path.lineTo(point);
            lone = false;
        } else {
            if (lone) painter.drawPoint(path.currentPosition());
            path.moveTo(point);
            lone = true;
        }
        previousTick = sample.tickMs;
    }
    if (lone) painter.drawPoint(path.currentPosition());
    painter.drawPath(path);

    // The peak over the line, so that its mark shows where the line reached it.
    if (const auto& peak = m_history.Peak()) {
        const double y = yFor(*peak->carrierToNoiseDb);
        painter.setPen(QPen(PeakColour(), std::max(2, LineWidth() / 2)));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right() + 1, y));
        // The mark only while the peak lies in the minute drawn.
        if (TicksBetween(peak->tickMs, newest) <= CSignalHistory::kWindowMs) {
            const double radius = metrics.height() / 4.0;
            painter.setBrush(PeakColour());
            painter.drawEllipse(QPointF(xFor(peak->tickMs), y), radius, radius);
            painter.setBrush(Qt::NoBrush);
        }
    }
}

void CSignalPlotWidget::DescribeForAssistiveTechnology() {
    const auto& samples = m_history.Samples();
    if (samples.empty()) {
        setAccessibleDescription("No readings yet");
        return;
    }
    const MeterSample& latest = samples.back();
    QString text = latest.carrierToNoiseDb
                       ? QString("Latest C/N %1").arg(CarrierToNoiseText(*latest.carrierToNoiseDb))
                       : QString("Latest C/N not reported");
    if (const auto& peak = m_history.Peak()) {
        const std::int64_t ago =
            std::max<std::int64_t>(0, TicksBetween(peak->tickMs, latest.tickMs));
        text += QString(", peak %1 %2 s ago")
                    .arg(CarrierToNoiseText(*peak->carrierToNoiseDb))
                    .arg(ago / 1000);
    } else {
        text += ", no peak";
    }
    setAccessibleDescription(text);
}
