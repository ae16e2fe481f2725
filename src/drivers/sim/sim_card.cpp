#include "drivers/sim/sim_card.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "drivers/sim/sim_carrier_math.h"
#include "drivers/sim/sim_diseqc_command.h"
#include "drivers/sim/sim_multiplex.h"
#include "drivers/sim/sim_pointing.h"
#include "drivers/sim/sim_property_driver.h"
#include "drivers/sim/sim_sky.h"
#include "drivers/sim/sim_trace.h"

namespace {

constexpr std::uint32_t kIfLowKHz = 950'000;
constexpr std::uint32_t kIfHighKHz = 2'150'000;
constexpr double kCrossPolarIsolation = 25.0;  // dB
constexpr double kCircularOnLinear = 3.0;      // dB

double LongitudeOf(int tenthsEast) {
    const double east = tenthsEast / 10.0;
    return east > 180.0 ? east - 360.0 : east;
}

const char* PolarisationName(LONG polarisation) {
    switch (polarisation) {
        case 1:
            return "horizontal";
        case 2:
            return "vertical";
        case 3:
            return "left circular";
        case 4:
            return "right circular";
        default:
            return "polarisation not set";
    }
}

std::string PositionText(double east) {
    return east < 0 ? fmt::format("{:.1f} W", -east) : fmt::format("{:.1f} E", east);
}

}  // namespace

CSimCard::CSimCard(const SimCardProfile& profile, const SimOptions& options,
                   std::shared_ptr<const CSimSky> sky, std::shared_ptr<CSimClock> clock,
                   std::uint64_t seed)
    : m_profile(profile),
      m_options(options),
      m_pSky(std::move(sky)),
      m_pClock(std::move(clock)),
      m_nSeed(seed),
      m_pDriver(std::make_unique<CSimPropertyDriver>(*this)),
      m_motor(CSimMotor::Settings{options.motorSpeed, options.motorStep, options.motorRange},
              [this](std::uint64_t ticks, const std::string& event) { TraceAt(ticks, event); }),
      m_random(seed) {
    m_nListener = m_pClock->AddListener([this](std::uint64_t now) { OnClock(now); });
}

CSimCard::~CSimCard() {
    m_pClock->RemoveListener(m_nListener);
}

void CSimCard::TraceAt(std::uint64_t ticks, const std::string& event) {
    CSimTrace::Write(m_profile.shortName, ticks, event);
}

void CSimCard::Trace(const std::string& event) {
    TraceAt(m_pClock->Now(), event);
}

void CSimCard::OnClock(std::uint64_t now) {
    std::lock_guard guard(m_lock);
    Update(now);
}

void CSimCard::Update(std::uint64_t now) {
    if (now < m_nEvaluated) now = m_nEvaluated;
    for (;;) {
        std::uint64_t step = now;
        if (m_nPort == 0 && m_motor.IsMoving()) {
            step = std::min(
                {now, m_nEvaluated + kMotionStepTicks, std::max(m_motor.StopTime(), m_nEvaluated)});
        }
        m_motor.AdvanceTo(step);
        Apply(Evaluate(step), step);
        m_nEvaluated = step;
        if (step >= now) break;
    }
    m_motor.AdvanceTo(now);
}

CSimCard::Reception CSimCard::Evaluate(std::uint64_t at) const {
    Reception reception;
    if (m_bRemoved || !m_bTuned || m_nIfKHz < kIfLowKHz || m_nIfKHz > kIfHighKHz) return reception;
    const double latitude = m_options.latitude;
    const double longitude = m_options.longitude;
    const sim::Vector3 boresight =
        m_nPort == 0 ? sim::PolarMountBoresight(latitude, longitude, m_motor.AngleAt(at))
                     : sim::FixedDishBoresight(
                           latitude, longitude,
                           m_options.fixedDishEast[static_cast<std::size_t>(m_nPort - 1)]);
    const sim::Vector3 site = sim::SitePosition(latitude, longitude);
    const double dishGain = 20.0 * std::log10(m_options.dishDiameter / 0.80);
    for (const std::size_t index : m_candidates) {
        const SimCarrier& carrier = m_pSky->Carriers()[index];
        const sim::Vector3 towards =
            sim::Direction(site, sim::SatellitePosition(LongitudeOf(carrier.orbitalTenthsEast)));
        if (sim::Elevation(latitude, longitude, towards) <= 0.0) continue;
        const double error = sim::AngleBetween(boresight, towards);
        const double width = sim::BeamWidth(m_options.dishDiameter, carrier.frequencyKHz * 1000.0);
        double polarisationLoss = 0;
        if (carrier.polarisation == 'L' || carrier.polarisation == 'R') {
            polarisationLoss = kCircularOnLinear;
        } else if ((carrier.polarisation == 'H') != m_b18Volt) {
            polarisationLoss = kCrossPolarIsolation;
        }
        const double cn = m_options.carrierToNoise + dishGain - sim::PointingLoss(error, width) -
                          polarisationLoss;
        if (!reception.best || cn > reception.carrierToNoise) {
            reception.best = index;
            reception.carrierToNoise = cn;
        }
    }
    if (!reception.best) return reception;
    const SimCarrier& carrier = m_pSky->Carriers()[*reception.best];
    reception.margin = reception.carrierToNoise - sim::RequiredCarrierToNoise(carrier);
    const bool demodulates = carrier.system != SimSystem::DvbS2X || m_profile.reportsDvbS2X;
    const bool descrambles = carrier.system == SimSystem::DvbS || carrier.plsGold == m_nPlsGold;
    reception.lockable = reception.margin > 0 && demodulates && descrambles;
    return reception;
}

void CSimCard::Apply(const Reception& reception, std::uint64_t at) {
    m_reception = reception;
    const std::optional<std::size_t> key = reception.lockable ? reception.best : std::nullopt;
    if (key != m_acquiring) {
        if (m_bLocked) {
            m_bLocked = false;
            TraceAt(at, "lock lost");
            NewPlan(at);
        }
        m_acquiring = key;
        m_nOkSince = at;
    }
    if (m_acquiring && !m_bLocked && at >= m_nOkSince + kAcquisitionTicks) {
        m_bLocked = true;
        m_nLocked = *m_acquiring;
        const std::uint64_t lockTime = m_nOkSince + kAcquisitionTicks;
        const SimCarrier& carrier = m_pSky->Carriers()[m_nLocked];
        TraceAt(lockTime,
                fmt::format("lock {} at {} {}, C/N {:.1f} dB, margin {:.1f} dB",
                            sim::CarrierLabel(carrier),
                            PositionText(LongitudeOf(carrier.orbitalTenthsEast)), carrier.satellite,
                            reception.carrierToNoise, reception.margin));
        NewPlan(lockTime);
    }
}

void CSimCard::Reacquire(std::uint64_t at, const char* why) {
    if (m_bLocked) {
        m_bLocked = false;
        TraceAt(at, fmt::format("lock lost ({})", why));
        NewPlan(at);
    }
    m_acquiring.reset();
    Apply(Evaluate(at), at);
}

bool CSimCard::ModCodPasses(const SimCarrier& carrier) const {
    if (carrier.system == SimSystem::DvbS || m_modCods.empty()) return true;
    const int modCod = sim::Dvbs2ModCodOf(carrier);
    const bool shortFrames = carrier.frame == dvb_rate::FrameLength::Short;
    return std::any_of(m_modCods.begin(), m_modCods.end(), [&](const SimModCodEntry& entry) {
        return entry.modCod != 0 && entry.modCod == modCod && entry.shortFrames == shortFrames &&
               entry.pilots == carrier.pilots;
    });
}

int CSimCard::DeliveredInputStream(const SimCarrier& carrier) const {
    if (carrier.inputStreams.empty()) return 0;
    if (m_nInputStreamId < 0) return carrier.inputStreams.front();
    const bool present = std::find(carrier.inputStreams.begin(), carrier.inputStreams.end(),
                                   m_nInputStreamId) != carrier.inputStreams.end();
    return present ? m_nInputStreamId : -1;
}

void CSimCard::NewPlan(std::uint64_t at) {
    SimStreamPlan plan;
    plan.generation = m_plan.generation + 1;
    plan.epoch = at;
    const auto wake = [this] { m_pClock->Wake(); };
    if (!m_bLocked || m_bRemoved) {
        m_plan = plan;
        wake();
        return;
    }
    const SimCarrier& carrier = m_pSky->Carriers()[m_nLocked];
    const bool generic = m_bGenericOutput && carrier.system != SimSystem::DvbS;
    if (generic) {
        plan.output = carrier.payload == SimPayload::Transport ? SimOutput::TransportCrc8
                                                               : SimOutput::GenericBytes;
    } else {
        plan.output =
            carrier.payload == SimPayload::Transport ? SimOutput::Transport : SimOutput::None;
    }
    const int isi = DeliveredInputStream(carrier);
    const auto rate = sim::CarrierUsefulBitRate(carrier);
    if (!ModCodPasses(carrier) || isi < 0 || !rate) plan.output = SimOutput::None;
    if (plan.output != SimOutput::None) {
        const double streams =
            carrier.inputStreams.empty() ? 1.0 : static_cast<double>(carrier.inputStreams.size());
        plan.bitRate = static_cast<std::uint64_t>(std::llround(*rate / streams));
        try {
            plan.config = std::make_shared<const SimStreamConfig>(
                MakeCarrierMultiplex(carrier, isi, plan.bitRate, m_options.seed));
        } catch (const std::invalid_argument& error) {
            TraceAt(at, fmt::format("no stream: {}", error.what()));
            plan.output = SimOutput::None;
        }
    }
    m_plan = plan;
    wake();
}

HRESULT CSimCard::Tune(const BdaTuneRequest& request) {
    std::lock_guard guard(m_lock);
    const std::uint64_t now = m_pClock->Now();
    Update(now);
    if (m_bRemoved) return kDeviceRemoved;
    const std::uint64_t multiplier =
        request.multiplier == 0 || request.multiplier == kBdaNotSet ? 1000 : request.multiplier;
    const std::uint64_t frequency =
        static_cast<std::uint64_t>(request.frequency) * multiplier / 1000;  // kHz
    m_bHighBand = frequency > request.lnbSwitch;
    const std::uint64_t oscillator = m_bHighBand ? request.highOscillator : request.lowOscillator;
    const std::uint64_t intermediate =
        frequency >= oscillator ? frequency - oscillator : oscillator - frequency;
    m_nIfKHz = static_cast<std::uint32_t>(std::min<std::uint64_t>(intermediate, 0xFFFFFFFFu));
    m_b18Volt = request.polarisation == 1 || request.polarisation == 3;
    const std::uint64_t realOscillator =
        (m_bHighBand ? m_options.lnbHighMHz : m_options.lnbLowMHz) * std::uint64_t{1000};
    m_nRfKHz = realOscillator + m_nIfKHz;
    m_bTuned = true;
    const std::uint64_t symbolRate =
        request.symbolRate == kBdaNotSet ? 0 : std::uint64_t{request.symbolRate} * 1000;
    m_candidates.clear();
    // A carrier whose rate passes the check below has at most symbolRate / 0.995 symbols per
    // second, so a tolerance of at most symbolRate / 3980 kHz: no carrier further off can match.
    const std::uint64_t reach = std::max<std::uint64_t>(2000, symbolRate / 3980 + 1);
    const auto& carriers = m_pSky->Carriers();
    for (const std::size_t i :
         m_pSky->CarriersBetween(m_nRfKHz > reach ? m_nRfKHz - reach : 0, m_nRfKHz + reach)) {
        const SimCarrier& carrier = carriers[i];
        const std::uint64_t tolerance = std::max<std::uint64_t>(2000, carrier.symbolRate / 4000);
        const std::uint64_t gap = m_nRfKHz > carrier.frequencyKHz ? m_nRfKHz - carrier.frequencyKHz
                                                                  : carrier.frequencyKHz - m_nRfKHz;
        const double rateError = std::fabs(static_cast<double>(symbolRate) - carrier.symbolRate);
        if (gap <= tolerance && rateError <= 0.005 * carrier.symbolRate) m_candidates.push_back(i);
    }
    const std::string dish =
        m_nPort == 0
            ? fmt::format("motorised dish at {:.4f} deg", m_motor.AngleAt(now))
            : fmt::format(
                  "dish at {}",
                  PositionText(m_options.fixedDishEast[static_cast<std::size_t>(m_nPort - 1)]));
    TraceAt(now, fmt::format(
                     "tune {} kHz, LNB {}/{} kHz, switch {} kHz, {}, {} kSps: IF {} kHz, {} band "
                     "(22 kHz {}), {} V, port {} ({}), RF {} kHz",
                     frequency, request.lowOscillator, request.highOscillator, request.lnbSwitch,
                     PolarisationName(request.polarisation), request.symbolRate, m_nIfKHz,
                     m_bHighBand ? "high" : "low", m_bHighBand ? "on" : "off", m_b18Volt ? 18 : 13,
                     static_cast<char>('A' + m_nPort), dish, m_nRfKHz));
    Reacquire(now, "tune");
    return S_OK;
}

double CSimCard::NextNoise() {
    if (m_options.noise <= 0) return 0;
    // Box-Muller over the card's own generator, so the sequence is the same everywhere.
    const double u1 = (static_cast<double>(m_random() >> 11) + 1.0) * 0x1.0p-53;
    const double u2 = static_cast<double>(m_random() >> 11) * 0x1.0p-53;
    return m_options.noise * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

HRESULT CSimCard::ReadSignal(BdaSignal* signal) {
    std::lock_guard guard(m_lock);
    Update(m_pClock->Now());
    if (m_bRemoved) return kDeviceRemoved;
    *signal = BdaSignal{};
    signal->locked = m_bLocked;
    if (!m_reception.best) return S_OK;
    const double cn = m_reception.carrierToNoise + NextNoise();
    signal->present = cn > 0;
    signal->strength = static_cast<LONG>(std::clamp(std::lround(3.0 * (cn + 13.0)), 0L, 100L));
    signal->quality =
        m_bLocked ? static_cast<LONG>(std::clamp(std::lround(5.0 * cn), 0L, 100L)) : 0;
    return S_OK;
}

void CSimCard::SendDiseqc(std::span<const std::uint8_t> message) {
    std::lock_guard guard(m_lock);
    const std::uint64_t now = m_pClock->Now();
    Update(now);
    const SimDiseqcCommand command = DecodeDiseqcCommand(message);
    const bool repeat = message.size() >= 3 && m_lastDiseqc.size() == message.size() &&
                        std::equal(message.begin() + 1, message.end(), m_lastDiseqc.begin() + 1) &&
                        now - m_nLastDiseqcTime <= kRepeatWindowTicks;
    TraceAt(now, fmt::format("diseqc {}: {}{}", CSimTrace::Hex(message), command.meaning,
                             repeat ? " (repeated, not acted on again)" : ""));
    m_lastDiseqc.assign(message.begin(), message.end());
    m_nLastDiseqcTime = now;
    m_bMotorReached = command.kind != SimDiseqcKind::Ignored &&
                      command.kind != SimDiseqcKind::CommittedSwitch && m_nPort == 0;
    if (repeat || command.kind == SimDiseqcKind::Ignored) return;
    if (command.kind == SimDiseqcKind::CommittedSwitch) {
        if (command.port != m_nPort) {
            m_nPort = command.port;
            Reacquire(now, "switch port changed");
        }
        return;
    }
    if (m_nPort != 0) {
        TraceAt(now, fmt::format("motor not reached: switch port {} selected",
                                 static_cast<char>('A' + m_nPort)));
        return;
    }
    switch (command.kind) {
        case SimDiseqcKind::Halt:
            m_motor.Halt(now);
            break;
        case SimDiseqcKind::LimitsOff:
            m_motor.LimitsOff(now);
            break;
        case SimDiseqcKind::LimitsOn:
            m_motor.LimitsOn(now);
            break;
        case SimDiseqcKind::SetEastLimit:
            m_motor.SetEastLimit(now);
            break;
        case SimDiseqcKind::SetWestLimit:
            m_motor.SetWestLimit(now);
            break;
        case SimDiseqcKind::DriveEast:
            m_motor.Drive(now, true, command.data);
            break;
        case SimDiseqcKind::DriveWest:
            m_motor.Drive(now, false, command.data);
            break;
        case SimDiseqcKind::Store:
            m_motor.Store(now, command.data);
            break;
        case SimDiseqcKind::Goto:
            m_motor.Goto(now, command.data);
            break;
        case SimDiseqcKind::GotoAngle:
            m_motor.GotoAngle(now, command.angle);
            break;
        default:
            break;
    }
    Apply(Evaluate(now), now);
    m_pClock->Wake();
}

void CSimCard::SetGenericOutput(bool generic) {
    std::lock_guard guard(m_lock);
    const std::uint64_t now = m_pClock->Now();
    Update(now);
    if (generic == m_bGenericOutput) return;
    m_bGenericOutput = generic;
    if (m_bLocked) NewPlan(now);
}

bool CSimCard::GenericOutput() const {
    std::lock_guard guard(m_lock);
    return m_bGenericOutput;
}

void CSimCard::SetInputStreamId(int isi) {
    std::lock_guard guard(m_lock);
    const std::uint64_t now = m_pClock->Now();
    Update(now);
    m_nInputStreamId = isi;
    if (m_bLocked) NewPlan(now);
}

void CSimCard::SetPlsGold(std::uint32_t gold) {
    std::lock_guard guard(m_lock);
    const std::uint64_t now = m_pClock->Now();
    Update(now);
    if (gold == m_nPlsGold) return;
    m_nPlsGold = gold;
    Reacquire(now, "scrambling code changed");
}

void CSimCard::SetModCodFilter(std::vector<SimModCodEntry> entries) {
    std::lock_guard guard(m_lock);
    const std::uint64_t now = m_pClock->Now();
    Update(now);
    m_modCods = std::move(entries);
    if (m_bLocked) NewPlan(now);
}

std::array<std::int32_t, 18> CSimCard::MediaInfo() {
    std::lock_guard guard(m_lock);
    Update(m_pClock->Now());
    std::array<std::int32_t, 18> fields{};
    if (!m_bLocked) return fields;
    const SimCarrier& carrier = m_pSky->Carriers()[m_nLocked];
    const std::int64_t oscillator =
        (m_bHighBand ? m_options.lnbHighMHz : m_options.lnbLowMHz) * std::int64_t{1000};
    int isi = 0;
    if (!carrier.inputStreams.empty()) {
        const int delivered = DeliveredInputStream(carrier);
        if (m_nInputStreamId >= 0 && delivered >= 0) {
            isi = delivered;
        } else {
            // Without a selection the frames of every input stream pass: report them in turn.
            isi = carrier.inputStreams[m_nReportedStream % carrier.inputStreams.size()];
            ++m_nReportedStream;
        }
    }
    fields[0] =
        static_cast<std::int32_t>(static_cast<std::int64_t>(carrier.frequencyKHz) - oscillator);
    fields[1] = static_cast<std::int32_t>(carrier.symbolRate);
    fields[2] = carrier.system == SimSystem::DvbS ? 0 : 1;
    fields[3] =
        m_profile.reportsDvbS2X ? sim::ExtendedModCodeOf(carrier) : sim::Dvbs2ModCodOf(carrier);
    fields[4] = sim::DvbsCodeRateIndexOf(carrier);
    fields[5] = sim::ModulationCodeOf(carrier);
    const std::uint8_t matype1 = sim::Matype1Of(carrier);
    fields[6] = matype1 >> 6;
    fields[7] = (matype1 >> 5) & 1;
    fields[8] = (matype1 >> 4) & 1;
    fields[9] = (matype1 >> 3) & 1;
    fields[10] = (matype1 >> 2) & 1;
    fields[11] = matype1 & 3;
    fields[12] = isi;
    fields[13] = matype1;
    fields[14] = carrier.inputStreams.empty() ? 0 : isi;
    fields[15] = 0;  // spectrum normal
    fields[16] = carrier.pilots ? 1 : 0;
    fields[17] = carrier.frame == dvb_rate::FrameLength::Short ? 1 : 0;
    return fields;
}

namespace {

// Decades of error rate per dB of margin near the threshold: the waterfall of the inner code.
double ErrorSlope(const SimCarrier& carrier) {
    return carrier.system == SimSystem::DvbS ? 2.0 : 10.0;
}

constexpr double kBitErrorRateAtThreshold = 2e-4;
constexpr double kPacketErrorRateAtThreshold = 1e-7;
constexpr std::size_t kPacketBytes = 188;
constexpr double kPacketBits = kPacketBytes * 8.0;

// Of the packets the outer code hands on, the share it could not correct at `margin` dB.
double PacketErrorRate(const SimCarrier& carrier, double margin) {
    return std::min(1.0,
                    kPacketErrorRateAtThreshold * std::pow(10.0, -ErrorSlope(carrier) * margin));
}

}  // namespace

SimSignalMeasure CSimCard::SignalMeasure() {
    std::lock_guard guard(m_lock);
    const std::uint64_t now = m_pClock->Now();
    Update(now);
    SimSignalMeasure measure;
    if (!m_reception.best) return measure;
    const double cn = m_reception.carrierToNoise + NextNoise();
    measure.carrierToNoise = sim::MeasuredCarrierToNoise(cn);
    if (!m_bLocked) return measure;
    const SimCarrier& carrier = m_pSky->Carriers()[m_nLocked];
    const std::optional<double> rate = sim::CarrierUsefulBitRate(carrier);
    if (!rate) return measure;
    const double required = sim::RequiredCarrierToNoise(carrier);
    const double slope = ErrorSlope(carrier);

    const double bits = std::round(*rate);
    const double ber =
        std::min(0.5, kBitErrorRateAtThreshold * std::pow(10.0, -slope * (cn - required)));
    measure.bitsCounted = static_cast<std::uint64_t>(bits);
    measure.bitErrors = static_cast<std::uint64_t>(std::floor(ber * bits));

    const std::uint64_t lockTime = m_nOkSince + kAcquisitionTicks;
    if (lockTime != m_nUncorrectedLock) {
        m_nUncorrectedLock = lockTime;
        m_nUncorrectedTo = lockTime;
        m_fUncorrected = 0;
    }
    // The margin of now stands for the whole time since the last reading.
    const double seconds = static_cast<double>(now - m_nUncorrectedTo) / CSimClock::kTicksPerSecond;
    const double per = PacketErrorRate(carrier, m_reception.margin);
    m_fUncorrected += per * seconds * *rate / kPacketBits;
    m_nUncorrectedTo = now;
    measure.uncorrectedBlocks = static_cast<std::uint64_t>(std::floor(m_fUncorrected));
    return measure;
}

SimStreamPlan CSimCard::StreamPlan() {
    std::lock_guard guard(m_lock);
    Update(m_pClock->Now());
    return m_plan;
}

void CSimCard::MarkUncorrectable(std::uint8_t* packets, std::size_t count) {
    std::lock_guard guard(m_lock);
    Update(m_pClock->Now());
    if (!m_bLocked) return;
    const std::uint64_t lockTime = m_nOkSince + kAcquisitionTicks;
    if (lockTime != m_nStreamErrorsLock) {
        m_nStreamErrorsLock = lockTime;
        m_fStreamErrorsOwed = 0;
    }
    const double per = PacketErrorRate(m_pSky->Carriers()[m_nLocked], m_reception.margin);
    // Far above the threshold, the usual case, not one packet of these is lost.
    if (m_fStreamErrorsOwed + per * static_cast<double>(count) < 1.0) {
        m_fStreamErrorsOwed += per * static_cast<double>(count);
        return;
    }
    // Evenly, not at random: the count over a stretch is the model's, to the packet.
    for (std::size_t i = 0; i < count; ++i) {
        m_fStreamErrorsOwed += per;
        if (m_fStreamErrorsOwed < 1.0) continue;
        m_fStreamErrorsOwed -= 1.0;
        packets[i * kPacketBytes + 1] |= 0x80;
    }
}

void CSimCard::Remove() {
    std::lock_guard guard(m_lock);
    const std::uint64_t now = m_pClock->Now();
    Update(now);
    if (m_bRemoved) return;
    m_bRemoved = true;
    m_bLocked = false;
    m_acquiring.reset();
    TraceAt(now, "card removed");
    NewPlan(now);
}

bool CSimCard::IsRemoved() const {
    std::lock_guard guard(m_lock);
    return m_bRemoved;
}

double CSimCard::MotorAngle() {
    std::lock_guard guard(m_lock);
    const std::uint64_t now = m_pClock->Now();
    Update(now);
    return m_motor.AngleAt(now);
}

int CSimCard::Port() const {
    std::lock_guard guard(m_lock);
    return m_nPort;
}

bool CSimCard::LastDiseqcReachedMotor() const {
    std::lock_guard guard(m_lock);
    return m_bMotorReached;
}

bool CSimCard::IsLocked() {
    std::lock_guard guard(m_lock);
    Update(m_pClock->Now());
    return m_bLocked;
}

std::optional<SimCarrier> CSimCard::LockedCarrier() {
    std::lock_guard guard(m_lock);
    Update(m_pClock->Now());
    if (!m_bLocked) return std::nullopt;
    return m_pSky->Carriers()[m_nLocked];
}

std::uint32_t CSimCard::PlsGold() const {
    std::lock_guard guard(m_lock);
    return m_nPlsGold;
}

int CSimCard::InputStreamId() const {
    std::lock_guard guard(m_lock);
    return m_nInputStreamId;
}

std::vector<SimModCodEntry> CSimCard::ModCodFilter() const {
    std::lock_guard guard(m_lock);
    return m_modCods;
}
