#include "drivers/linuxdvb/dvb_lock_plan.h"

#include <algorithm>

#include "drivers/linuxdvb/dvb_api.h"

namespace linuxdvb {

namespace {

bool Has(const DvbFrontendDescription& frontend, std::uint32_t system) {
    return std::find(frontend.deliverySystems.begin(), frontend.deliverySystems.end(), system) !=
           frontend.deliverySystems.end();
}

// Every code rate the kernel can name for a DVB-S2 modulation, for a driver whose table is not
// known.
std::vector<std::uint32_t> KernelRates(std::uint32_t modulation) {
    switch (modulation) {
        case QPSK:
            return {FEC_1_2, FEC_3_5, FEC_2_3,  FEC_3_4, FEC_4_5,
                    FEC_5_6, FEC_8_9, FEC_9_10, FEC_2_5};
        case PSK_8:
            return {FEC_3_5, FEC_2_3, FEC_3_4, FEC_5_6, FEC_8_9, FEC_9_10};
        case APSK_16:
            return {FEC_2_3, FEC_3_4, FEC_4_5, FEC_5_6, FEC_8_9, FEC_9_10};
        default:  // APSK_32
            return {FEC_3_4, FEC_4_5, FEC_5_6, FEC_8_9, FEC_9_10};
    }
}

struct ModCod {
    std::uint32_t modulation;
    std::uint32_t fec;
};

// DVB-S2 MODCODs in the order broadcasters use them, the most common first: 8PSK 2/3 and 3/4
// and QPSK 3/4 carry most of the Ku band; the rest follow by how often satellite lists name
// them. Rates a driver's table lacks are passed over.
constexpr ModCod kBroadcastOrder[] = {
    {PSK_8, FEC_2_3},    {QPSK, FEC_3_4},    {PSK_8, FEC_3_4},   {QPSK, FEC_2_3},
    {PSK_8, FEC_5_6},    {QPSK, FEC_5_6},    {PSK_8, FEC_3_5},   {QPSK, FEC_3_5},
    {QPSK, FEC_4_5},     {QPSK, FEC_8_9},    {QPSK, FEC_9_10},   {QPSK, FEC_1_2},
    {PSK_8, FEC_8_9},    {PSK_8, FEC_9_10},  {APSK_16, FEC_2_3}, {APSK_16, FEC_3_4},
    {APSK_16, FEC_5_6},  {APSK_16, FEC_4_5}, {APSK_16, FEC_8_9}, {APSK_16, FEC_9_10},
    {APSK_32, FEC_3_4},  {APSK_32, FEC_4_5}, {APSK_32, FEC_5_6}, {APSK_32, FEC_8_9},
    {APSK_32, FEC_9_10}, {QPSK, FEC_2_5},
};

// The DVB-S2 attempts tried again with each other roll-off a driver takes stated.
constexpr std::size_t kRollOffRetries = 4;

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
    const std::vector<DvbCarrierSettings>& List() const { return m_list; }
    std::vector<DvbCarrierSettings> Take() { return std::move(m_list); }

private:
    std::vector<DvbCarrierSettings> m_list;
};

// What one driver takes in DVB-S2, as its rules tell it.
class CDriverTable {
public:
    explicit CDriverTable(const DvbDriverRules& rules) : m_rules(rules) {}

    bool TakesModulation(std::uint32_t modulation) const {
        if (!m_rules.s2Rates.empty()) return m_rules.s2Rates.count(modulation) != 0;
        return modulation == QPSK || modulation == PSK_8 || m_rules.apsk;
    }
    bool TakesRate(std::uint32_t modulation, std::uint32_t fec) const {
        if (!TakesModulation(modulation)) return false;
        const std::vector<std::uint32_t> rates =
            m_rules.s2Rates.empty() ? KernelRates(modulation) : m_rules.s2Rates.at(modulation);
        return std::find(rates.begin(), rates.end(), fec) != rates.end();
    }
    // The roll-off and pilot of the first round: an automatic attempt asks for "auto" unless the
    // driver is known to refuse it; a stated one only where the driver is known to take it, so
    // that a driver whose rules are not known meets both forms.
    std::uint32_t RollOff(bool automatic) const {
        const bool takesAuto =
            automatic ? m_rules.autoRollOff != false : m_rules.autoRollOff == true;
        if (takesAuto) return ROLLOFF_AUTO;
        return m_rules.rollOffs.empty() ? std::uint32_t{ROLLOFF_35} : m_rules.rollOffs.front();
    }
    std::uint32_t Pilot(std::uint32_t modulation, bool automatic) const {
        const bool takesAuto = automatic ? m_rules.autoPilot != false : m_rules.autoPilot == true;
        return takesAuto ? std::uint32_t{PILOT_AUTO} : LikelyPilot(modulation);
    }
    // The stated roll-offs to try once the first round did not lock.
    std::vector<std::uint32_t> OtherRollOffs() const {
        if (m_rules.autoRollOff == true || m_rules.rollOffs.size() < 2) return {};
        return {m_rules.rollOffs.begin() + 1, m_rules.rollOffs.end()};
    }

private:
    const DvbDriverRules& m_rules;
};

}  // namespace

std::vector<DvbCarrierSettings> PlanLockAttempts(
    const DvbDriverRules& rules, const DvbFrontendDescription& frontend,
    const DvbTransponderHint& hint, const std::optional<DvbCarrierSettings>& remembered) {
    const bool dvbs = Has(frontend, SYS_DVBS);
    const bool dvbs2 = Has(frontend, SYS_DVBS2);
    const CDriverTable table(rules);
    CAttempts attempts;
    if (remembered && Has(frontend, remembered->deliverySystem)) attempts.Add(*remembered);

    // DVB-S: QPSK, the code rate found by every demodulator, roll-off 0.35 (the only one).
    const DvbCarrierSettings dvbsCarrier{SYS_DVBS, QPSK, FEC_AUTO, ROLLOFF_35, PILOT_OFF};
    if (!dvbs2) {
        if (dvbs) attempts.Add(dvbsCarrier);
        return attempts.Take();
    }
    const auto carrier = [&](std::uint32_t modulation, std::uint32_t fec) {
        const bool automatic = fec == FEC_AUTO;
        return DvbCarrierSettings{SYS_DVBS2, modulation, fec, table.RollOff(automatic),
                                  table.Pilot(modulation, automatic)};
    };
    // The files' MODCOD, when the driver takes it: automatic where it searches the rate itself.
    std::optional<ModCod> hinted;
    if (hint.modulation && table.TakesModulation(*hint.modulation)) {
        if (rules.autoFec != false) {
            hinted = ModCod{*hint.modulation, FEC_AUTO};
        } else if (hint.innerFec && table.TakesRate(*hint.modulation, *hint.innerFec)) {
            hinted = ModCod{*hint.modulation, *hint.innerFec};
        }
    }

    // A demodulator whose DVB-S2 mode searches DVB-S as well needs no DVB-S attempt.
    const bool needsDvbs = dvbs && !rules.s2ReceivesS;
    if (needsDvbs && hint.deliverySystem == SYS_DVBS) attempts.Add(dvbsCarrier);
    if (hinted) attempts.Add(carrier(hinted->modulation, hinted->fec));
    // QPSK unless the files say otherwise (and the driver takes it): a driver that echoes what it
    // was asked for then echoes the truth for every DVB-S carrier.
    if (rules.autoFec != false)
        attempts.Add(carrier(hinted ? hinted->modulation : std::uint32_t{QPSK}, FEC_AUTO));
    if (needsDvbs && !hint.deliverySystem) attempts.Add(dvbsCarrier);
    if (rules.autoFec != true) {
        for (const ModCod& modCod : kBroadcastOrder) {
            if (table.TakesRate(modCod.modulation, modCod.fec))
                attempts.Add(carrier(modCod.modulation, modCod.fec));
        }
    }
    if (needsDvbs) attempts.Add(dvbsCarrier);
    // Whether a carrier of another roll-off locks with the usual one is not known of a driver
    // that wants it stated: the first DVB-S2 attempts (what locked before, the files' word, the
    // most used MODCODs) again with each other roll-off. Not every one: each round would add
    // the whole search's time again to a transponder that is silent.
    std::vector<DvbCarrierSettings> again;
    for (const DvbCarrierSettings& attempt : attempts.List()) {
        if (attempt.deliverySystem == SYS_DVBS2 && again.size() < kRollOffRetries)
            again.push_back(attempt);
    }
    for (const std::uint32_t rolloff : table.OtherRollOffs()) {
        for (DvbCarrierSettings attempt : again) {
            attempt.rolloff = rolloff;
            attempts.Add(attempt);
        }
    }
    return attempts.Take();
}

int AttemptTimeoutMs(const DvbDriverRules& rules, std::uint32_t symbolRate) {
    const int search = symbolRate >= 20'000'000   ? 1000
                       : symbolRate >= 10'000'000 ? 1200
                       : symbolRate >= 5'000'000  ? 1600
                       : symbolRate >= 2'000'000  ? 2500
                                                  : 5500;
    return std::max(search, rules.tuneHoldMs);
}

}  // namespace linuxdvb
