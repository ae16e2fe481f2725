#include "platform/media/psi_section_parser.h"

#include <gtest/gtest.h>

#include "platform/media/ts_test_stream.h"

namespace {

using Bytes = CTsTestStream::Bytes;

// A PAT and an SDT as a common muxer writes them by default: transport stream 1, program 1 with
// its PMT on PID 0x1000; service 1 "Service01" of provider "FFmpeg" on original network 0xFF01.
const Bytes kPat = {0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00,
                    0x00, 0x01, 0xF0, 0x00, 0x2A, 0xB1, 0x04, 0xB2};
const Bytes kSdt = {0x42, 0xF0, 0x25, 0x00, 0x01, 0xC1, 0x00, 0x00, 0xFF, 0x01,
                    0xFF, 0x00, 0x01, 0xFC, 0x80, 0x14, 0x48, 0x12, 0x01, 0x06,
                    'F',  'F',  'm',  'p',  'e',  'g',  0x09, 'S',  'e',  'r',
                    'v',  'i',  'c',  'e',  '0',  '1',  0x77, 0x7C, 0x43, 0xCA};

class CSections : public CPsiSectionParser::ISectionHandler {
public:
    virtual ~CSections() = default;
    void OnSection(std::span<const std::uint8_t> section) override {
        sections.emplace_back(section.begin(), section.end());
    }
    std::vector<Bytes> sections;
};

TEST(PsiSectionParserTest, ChecksTheCrcOfWholeSections) {
    EXPECT_TRUE(CPsiSectionParser::CheckCrc(kPat));
    EXPECT_TRUE(CPsiSectionParser::CheckCrc(kSdt));
    Bytes damaged = kSdt;
    damaged[20] ^= 0x01;
    EXPECT_FALSE(CPsiSectionParser::CheckCrc(damaged));
    EXPECT_FALSE(CPsiSectionParser::CheckCrc({}));
}

TEST(PsiSectionParserTest, DecodesThePat) {
    const auto pat = CPsiSectionParser::DecodePat(kPat);
    ASSERT_TRUE(pat);
    EXPECT_EQ(pat->transportStreamId, 1);
    EXPECT_EQ(pat->version, 0);
    EXPECT_TRUE(pat->currentNext);
    EXPECT_EQ(pat->programs, (std::vector<PatProgram>{{1, 0x1000}}));

    const Bytes built =
        CTsTestStream::PatSection(0x0440, {{0, 0x0010}, {0x1234, 0x0100}, {7, 0x1FFE}}, 5);
    const auto three = CPsiSectionParser::DecodePat(built);
    ASSERT_TRUE(three);
    EXPECT_EQ(three->transportStreamId, 0x0440);
    EXPECT_EQ(three->version, 5);
    EXPECT_EQ(three->programs,
              (std::vector<PatProgram>{{0, 0x0010}, {0x1234, 0x0100}, {7, 0x1FFE}}));
}

TEST(PsiSectionParserTest, DecodesTheSdtWithNamesAndProviders) {
    const auto sdt = CPsiSectionParser::DecodeSdt(kSdt);
    ASSERT_TRUE(sdt);
    EXPECT_EQ(sdt->tableId, 0x42);
    EXPECT_EQ(sdt->transportStreamId, 1);
    EXPECT_EQ(sdt->originalNetworkId, 0xFF01);
    EXPECT_EQ(sdt->services, (std::vector<SdtService>{{1, 0x01, "Service01", "FFmpeg"}}));

    // A service without a descriptor, and a foreign descriptor before the service descriptor.
    Bytes body = {0xFF, 0x01, 0xFF, 0x00, 0x05, 0xFC, 0x80, 0x00,  // service 5, no descriptors
                  0x00, 0x06, 0xFC, 0x80, 0x0D,        // service 6, 13 bytes of descriptors
                  0x5F, 0x04, 0x00, 0x00, 0x00, 0x28,  // private_data_specifier
                  0x48, 0x05, 0x19, 0x01, 'P',  0x01, 'N'};
    const auto two = CPsiSectionParser::DecodeSdt(CTsTestStream::LongSection(0x46, 9, 3, body));
    ASSERT_TRUE(two);
    EXPECT_EQ(two->tableId, 0x46);
    EXPECT_EQ(two->version, 3);
    EXPECT_EQ(two->services, (std::vector<SdtService>{{5, 0, "", ""}, {6, 0x19, "N", "P"}}));
}

TEST(PsiSectionParserTest, RefusesCorruptedOrMalformedSections) {
    for (std::size_t pos = 0; pos < kPat.size(); ++pos) {
        Bytes bad = kPat;
        bad[pos] ^= 0x10;
        EXPECT_FALSE(CPsiSectionParser::DecodePat(bad)) << "PAT byte " << pos;
    }
    for (std::size_t pos = 0; pos < kSdt.size(); ++pos) {
        Bytes bad = kSdt;
        bad[pos] ^= 0x01;
        EXPECT_FALSE(CPsiSectionParser::DecodeSdt(bad)) << "SDT byte " << pos;
    }
    EXPECT_FALSE(CPsiSectionParser::DecodeSdt(kPat)) << "not an SDT";
    EXPECT_FALSE(CPsiSectionParser::DecodePat(kSdt)) << "not a PAT";
    EXPECT_FALSE(CPsiSectionParser::DecodePat(std::span(kPat).first(12)));
    // A descriptor that claims more bytes than its loop holds, with a valid CRC.
    const Bytes body = {0xFF, 0x01, 0xFF, 0x00, 0x01, 0xFC, 0x80, 0x04, 0x48, 0x09, 0x01, 0x00};
    EXPECT_FALSE(CPsiSectionParser::DecodeSdt(CTsTestStream::LongSection(0x42, 1, 0, body)));
}

TEST(PsiSectionParserTest, ReassemblesASectionThatSpansPackets) {
    std::vector<SdtService> services;
    for (std::uint16_t id = 1; id <= 12; ++id) {
        services.push_back({id, 1, "Channel " + std::to_string(id), "Provider"});
    }
    const Bytes section = CTsTestStream::SdtSection(0x0800, 0x0001, services);
    ASSERT_GT(section.size(), 184u);
    ASSERT_LT(section.size(), 2 * 184u);
    CTsTestStream ts;
    const Bytes packets = ts.SectionPackets(0x0011, section);
    ASSERT_EQ(packets.size(), 2 * 188u);

    CPsiSectionParser parser;
    CSections out;
    parser.PushPacket(packets.data(), &out);
    EXPECT_TRUE(out.sections.empty()) << "only the first part so far";
    parser.PushPacket(packets.data() + 188, &out);
    ASSERT_EQ(out.sections.size(), 1u);
    EXPECT_EQ(out.sections[0], section);
    const auto sdt = CPsiSectionParser::DecodeSdt(out.sections[0]);
    ASSERT_TRUE(sdt);
    EXPECT_EQ(sdt->services, services);
}

// Packets whose payloads the test lays out itself (pointer fields included).
Bytes Payload(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) AppendBytes(out, part);
    return out;
}

TEST(PsiSectionParserTest, FollowsPointerFieldsSeveralSectionsPerPacketAndStuffing) {
    const Bytes a = CTsTestStream::PatSection(1, {{1, 0x100}});  // 16 bytes
    const Bytes b = CTsTestStream::SdtSection(1, 2, {{1, 1, std::string(150, 'x'), "p"}});
    const Bytes c = CTsTestStream::PatSection(2, {{2, 0x200}});
    ASSERT_GT(a.size() + b.size(), 183u);
    const std::size_t bInFirst = 183 - a.size();
    const Bytes bHead(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(bInFirst));
    const Bytes bTail(b.begin() + static_cast<std::ptrdiff_t>(bInFirst), b.end());

    CTsTestStream ts;
    // First packet: pointer 0, all of A, the head of B.
    const Bytes first = ts.Packet(0x20, Payload({{0x00}, a, bHead}), true);
    // Second: the pointer skips B's tail, then C, then stuffing.
    const Bytes second =
        ts.Packet(0x20, Payload({{static_cast<std::uint8_t>(bTail.size())}, bTail, c}), true);
    CPsiSectionParser parser;
    CSections out;
    parser.PushPacket(first.data(), &out);
    parser.PushPacket(second.data(), &out);
    ASSERT_EQ(out.sections.size(), 3u);
    EXPECT_EQ(out.sections[0], a);
    EXPECT_EQ(out.sections[1], b);
    EXPECT_EQ(out.sections[2], c);
}

TEST(PsiSectionParserTest, ALostPacketDropsTheSectionAndARepeatIsIgnored) {
    std::vector<SdtService> services;
    for (std::uint16_t id = 1; id <= 30; ++id) services.push_back({id, 1, "Service", "P"});
    const Bytes section = CTsTestStream::SdtSection(1, 1, services);
    CTsTestStream ts;
    const Bytes packets = ts.SectionPackets(0x11, section);
    const std::size_t count = packets.size() / 188;
    ASSERT_GE(count, 3u);
    const Bytes next = ts.SectionPackets(0x11, section);

    CPsiSectionParser parser;
    CSections out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i == 1) continue;  // lost
        parser.PushPacket(packets.data() + i * 188, &out);
    }
    EXPECT_TRUE(out.sections.empty());
    // The next copy arrives whole, its first packet twice.
    parser.PushPacket(next.data(), &out);
    parser.PushPacket(next.data(), &out);
    for (std::size_t i = 1; i < next.size() / 188; ++i)
        parser.PushPacket(next.data() + i * 188, &out);
    ASSERT_EQ(out.sections.size(), 1u);
    EXPECT_EQ(out.sections[0], section);
}

}  // namespace
