// motor: the messages of the Motor/Positioner page, each sent twice (E1 then E0) as the page
// sends them, or the one goto-angle message of its "Go"; the page's refusals.
#include <fmt/format.h>

#include <functional>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/satellite_lookup.h"
#include "diseqc/motor_message.h"
#include "graph/driver_control.h"
#include "positioner/pointing.h"

namespace cli {

namespace {

using diseqc::Direction;
using diseqc::Framing;
using diseqc::MotorMessage;

// Sends the messages and says what became of them: exit status 0 when the driver took each and
// no card said the motor did not hear it.
class CMotorLink {
public:
    explicit CMotorLink(CTunerSession& session) : m_session(session) {
        SetDiseqcSentListener(m_session, [this](std::span<const std::uint8_t>, MotorReach reach) {
            if (reach == MotorReach::NotReached) m_bNotReached = true;
        });
    }
    ~CMotorLink() { SetDiseqcSentListener(m_session, {}); }
    CMotorLink(const CMotorLink&) = delete;
    CMotorLink& operator=(const CMotorLink&) = delete;

    void Send(std::span<const std::uint8_t> message) {
        DriverReports reports;
        SendDiseqCommand(m_session, message, DiseqcForm::Positioner, reports);
        for (const DriverReport& report : reports) {
            Tell(report.text);
            if (report.form != DriverReport::Form::Notice) m_bFailed = true;
        }
    }
    void SendTwice(const std::function<MotorMessage(Framing)>& build) {
        for (const Framing framing : {Framing::Repeat, Framing::First}) Send(build(framing).Span());
    }
    int Outcome() const {
        if (m_bFailed) return Fail(kExitFailed, "The driver did not send the command.");
        if (m_bNotReached)
            return Fail(kExitFailed,
                        "The card says the command did not reach the motor: the tuner is "
                        "switched to a DiSEqC port the motor is not behind. Tune through the "
                        "motor's port first (--diseqc with a transponder).");
        return kExitOk;
    }

private:
    CTunerSession& m_session;
    bool m_bFailed = false;
    bool m_bNotReached = false;
};

// "0192  Astra-1N": the satellite entry the page's "Go" reads its position from.
std::string SatelliteEntry(const SatelliteFile& satellite) {
    return fmt::format("{:04d}  {}", satellite.orbitalTenthsEast, satellite.name);
}

}  // namespace

int RunMotor(const CommandRequest& request) {
    const MotorRequest& motor = request.motor;
    std::string entry;
    if (motor.action == MotorAction::GotoSatellite) {
        const auto found = FindSatellite(motor.satellite, SatelliteFiles());
        if (const auto* why = std::get_if<std::string>(&found))
            return Fail(kExitBadArguments, *why);
        entry = SatelliteEntry(std::get<SatelliteFile>(found));
        // Refused before the tuner is opened, as the page refuses before it sends.
        const GotoAngleStatus status =
            ComputeGotoAngle(entry, motor.longitude, motor.latitude).status;
        if (status == GotoAngleStatus::RangeError)
            return Fail(kExitBadArguments, std::string(GotoAngleErrorText(status)));
        if (status == GotoAngleStatus::Unreachable)
            return Fail(kExitFailed, std::string(GotoAngleErrorText(status)));
    }
    const TunedTuner tuned = OpenAndTune(request, false);
    if (tuned.failure) return *tuned.failure;
    CMotorLink link(tuned.tuner->Session());
    const int number = motor.number;
    switch (motor.action) {
        case MotorAction::GotoSatellite:
            DriveToSatellite(
                entry, motor.longitude, motor.latitude, [&link](const BYTE* bytes, int length) {
                    link.Send(
                        std::span<const std::uint8_t>(bytes, static_cast<std::size_t>(length)));
                });
            break;
        case MotorAction::Goto:
            link.SendTwice([number](Framing f) {
                return diseqc::GotoPosition(f, static_cast<std::uint8_t>(number));
            });
            break;
        case MotorAction::Store:
            link.SendTwice([number](Framing f) {
                return diseqc::StorePosition(f, static_cast<std::uint8_t>(number));
            });
            break;
        case MotorAction::Halt:
            link.SendTwice([](Framing f) { return diseqc::Halt(f); });
            break;
        case MotorAction::East:
        case MotorAction::West: {
            const Direction direction =
                motor.action == MotorAction::East ? Direction::East : Direction::West;
            link.SendTwice([direction, number](Framing f) {
                return diseqc::DriveSeconds(f, direction, number);
            });
            break;
        }
        case MotorAction::LimitsOff:
            link.SendTwice([](Framing f) { return diseqc::LimitsOff(f); });
            break;
        case MotorAction::Limit: {
            const Direction side = motor.limitEast ? Direction::East : Direction::West;
            link.SendTwice([side](Framing f) { return diseqc::SetLimit(f, side); });
            break;
        }
    }
    return link.Outcome();
}

}  // namespace cli
