#include "drivers/linuxdvb/fake_driver_model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace linuxdvb::testing {

namespace {

// File references are to drivers/media/dvb-frontends/ of Linux 6.1; the reasoning behind each is
// in notes/driver_facts.md.

const std::vector<std::uint32_t> kAllS2Fecs = {FEC_1_2, FEC_3_5, FEC_2_3, FEC_3_4,
                                               FEC_4_5, FEC_5_6, FEC_8_9, FEC_9_10};
// The DVB-S2 MODCOD tables of the Conexant and NXP firmwares: QPSK 1/2 to 9/10, 8PSK 3/5 to 9/10
// (cx24116.c:379-394, cx24117.c:231-249, tda10071_priv.h:44-60).
const std::map<std::uint32_t, std::vector<std::uint32_t>> kFirmwareS2Fecs = {
    {QPSK, kAllS2Fecs}, {PSK_8, {FEC_3_5, FEC_2_3, FEC_3_4, FEC_5_6, FEC_8_9, FEC_9_10}}};
const std::vector<std::uint32_t> kDvbsFecs = {FEC_1_2, FEC_2_3, FEC_3_4, FEC_5_6, FEC_7_8};

FakeDriverModel Cx24116() {
    FakeDriverModel model;
    model.name = "cx24116";
    model.infoName = "Conexant CX24116/CX24118";
    model.deliverySystems = {SYS_DVBS, SYS_DVBS2};
    model.caps = FE_CAN_INVERSION_AUTO | FE_CAN_FEC_1_2 | FE_CAN_FEC_2_3 | FE_CAN_FEC_3_4 |
                 FE_CAN_FEC_4_5 | FE_CAN_FEC_5_6 | FE_CAN_FEC_6_7 | FE_CAN_FEC_7_8 |
                 FE_CAN_FEC_AUTO | FE_CAN_2G_MODULATION | FE_CAN_QPSK | FE_CAN_RECOVER;
    // DVB-S: QPSK and roll-off 0.35 only (cx24116.c:1217, 1227); its FEC mask selects one rate,
    // while FEC_NONE/AUTO and the rates DVB-S lacks map to the "any rate" mask (:369-378).
    model.dvbs.modulations = {QPSK};
    model.dvbs.fecs = {FEC_1_2, FEC_2_3, FEC_3_4, FEC_5_6, FEC_7_8};
    model.dvbs.autoFecs = {FEC_NONE, FEC_AUTO, FEC_4_5, FEC_6_7, FEC_8_9};
    model.dvbs.rollOffs = {ROLLOFF_35};
    model.dvbs.mustMatch = kFakeFec;
    // DVB-S2: no FEC_AUTO (MODCOD table :379-394 has none), no ROLLOFF_AUTO (:1276); the table
    // pairs rates with QPSK or 8PSK (no QPSK 2/5, no 8PSK 1/2).
    model.dvbs2.modulations = {QPSK, PSK_8};
    model.dvbs2.fecsOf = kFirmwareS2Fecs;
    model.dvbs2.rollOffs = {ROLLOFF_20, ROLLOFF_25, ROLLOFF_35};
    model.dvbs2.pilots = {PILOT_OFF, PILOT_ON, PILOT_AUTO};
    model.dvbs2.mustMatch = kFakeModulation | kFakeFec | kFakePilot;
    model.refusalErrno = EOPNOTSUPP;
    // Refuses before touching the chip and is a DVBFE_ALGO_HW driver whose tune() error the
    // frontend thread drops (dvb_frontend.c:728): read_status still sees the last carrier.
    model.staleLockOnRefusal = true;
    model.minDiseqcBytes = 0;
    model.captureKHz = 2500;   // CX24116_SEARCH_RANGE_KHZ 5000 (:46)
    model.lockMs = 100;        // "generally within 100ms" (:1402)
    model.pilotRetryMs = 500;  // PILOT_AUTO: 500 ms on the guess, then the other pilot (:1404-1417)
    model.holdPerTryMs = 500;  // 50 reads 10 ms apart in set_frontend (:1403-1418)
    model.triesWithAutoPilot = 2;  // retune++ (:1252)
    return model;
}

FakeDriverModel Tda10071() {
    FakeDriverModel model;
    model.name = "tda10071";
    model.infoName = "NXP TDA10071";
    model.deliverySystems = {SYS_DVBS, SYS_DVBS2};
    model.caps = FE_CAN_INVERSION_AUTO | FE_CAN_FEC_1_2 | FE_CAN_FEC_2_3 | FE_CAN_FEC_3_4 |
                 FE_CAN_FEC_4_5 | FE_CAN_FEC_5_6 | FE_CAN_FEC_6_7 | FE_CAN_FEC_7_8 |
                 FE_CAN_FEC_8_9 | FE_CAN_FEC_AUTO | FE_CAN_QPSK | FE_CAN_RECOVER |
                 FE_CAN_2G_MODULATION;
    const std::uint32_t readBack = kFakeDelivery | kFakeModulation | kFakeFec | kFakeInversion |
                                   kFakePilot | kFakeFrequency | kFakeSymbolRate;  // :692-748
    // DVB-S: modulation forced to QPSK, roll-off and pilot unused (:588-592); 4/5, 6/7 and 8/9
    // are missing from the MODCOD table (tda10071_priv.h:62-67) although the caps claim them.
    model.dvbs.fecs = {FEC_1_2, FEC_2_3, FEC_3_4, FEC_5_6, FEC_7_8};
    model.dvbs.autoFecs = {FEC_AUTO};
    model.dvbs.mustMatch = kFakeFec;
    model.dvbs.readBack = readBack;
    // DVB-S2: ROLLOFF_AUTO refused (:606), PILOT_AUTO and FEC_AUTO (MODCOD 0x00) accepted.
    model.dvbs2.modulations = {QPSK, PSK_8};
    model.dvbs2.fecsOf = kFirmwareS2Fecs;
    model.dvbs2.autoFecs = {FEC_AUTO};
    model.dvbs2.rollOffs = {ROLLOFF_20, ROLLOFF_25, ROLLOFF_35};
    model.dvbs2.pilots = {PILOT_OFF, PILOT_ON, PILOT_AUTO};
    model.dvbs2.mustMatch = kFakeModulation | kFakeFec | kFakePilot;
    model.dvbs2.readBack = readBack;
    // No get_frontend_algo: software zigzag, a refusal is FESTATE_ERROR and status 0.
    model.captureKHz = 5000;  // frequency_tolerance_hz handed to the firmware (:672)
    model.lockMs = 300;       // firmware; the driver has no timeout to go by
    return model;
}

FakeDriverModel Stb0899() {
    FakeDriverModel model;
    model.name = "stb0899";
    model.infoName = "STB0899 Multistandard";
    model.deliverySystems = {SYS_DVBS, SYS_DVBS2, SYS_DSS};
    model.caps = FE_CAN_INVERSION_AUTO | FE_CAN_FEC_AUTO | FE_CAN_2G_MODULATION | FE_CAN_QPSK;
    model.minSymbolRate = 5000000;  // stb0899_drv.c:1577, though its search takes 1 Msym/s
    // search() reads frequency, symbol rate and delivery system only (drv:1425-1427): every
    // other parameter is found by the demodulator. get_frontend returns the derotator-corrected
    // frequency (drv:1553-1563); its symbol rate is the requested one.
    model.dvbs.readBack = kFakeFrequency;
    model.dvbs2.readBack = kFakeFrequency;
    model.minDiseqcBytes = 0;
    model.captureKHz = 5000;  // SearchRange 10 MHz (drv:1430)
    model.lockMs = 200;       // S2 search timeouts 150..5000 ms by symbol rate (algo:1311-1333)
    return model;
}

FakeDriverModel Stv090x() {
    FakeDriverModel model;
    model.name = "stv090x";
    model.infoName = "STV090x Multistandard";
    model.deliverySystems = {SYS_DVBS, SYS_DVBS2, SYS_DSS};
    // FE_CAN_MULTISTREAM from chip cut 3.0 on (stv090x.c:4928), the cut of current boards.
    model.caps = FE_CAN_INVERSION_AUTO | FE_CAN_FEC_AUTO | FE_CAN_QPSK | FE_CAN_2G_MODULATION |
                 FE_CAN_MULTISTREAM;
    // search_mode STV090x_SEARCH_AUTO whatever the delivery system (:3487): both standards.
    model.s2ReceivesS = true;
    model.sReceivesS2 = true;
    model.toneOffAfterDiseqc = true;   // DISTX_MODE left at 2 (:3785-3790)
    model.isi = FakeIsiRule::Byte;     // stv090x_set_mis (:3436-3461)
    model.pls = FakePlsSource::Index;  // stv090x_set_pls (:3421-3434)
    model.minDiseqcBytes = 0;
    model.captureKHz = 5000;  // 10 MHz search range above 10 Msym/s (:3490-3496)
    model.lockMs = 300;       // cold search demod timeout above 20 Msym/s (:838-840)
    return model;
}

FakeDriverModel M88ds3103() {
    FakeDriverModel model;
    model.name = "m88ds3103";
    model.infoName = "Montage Technology M88DS3103";
    model.deliverySystems = {SYS_DVBS, SYS_DVBS2};
    model.caps = FE_CAN_INVERSION_AUTO | FE_CAN_FEC_1_2 | FE_CAN_FEC_2_3 | FE_CAN_FEC_3_4 |
                 FE_CAN_FEC_4_5 | FE_CAN_FEC_5_6 | FE_CAN_FEC_6_7 | FE_CAN_FEC_7_8 |
                 FE_CAN_FEC_8_9 | FE_CAN_FEC_AUTO | FE_CAN_QPSK | FE_CAN_RECOVER |
                 FE_CAN_2G_MODULATION;
    // set_frontend uses delivery system, frequency and symbol rate only (m88ds3103.c:618-1005).
    model.dvbs.readBack = kFakeInversion | kFakeFec | kFakeModulation | kFakeSymbolRate;
    model.dvbs2.readBack =
        kFakeFec | kFakePilot | kFakeModulation | kFakeInversion | kFakeRollOff | kFakeSymbolRate;
    model.toneOffAfterDiseqc = true;  // register 0xa2 bit 7 set after the message (:1526)
    model.captureKHz = 5000;          // not in the driver: the others' figure
    model.lockMs = 200;               // not in the driver
    return model;
}

FakeDriverModel Stv0910() {
    FakeDriverModel model;
    model.name = "stv0910";
    model.infoName = "ST STV0910";
    model.deliverySystems = {SYS_DVBS, SYS_DVBS2, SYS_DSS};
    model.caps = FE_CAN_INVERSION_AUTO | FE_CAN_FEC_AUTO | FE_CAN_QPSK | FE_CAN_2G_MODULATION |
                 FE_CAN_MULTISTREAM;
    model.minSymbolRate = 100000;
    model.maxSymbolRate = 70000000;
    // start() searches DVB-S and DVB-S2 (DMDCFGMD |= 0xC0, stv0910.c:1057-1060) and reads no
    // other tuning parameter.
    model.s2ReceivesS = true;
    model.sReceivesS2 = true;
    model.dvbs.readBack = kFakeFec | kFakeRollOff | kFakeSymbolRate;  // :1575-1603
    model.dvbs2.readBack = kFakeModulation | kFakeFec | kFakePilot | kFakeSymbolRate;
    model.toneOffAfterDiseqc = true;   // DISEQC_MODE left at 2 (:1668-1683)
    model.isi = FakeIsiRule::LowByte;  // set_isi (:890-906)
    model.pls = FakePlsSource::Index;  // set_pls (:875-888)
    model.minDiseqcBytes = 0;
    model.captureKHz = 8000;  // search_range 16 MHz (:1785)
    model.lockMs = 300;       // demod timeout at 20 Msym/s and above (:1043-1045)
    return model;
}

FakeDriverModel Ds3000() {
    FakeDriverModel model;
    model.name = "ds3000";
    model.infoName = "Montage Technology DS3000";
    model.deliverySystems = {SYS_DVBS, SYS_DVBS2};
    model.caps = FE_CAN_INVERSION_AUTO | FE_CAN_FEC_1_2 | FE_CAN_FEC_2_3 | FE_CAN_FEC_3_4 |
                 FE_CAN_FEC_4_5 | FE_CAN_FEC_5_6 | FE_CAN_FEC_6_7 | FE_CAN_FEC_7_8 |
                 FE_CAN_FEC_AUTO | FE_CAN_2G_MODULATION | FE_CAN_QPSK | FE_CAN_RECOVER;
    // set_frontend reads the delivery system and the symbol rate only (ds3000.c:906-928), in a
    // DVB-S or a DVB-S2 mode; another system fails -EINVAL (:929-930). No get_frontend.
    model.minDiseqcBytes = 0;
    model.toneOffAfterDiseqc = true;  // register 0xa2 bit 7 set after the message (:742-745)
    model.lockMs = 200;               // not in the driver
    model.holdPerTryMs = 300;         // 30 reads 10 ms apart (:1019-1024)
    return model;
}

FakeDriverModel Cx24117() {
    FakeDriverModel model;
    model.name = "cx24117";
    model.infoName = "Conexant CX24117/CX24132";
    model.deliverySystems = {SYS_DVBS, SYS_DVBS2};
    model.caps = FE_CAN_INVERSION_AUTO | FE_CAN_FEC_1_2 | FE_CAN_FEC_2_3 | FE_CAN_FEC_3_4 |
                 FE_CAN_FEC_4_5 | FE_CAN_FEC_5_6 | FE_CAN_FEC_6_7 | FE_CAN_FEC_7_8 |
                 FE_CAN_FEC_AUTO | FE_CAN_2G_MODULATION | FE_CAN_QPSK | FE_CAN_RECOVER;
    // DVB-S: QPSK only (cx24117.c:1308-1320), rates as cx24116's (:220-229).
    model.dvbs.modulations = {QPSK};
    model.dvbs.fecs = kDvbsFecs;
    model.dvbs.autoFecs = {FEC_NONE, FEC_AUTO, FEC_4_5, FEC_6_7, FEC_8_9};
    model.dvbs.mustMatch = kFakeFec;
    model.dvbs.readBack = kFakeModulation | kFakeFec | kFakeInversion;  // :1583-1597
    // DVB-S2: QPSK or 8PSK (:1335-1340) with FEC_AUTO in the table (:240, :249), pilots and
    // roll-off automatic (:1343-1372).
    model.dvbs2.modulations = {QPSK, PSK_8};
    model.dvbs2.fecsOf = kFirmwareS2Fecs;
    model.dvbs2.autoFecs = {FEC_NONE, FEC_AUTO};
    model.dvbs2.rollOffs = {ROLLOFF_20, ROLLOFF_25, ROLLOFF_35, ROLLOFF_AUTO};
    model.dvbs2.pilots = {PILOT_OFF, PILOT_ON, PILOT_AUTO};
    model.dvbs2.mustMatch = kFakeModulation | kFakeFec | kFakePilot;
    model.dvbs2.readBack = kFakeModulation | kFakeFec | kFakeInversion;
    model.refusalErrno = EOPNOTSUPP;
    model.staleLockOnRefusal = true;
    model.minDiseqcBytes = 0;
    model.lockMs = 100;              // "generally within 100ms" (:1504)
    model.holdPerTryMs = 1000;       // 50 reads 20 ms apart (:1507-1517)
    model.triesWithAutoRollOff = 3;  // soft-auto roll-off: retune = 3 (:1372)
    return model;
}

FakeDriverModel Mxl5xx() {
    FakeDriverModel model;
    model.name = "mxl5xx";
    model.infoName = "MaxLinear MxL5xx DVB-S/S2 tuner-demodulator";
    model.deliverySystems = {SYS_DVBS, SYS_DVBS2, SYS_DSS};
    model.caps = FE_CAN_INVERSION_AUTO | FE_CAN_QPSK | FE_CAN_2G_MODULATION;
    // Everything but the standard automatic (mxl5xx.c:443-476); the scrambling index is
    // programmed for DVB-S2 (:462), no stream id is read. get_frontend: rate, and in DVB-S2
    // modulation and pilots (:716-735).
    model.pls = FakePlsSource::Index;
    model.dvbs.readBack = kFakeFec | kFakeFrequency | kFakeSymbolRate;
    model.dvbs2.readBack =
        kFakeFec | kFakeModulation | kFakePilot | kFakeFrequency | kFakeSymbolRate;
    model.minDiseqcBytes = 0;
    model.lockMs = 300;  // firmware; not in the driver
    return model;
}

FakeDriverModel Stv0900() {
    FakeDriverModel model;
    model.name = "stv0900";
    model.infoName = "STV0900 frontend";
    model.deliverySystems = {SYS_DVBS, SYS_DVBS2, SYS_DSS};
    model.caps = FE_CAN_INVERSION_AUTO | FE_CAN_FEC_AUTO | FE_CAN_QPSK | FE_CAN_2G_MODULATION;
    // search() with STV0900_AUTO_SEARCH (stv0900_core.c:1590): both standards, nothing else
    // read but the stream id (:1582); get_frontend: frequency and symbol rate (:1857-1860).
    model.s2ReceivesS = true;
    model.sReceivesS2 = true;
    model.isi = FakeIsiRule::Byte;
    model.dvbs.readBack = kFakeFrequency | kFakeSymbolRate;
    model.dvbs2.readBack = kFakeFrequency | kFakeSymbolRate;
    model.minDiseqcBytes = 0;
    model.lockMs = 300;  // as stv090x, of the same family
    return model;
}

// The DVB-S-only frontends: QPSK, roll-off 0.35, a stated or an automatic code rate.
FakeDriverModel DvbsOnly(const char* name, const char* infoName) {
    FakeDriverModel model;
    model.name = name;
    model.infoName = infoName;
    model.deliverySystems = {SYS_DVBS};
    model.caps = FE_CAN_INVERSION_AUTO | FE_CAN_FEC_1_2 | FE_CAN_FEC_2_3 | FE_CAN_FEC_3_4 |
                 FE_CAN_FEC_5_6 | FE_CAN_FEC_7_8 | FE_CAN_FEC_AUTO | FE_CAN_QPSK;
    model.dvbs.autoFecs = {FEC_AUTO};
    model.dvbs.mustMatch = kFakeFec;
    model.minDiseqcBytes = 0;
    model.lockMs = 200;  // not in the drivers
    return model;
}

FakeDriverModel M88rs2000() {
    FakeDriverModel model = DvbsOnly("m88rs2000", "M88RS2000 DVB-S");
    // Rates 1/2 to 7/8 or automatic, any other value automatic too (m88rs2000.c:538-556).
    model.dvbs.fecs = kDvbsFecs;
    model.dvbs.autoFecs = {FEC_NONE, FEC_AUTO, FEC_4_5,  FEC_6_7,
                           FEC_8_9,  FEC_3_5,  FEC_9_10, FEC_2_5};
    model.dvbs.readBack = kFakeFec;  // :692, :707
    return model;
}

FakeDriverModel Stv0288() {
    FakeDriverModel model = DvbsOnly("stv0288", "ST STV0288 DVB-S");
    model.dvbs.autoFecs.clear();  // the rate is not read (stv0288.c:493)
    model.dvbs.mustMatch = 0;
    return model;
}

FakeDriverModel Stv0299() {
    FakeDriverModel model = DvbsOnly("stv0299", "ST STV0299 DVB-S");
    model.dvbs.fecs = kDvbsFecs;                      // anything else -EINVAL (stv0299.c:131-157)
    model.dvbs.readBack = kFakeFec | kFakeInversion;  // :612-614
    return model;
}

FakeDriverModel Tda10086() {
    FakeDriverModel model = DvbsOnly("tda10086", "Philips TDA10086 DVB-S");
    // 1/2 to 8/9 or automatic, anything else refused (tda10086.c:365-395).
    model.dvbs.fecs = {FEC_1_2, FEC_2_3, FEC_3_4, FEC_4_5, FEC_5_6, FEC_6_7, FEC_7_8, FEC_8_9};
    model.dvbs.readBack = kFakeFec | kFakeInversion;  // :472-530
    return model;
}

FakeDriverModel Si21xx() {
    FakeDriverModel model = DvbsOnly("si21xx", "SL SI21XX DVB-S");
    // The rate indexes a table of ten (si21xx.c:641-654): the DVB-S2 rates read past its end,
    // so the model takes only what the table holds; 4/5 and 8/9 search no rate at all.
    model.dvbs.fecs = {FEC_1_2, FEC_2_3, FEC_3_4, FEC_5_6, FEC_6_7, FEC_7_8};
    model.dvbs.autoFecs = {FEC_AUTO};
    return model;
}

// vidtv: locks whenever the frequency is one of its own, whatever else was asked, and does not
// look at voltage or tone; status is 0 or 0x1f (test-drivers/vidtv/vidtv_demod.c:262-297).
FakeDriverModel Vidtv() {
    FakeDriverModel model;
    model.name = "vidtv";
    model.infoName = "Dummy demod for DVB-T/T2/C/S/S2";
    model.deliverySystems = {SYS_DVBT, SYS_DVBT2, SYS_DVBC_ANNEX_A, SYS_DVBS, SYS_DVBS2};
    model.caps = FE_CAN_FEC_1_2 | FE_CAN_FEC_2_3 | FE_CAN_FEC_3_4 | FE_CAN_FEC_4_5 |
                 FE_CAN_FEC_5_6 | FE_CAN_FEC_6_7 | FE_CAN_FEC_7_8 | FE_CAN_FEC_8_9 | FE_CAN_QAM_16 |
                 FE_CAN_QAM_64 | FE_CAN_QAM_32 | FE_CAN_QAM_128 | FE_CAN_QAM_256 | FE_CAN_QAM_AUTO |
                 FE_CAN_QPSK | FE_CAN_FEC_AUTO | FE_CAN_INVERSION_AUTO |
                 FE_CAN_TRANSMISSION_MODE_AUTO | FE_CAN_GUARD_INTERVAL_AUTO | FE_CAN_HIERARCHY_AUTO;
    model.minFrequencyKHz = 51000;
    model.s2ReceivesS = true;
    model.sReceivesS2 = true;
    model.lockIgnoresSec = true;
    model.partialStatus = false;
    model.minDiseqcBytes = 0;
    model.captureKHz = 0;  // max_frequency_shift_hz defaults to 0: the exact frequency only
    model.lockMs = 0;
    return model;
}

bool Contains(const std::vector<std::uint32_t>& values, std::uint32_t value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

bool IsSatellite(std::uint32_t system) {
    return system == SYS_DVBS || system == SYS_DVBS2 || system == SYS_TURBO;
}

const FakeModeRules& RulesFor(const FakeDriverModel& model, std::uint32_t system) {
    return system == SYS_DVBS2 ? model.dvbs2 : model.dvbs;
}

bool Within(std::uint32_t value, std::uint32_t target, std::uint32_t tolerance) {
    const std::uint32_t difference = value > target ? value - target : target - value;
    return difference <= tolerance;
}

// The code a root-mode scrambling setting selects, compared as a root code; root 0 cannot be
// loaded into the register and stands for the default sequence here.
bool RootMatches(std::uint32_t root, std::uint32_t goldCode) {
    return root == 0 ? goldCode == 0 : GoldToRoot(goldCode) == root;
}

}  // namespace

const std::vector<FakeDriverModel>& AllDriverModels() {
    static const std::vector<FakeDriverModel> models = {
        Cx24116(), Tda10071(), Stb0899(),   Stv090x(), M88ds3103(), Stv0910(),  Ds3000(), Cx24117(),
        Mxl5xx(),  Stv0900(),  M88rs2000(), Stv0288(), Stv0299(),   Tda10086(), Si21xx(), Vidtv()};
    return models;
}

const FakeDriverModel& DriverModel(std::string_view name) {
    for (const FakeDriverModel& model : AllDriverModels())
        if (model.name == name) return model;
    std::fprintf(stderr, "no driver model named %.*s\n", static_cast<int>(name.size()),
                 name.data());
    std::abort();
}

DvbFrontendDescription FrontendFor(const FakeDriverModel& model, int adapter, int frontend) {
    DvbFrontendDescription description;
    description.adapter = adapter;
    description.frontend = frontend;
    description.name = model.infoName;
    description.deliverySystems = model.deliverySystems;
    // FE_GET_INFO adds FE_CAN_INVERSION_AUTO outside one-shot mode (dvb_frontend.c:2522).
    return description;
}

std::uint32_t CacheValue(const FakeDriverModel& model, const FakeCache& cache,
                         std::uint32_t command) {
    if (const auto it = cache.find(command); it != cache.end()) return it->second;
    const std::uint32_t system = command == DTV_DELIVERY_SYSTEM || model.deliverySystems.empty()
                                     ? std::uint32_t{SYS_UNDEFINED}
                                     : CacheValue(model, cache, DTV_DELIVERY_SYSTEM);
    // dvb_frontend_clear_cache (dvb_frontend.c:1008-1072); the cache starts that way too, for
    // the driver's first delivery system (:3048-3049).
    switch (command) {
        case DTV_DELIVERY_SYSTEM:
            return model.deliverySystems.empty() ? std::uint32_t{SYS_UNDEFINED}
                                                 : model.deliverySystems.front();
        case DTV_MODULATION:
            return IsSatellite(system) ? QPSK : system == SYS_ATSC ? VSB_8 : QAM_AUTO;
        case DTV_INNER_FEC:
            return FEC_AUTO;
        case DTV_ROLLOFF:
            return IsSatellite(system) ? ROLLOFF_35 : ROLLOFF_AUTO;
        case DTV_PILOT:
            return PILOT_AUTO;
        case DTV_STREAM_ID:
            return NO_STREAM_ID_FILTER;
        default:
            return 0;  // inversion OFF, frequency, symbol rate, scrambling index
    }
}

int TuneRangeError(const FakeDriverModel& model, const FakeCache& cache) {
    const std::uint32_t frequency = CacheValue(model, cache, DTV_FREQUENCY);
    if (frequency < model.minFrequencyKHz || frequency > model.maxFrequencyKHz) return EINVAL;
    const std::uint32_t system = CacheValue(model, cache, DTV_DELIVERY_SYSTEM);
    const std::uint32_t rate = CacheValue(model, cache, DTV_SYMBOL_RATE);
    if (IsSatellite(system) && (rate < model.minSymbolRate || rate > model.maxSymbolRate))
        return EINVAL;
    return 0;
}

int DriverRefusal(const FakeDriverModel& model, const FakeCache& cache) {
    const std::uint32_t system = CacheValue(model, cache, DTV_DELIVERY_SYSTEM);
    if (!Contains(model.deliverySystems, system)) return EINVAL;
    const FakeModeRules& rules = RulesFor(model, system);
    const auto refuses = [&](const std::vector<std::uint32_t>& accepted, std::uint32_t command) {
        return !accepted.empty() && !Contains(accepted, CacheValue(model, cache, command));
    };
    const std::uint32_t fec = CacheValue(model, cache, DTV_INNER_FEC);
    const auto paired = rules.fecsOf.find(CacheValue(model, cache, DTV_MODULATION));
    const std::vector<std::uint32_t>& fecs =
        paired != rules.fecsOf.end() ? paired->second : rules.fecs;
    const bool fecLooked = !fecs.empty() || !rules.autoFecs.empty();
    if (refuses(rules.modulations, DTV_MODULATION) || refuses(rules.rollOffs, DTV_ROLLOFF) ||
        refuses(rules.pilots, DTV_PILOT) ||
        (fecLooked && !Contains(fecs, fec) && !Contains(rules.autoFecs, fec)))
        return model.refusalErrno;
    return 0;
}

std::optional<std::uint32_t> SelectedStream(const FakeDriverModel& model, const FakeCache& cache) {
    const std::uint32_t id = CacheValue(model, cache, DTV_STREAM_ID);
    switch (model.isi) {
        case FakeIsiRule::Byte:
            if (id <= 0xFF) return id;
            return std::nullopt;
        case FakeIsiRule::LowByte:
            // 0x80000000 forces continuous output instead (stv0910.c:895).
            if (id == NO_STREAM_ID_FILTER || id == 0x80000000u) return std::nullopt;
            return id & 0xFF;
        case FakeIsiRule::None:
            break;
    }
    return std::nullopt;
}

bool ScramblingMatches(const FakeDriverModel& model, const FakeCache& cache,
                       const FakeCarrier& carrier) {
    switch (model.pls) {
        case FakePlsSource::Index:
            return (CacheValue(model, cache, DTV_SCRAMBLING_SEQUENCE_INDEX) & 0x3FFFF) ==
                   carrier.goldCode;
        case FakePlsSource::Packed: {
            const std::uint32_t id = CacheValue(model, cache, DTV_STREAM_ID);
            if (id == NO_STREAM_ID_FILTER) return carrier.goldCode == 0;
            const std::uint32_t code = (id >> 8) & 0x3FFFF;
            const std::uint32_t type = (id >> 26) & 0x3;
            if (type == 1) return code == carrier.goldCode;
            return type == 0 && RootMatches(code, carrier.goldCode);
        }
        case FakePlsSource::None:
            break;
    }
    return carrier.goldCode == 0;
}

std::optional<std::size_t> CarrierAt(const FakeDriverModel& model, const FakeCache& cache,
                                     const std::vector<FakeCarrier>& carriers, DvbVoltage voltage,
                                     bool tone) {
    if (!model.lockIgnoresSec && voltage == DvbVoltage::Off) return std::nullopt;
    const std::uint32_t frequency = CacheValue(model, cache, DTV_FREQUENCY);
    for (std::size_t i = 0; i < carriers.size(); ++i) {
        const FakeCarrier& carrier = carriers[i];
        if (!model.lockIgnoresSec && (carrier.voltage != voltage || carrier.tone != tone)) continue;
        const std::uint32_t range = std::min(model.captureKHz, carrier.symbolRate / 2000);
        if (Within(frequency, carrier.ifKHz, range)) return i;
    }
    return std::nullopt;
}

bool Demodulates(const FakeDriverModel& model, const FakeCache& cache, const FakeCarrier& carrier) {
    const std::uint32_t system = CacheValue(model, cache, DTV_DELIVERY_SYSTEM);
    const bool standard =
        carrier.deliverySystem == system ||
        (system == SYS_DVBS2 && carrier.deliverySystem == SYS_DVBS && model.s2ReceivesS) ||
        (system == SYS_DVBS && carrier.deliverySystem == SYS_DVBS2 && model.sReceivesS2);
    if (!standard) return false;
    if (!Within(CacheValue(model, cache, DTV_SYMBOL_RATE), carrier.symbolRate,
                carrier.symbolRate / 100))
        return false;
    const FakeModeRules& rules = RulesFor(model, system);
    const std::uint32_t fec = CacheValue(model, cache, DTV_INNER_FEC);
    // An automatic rate makes the demodulator take the whole MODCOD from the carrier.
    const bool searches = Contains(rules.autoFecs, fec);
    if ((rules.mustMatch & kFakeFec) && !searches && fec != carrier.fec) return false;
    if ((rules.mustMatch & kFakeModulation) && !searches &&
        CacheValue(model, cache, DTV_MODULATION) != carrier.modulation)
        return false;
    const std::uint32_t pilot = CacheValue(model, cache, DTV_PILOT);
    if ((rules.mustMatch & kFakePilot) && carrier.deliverySystem == SYS_DVBS2 &&
        pilot != PILOT_AUTO && pilot != carrier.pilot)
        return false;
    // An input stream filter on a single-stream carrier has no stream id to compare with.
    if (const auto stream = SelectedStream(model, cache);
        stream && !carrier.inputStreams.empty() && !Contains(carrier.inputStreams, *stream))
        return false;
    return ScramblingMatches(model, cache, carrier);
}

int LockMs(const FakeDriverModel& model, const FakeCache& cache, const FakeCarrier& carrier) {
    if (model.pilotRetryMs > 0 && carrier.deliverySystem == SYS_DVBS2 &&
        CacheValue(model, cache, DTV_PILOT) == PILOT_AUTO) {
        // The emulation guesses pilots off for QPSK, on otherwise (cx24116.c:1250-1251).
        const std::uint32_t guess =
            CacheValue(model, cache, DTV_MODULATION) == QPSK ? PILOT_OFF : PILOT_ON;
        if (guess != carrier.pilot) return model.lockMs + model.pilotRetryMs;
    }
    return model.lockMs;
}

int HoldMs(const FakeDriverModel& model, const FakeCache& cache) {
    int tries = 1;
    if (CacheValue(model, cache, DTV_DELIVERY_SYSTEM) == SYS_DVBS2) {
        if (CacheValue(model, cache, DTV_PILOT) == PILOT_AUTO) tries *= model.triesWithAutoPilot;
        if (CacheValue(model, cache, DTV_ROLLOFF) == ROLLOFF_AUTO)
            tries *= model.triesWithAutoRollOff;
    }
    return model.holdPerTryMs * tries;
}

std::optional<std::uint32_t> ReadBack(const FakeDriverModel& model, const FakeCarrier& carrier,
                                      std::uint32_t command) {
    const std::uint32_t fields = RulesFor(model, carrier.deliverySystem).readBack;
    const bool dvbs = carrier.deliverySystem != SYS_DVBS2;
    switch (command) {
        case DTV_DELIVERY_SYSTEM:
            if (fields & kFakeDelivery) return carrier.deliverySystem;
            break;
        case DTV_MODULATION:
            if (fields & kFakeModulation) return dvbs ? std::uint32_t{QPSK} : carrier.modulation;
            break;
        case DTV_INNER_FEC:
            if (fields & kFakeFec) return carrier.fec;
            break;
        case DTV_ROLLOFF:
            if (fields & kFakeRollOff) return dvbs ? std::uint32_t{ROLLOFF_35} : carrier.rollOff;
            break;
        case DTV_PILOT:
            if (fields & kFakePilot) return dvbs ? std::uint32_t{PILOT_OFF} : carrier.pilot;
            break;
        case DTV_INVERSION:
            if (fields & kFakeInversion) return INVERSION_OFF;  // carriers are not inverted here
            break;
        case DTV_FREQUENCY:
            if (fields & kFakeFrequency) return carrier.ifKHz;
            break;
        case DTV_SYMBOL_RATE:
            if (fields & kFakeSymbolRate) return carrier.symbolRate;
            break;
        default:
            break;
    }
    return std::nullopt;
}

std::uint32_t GoldToRoot(std::uint32_t gold) {
    // The x-sequence register of the DVB-S2 scrambler, x(i+18) = x(i+7) + x(i), from x(0) = 1:
    // bit k holds x(i+k); the gold code index counts the shifts.
    std::uint32_t state = 1;
    for (std::uint32_t i = 0; i < gold; ++i) {
        const std::uint32_t next = (state ^ (state >> 7)) & 1;
        state = (state >> 1) | (next << 17);
    }
    return state;
}

}  // namespace linuxdvb::testing
