#pragma once
// The records exchanged with the tuner driver, byte for byte: little-endian DWORDs at fixed
// offsets. Each record is its bytes; typed accessors read and write the fields.
#include <array>
#include <cstdint>
#include <span>

namespace driver_bytes {
inline void PutLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline std::uint32_t GetLe32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
}  // namespace driver_bytes

// Output stream type: byte 0 is 1 for a transport stream ("TS"), byte 1 is 1 for a generic
// stream ("GS").
struct StreamTypeRecord {
    std::array<std::uint8_t, 2> bytes{1, 0};
    friend bool operator==(const StreamTypeRecord&, const StreamTypeRecord&) = default;
};
static_assert(sizeof(StreamTypeRecord) == 2);

inline constexpr StreamTypeRecord kTransportStreamType{{1, 0}};
inline constexpr StreamTypeRecord kGenericStreamType{{0, 1}};

// A DiSEqC message over the PCI-E carrier: offset 0 the DWORD 1, the message at 16 (128 bytes
// room), its length as a DWORD at 144, zero elsewhere.
struct DiseqcMessageRecord {
    static constexpr std::size_t kSize = 536;
    static constexpr std::size_t kMessageOffset = 16;
    static constexpr std::size_t kLengthOffset = 144;
    std::array<std::uint8_t, kSize> bytes{};

    static DiseqcMessageRecord For(std::span<const std::uint8_t> message);
};
static_assert(sizeof(DiseqcMessageRecord) == DiseqcMessageRecord::kSize);

// The USB carrier's tuner control record: the transponder in the page's units, three driver
// constants, the DiSEqC port, and from offset 21 the bytes of the last DiSEqC message (no
// length; a shorter message leaves the tail of a longer one).
struct TunerControlRecord {
    static constexpr std::size_t kSize = 288;
    static constexpr std::size_t kMessageOffset = 21;
    std::array<std::uint8_t, kSize> bytes{};

    void SetFrequency(std::uint32_t mhz) { driver_bytes::PutLe32(&bytes[0], mhz); }
    void SetLnbLow(std::uint32_t mhz) { driver_bytes::PutLe32(&bytes[4], mhz); }
    void SetLnbHigh(std::uint32_t mhz) { driver_bytes::PutLe32(&bytes[8], mhz); }
    void SetSymbolRate(std::uint32_t ksps) { driver_bytes::PutLe32(&bytes[12], ksps); }
    void SetPolarity(std::uint8_t index) { bytes[16] = index; }
    // Offsets 17 to 19: the driver's constants 1, 0, 2.
    void SetConstants() {
        bytes[17] = 1;
        bytes[18] = 0;
        bytes[19] = 2;
    }
    void SetDiseqcPort(std::uint8_t index) { bytes[20] = index; }
    void PutMessage(std::span<const std::uint8_t> message);
    void ClearMessageHead();  // bytes 21 to 25
};
static_assert(sizeof(TunerControlRecord) == TunerControlRecord::kSize);

inline constexpr std::int32_t kRootCode = 0;
inline constexpr std::int32_t kGoldCode = 1;

// The DVB-S2 physical-layer scrambling code: value (signed) at 0, type at 4 (0 root, 1 gold).
struct CodeRecord {
    static constexpr std::size_t kSize = 264;
    std::array<std::uint8_t, kSize> bytes{};

    static CodeRecord For(std::int32_t value, std::int32_t type);
};
static_assert(sizeof(CodeRecord) == CodeRecord::kSize);

// The mode codes the demodulator is to pass: a count and up to 112 entries of
// (mode code, selector 1, selector 2).
struct ModCodeFilterRecord {
    static constexpr std::size_t kSize = 1348;
    static constexpr std::size_t kMaxEntries = 112;
    struct Entry {
        std::uint32_t modCode = 0;
        std::uint32_t selector1 = 0;
        std::uint32_t selector2 = 0;
        friend bool operator==(const Entry&, const Entry&) = default;
    };
    std::uint32_t count = 0;
    std::array<Entry, kMaxEntries> entries{};

    // Appends an entry at position `count` (ignored when full).
    void Append(std::uint32_t modCode, std::uint32_t selector1, std::uint32_t selector2);
    std::array<std::uint8_t, kSize> Encode() const;
    friend bool operator==(const ModCodeFilterRecord&, const ModCodeFilterRecord&) = default;
};

// The driver's report on the locked carrier: eighteen signed DWORDs.
struct MediaInfoRecord {
    static constexpr std::size_t kSize = 72;
    std::int32_t ifFrequency = 0;
    std::int32_t symbolRate = 0;
    std::int32_t standard = 0;
    std::int32_t modCode = 0;
    std::int32_t dvbsCodeRate = 0;
    std::int32_t modulation = 0;
    std::int32_t streamType = 0;
    std::int32_t inputStream = 0;
    std::int32_t codingModulation = 0;
    std::int32_t inputSynchro = 0;
    std::int32_t nullPacketDeletion = 0;
    std::int32_t rollOff = 0;
    std::int32_t inputStreamId = 0;
    std::int32_t matype1 = 0;
    std::int32_t matype2 = 0;
    std::int32_t spectrum = 0;
    std::int32_t pilots = 0;
    std::int32_t frameLength = 0;

    std::array<std::uint8_t, kSize> Encode() const;
    static MediaInfoRecord Decode(std::span<const std::uint8_t, kSize> bytes);
    friend bool operator==(const MediaInfoRecord&, const MediaInfoRecord&) = default;
};
static_assert(sizeof(MediaInfoRecord) == MediaInfoRecord::kSize);
