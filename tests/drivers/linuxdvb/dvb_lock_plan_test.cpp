// Which carrier settings a tune tries on each kind of driver, in which order; the rules read from
// LinuxTuners.ini; the satellite files' word on a transponder; the memory of what locked.
#include "drivers/linuxdvb/dvb_lock_plan.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/dvb_lock_memory.h"
#include "drivers/linuxdvb/dvb_transponder_hints.h"
#include "drivers/linuxdvb/fake_dvb_kernel.h"
#include "support/temp_folder.h"

namespace linuxdvb::testing {
namespace {

using Plan = std::vector<std::string>;

Plan Describe(const std::vector<DvbCarrierSettings>& attempts) {
    Plan plan;
    for (const DvbCarrierSettings& settings : attempts)
        plan.push_back(linuxdvb::Describe(settings));
    return plan;
}

DvbDriverRules Rules(std::optional<bool> autoFec, std::optional<bool> autoRollOff, bool s2ReceivesS,
                     bool apsk) {
    DvbDriverRules rules;
    rules.autoFec = autoFec;
    rules.autoRollOff = autoRollOff;
    rules.autoPilot = true;
    rules.s2ReceivesS = s2ReceivesS;
    rules.apsk = apsk;
    return rules;
}

const DvbFrontendDescription kS2Frontend = FrontendWith({SYS_DVBS, SYS_DVBS2});
const DvbTransponderHint kNoHint{};
const DvbTransponderHint kS2Psk8{SYS_DVBS2, PSK_8, FEC_3_4};
const DvbTransponderHint kDvbs{SYS_DVBS, std::nullopt, std::nullopt};

TEST(LockPlan, DriversThatSearchEverythingGetOneAttempt) {
    // stv090x, stv0910: one DVB-S2 "auto" that finds DVB-S too; the kernel repeats it.
    EXPECT_EQ(Describe(PlanLockAttempts(Rules(true, true, true, true), kS2Frontend, kNoHint, {})),
              Plan{"DVB-S2 QPSK auto roll-off auto pilots auto"});
}

TEST(LockPlan, AutoDriverWithoutCrossStandardSearchTriesDvbsAsWell) {
    // stb0899, m88ds3103: the files' standard first.
    const DvbDriverRules rules = Rules(true, true, false, false);
    EXPECT_EQ(Describe(PlanLockAttempts(rules, kS2Frontend, kDvbs, {})),
              (Plan{"DVB-S QPSK auto roll-off 0.35 pilots off",
                    "DVB-S2 QPSK auto roll-off auto pilots auto"}));
    EXPECT_EQ(Describe(PlanLockAttempts(rules, kS2Frontend, kS2Psk8, {})),
              (Plan{"DVB-S2 8PSK auto roll-off auto pilots auto",
                    "DVB-S QPSK auto roll-off 0.35 pilots off"}));
}

TEST(LockPlan, DriverRefusingAutoFecAndRollOffGetsStatedValuesHintFirst) {
    // cx24116 without its table: the files' 8PSK 3/4 first, then the MODCODs broadcasters use
    // most, DVB-S last.
    const auto plan =
        Describe(PlanLockAttempts(Rules(false, false, false, false), kS2Frontend, kS2Psk8, {}));
    ASSERT_EQ(plan.size(), 6u + 9u + 1u);
    EXPECT_EQ(plan[0], "DVB-S2 8PSK 3/4 roll-off 0.35 pilots auto");
    EXPECT_EQ(plan[1], "DVB-S2 8PSK 2/3 roll-off 0.35 pilots auto");
    EXPECT_EQ(plan[2], "DVB-S2 QPSK 3/4 roll-off 0.35 pilots auto");
    EXPECT_EQ(plan.back(), "DVB-S QPSK auto roll-off 0.35 pilots off");
    for (const std::string& attempt : plan) {
        if (attempt.rfind("DVB-S2", 0) != 0) continue;  // its DVB-S mode finds the rate itself
        EXPECT_EQ(attempt.find("auto roll-off"), std::string::npos) << attempt;
        EXPECT_EQ(attempt.find("roll-off auto"), std::string::npos) << attempt;
    }
}

TEST(LockPlan, UnknownDriverTriesAutoFirstThenStatedValues) {
    const auto plan =
        Describe(PlanLockAttempts(DvbDriverRules::Generic(), kS2Frontend, kNoHint, {}));
    ASSERT_GE(plan.size(), 3u);
    EXPECT_EQ(plan[0], "DVB-S2 QPSK auto roll-off auto pilots auto");
    EXPECT_EQ(plan[1], "DVB-S QPSK auto roll-off 0.35 pilots off");
    EXPECT_EQ(plan[2], "DVB-S2 8PSK 2/3 roll-off 0.35 pilots on");
    EXPECT_EQ(plan.size(), 2u + 6u + 9u + 6u + 5u) << "every DVB-S2 rate of four modulations";
}

TEST(LockPlan, WhatLockedBeforeComesFirstOnceAndDvbsOnlyFrontendsGetDvbs) {
    const DvbCarrierSettings remembered{SYS_DVBS2, PSK_8, FEC_5_6, ROLLOFF_35, PILOT_ON};
    const auto attempts =
        PlanLockAttempts(Rules(false, false, false, false), kS2Frontend, kS2Psk8, remembered);
    EXPECT_EQ(attempts.front(), remembered);
    EXPECT_EQ(std::count(attempts.begin(), attempts.end(), remembered), 1);
    // A remembered DVB-S2 setting means nothing to a DVB-S frontend.
    EXPECT_EQ(Describe(PlanLockAttempts(DvbDriverRules::Generic(), FrontendWith({SYS_DVBS}),
                                        kS2Psk8, remembered)),
              Plan{"DVB-S QPSK auto roll-off 0.35 pilots off"});
}

TEST(DriverRules, ReadFromTheDriversSectionUnknownKeysStayGeneric) {
    CTempFolder folder;
    const std::string path = folder.File("LinuxTuners.ini");
    std::ofstream(path)
        << "[Driver Some Demod]\nAutoFec = no\nAutoRollOff = YES\nS2ReceivesS = "
           "yes\nApsk = no\nStreamId = packed\nReports = fec pilot bogus\n"
           "RatesQPSK = 1/2 9/10 bogus 3/4\nRates8PSK =\nRollOffs = 0.20 auto 0.35\n"
           "[Driver Quiet Demod]\nReports =\nAutoPilot = maybe\n";
    DvbDriverRules some = DvbDriverRules::Load(path, "Some Demod");
    EXPECT_EQ(some.autoFec, false);
    EXPECT_EQ(some.autoRollOff, true);
    EXPECT_EQ(some.autoPilot, std::nullopt);
    EXPECT_TRUE(some.s2ReceivesS);
    EXPECT_FALSE(some.apsk);
    EXPECT_EQ(some.streamId, DvbStreamIdForm::Packed);
    EXPECT_EQ(some.reports, kReportsFec | kReportsPilot);
    EXPECT_EQ(some.s2Rates, (std::map<std::uint32_t, std::vector<std::uint32_t>>{
                                {QPSK, {FEC_1_2, FEC_9_10, FEC_3_4}}, {PSK_8, {}}}))
        << "an empty key: the modulation is not taken";
    EXPECT_EQ(some.rollOffs, (std::vector<std::uint32_t>{ROLLOFF_20, ROLLOFF_35}));
    const DvbDriverRules quiet = DvbDriverRules::Load(path, "Quiet Demod");
    EXPECT_EQ(quiet.reports, kReportsNothing);
    EXPECT_EQ(quiet.autoPilot, std::nullopt);
    EXPECT_EQ(DvbDriverRules::Load(path, "Other"), DvbDriverRules::Generic());
    EXPECT_EQ(DvbDriverRules::Load(folder.File("missing.ini"), "Some Demod"),
              DvbDriverRules::Generic());
}

TEST(TransponderHints, MostSatellitesWinTiesAndStrangersSayNothing) {
    const auto satellite = [](std::vector<std::string> lines) {
        SatelliteFile file;
        for (const std::string& line : lines)
            file.transponders.push_back(*ParseTransponderLine(line));
        return file;
    };
    CDvbTransponderHints hints(
        {satellite({"11362,H,22000,2/3,DVB-S2,8PSK", "10714,V,22000,3/4,DVB-S"}),
         satellite({"11361,H,22000,2/3,DVB-S2,8PSK", "11900,V,27500,AUTO,DVB-S2,QPSK"}),
         satellite({"11362,H,22000,3/4,DVB-S2,8PSK", "11900,V,27500,AUTO,DVB-S"})});
    EXPECT_EQ(hints.Find(11'362'000, 1, 22'000'000),
              (DvbTransponderHint{SYS_DVBS2, PSK_8, FEC_2_3}));
    EXPECT_EQ(hints.Find(11'362'000, 2, 22'000'000), DvbTransponderHint{}) << "other polarisation";
    EXPECT_EQ(hints.Find(11'362'000, 1, 27'500'000), DvbTransponderHint{}) << "other symbol rate";
    EXPECT_EQ(hints.Find(10'714'000, 2, 22'000'000), (DvbTransponderHint{SYS_DVBS, {}, {}}));
    EXPECT_EQ(hints.Find(11'900'000, 2, 27'500'000), DvbTransponderHint{}) << "S and S2 tie";
}

TEST(LockMemory, KeepsWhatLockedPerFrontendAndIgnoresDamagedValues) {
    CTempFolder folder;
    const std::string path = folder.File("LinuxTunerLocks.ini");
    const DvbTransponderKey key{11'362'000, 1, 22'000'000};
    const DvbCarrierSettings settings{SYS_DVBS2, PSK_8, FEC_2_3, ROLLOFF_35, PILOT_ON};
    {
        CDvbLockMemory memory(path);
        EXPECT_EQ(memory.Recall("Demod A", key), std::nullopt);
        EXPECT_TRUE(memory.Remember("Demod A", key, settings));
    }
    CDvbLockMemory again(path);
    EXPECT_EQ(again.Recall("Demod A", key), settings);
    EXPECT_EQ(again.Recall("Demod B", key), std::nullopt);
    std::ofstream(path, std::ios::app) << "[Demod C]\n11362000 1 22000000 = 6 9 x 0 0\n";
    EXPECT_EQ(again.Recall("Demod C", key), std::nullopt);
    EXPECT_FALSE(CDvbLockMemory(folder.File("no/such/folder/x.ini")).Remember("A", key, settings));
}

}  // namespace
}  // namespace linuxdvb::testing
