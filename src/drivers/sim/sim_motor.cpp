#include "drivers/sim/sim_motor.h"

#include <fmt/format.h>

#include <cmath>
#include <limits>

#include "drivers/sim/sim_clock.h"

CSimMotor::CSimMotor(Settings settings, TraceSink trace)
    : m_settings(settings), m_trace(std::move(trace)) {}

double CSimMotor::AngleAt(std::uint64_t now) const {
    if (!m_bMoving) return m_dAngle;
    if (now >= m_nStopTime) return m_dStopAngle;
    const double seconds = static_cast<double>(now - m_nStartTime) / CSimClock::kTicksPerSecond;
    return m_dAngle + m_dDirection * m_settings.speed * seconds;
}

void CSimMotor::AdvanceTo(std::uint64_t now) {
    if (!m_bMoving || now < m_nStopTime) return;
    m_bMoving = false;
    m_dAngle = m_dStopAngle;
    m_trace(m_nStopTime, fmt::format("motor stop at {:.4f} deg ({})", m_dAngle, m_strStopReason));
}

void CSimMotor::StopHere(std::uint64_t now, const char* reason) {
    AdvanceTo(now);
    if (!m_bMoving) return;
    m_dAngle = AngleAt(now);
    m_bMoving = false;
    m_trace(now, fmt::format("motor stop at {:.4f} deg ({})", m_dAngle, reason));
}

void CSimMotor::MoveTowards(std::uint64_t now, double target, const std::string& what, bool timed) {
    StopHere(now, "new command");
    const bool east = target > m_dAngle;
    if (target == m_dAngle) {
        m_trace(now, fmt::format("motor at {:.4f} deg already ({})", m_dAngle, what));
        return;
    }
    double bound = east ? m_settings.range : -m_settings.range;
    const char* boundReason = "end of range";
    const std::optional<double>& soft = east ? m_eastLimit : m_westLimit;
    if (m_bLimitsOn && soft && (east ? *soft < bound : *soft > bound)) {
        bound = *soft;
        boundReason = east ? "east limit" : "west limit";
    }
    const bool stopsAtBound = east ? target >= bound : target <= bound;
    const double stop = stopsAtBound ? bound : target;
    if (east ? stop <= m_dAngle : stop >= m_dAngle) {
        m_trace(now,
                fmt::format("motor stays at {:.4f} deg ({}: {})", m_dAngle, what, boundReason));
        return;
    }
    m_bMoving = true;
    m_nStartTime = now;
    m_dDirection = east ? 1.0 : -1.0;
    m_dStopAngle = stop;
    const double seconds = std::fabs(stop - m_dAngle) / m_settings.speed;
    m_nStopTime =
        now + static_cast<std::uint64_t>(std::llround(seconds * CSimClock::kTicksPerSecond));
    m_strStopReason = stopsAtBound ? boundReason : (timed ? "time-out" : "target reached");
    if (std::isinf(target)) {
        m_trace(now, fmt::format("motor start {} from {:.4f} deg ({})", east ? "east" : "west",
                                 m_dAngle, what));
    } else {
        m_trace(now, fmt::format("motor start {} from {:.4f} deg to {:.4f} deg ({})",
                                 east ? "east" : "west", m_dAngle, stop, what));
    }
}

void CSimMotor::Halt(std::uint64_t now) {
    StopHere(now, "halt");
}

void CSimMotor::LimitsOff(std::uint64_t now) {
    AdvanceTo(now);
    m_bLimitsOn = false;
}

void CSimMotor::LimitsOn(std::uint64_t now) {
    AdvanceTo(now);
    m_bLimitsOn = m_eastLimit.has_value() || m_westLimit.has_value();
}

void CSimMotor::SetEastLimit(std::uint64_t now) {
    StopHere(now, "limit set");
    m_eastLimit = m_dAngle;
    m_bLimitsOn = true;
    m_trace(now, fmt::format("motor east limit at {:.4f} deg", m_dAngle));
}

void CSimMotor::SetWestLimit(std::uint64_t now) {
    StopHere(now, "limit set");
    m_westLimit = m_dAngle;
    m_bLimitsOn = true;
    m_trace(now, fmt::format("motor west limit at {:.4f} deg", m_dAngle));
}

void CSimMotor::Drive(std::uint64_t now, bool east, std::uint8_t data) {
    AdvanceTo(now);
    const double sign = east ? 1.0 : -1.0;
    const double current = AngleAt(now);
    const std::string what = "drive " + std::string(east ? "east" : "west");
    if (data == 0) {
        MoveTowards(now, sign * std::numeric_limits<double>::infinity(), what + " continuously",
                    false);
    } else if (data < 0x80) {
        MoveTowards(now, current + sign * m_settings.speed * data,
                    fmt::format("{}, time-out {} s", what, data), true);
    } else {
        const int steps = 256 - data;
        MoveTowards(now, current + sign * m_settings.step * steps,
                    fmt::format("{} {} step{}", what, steps, steps == 1 ? "" : "s"), false);
    }
}

void CSimMotor::Store(std::uint64_t now, std::uint8_t position) {
    StopHere(now, "store");
    m_stored[position] = m_dAngle;
    m_trace(now, fmt::format("motor position {} stored at {:.4f} deg", position, m_dAngle));
}

void CSimMotor::Goto(std::uint64_t now, std::uint8_t position) {
    AdvanceTo(now);
    if (position == 0) {
        MoveTowards(now, 0.0, "goto reference position 0", false);
        return;
    }
    if (!m_stored[position]) {
        m_trace(now, fmt::format("motor position {} not stored, no movement", position));
        return;
    }
    MoveTowards(now, *m_stored[position], fmt::format("goto position {}", position), false);
}

void CSimMotor::GotoAngle(std::uint64_t now, double angle) {
    AdvanceTo(now);
    MoveTowards(now, angle, "goto angle", false);
}
