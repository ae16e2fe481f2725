#pragma once
// The DiSEqC 1.2 dish motor of the simulated card, moving over simulated time.
//
// States: Stopped at an angle, or Moving from a start angle at a constant angular speed towards a
// stop angle that it reaches at a known time. The angle is the motor's own: positive east.
// A movement ends at its target, at the end of its time-out, at a soft limit (when the limits are
// on and the limit lies ahead), or at the end of the mechanical range (+-Range degrees),
// whichever comes first; a halt or a new command ends it where it is.
//
//   drive east/west nn: 00 continuously; 01..7F for nn seconds; 80..FF for 256 - nn steps
//   set east/west limit: the limit is the current angle, and the limits are on
//   limits off / limits on (store 00): the limits stop / start to count; their angles are kept
//   store nn (1..255): remembers the current angle; goto nn: turns to it (00: 0 degrees)
//   goto angle: turns to the angle
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class CSimMotor {
public:
    struct Settings {
        double speed = 1.5;   // degrees per second
        double step = 0.125;  // degrees per step
        double range = 75.0;  // mechanical limit either side of 0
    };
    // Receives a line for the trace and the simulated time it belongs to.
    using TraceSink = std::function<void(std::uint64_t ticks, const std::string& event)>;

    CSimMotor(Settings settings, TraceSink trace);

    // Brings the motor to `now`: a movement that has ended by then is finished (and traced).
    void AdvanceTo(std::uint64_t now);
    // The angle at `now` (at most the end of the current movement); does not change the state.
    double AngleAt(std::uint64_t now) const;
    double Angle() const { return m_dAngle; }
    bool IsMoving() const { return m_bMoving; }
    // When the current movement ends (meaningful while moving).
    std::uint64_t StopTime() const { return m_nStopTime; }

    // Commands, each at `now`.
    void Halt(std::uint64_t now);
    void LimitsOff(std::uint64_t now);
    void LimitsOn(std::uint64_t now);
    void SetEastLimit(std::uint64_t now);
    void SetWestLimit(std::uint64_t now);
    void Drive(std::uint64_t now, bool east, std::uint8_t data);
    void Store(std::uint64_t now, std::uint8_t position);
    void Goto(std::uint64_t now, std::uint8_t position);
    void GotoAngle(std::uint64_t now, double angle);

    std::optional<double> EastLimit() const { return m_eastLimit; }
    std::optional<double> WestLimit() const { return m_westLimit; }
    bool LimitsEnabled() const { return m_bLimitsOn; }
    std::optional<double> StoredPosition(std::uint8_t position) const { return m_stored[position]; }

private:
    // Starts a movement towards `target` (infinite for a continuous drive) at `now`.
    void MoveTowards(std::uint64_t now, double target, const std::string& what, bool timed);
    // Ends a movement under way at `now`, where it is.
    void StopHere(std::uint64_t now, const char* reason);

    const Settings m_settings;
    const TraceSink m_trace;
    double m_dAngle = 0;  // at rest, or where the current movement started
    bool m_bMoving = false;
    std::uint64_t m_nStartTime = 0;
    double m_dDirection = 0;  // +1 east, -1 west
    double m_dStopAngle = 0;
    std::uint64_t m_nStopTime = 0;
    std::string m_strStopReason;
    std::optional<double> m_eastLimit;
    std::optional<double> m_westLimit;
    bool m_bLimitsOn = false;
    std::array<std::optional<double>, 256> m_stored{};
};
