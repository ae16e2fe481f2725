#include "services/service_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "drivers/sim/sim_stream_config.h"
#include "drivers/sim/ts_generator.h"
#include "hand_made_stream.h"

namespace {

const ServiceInfo* Find(const std::vector<ServiceInfo>& list, std::uint16_t number) {
    const auto it = std::find_if(list.begin(), list.end(), [number](const ServiceInfo& s) {
        return s.serviceNumber == number;
    });
    return it != list.end() ? &*it : nullptr;
}

struct StreamRow {
    std::uint16_t service;
    std::uint16_t pid;
    std::uint8_t streamType;
    StreamKind kind;
    const char* codec;
    const char* language;
};

// Every stream of the hand-made stream, as the page will list it.
const StreamRow kHandMadeStreams[] = {
    {hand_made::kFirst, 0x0111, 0x1B, StreamKind::Video, "H.264", ""},
    {hand_made::kFirst, 0x0112, 0x06, StreamKind::Audio, "AC-3", "deu"},
    {hand_made::kFirst, 0x0113, 0x06, StreamKind::Teletext, "Teletext", "deu"},
    {hand_made::kFirst, 0x0114, 0x06, StreamKind::Subtitles, "DVB subtitles", "eng"},
    {hand_made::kSecond, 0x0221, 0x24, StreamKind::Video, "HEVC", ""},
    {hand_made::kSecond, 0x0222, 0x06, StreamKind::Audio, "E-AC-3", ""},
    {hand_made::kSecond, 0x0223, 0x0F, StreamKind::Audio, "AAC", ""},
    {hand_made::kSecond, 0x0224, 0x03, StreamKind::Audio, "MPEG audio", ""},
};

TEST(ServiceScannerTest, AHandMadeStreamGivesEachServiceItsNamesTypeAndStreams) {
    CTsBuilder ts;
    CServiceScanner scanner;
    scanner.Consume(hand_made::Stream(ts));
    ASSERT_TRUE(scanner.IsComplete());
    EXPECT_EQ(scanner.BadSections(), 0u);
    const std::vector<ServiceInfo> list = scanner.Snapshot();
    ASSERT_EQ(list.size(), 2u)
        << "the network entry and the service missing from the PAT are not listed";

    const ServiceInfo& first = list[0];
    EXPECT_EQ(first.serviceNumber, hand_made::kFirst);
    EXPECT_EQ(first.name, "Caf\u00E9 Pl\u00FCs");
    EXPECT_EQ(first.provider, "ARD");
    EXPECT_EQ(first.serviceTypeText, "HD TV");
    EXPECT_EQ(first.pmtPid, 0x0100);
    EXPECT_EQ(first.pcrPid, 0x0111);
    EXPECT_TRUE(first.freeCaMode);
    EXPECT_TRUE(first.caDescriptor);
    EXPECT_TRUE(first.IsScrambled());

    const ServiceInfo& second = list[1];
    EXPECT_EQ(second.serviceNumber, hand_made::kSecond);
    EXPECT_EQ(second.name, "\u0395\u03BB\u03BB\u03AC\u03B4\u03B1");
    EXPECT_EQ(second.provider,
              "Hellenic Broadcasting Corporation, satellite services for Europe and the Near East");
    EXPECT_EQ(second.serviceTypeText, "UHD TV");
    EXPECT_EQ(second.pcrPid, 0x0221);
    EXPECT_FALSE(second.IsScrambled());

    for (const StreamRow& row : kHandMadeStreams) {
        SCOPED_TRACE(row.codec);
        const ServiceInfo* service = Find(list, row.service);
        ASSERT_NE(service, nullptr);
        const auto stream =
            std::find_if(service->streams.begin(), service->streams.end(),
                         [&](const ElementaryStreamInfo& s) { return s.pid == row.pid; });
        ASSERT_NE(stream, service->streams.end());
        EXPECT_EQ(stream->streamType, row.streamType);
        EXPECT_EQ(stream->kind, row.kind);
        EXPECT_EQ(stream->codec, row.codec);
        EXPECT_EQ(stream->language, row.language);
    }
}

TEST(ServiceScannerTest, CompleteOnlyOnceThePatEveryPmtAndEverySdtSectionArrived) {
    CTsBuilder ts;
    CServiceScanner scanner;
    struct Step {
        Bytes packets;
        bool complete;
    };
    const Step steps[] = {
        {ts.Sections(0x0000, {hand_made::PatSection()}), false},
        {ts.Sections(0x0100, {hand_made::FirstPmt()}), false},
        {ts.Sections(0x0011, {hand_made::SdtSection(1)}), false},
        {ts.Sections(0x0200, {hand_made::SecondPmt()}), false},
        {ts.Sections(0x0011, {hand_made::SdtSection(0)}), true},
    };
    std::uint64_t revision = scanner.Revision();
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        scanner.Consume(steps[i].packets);
        EXPECT_EQ(scanner.IsComplete(), steps[i].complete) << "after step " << i;
        EXPECT_GT(scanner.Revision(), revision) << "step " << i << " changed the list";
        revision = scanner.Revision();
    }
    scanner.Consume(ts.Sections(0x0011, {hand_made::SdtSection(0)}));
    EXPECT_EQ(scanner.Revision(), revision) << "a repeated section changes nothing";
    scanner.Reset();
    EXPECT_FALSE(scanner.IsComplete());
    EXPECT_TRUE(scanner.Snapshot().empty());
}

// A PAT of another transport stream, arriving without a Reset (packets of the old carrier still
// queued at a retune), drops everything of the old one while its own parser is at work.
TEST(ServiceScannerTest, APatOfAnotherTransportStreamStartsAfresh) {
    CTsBuilder ts;
    CServiceScanner scanner;
    scanner.Consume(hand_made::Stream(ts));
    ASSERT_TRUE(scanner.IsComplete());
    const std::uint64_t revision = scanner.Revision();
    scanner.Consume(ts.Sections(0x0000, {hand_made::PatSection(0, hand_made::kTsid + 1)}));
    EXPECT_GT(scanner.Revision(), revision);
    EXPECT_FALSE(scanner.IsComplete()) << "the new stream's PMTs and SDT are still to come";
    const std::vector<ServiceInfo> list = scanner.Snapshot();
    ASSERT_EQ(list.size(), 2u);
    for (const ServiceInfo& service : list) {
        EXPECT_TRUE(service.name.empty()) << "the old stream's SDT does not name the new one's";
        EXPECT_TRUE(service.streams.empty()) << "nor do its PMTs";
    }
    scanner.Consume(ts.Sections(0x0100, {hand_made::FirstPmt()}));
    EXPECT_FALSE(Find(scanner.Snapshot(), hand_made::kFirst)->streams.empty())
        << "the PMT PIDs are followed again";
}

TEST(ServiceScannerTest, NewVersionsReplaceTheirTablesAndABadCrcIsCountedAndIgnored) {
    CTsBuilder ts;
    CServiceScanner scanner;
    scanner.Consume(hand_made::Stream(ts));
    scanner.Consume(ts.Sections(0x0200, {hand_made::SecondPmt(1, false)}));
    scanner.Consume(ts.Sections(0x0011, {hand_made::SdtSection(1, 1,
                                                               "\x15"
                                                               "ERT World")}));
    Bytes corrupt = hand_made::SdtSection(1, 2,
                                          "\x15"
                                          "Broken");
    corrupt[corrupt.size() - 1] ^= 0x01;
    scanner.Consume(ts.Sections(0x0011, {corrupt}));

    EXPECT_EQ(scanner.BadSections(), 1u);
    const std::vector<ServiceInfo> list = scanner.Snapshot();
    const ServiceInfo* second = Find(list, hand_made::kSecond);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->name, "ERT World");
    EXPECT_EQ(second->streams.size(), 3u) << "version 1 of the PMT has no AAC";
    EXPECT_FALSE(scanner.IsComplete()) << "section 0 of the SDT's version 1 is still missing";
    EXPECT_EQ(Find(list, hand_made::kFirst)->name, "") << "a new SDT version starts empty";
}

TEST(ServiceScannerTest, ScrambledPacketsMarkTheStreamAndItsService) {
    CTsBuilder ts;
    CServiceScanner scanner;
    scanner.Consume(hand_made::Stream(ts));
    scanner.Consume(ts.Payload(0x0222, 0));
    EXPECT_FALSE(Find(scanner.Snapshot(), hand_made::kSecond)->IsScrambled());
    scanner.Consume(ts.Payload(0x0222, 2));  // scrambled with the even key
    const std::vector<ServiceInfo> list = scanner.Snapshot();
    const ServiceInfo* second = Find(list, hand_made::kSecond);
    EXPECT_TRUE(second->scrambledSeen);
    EXPECT_TRUE(second->IsScrambled());
    EXPECT_TRUE(second->streams[1].scrambledSeen);
    EXPECT_FALSE(second->streams[0].scrambledSeen);
}

// The simulated card's multiplex: whatever its payloads, its tables name what its configuration
// says.
TEST(ServiceScannerTest, TheSimulatedCardsStreamListsTheServicesOfItsConfiguration) {
    SimStreamConfig config = MakeSimStreamConfig(1234, 1, 20'000'000, 3, "Test", 7);
    config.services[1].service_name = "Caf\u00E9 \u2764";  // sent with the UTF-8 selector
    config.services[2].provider_name = "Another provider";
    config.services[2].service_type = 0x02;
    CTsGenerator generator(config);
    CServiceScanner scanner;
    std::vector<std::uint8_t> chunk(188 * 100);
    // Up to two seconds of stream: the SDT comes every 500 ms.
    const std::uint64_t limit = 2 * config.bit_rate / (188 * 8);
    for (std::uint64_t sent = 0; sent < limit && !scanner.IsComplete(); sent += 100) {
        generator.Fill(chunk.data(), 100);
        scanner.Consume(chunk);
    }
    ASSERT_TRUE(scanner.IsComplete());
    const std::vector<ServiceInfo> list = scanner.Snapshot();
    ASSERT_EQ(list.size(), config.services.size());
    for (const SimServiceConfig& expected : config.services) {
        SCOPED_TRACE(expected.service_name);
        const ServiceInfo* service = Find(list, expected.service_id);
        ASSERT_NE(service, nullptr);
        EXPECT_EQ(service->name, expected.service_name);
        EXPECT_EQ(service->provider, expected.provider_name);
        EXPECT_EQ(service->serviceType, expected.service_type);
        EXPECT_EQ(service->serviceTypeText, expected.service_type == 0x02 ? "Radio" : "TV");
        EXPECT_EQ(service->pmtPid, expected.pmt_pid);
        EXPECT_EQ(service->pcrPid, expected.pcr_pid);
        EXPECT_FALSE(service->IsScrambled());
        ASSERT_EQ(service->streams.size(), expected.streams.size());
        for (std::size_t i = 0; i < expected.streams.size(); ++i) {
            EXPECT_EQ(service->streams[i].pid, expected.streams[i].pid);
            EXPECT_EQ(service->streams[i].streamType, expected.streams[i].stream_type);
        }
    }
}

}  // namespace
