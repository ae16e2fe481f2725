#include "status/stream_info.h"

#include <gtest/gtest.h>

#include <map>

#include "graph/driver_test_environment.h"
#include "graph/tuner_session.h"
#include "graph/tuning.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"
#include "support/driver_report_print.h"

namespace {

namespace ids = stream_info_ids;

class CRecordingView : public IStreamInfoView {
public:
    void SetText(int controlId, const std::string& text) override {
        order.push_back(controlId);
        texts[controlId] = text;
    }
    void AddInputStreamId(const std::string& identifier, std::uint64_t tune) override {
        identifiers.push_back(identifier);
        tunes.push_back(tune);
    }
    void ShowDriverReports(const DriverReports& shown) override {
        reports.insert(reports.end(), shown.begin(), shown.end());
    }
    std::vector<std::uint64_t> tunes;
    std::vector<int> order;
    std::map<int, std::string> texts;
    std::vector<std::string> identifiers;
    DriverReports reports;  // every report the view was given to show, in order
};

void Report(CFakeKsPropertySet& driver, const MediaInfoRecord& record) {
    const auto bytes = record.Encode();
    driver.Reply(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO, {bytes.begin(), bytes.end()});
}

MediaInfoRecord Dvbs2Record() {
    MediaInfoRecord r;
    r.ifFrequency = 1612000;
    r.symbolRate = 22000000;
    r.standard = 1;
    r.modCode = 13;
    r.modulation = 1;
    r.streamType = 3;
    r.inputStream = 1;
    r.codingModulation = 1;
    r.rollOff = 0;
    r.matype1 = 0xF2;
    r.matype2 = 0x0A;
    r.pilots = 1;
    return r;
}

TEST(UpdateStreamInfoTest, ALockedCycleShowsEveryBox) {
    CDriverTestEnvironment env(Carrier::PciE);
    env.SetExtendedModel(false);
    Report(env.Driver(), Dvbs2Record());
    CRecordingView view;
    EXPECT_EQ(UpdateStreamInfo(env.Session(), true, view), 1);
    EXPECT_EQ(view.texts[ids::kMatype], "F2  0A");
    EXPECT_EQ(view.texts[ids::kStreamType], "TRANSPORT_STREAM");
    EXPECT_EQ(view.texts[ids::kModulation], "8PSK");
    EXPECT_EQ(view.texts[ids::kInputStream], "SINGLE_INPUT_STREAM");
    EXPECT_EQ(view.texts[ids::kCodingModulation], "CCM");
    EXPECT_EQ(view.texts[ids::kInputSynchro], "ISSYI_DISABLED");
    EXPECT_EQ(view.texts[ids::kNullPacketDeletion], "NPD_DISABLED");
    EXPECT_EQ(view.texts[ids::kRollOff], "0.35");
    EXPECT_EQ(view.texts[ids::kStandard], "DVB-S2");
    EXPECT_EQ(view.texts[ids::kFec], "2/3");
    EXPECT_EQ(view.texts[ids::kPilots], "Pilots On");
    EXPECT_EQ(view.texts[ids::kFrameLength], "Long Frame");
    EXPECT_EQ(view.texts[ids::kSpectrum], "IQ_NORMAL");
    EXPECT_EQ(view.texts[ids::kIfFrequency], "1612000");
    EXPECT_EQ(view.texts[ids::kSymbolRate], "22000000");
    EXPECT_TRUE(view.identifiers.empty()) << "a single input stream leaves the list alone";
    EXPECT_EQ(view.order.front(), ids::kMatype);
    EXPECT_EQ(view.order.back(), ids::kSymbolRate);
    EXPECT_EQ(view.reports, DriverReports{});
}

TEST(UpdateStreamInfoTest, AnUnlockedCycleEmptiesEveryBoxButMatypeWithoutAskingTheDriver) {
    CDriverTestEnvironment env(Carrier::PciE);
    CRecordingView view;
    EXPECT_EQ(UpdateStreamInfo(env.Session(), false, view), 1);
    EXPECT_EQ(view.order, (std::vector<int>{
                              ids::kStreamType, ids::kStandard, ids::kModulation, ids::kInputStream,
                              ids::kCodingModulation, ids::kInputSynchro, ids::kNullPacketDeletion,
                              ids::kRollOff, ids::kFec, ids::kIfFrequency, ids::kSymbolRate,
                              ids::kPilots, ids::kFrameLength, ids::kSpectrum}));
    for (const auto& [id, text] : view.texts) EXPECT_EQ(text, "") << id;
    EXPECT_TRUE(env.Driver().Calls().empty());
}

TEST(UpdateStreamInfoTest, MultipleInputStreamsReportTheirIdentifierAndDvbSUsesItsRates) {
    CDriverTestEnvironment env(Carrier::PciE);
    env.SetExtendedModel(false);
    env.Session().m_nTunes = 3;
    MediaInfoRecord r = Dvbs2Record();
    r.standard = 0;
    r.dvbsCodeRate = 6;
    r.inputStream = 0;
    r.inputStreamId = 12;
    Report(env.Driver(), r);
    CRecordingView view;
    UpdateStreamInfo(env.Session(), true, view);
    EXPECT_EQ(view.texts[ids::kStandard], "DVB-S1");
    EXPECT_EQ(view.texts[ids::kFec], "7/8");
    EXPECT_EQ(view.identifiers, std::vector<std::string>{"12"});
    // With the tune count of before the read, which the window compares with its last "Lock TP".
    EXPECT_EQ(view.tunes, std::vector<std::uint64_t>{3});
    EXPECT_EQ(TuneCount(env.Session()), 3u);
}

TEST(UpdateStreamInfoTest, TheXModelDecodeOverridesStandardFecAndModulation) {
    CDriverTestEnvironment env(Carrier::PciE);
    env.SetExtendedModel(true);
    MediaInfoRecord r = Dvbs2Record();
    r.modCode = 88;
    Report(env.Driver(), r);
    CRecordingView view;
    UpdateStreamInfo(env.Session(), true, view);
    EXPECT_EQ(view.texts[ids::kStandard], "DVB-S2X");
    EXPECT_EQ(view.texts[ids::kFec], "R_58");
    EXPECT_EQ(view.texts[ids::kModulation], "32APSK");

    r.modCode = 63;
    Report(env.Driver(), r);
    UpdateStreamInfo(env.Session(), true, view);
    EXPECT_EQ(view.texts[ids::kStandard], "DVB-S2") << "63 keeps what the standard field gave";
}

TEST(UpdateStreamInfoTest, FailuresLeaveTheBoxesAndReturnTheirCodes) {
    CDriverTestEnvironment env(Carrier::PciE);
    CRecordingView view;
    env.Driver().GetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO, E_FAIL);
    EXPECT_EQ(UpdateStreamInfo(env.Session(), true, view), 2);
    env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO);
    EXPECT_EQ(UpdateStreamInfo(env.Session(), true, view), 0);
    EXPECT_TRUE(view.order.empty());
    env.DropDriverHandle();
    EXPECT_EQ(UpdateStreamInfo(env.Session(), true, view), 0);
    EXPECT_EQ(view.reports,
              (DriverReports{{DriverReport::Form::Notice, "Get KSPROPERTY_BDA_GET_MEDIAINFO error"},
                             {DriverReport::Form::Error, "666don't support this interface"}}));
}

}  // namespace
