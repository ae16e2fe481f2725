#pragma once
// The alignment meter's last minute: C/N as a line (seconds ago along the bottom, now at the
// right edge, dB up the left with a few labelled grid lines), the peak held as a line across at
// its value with a mark where it happened, readings without a C/N left as gaps. The level is not
// drawn: C/N is what pointing the dish improves. Every size follows the font, so the plot stays
// tidy at any scale; it repaints when given new readings, not on a timer.
#include <QColor>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <optional>

#include "status/signal_history.h"

class CSignalPlotWidget : public QWidget {
public:
    // The dB span drawn and the spacing of its grid lines.
    struct Scale {
        double lowDb = 0;
        double highDb = 0;
        double stepDb = 0;
    };
    // At least this tall, so that the noise of a steady signal does not fill the plot.
    static constexpr double kShortestSpanDb = 3.0;
    // The span never reaches below this: a reading under it (a card's figure without a carrier,
    // however absurd) is drawn on the bottom edge instead of squeezing a real signal flat.
    static constexpr double kFloorDb = -5.0;
    // Readings further apart than this (the sampler was paused) are not joined.
    static constexpr std::uint32_t kLongestJoinMs = 1000;

    explicit CSignalPlotWidget(QWidget* parent = nullptr);

    // Takes a copy of what to draw, and repaints.
    void SetHistory(const CSignalHistory& history);

    // The span for C/N values seen (the peak among them), cut at kFloorDb: widened to
    // kShortestSpanDb around its middle (upwards from the floor), then out to whole grid steps
    // of 1, 2, 5, 10 or 20 dB, at most five steps. Non-finite values are not seen.
    static Scale ScaleFor(const DecibelRange& seen);
    // The peak's line and mark: an orange that stands out on light and dark themes alike.
    static QColor PeakColour() { return {230, 120, 0}; }

    // Where the line is drawn, inside the frame, in the widget's pixels.
    QRect PlotArea() const;
    // The C/N line's width in pixels, from the font.
    int LineWidth() const;
    // The current span; empty while no reading carried a C/N.
    const std::optional<Scale>& CurrentScale() const { return m_scale; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DescribeForAssistiveTechnology();

    CSignalHistory m_history;
    std::optional<Scale> m_scale;
};
