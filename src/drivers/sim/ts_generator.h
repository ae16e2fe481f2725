#pragma once
// The MPEG transport stream of one simulated transport stream, produced packet by packet at a
// fixed useful bit rate. Packet k starts at stream time k * 188 * 8 / bit rate; everything that
// carries time (PCR, PTS, table repetition) follows that clock, so the bytes depend only on the
// configuration, the packet the stream is joined at and the packet index.
//
// A stream joined at packet k (a receiver that starts listening then) carries the clock of
// packet k on: its PCR and PTS go on from there. Tables, PES packets and continuity counters
// begin afresh at the join, so a recording that starts then opens on whole tables and frames (and
// its video on an I-picture).
//
// Each packet slot goes, in this order of precedence, to: a PCR that is overdue, the next packet
// of a PSI/SI table being repeated (PAT and PMTs every 100 ms, SDT every 500 ms, NIT every
// second), the elementary stream furthest behind its rate, or else a null packet. A PCR rides on
// the PCR PID's next packet once 20 ms have passed since the last one and is forced 10 ms later
// (with a packet of its own when the PCR PID carries no stream, or when its stream is waiting for
// its next frame). Frame n (40 ms of video, 24 ms of audio) has PTS n * frame + 500 ms and starts
// where the stream's rate puts it, or where frame n - 1 ended if that is later.
//
// What the PES packets carry:
// - MPEG-2 video (stream_type 0x02): one picture of the service's test card per PES (see
//   CTestCardVideo), padded with zero bytes to the frame's share of the PID's rate. A picture
//   larger than its share (an I-picture on a narrow PID) runs into the following shares.
// - MPEG audio (0x03, 0x04): one frame of a 1 kHz tone per PES and nothing else, so the PID takes
//   only what the tone needs (ToneStreamRate()) and leaves the rest of its share to null packets.
// - Any other stream type: bytes derived from the seed, as much as the share holds.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "drivers/sim/sim_stream_config.h"

class CTestCardVideo;

class CTsGenerator {
public:
    static constexpr std::size_t kPacketSize = 188;
    static constexpr std::uint64_t kClockHz = 27'000'000;  // PCR and stream-time unit
    // Least rate of an MPEG-2 video PID: its test card (about 130 kbit/s of pictures) with room
    // for each second's I-picture to arrive well before it is shown.
    static constexpr std::uint64_t kTestCardMinimumRate = 300'000;

    // Throws std::invalid_argument when the configuration cannot be carried (PIDs clash or are
    // reserved, names too long, the streams and tables need more than the bit rate).
    explicit CTsGenerator(const SimStreamConfig& config, std::uint64_t firstPacket = 0);
    ~CTsGenerator();
    CTsGenerator(const CTsGenerator&) = delete;
    CTsGenerator& operator=(const CTsGenerator&) = delete;

    // Writes the next packetCount packets. No allocation: tables are built at construction.
    void Fill(std::uint8_t* destination, std::size_t packetCount);
    // Packets written since the join.
    std::uint64_t PacketsProduced() const { return m_nPackets; }
    std::uint64_t BitRate() const { return m_nBitRate; }

    // Stream time of the first byte of packet index, in 27 MHz ticks, rounded down.
    static std::uint64_t PacketTime(std::uint64_t bitRate, std::uint64_t packetIndex);
    // How many packets start before the given stream time: what a receiver has by then.
    static std::uint64_t PacketsBefore(std::uint64_t bitRate, std::uint64_t time27MHz);
    // The rate, in whole packets, that an MPEG audio PID's tone takes: one PES of one frame per
    // 24 ms.
    static std::uint64_t ToneStreamRate();

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // Due time of a repeating event in packet slots, stepping by an exact fraction.
    struct RationalClock {
        std::uint64_t whole = 0;
        std::uint64_t fraction = 0;
        std::uint64_t stepWhole = 0;
        std::uint64_t stepFraction = 0;
        std::uint64_t denominator = 1;

        void Init(std::uint64_t numerator, std::uint64_t stepDenominator);
        void Advance();
        void Seek(std::uint64_t steps);  // as after that many steps from Init
    };

    struct PsiTable {
        std::uint16_t pid = 0;
        std::vector<std::uint8_t> packets;  // whole 188-byte packets, CC patched on the way out
        std::size_t packetCount = 0;
        std::size_t next = 0;  // packet of the running repetition; packetCount when idle
        std::uint64_t periodMs = 0;
        RationalClock due;
    };

    enum class Content { Filler, TestCard, Tone };

    struct ElementaryFlow {
        std::uint16_t pid = 0;
        Content content = Content::Filler;
        std::size_t video = kNone;  // m_videos index of a test card
        std::uint8_t streamId = 0;
        bool bounded = false;          // PES_packet_length given (everything but video)
        std::uint64_t frameTicks = 0;  // 90 kHz
        RationalClock due;             // slot of the next packet
        RationalClock frameEnd;        // own-packet index where the current frame should end
        std::uint64_t packetIndex = 0;
        std::uint64_t frameIndex = 0;
        std::size_t pesRemaining = 0;         // bytes of the current PES not yet sent
        bool pesStart = false;                // next packet opens a PES
        std::size_t payloadCursor = 0;        // filler
        std::span<const std::uint8_t> frame;  // elementary bytes of the current PES
        std::size_t frameCursor = 0;
        std::size_t pcrFlow = kNone;
    };

    struct PcrFlow {
        std::uint16_t pid = 0;
        std::size_t elementary = kNone;  // flow carrying this PID, or none: PCR-only packets
        std::uint64_t dueSlot = 0;       // first slot where the next PCR may go
        std::uint64_t forceSlot = 0;     // slot where it goes whatever comes
    };

    void Validate(const SimStreamConfig& config) const;
    void BuildTables(const SimStreamConfig& config);
    void BuildFlows(const SimStreamConfig& config);
    void AddTable(std::uint16_t pid, const std::vector<std::vector<std::uint8_t>>& sections,
                  std::uint64_t periodMs);

    void WritePacket(std::uint8_t* packet);
    void WritePsi(PsiTable& table, std::uint8_t* packet);
    void WriteElementary(ElementaryFlow& flow, std::uint8_t* packet, bool withPcr);
    void WritePcrOnly(PcrFlow& flow, std::uint8_t* packet);
    void NotePcrSent(PcrFlow& flow);
    std::uint8_t NextContinuity(std::uint16_t pid);
    std::size_t WritePcrField(std::uint8_t* field) const;

    std::uint64_t m_nBitRate = 0;
    std::uint64_t m_nFirstPacket = 0;  // index of the packet the stream was joined at
    std::uint64_t m_nPtsOrigin = 0;    // its stream time in 90 kHz
    std::uint64_t m_nPackets = 0;
    std::uint64_t m_nPcrIntervalSlots = 1;
    std::uint64_t m_nPcrGraceSlots = 1;
    std::vector<PsiTable> m_tables;
    std::vector<ElementaryFlow> m_elementary;
    std::vector<PcrFlow> m_pcr;
    std::vector<std::unique_ptr<CTestCardVideo>> m_videos;
    std::vector<std::uint8_t> m_payload;  // seeded pseudo-random bytes the filler PES copy
    std::array<std::uint8_t, 8192> m_continuity{};  // next CC per PID
};
