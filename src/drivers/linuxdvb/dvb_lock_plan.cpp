#include "drivers/linuxdvb/dvb_lock_plan.h"

#include <algorithm>

#include "drivers/linuxdvb/dvb_api.h"

namespace linuxdvb {

namespace {

bool Has(const DvbFrontendDescription& frontend, std::uint32_t system) {
    return std::find(frontend.deliverySystems.begin(), frontend.deliverySystems.end(), system) !=
           frontend.deliverySystems.end();
}

// The code rates of each DVB-S2 modulation the kernel can name, the most used first.
std::vector<std::uint32_t> LikelyRates(std::uint32_t modulation) {
    switch (modulation) {
        case QPSK:
            return {FEC_3_4, FEC_2_3, FEC_5_6,  FEC_3_5, FEC_1_2,
                    FEC_4_5, FEC_8_9, FEC_9_10, FEC_2_5};
        case PSK_8:
            return {FEC_2_3, FEC_3_4, FEC_5_6, FEC_3_5, FEC_8_9, FEC_9_10};
        case APSK_16:
            return {FEC_2_3, FEC_3_4, FEC_4_5, FEC_5_6, FEC_8_9, FEC_9_10};
        default:  // APSK_32
            return {FEC_3_4, FEC_4_5, FEC_5_6, FEC_8_9, FEC_9_10};
    }
}

// Without pilots for QPSK, with them otherwise: how most DVB-S2 carriers are sent.
std::uint32_t LikelyPilot(std::uint32_t modulation) {
    return modulation == QPSK ? PILOT_OFF : PILOT_ON;
}

class CAttempts {
public:
    void Add(const DvbCarrierSettings& settings) {
        if (std::find(m_list.begin(), m_list.end(), settings) == m_list.end())
            m_list.push_back(settings);
    }
    std::vector<DvbCarrierSettings> Take() { return std::move(m_list); }

private:
    std::vector<DvbCarrierSettings> m_list;
};

}  // namespace

std::vector<DvbCarrierSettings> PlanLockAttempts(
    const DvbDriverRules& rules, const DvbFrontendDescription& frontend,
    const DvbTransponderHint& hint, const std::optional<DvbCarrierSettings>& remembered) {
    const bool dvbs = Has(frontend, SYS_DVBS);
    const bool dvbs2 = Has(frontend, SYS_DVBS2);
    CAttempts attempts;
    if (remembered && Has(frontend, remembered->deliverySystem)) attempts.Add(*remembered);

    // DVB-S: QPSK, the code rate found by every demodulator, roll-off 0.35 (the only one).
    const DvbCarrierSettings dvbsCarrier{SYS_DVBS, QPSK, FEC_AUTO, ROLLOFF_35, PILOT_OFF};

    std::vector<std::uint32_t> modulations = {PSK_8, QPSK};
    if (rules.apsk) modulations.insert(modulations.end(), {APSK_16, APSK_32});
    if (hint.modulation) {
        const auto it = std::find(modulations.begin(), modulations.end(), *hint.modulation);
        if (it != modulations.end()) std::rotate(modulations.begin(), it, it + 1);
    }
    const auto automatic = [&](std::uint32_t modulation) {
        return DvbCarrierSettings{
            SYS_DVBS2, modulation,
            rules.autoFec != false ? std::uint32_t{FEC_AUTO} : LikelyRates(modulation)[0],
            rules.autoRollOff != false ? ROLLOFF_AUTO : ROLLOFF_35,
            rules.autoPilot != false ? std::uint32_t{PILOT_AUTO} : LikelyPilot(modulation)};
    };
    const auto stated = [&](std::uint32_t modulation, std::uint32_t fec) {
        return DvbCarrierSettings{
            SYS_DVBS2, modulation, fec, rules.autoRollOff == true ? ROLLOFF_AUTO : ROLLOFF_35,
            rules.autoPilot == true ? std::uint32_t{PILOT_AUTO} : LikelyPilot(modulation)};
    };

    if (!dvbs2) {
        if (dvbs) attempts.Add(dvbsCarrier);
        return attempts.Take();
    }
    // A demodulator whose DVB-S2 mode searches DVB-S as well needs no DVB-S attempt.
    const bool needsDvbs = dvbs && !rules.s2ReceivesS;
    const bool dvbsFirst = needsDvbs && hint.deliverySystem == SYS_DVBS;
    if (dvbsFirst) attempts.Add(dvbsCarrier);
    // QPSK unless the files say otherwise: a driver that echoes what it was asked for then
    // echoes the truth for every DVB-S carrier.
    if (rules.autoFec != false) attempts.Add(automatic(hint.modulation.value_or(QPSK)));
    if (needsDvbs && !hint.deliverySystem) attempts.Add(dvbsCarrier);
    if (rules.autoFec != true) {
        for (const std::uint32_t modulation : modulations) {
            std::vector<std::uint32_t> rates = LikelyRates(modulation);
            if (hint.innerFec && modulation == modulations.front()) {
                const auto it = std::find(rates.begin(), rates.end(), *hint.innerFec);
                if (it != rates.end()) std::rotate(rates.begin(), it, it + 1);
            }
            for (const std::uint32_t fec : rates) attempts.Add(stated(modulation, fec));
        }
    }
    if (needsDvbs) attempts.Add(dvbsCarrier);
    return attempts.Take();
}

int AttemptTimeoutMs(std::uint32_t symbolRate) {
    if (symbolRate >= 20'000'000) return 1000;
    if (symbolRate >= 10'000'000) return 1200;
    if (symbolRate >= 5'000'000) return 1600;
    if (symbolRate >= 2'000'000) return 2500;
    return 5500;
}

}  // namespace linuxdvb
