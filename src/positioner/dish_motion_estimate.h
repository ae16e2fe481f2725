#pragma once
// Where the program believes the dish motor is. Motors report nothing back, so the estimate
// replays the DiSEqC 1.2 positioner messages the driver accepted at the times they were sent,
// with the motor speed the user set, under the same rules as the simulated card's motor: a
// movement runs at constant speed and ends at its target, at the end of a time-out, at an
// enabled soft limit ahead, or at the mechanical range; a new command ends it where it is.
// A message the card says did not reach the motor moves nothing. One the card cannot vouch for
// (a real card: the bus carries no reply) is replayed, and the estimate is assumed from then on
// until the user confirms it or a lock tuned at rest after the movement proves it.
//
// Threads: every member takes m_mutex and calls nothing outside this class, so OnMessage may be
// called with the driver mutex held while the window thread calls At.
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "graph/driver_control.h"

struct DishMotion {
    double angle = 0;  // degrees, the motor's own sense (positive east, as the
                       // goto-angle message and the simulated motor count)
    bool moving = false;
    std::optional<double> target;       // where the movement under way ends, when known
    std::optional<double> secondsLeft;  // until then, when known
    bool referenced = false;            // follows from a reference (Goto 0, a limit, a goto
                                        // angle), not only from the assumed starting angle
    bool assumed = false;  // a command since the last proof is not known to have reached it
};

class CDishMotionEstimate {
public:
    static constexpr double kDefaultSpeed = 1.5;  // degrees per second
    // What one step of a "drive nn steps" turns: motors do not say, this is the simulated
    // motor's and a common positioner's figure.
    static constexpr double kStepDegrees = 0.125;
    // Mechanical end stops either side of the reference position.
    static constexpr double kMechanicalRange = 75.0;
    // A message equal to the previous one but for its framing byte, within this time, is the
    // second transmission of the same command (the program sends E1 then E0): the motor acts
    // on it once.
    static constexpr std::uint64_t kRepeatWindowMs = 100;

    explicit CDishMotionEstimate(double startAngle = 0.0, bool referenced = false);

    // A movement under way goes on at the new speed from now. Ignored unless finite and > 0.
    void SetSpeed(double degreesPerSecond, std::uint64_t nowMs);
    double Speed() const;
    void OnMessage(std::span<const std::uint8_t> message, std::uint64_t nowMs,
                   MotorReach reach = MotorReach::Reached);
    DishMotion At(std::uint64_t nowMs) const;
    // The user says the dish is where the estimate is: it is no longer assumed, and its angle is
    // a reference. Ignored while the estimate has the dish moving.
    void Confirm(std::uint64_t nowMs);
    // The tuner locked on a tune sent at `tunedMs` through the motor's dish: when the dish had
    // come to rest by then and no command came since, it is where the estimate is.
    void ProveByLock(std::uint64_t tunedMs, std::uint64_t nowMs);

private:
    // An angle the program knows and whether it rests on a reference.
    struct Belief {
        double angle = 0;
        bool referenced = false;
    };

    // A movement at constant speed from m_at, over at most `distance` degrees, and for a timed
    // drive until `deadlineMs` at the latest. Direction 0: a goto to a position stored before
    // this run, whose direction and end are unknown; `distance` is then the farthest it can go,
    // which bounds how long it may take.
    struct Movement {
        std::uint64_t startMs = 0;
        double direction = 0;  // +1 east, -1 west, 0 unknown
        double distance = 0;
        std::optional<std::uint64_t> deadlineMs;
        bool targetKnown = false;          // false for a continuous drive or an unknown goto
        std::optional<bool> endReference;  // the reference arriving at the end gives, if any
    };

    // Ends a movement that is over by `nowMs`, leaving m_at where it stopped.
    void Settle(std::uint64_t nowMs);
    // Ends the movement under way at `nowMs` where it is.
    void StopHere(std::uint64_t nowMs);
    // A movement from where the dish is towards `target` (infinite for a continuous drive).
    void MoveTowards(std::uint64_t nowMs, double target, std::optional<bool> targetReference,
                     std::optional<std::uint64_t> deadlineMs, bool targetKnown);
    void Apply(std::span<const std::uint8_t> message, std::uint64_t nowMs);

    double Travelled(const Movement& movement, std::uint64_t nowMs) const;
    // When the movement ends, in milliseconds (not rounded: the sim's motor stops between them).
    double EndMs(const Movement& movement) const;
    Belief EndOf(const Movement& movement) const;

    mutable std::mutex m_mutex;
    double m_dSpeed = kDefaultSpeed;
    Belief m_at;  // at rest, or where the movement under way started and the reference it had
    std::optional<Movement> m_movement;
    double m_dRestSinceMs = 0;  // when the last movement ended, at rest
    bool m_bAssumed = false;
    std::optional<Belief> m_eastLimit;
    std::optional<Belief> m_westLimit;
    bool m_bLimitsOn = false;
    std::array<std::optional<Belief>, 256> m_stored{};
    std::vector<std::uint8_t> m_lastMessage;
    std::uint64_t m_nLastMessageMs = 0;
    std::uint64_t m_nLatestMs = 0;  // times never run backwards, even if a caller's do
};
