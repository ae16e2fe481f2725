#pragma once
// Two ways of doing the same work, timed in interleaved pairs: each pair runs both sides once, the
// order alternating from pair to pair, so that the machine's load, the page cache's write-back or
// a change of clock speed falls on both alike, and the ratio of their rates is taken per pair.
// A run reports the median ratio and the spread of the middle half.
#include <functional>
#include <string>
#include <vector>

class CPairedRatio {
public:
    // Keeps this process, and the threads it starts from now on, on the first CPU it may use. A
    // path that hands its work to a streaming thread otherwise swings with where the scheduler
    // puts that thread: on a 2-core virtual machine the recording path's pairs spread from 0.75 to
    // 1.25 and the run's median moved by 0.2; on one CPU the middle half is 0.96 to 0.98.
    static void PinToOneCpu();

    // Each side returns its rate (work per second) for one run.
    using Side = std::function<double()>;

    static CPairedRatio Measure(int pairs, const Side& measured, const Side& baseline);

    double Median() const { return m_dMedian; }
    // The first and third quartile of the pairs' ratios.
    double Low() const { return m_dLow; }
    double High() const { return m_dHigh; }
    // The median rates of each side.
    double MeasuredRate() const { return m_dMeasuredRate; }
    double BaselineRate() const { return m_dBaselineRate; }
    // "0.953 (median of 9 interleaved pairs, middle half 0.941 to 0.962)"
    std::string Text() const;

private:
    std::vector<double> m_ratios;
    double m_dMedian = 0;
    double m_dLow = 0;
    double m_dHigh = 0;
    double m_dMeasuredRate = 0;
    double m_dBaselineRate = 0;
};
