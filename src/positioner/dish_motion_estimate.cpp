#include "positioner/dish_motion_estimate.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "diseqc/motor_message.h"

namespace {

constexpr double kMsPerSecond = 1000.0;

}  // namespace

CDishMotionEstimate::CDishMotionEstimate(double startAngle, bool referenced)
    : m_at{startAngle, referenced} {}

double CDishMotionEstimate::Speed() const {
    std::lock_guard guard(m_mutex);
    return m_dSpeed;
}

void CDishMotionEstimate::SetSpeed(double degreesPerSecond, std::uint64_t nowMs) {
    if (!std::isfinite(degreesPerSecond) || degreesPerSecond <= 0) return;
    std::lock_guard guard(m_mutex);
    nowMs = m_nLatestMs = std::max(nowMs, m_nLatestMs);
    Settle(nowMs);
    if (m_movement) {
        // Start the movement afresh from where it is now; a time-out keeps its end time.
        const double travelled = Travelled(*m_movement, nowMs);
        m_at.angle += m_movement->direction * travelled;
        m_movement->distance -= travelled;
        m_movement->startMs = nowMs;
    }
    m_dSpeed = degreesPerSecond;
}

void CDishMotionEstimate::OnMessage(std::span<const std::uint8_t> message, std::uint64_t nowMs,
                                    MotorReach reach) {
    std::lock_guard guard(m_mutex);
    nowMs = m_nLatestMs = std::max(nowMs, m_nLatestMs);
    // Any message in between, a switch command too, makes the next one a new command, as on the
    // card; the framing byte (E0 first, E1 repeated) does not count.
    const bool repeat = message.size() >= 3 && message.size() == m_lastMessage.size() &&
                        std::equal(message.begin() + 1, message.end(), m_lastMessage.begin() + 1) &&
                        nowMs - m_nLastMessageMs <= kRepeatWindowMs;
    m_lastMessage.assign(message.begin(), message.end());
    m_nLastMessageMs = nowMs;
    if (repeat || reach == MotorReach::NotReached) return;
    if (reach == MotorReach::Unknown && diseqc::DecodeMotorMessage(message)) m_bAssumed = true;
    Apply(message, nowMs);
}

void CDishMotionEstimate::Confirm(std::uint64_t nowMs) {
    std::lock_guard guard(m_mutex);
    nowMs = m_nLatestMs = std::max(nowMs, m_nLatestMs);
    Settle(nowMs);
    if (m_movement) return;
    m_bAssumed = false;
    m_at.referenced = true;
}

void CDishMotionEstimate::ProveByLock(std::uint64_t tunedMs, std::uint64_t nowMs) {
    std::lock_guard guard(m_mutex);
    nowMs = m_nLatestMs = std::max(nowMs, m_nLatestMs);
    Settle(nowMs);
    if (!m_movement && m_dRestSinceMs <= static_cast<double>(tunedMs)) m_bAssumed = false;
}

void CDishMotionEstimate::Apply(std::span<const std::uint8_t> message, std::uint64_t nowMs) {
    using diseqc::MotorCommandKind;
    const std::optional<diseqc::MotorCommand> command = diseqc::DecodeMotorMessage(message);
    if (!command) return;
    Settle(nowMs);
    const double sign = command->direction == diseqc::Direction::East ? 1.0 : -1.0;
    switch (command->kind) {
        case MotorCommandKind::Halt:
            StopHere(nowMs);
            break;
        case MotorCommandKind::LimitsOff:
            // A movement under way keeps the end it was given.
            m_bLimitsOn = false;
            break;
        case MotorCommandKind::LimitsOn:
            m_bLimitsOn = m_eastLimit.has_value() || m_westLimit.has_value();
            break;
        case MotorCommandKind::SetLimit:
            StopHere(nowMs);
            (command->direction == diseqc::Direction::East ? m_eastLimit : m_westLimit) = m_at;
            m_bLimitsOn = true;
            break;
        case MotorCommandKind::Drive: {
            const double endless = sign * std::numeric_limits<double>::infinity();
            if (command->data == 0) {
                MoveTowards(nowMs, endless, std::nullopt, std::nullopt, false);
            } else if (command->data < 0x80) {
                MoveTowards(nowMs, endless, std::nullopt,
                            nowMs + std::uint64_t{command->data} * 1000, true);
            } else {
                StopHere(nowMs);
                const int steps = 256 - command->data;
                MoveTowards(nowMs, m_at.angle + sign * kStepDegrees * steps, std::nullopt,
                            std::nullopt, true);
            }
            break;
        }
        case MotorCommandKind::Store:
            StopHere(nowMs);
            m_stored[command->data] = m_at;
            break;
        case MotorCommandKind::Goto:
            if (command->data == 0) {
                MoveTowards(nowMs, 0.0, true, std::nullopt, true);
            } else if (const std::optional<Belief> stored = m_stored[command->data]) {
                MoveTowards(nowMs, stored->angle, stored->referenced, std::nullopt, true);
            } else {
                // Stored before this run, if at all: the motor may turn anywhere in its range.
                StopHere(nowMs);
                m_at.referenced = false;
                m_movement =
                    Movement{nowMs,
                             0.0,
                             std::max(kMechanicalRange - m_at.angle, m_at.angle + kMechanicalRange),
                             std::nullopt,
                             false,
                             false};
            }
            break;
        case MotorCommandKind::GotoAngle:
            MoveTowards(nowMs, command->angle, true, std::nullopt, true);
            break;
    }
}

void CDishMotionEstimate::MoveTowards(std::uint64_t nowMs, double target,
                                      std::optional<bool> targetReference,
                                      std::optional<std::uint64_t> deadlineMs, bool targetKnown) {
    StopHere(nowMs);
    if (target == m_at.angle) {
        if (targetReference) m_at.referenced = *targetReference;
        return;
    }
    const bool east = target > m_at.angle;
    double bound = east ? kMechanicalRange : -kMechanicalRange;
    std::optional<bool> boundReference;  // the mechanical range is no reference: motors differ
    const std::optional<Belief>& soft = east ? m_eastLimit : m_westLimit;
    if (m_bLimitsOn && soft && (east ? soft->angle < bound : soft->angle > bound)) {
        bound = soft->angle;
        boundReference = soft->referenced;
    }
    const bool stopsAtBound = east ? target >= bound : target <= bound;
    const double stop = stopsAtBound ? bound : target;
    // A limit behind the dish, or the dish beyond it already: it does not move.
    if (east ? stop <= m_at.angle : stop >= m_at.angle) return;
    m_movement =
        Movement{nowMs,      east ? 1.0 : -1.0, std::fabs(stop - m_at.angle),
                 deadlineMs, targetKnown,       stopsAtBound ? boundReference : targetReference};
}

double CDishMotionEstimate::Travelled(const Movement& movement, std::uint64_t nowMs) const {
    std::uint64_t until = std::max(nowMs, movement.startMs);
    if (movement.deadlineMs)
        until = std::min(until, std::max(*movement.deadlineMs, movement.startMs));
    const double seconds = static_cast<double>(until - movement.startMs) / kMsPerSecond;
    return std::min(movement.distance, m_dSpeed * seconds);
}

double CDishMotionEstimate::EndMs(const Movement& movement) const {
    double end =
        static_cast<double>(movement.startMs) + movement.distance / m_dSpeed * kMsPerSecond;
    if (movement.deadlineMs) end = std::min(end, static_cast<double>(*movement.deadlineMs));
    return end;
}

CDishMotionEstimate::Belief CDishMotionEstimate::EndOf(const Movement& movement) const {
    const double travelled = Travelled(movement, std::numeric_limits<std::uint64_t>::max());
    Belief end{m_at.angle + movement.direction * travelled, m_at.referenced};
    // A time-out that comes first leaves the dish short of where the reference is.
    if (travelled >= movement.distance && movement.endReference)
        end.referenced = *movement.endReference;
    return end;
}

void CDishMotionEstimate::Settle(std::uint64_t nowMs) {
    if (!m_movement || static_cast<double>(nowMs) < EndMs(*m_movement)) return;
    m_dRestSinceMs = EndMs(*m_movement);
    m_at = EndOf(*m_movement);
    m_movement.reset();
}

void CDishMotionEstimate::StopHere(std::uint64_t nowMs) {
    Settle(nowMs);
    if (!m_movement) return;
    m_at.angle += m_movement->direction * Travelled(*m_movement, nowMs);
    m_movement.reset();
    m_dRestSinceMs = static_cast<double>(nowMs);
}

DishMotion CDishMotionEstimate::At(std::uint64_t nowMs) const {
    std::lock_guard guard(m_mutex);
    nowMs = std::max(nowMs, m_nLatestMs);
    DishMotion motion;
    motion.assumed = m_bAssumed;
    if (!m_movement || static_cast<double>(nowMs) >= EndMs(*m_movement)) {
        const Belief rest = m_movement ? EndOf(*m_movement) : m_at;
        motion.angle = rest.angle;
        motion.referenced = rest.referenced;
        return motion;
    }
    const Movement& movement = *m_movement;
    motion.angle = m_at.angle + movement.direction * Travelled(movement, nowMs);
    motion.moving = true;
    motion.referenced = m_at.referenced;
    if (movement.targetKnown) {
        motion.target =
            m_at.angle +
            movement.direction * Travelled(movement, std::numeric_limits<std::uint64_t>::max());
        motion.secondsLeft = (EndMs(movement) - static_cast<double>(nowMs)) / kMsPerSecond;
    }
    return motion;
}
