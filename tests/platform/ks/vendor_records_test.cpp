// The vendor records byte for byte. The sizes and offsets appear here as the drivers' numbers, on
// purpose: this is the one test that pins the named layouts to them; every other test uses the
// names.
#include "platform/ks/vendor_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes ToBytes(const std::array<std::uint8_t, N>& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

// A record encoded with one field set to a marker, and where the marker must land.
struct FieldCase {
    std::string name;
    Bytes record;
    std::size_t size;
    std::size_t offset;
    Bytes expected;
};

std::vector<FieldCase> FieldCases() {
    std::vector<FieldCase> cases;
    auto tuner = [](auto set) {
        TunerControlRecord record;
        set(record);
        return ToBytes(record.bytes);
    };
    auto media = [](auto set) {
        MediaInfoRecord record;
        set(record);
        return ToBytes(record.Encode());
    };
    const std::uint8_t message[] = {0xE0, 0x31, 0x6B, 0x07};
    cases.push_back({"StreamTypeTransport", ToBytes(kTransportStreamType.bytes), 2, 0, {1, 0}});
    cases.push_back({"StreamTypeGeneric", ToBytes(kGenericStreamType.bytes), 2, 0, {0, 1}});
    cases.push_back(
        {"DiseqcCommand", ToBytes(DiseqcMessageRecord::For(message).bytes), 536, 0, {1, 0, 0, 0}});
    cases.push_back({"DiseqcMessage",
                     ToBytes(DiseqcMessageRecord::For(message).bytes),
                     536,
                     16,
                     {0xE0, 0x31, 0x6B, 0x07, 0}});
    cases.push_back(
        {"DiseqcLength", ToBytes(DiseqcMessageRecord::For(message).bytes), 536, 144, {4, 0, 0, 0}});
    cases.push_back({"CodeValue",
                     ToBytes(CodeRecord::For(-2, kRootCode).bytes),
                     264,
                     0,
                     {0xFE, 0xFF, 0xFF, 0xFF}});
    cases.push_back(
        {"CodeTypeGold", ToBytes(CodeRecord::For(0, kGoldCode).bytes), 264, 4, {1, 0, 0, 0}});
    cases.push_back({"TunerFrequency",
                     tuner([](auto& r) { r.SetFrequency(0x01020304); }),
                     288,
                     0,
                     {4, 3, 2, 1}});
    cases.push_back(
        {"TunerLnbLow", tuner([](auto& r) { r.SetLnbLow(9750); }), 288, 4, {0x16, 0x26, 0, 0}});
    cases.push_back(
        {"TunerLnbHigh", tuner([](auto& r) { r.SetLnbHigh(10600); }), 288, 8, {0x68, 0x29, 0, 0}});
    cases.push_back({"TunerSymbolRate",
                     tuner([](auto& r) { r.SetSymbolRate(27500); }),
                     288,
                     12,
                     {0x6C, 0x6B, 0, 0}});
    cases.push_back({"TunerPolarity", tuner([](auto& r) { r.SetPolarity(1); }), 288, 16, {1}});
    cases.push_back(
        {"TunerConstants", tuner([](auto& r) { r.SetConstants(); }), 288, 17, {1, 0, 2}});
    cases.push_back({"TunerDiseqcPort", tuner([](auto& r) { r.SetDiseqcPort(4); }), 288, 20, {4}});
    cases.push_back({"TunerMessage",
                     tuner([&](auto& r) { r.PutMessage(message); }),
                     288,
                     21,
                     {0xE0, 0x31, 0x6B, 0x07}});
    ModCodeFilterRecord modCodes;
    modCodes.Append(12, 1, 0);
    modCodes.Append(18, 0, 1);
    cases.push_back({"ModCodeCount", ToBytes(modCodes.Encode()), 1348, 0, {2, 0, 0, 0}});
    cases.push_back({"ModCodeSecondEntry",
                     ToBytes(modCodes.Encode()),
                     1348,
                     16,
                     {18, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}});
    cases.push_back({"MediaInfoFirstField",
                     media([](auto& r) { r.ifFrequency = 1612000; }),
                     72,
                     0,
                     {0xE0, 0x98, 0x18, 0}});
    cases.push_back({"MediaInfoInputStreamId",
                     media([](auto& r) { r.inputStreamId = -1; }),
                     72,
                     48,
                     {0xFF, 0xFF, 0xFF, 0xFF}});
    cases.push_back({"MediaInfoLastField",
                     media([](auto& r) { r.frameLength = 0x11223344; }),
                     72,
                     68,
                     {0x44, 0x33, 0x22, 0x11}});
    const auto lockSearch = ToBytes(LockSearchRecord{11362000, 27500000, 2}.Encode());
    cases.push_back({"LockSearchFrequency", lockSearch, 12, 0, {0xD0, 0x5E, 0xAD, 0x00}});
    cases.push_back({"LockSearchSymbolRate", lockSearch, 12, 4, {0xE0, 0x9D, 0xA3, 0x01}});
    cases.push_back({"LockSearchPolarisation", lockSearch, 12, 8, {2, 0, 0, 0}});
    return cases;
}

class VendorRecordFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(VendorRecordFieldTest, LandsAtTheDriversOffsetInARecordOfTheDriversSize) {
    const FieldCase& c = GetParam();
    ASSERT_EQ(c.record.size(), c.size);
    ASSERT_LE(c.offset + c.expected.size(), c.record.size());
    EXPECT_EQ(Bytes(c.record.begin() + static_cast<std::ptrdiff_t>(c.offset),
                    c.record.begin() + static_cast<std::ptrdiff_t>(c.offset + c.expected.size())),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(Records, VendorRecordFieldTest, ::testing::ValuesIn(FieldCases()),
                         [](const auto& item) { return item.param.name; });

TEST(VendorRecordLayoutTest, TheNamedOffsetsReadBackWhatTheEncodersWrote) {
    // How a driver decodes: by the names, which the table above ties to the drivers' numbers.
    using driver_bytes::GetLe32;
    const std::uint8_t message[] = {0xE1, 0x31, 0x6E, 0xD2, 0x5A};
    const auto diseqc = DiseqcMessageRecord::For(message);
    EXPECT_EQ(GetLe32(&diseqc.bytes[DiseqcMessageRecord::kCommandOffset]),
              DiseqcMessageRecord::kSendCommand);
    EXPECT_EQ(GetLe32(&diseqc.bytes[DiseqcMessageRecord::kLengthOffset]), 5u);
    EXPECT_EQ(diseqc.bytes[DiseqcMessageRecord::kMessageOffset + 4], 0x5A);
    const auto code = CodeRecord::For(-7, kRootCode);
    EXPECT_EQ(static_cast<std::int32_t>(GetLe32(&code.bytes[CodeRecord::kValueOffset])), -7);
    EXPECT_EQ(static_cast<std::int32_t>(GetLe32(&code.bytes[CodeRecord::kTypeOffset])), kRootCode);
    MediaInfoRecord isi;
    isi.inputStreamId = 255;
    EXPECT_EQ(GetLe32(&isi.Encode()[MediaInfoRecord::kInputStreamIdOffset]), 255u);
    ModCodeFilterRecord modCodes;
    modCodes.Append(28, 0, 1);
    const auto filter = modCodes.Encode();
    EXPECT_EQ(GetLe32(&filter[ModCodeFilterRecord::kCountOffset]), 1u);
    EXPECT_EQ(GetLe32(&filter[ModCodeFilterRecord::kEntriesOffset]), 28u);
    EXPECT_EQ(GetLe32(&filter[ModCodeFilterRecord::kEntriesOffset + 8]), 1u);
}

TEST(DriverRecordsTest, TunerControlRecordFieldsLandAtTheirOffsets) {
    TunerControlRecord record;
    record.SetFrequency(0x01020304);
    record.SetLnbLow(9750);
    record.SetLnbHigh(10600);
    record.SetSymbolRate(27500);
    record.SetPolarity(1);
    record.SetConstants();
    record.SetDiseqcPort(4);
    const std::uint8_t message[] = {0xE0, 0x10, 0x38, 0xFD};
    record.PutMessage(message);
    const std::vector<std::uint8_t> head(record.bytes.begin(), record.bytes.begin() + 25);
    EXPECT_EQ(head, (std::vector<std::uint8_t>{0x04, 0x03, 0x02, 0x01, 0x16, 0x26, 0,   0, 0x68,
                                               0x29, 0,    0,    0x6C, 0x6B, 0,    0,   1, 1,
                                               0,    2,    4,    0xE0, 0x10, 0x38, 0xFD}));
    record.ClearMessageHead();
    for (std::size_t i = 21; i < 26; ++i) EXPECT_EQ(record.bytes[i], 0) << i;
    EXPECT_EQ(record.bytes[20], 4);
    EXPECT_EQ(record.bytes[26], 0);
}

TEST(DriverRecordsTest, MediaInfoRecordIsEighteenLittleEndianDwordsInOrder) {
    MediaInfoRecord record;
    record.ifFrequency = 1612000;
    record.symbolRate = -2;
    record.frameLength = 0x11223344;
    record.inputStreamId = 12;
    const auto bytes = record.Encode();
    EXPECT_EQ(bytes[0], 0xE0);  // 1612000 = 0x001898E0
    EXPECT_EQ(bytes[1], 0x98);
    EXPECT_EQ(bytes[2], 0x18);
    EXPECT_EQ(bytes[4], 0xFE);
    EXPECT_EQ(bytes[7], 0xFF);
    EXPECT_EQ(bytes[48], 12);
    EXPECT_EQ(bytes[68], 0x44);
    EXPECT_EQ(bytes[71], 0x11);
    EXPECT_EQ(MediaInfoRecord::Decode(bytes), record);
}

TEST(DriverRecordsTest, MediaInfoFromFieldsTakesTheDriversFieldOrder) {
    std::array<std::int32_t, 18> fields{};
    for (std::size_t i = 0; i < fields.size(); ++i) fields[i] = static_cast<std::int32_t>(100 + i);
    const MediaInfoRecord record = MediaInfoRecord::FromFields(fields);
    EXPECT_EQ(record.ifFrequency, 100);
    EXPECT_EQ(record.modCode, 103);
    EXPECT_EQ(record.inputStreamId, 112);
    EXPECT_EQ(record.frameLength, 117);
    const auto bytes = record.Encode();
    for (std::size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(bytes[4 * i], 100 + i) << i;
}

TEST(DriverRecordsTest, ModCodeFilterRecordHoldsACountAndTwelveByteEntries) {
    ModCodeFilterRecord record;
    for (int i = 0; i < 120; ++i) record.Append(static_cast<std::uint32_t>(i + 1), 1, 0);
    EXPECT_EQ(record.count, 112u) << "appending stops at 112 entries";
    const auto bytes = record.Encode();
    EXPECT_EQ(bytes.size(), ModCodeFilterRecord::kSize);
    EXPECT_EQ(bytes[0], 112);
    EXPECT_EQ(bytes[4 + 12 * 111], 112);
    EXPECT_EQ(bytes[8 + 12 * 111], 1);
    EXPECT_EQ(bytes[12 + 12 * 111], 0);
}

TEST(DriverRecordsTest, CodeAndDiseqcRecordsAreZeroBeyondTheirFields) {
    const auto code = CodeRecord::For(0x40000, kGoldCode);
    EXPECT_EQ(code.bytes[2], 0x04);
    EXPECT_EQ(code.bytes[4], 1);
    for (std::size_t i = 8; i < code.bytes.size(); ++i) ASSERT_EQ(code.bytes[i], 0) << i;
    const std::uint8_t motor[] = {0xE0, 0x31, 0x60};
    const auto diseqc = DiseqcMessageRecord::For(motor);
    EXPECT_EQ(diseqc.bytes[144], 3);
    EXPECT_EQ(diseqc.bytes[18], 0x60);
    EXPECT_EQ(diseqc.bytes[19], 0);
}

TEST(DriverRecordsTest, AMessageLongerThanItsRoomIsCutAndNeverReachesTheLength) {
    const Bytes longest(128, 0xAB);
    const Bytes tooLong(129, 0xCD);
    const auto fits = DiseqcMessageRecord::For(longest);
    EXPECT_EQ(fits.bytes[16 + 127], 0xAB);
    EXPECT_EQ(fits.bytes[144], 128);
    const auto cut = DiseqcMessageRecord::For(tooLong);
    EXPECT_EQ(cut.bytes[16 + 127], 0xCD);
    EXPECT_EQ(cut.bytes[144], 128) << "the length, not the 129th byte, at 144";
    EXPECT_EQ(cut.bytes[145], 0);

    TunerControlRecord tuner;
    tuner.PutMessage(Bytes(300, 0xEF));  // room from 21 to the end, 267 bytes
    EXPECT_EQ(tuner.bytes[20], 0);
    EXPECT_EQ(tuner.bytes[287], 0xEF);
}

}  // namespace

namespace {

TEST(DriverRecordsTest, SignalMeasureRecordBytesAndRoundTrip) {
    SignalMeasureRecord record;
    record.flags = 0x0000000D;              // C/N, bit errors, uncorrected blocks
    record.carrierToNoiseMilliDb = -2'350;  // -2.35 dB
    record.levelMilliDbm = -61'500;         // -61.5 dBm
    record.bitErrors = 0x0102030405060708;
    record.bitsCounted = 0x00000001'80000000;
    record.uncorrectedBlocks = 0xFFFFFFFF'FFFFFFFE;
    const Bytes expected = {
        0x0D, 0x00, 0x00, 0x00,                          // flags
        0xD2, 0xF6, 0xFF, 0xFF,                          // -2350
        0xC4, 0x0F, 0xFF, 0xFF,                          // -61500
        0x00, 0x00, 0x00, 0x00,                          // zero
        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,  // bit errors
        0x00, 0x00, 0x00, 0x80, 0x01, 0x00, 0x00, 0x00,  // bits counted
        0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // uncorrected blocks
    };
    const auto bytes = record.Encode();
    EXPECT_EQ(ToBytes(bytes), expected);
    EXPECT_EQ(SignalMeasureRecord::Decode(bytes), record);
    EXPECT_EQ(SignalMeasureRecord::kCarrierToNoiseReported | SignalMeasureRecord::kLevelReported |
                  SignalMeasureRecord::kBitErrorsReported |
                  SignalMeasureRecord::kUncorrectedReported,
              0x0Fu);
}

}  // namespace
