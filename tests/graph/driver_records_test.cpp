#include "graph/driver_records.h"

#include <gtest/gtest.h>

namespace {

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
    EXPECT_EQ(head, (std::vector<std::uint8_t>{0x04, 0x03, 0x02, 0x01, 0x16, 0x26, 0, 0, 0x68, 0x29, 0, 0, 0x6C, 0x6B, 0, 0,
                                              1, 1, 0, 2, 4, 0xE0, 0x10, 0x38, 0xFD}));
    record.ClearMessageHead();
    for (std::size_t i = 21; i < 26; ++i) EXPECT_EQ(record.bytes[i], 0) << i;
    EXPECT_EQ(record.bytes[20], 4);
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

TEST(DriverRecordsTest, ModCodeFilterRecordHoldsACountAndTwelveByteEntries) {
    ModCodeFilterRecord record;
    for (int i = 0; i < 120; ++i) record.Append(static_cast<std::uint32_t>(i + 1), 1, 0);
    EXPECT_EQ(record.count, 112u) << "appending stops at 112 entries";
    const auto bytes = record.Encode();
    EXPECT_EQ(bytes.size(), 1348u);
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

}  // namespace
