#pragma once
// The records exchanged with the card range's drivers through the vendor property sets, byte for
// byte: little-endian DWORDs at fixed offsets. The system encodes them with these types and the
// Linux backend decodes them with the same offsets. The simulated card deliberately reads them
// with a decoder of its own (drivers/sim/sim_property_driver.cpp), so that a slip in a layout here
// shows up as a disagreement in its tests instead of being agreed on by both ends.
//
//   record                size  property
//   StreamTypeRecord         2  BDA 13 STREAMTYPE_PARAMS
//   MediaInfoRecord         72  BDA 12 / CTRL 15 GET_MEDIAINFO; BDA 14 INPUTMULTISTREAMID
//                               (ISI at 48)
//   DiseqcMessageRecord    536  BDA 21 DISEQC
//   CodeRecord             264  BDA 23 / CTRL 20 GOLDCODE
//   TunerControlRecord     288  CTRL 3 TUNER
//   ModCodeFilterRecord   1348  BDA 24 / CTRL 21 MODCODES
//   SignalMeasureRecord     40  SIGNAL_MEASURE 1 (KSPROPSETID_SignalMeasure, our own set)
//   LockSearchRecord        12  LOCK_SEARCH_TIME 1 (KSPROPSETID_LockSearch, our own set), as
//                               instance data; the answer is a DWORD of milliseconds
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/ks/driver_bytes.h"

// Output stream type: byte 0 is 1 for a transport stream ("TS"), byte 1 is 1 for a generic
// stream ("GS").
struct StreamTypeRecord {
    static constexpr std::size_t kSize = 2;
    std::array<std::uint8_t, kSize> bytes{1, 0};
    friend bool operator==(const StreamTypeRecord&, const StreamTypeRecord&) = default;
};
static_assert(sizeof(StreamTypeRecord) == StreamTypeRecord::kSize);

inline constexpr StreamTypeRecord kTransportStreamType{{1, 0}};
inline constexpr StreamTypeRecord kGenericStreamType{{0, 1}};

// A DiSEqC message over the PCI-E carrier: the DWORD 1 ("send") at 0, the message at 16 (128 bytes
// room), its length as a DWORD at 144, zero elsewhere.
struct DiseqcMessageRecord {
    static constexpr std::size_t kSize = 536;
    static constexpr std::size_t kCommandOffset = 0;
    static constexpr std::uint32_t kSendCommand = 1;
    static constexpr std::size_t kMessageOffset = 16;
    static constexpr std::size_t kLengthOffset = 144;
    static constexpr std::size_t kMessageRoom = kLengthOffset - kMessageOffset;
    std::array<std::uint8_t, kSize> bytes{};

    // A longer message is cut to the room it has.
    static DiseqcMessageRecord For(std::span<const std::uint8_t> message);
};
static_assert(sizeof(DiseqcMessageRecord) == DiseqcMessageRecord::kSize);

// The USB carrier's tuner control record: the transponder in the page's units, three driver
// constants, the DiSEqC port, and from offset 21 the bytes of the last DiSEqC message (no
// length; a shorter message leaves the tail of a longer one).
struct TunerControlRecord {
    static constexpr std::size_t kSize = 288;
    static constexpr std::size_t kFrequencyOffset = 0;    // MHz
    static constexpr std::size_t kLnbLowOffset = 4;       // MHz
    static constexpr std::size_t kLnbHighOffset = 8;      // MHz
    static constexpr std::size_t kSymbolRateOffset = 12;  // kSps
    static constexpr std::size_t kPolarityOffset = 16;   // one byte: the page's index, 0 horizontal
    static constexpr std::size_t kConstantsOffset = 17;  // three bytes: 1, 0, 2
    static constexpr std::size_t kDiseqcPortOffset = 20;  // one byte: the page's index, 1..4 = A..D
    static constexpr std::size_t kMessageOffset = 21;
    static constexpr std::size_t kMessageHeadLength = 5;  // what ClearMessageHead zeroes
    std::array<std::uint8_t, kSize> bytes{};

    void SetFrequency(std::uint32_t mhz) { driver_bytes::PutLe32(&bytes[kFrequencyOffset], mhz); }
    void SetLnbLow(std::uint32_t mhz) { driver_bytes::PutLe32(&bytes[kLnbLowOffset], mhz); }
    void SetLnbHigh(std::uint32_t mhz) { driver_bytes::PutLe32(&bytes[kLnbHighOffset], mhz); }
    void SetSymbolRate(std::uint32_t ksps) {
        driver_bytes::PutLe32(&bytes[kSymbolRateOffset], ksps);
    }
    void SetPolarity(std::uint8_t index) { bytes[kPolarityOffset] = index; }
    void SetConstants() {
        bytes[kConstantsOffset] = 1;
        bytes[kConstantsOffset + 1] = 0;
        bytes[kConstantsOffset + 2] = 2;
    }
    void SetDiseqcPort(std::uint8_t index) { bytes[kDiseqcPortOffset] = index; }
    void PutMessage(std::span<const std::uint8_t> message);
    void ClearMessageHead();
};
static_assert(sizeof(TunerControlRecord) == TunerControlRecord::kSize);

// The code types of CodeRecord.
inline constexpr std::int32_t kRootCode = 0;
inline constexpr std::int32_t kGoldCode = 1;

// The DVB-S2 physical-layer scrambling code: value (signed) at 0, type at 4 (kRootCode,
// kGoldCode).
struct CodeRecord {
    static constexpr std::size_t kSize = 264;
    static constexpr std::size_t kValueOffset = 0;
    static constexpr std::size_t kTypeOffset = 4;
    std::array<std::uint8_t, kSize> bytes{};

    static CodeRecord For(std::int32_t value, std::int32_t type);
};
static_assert(sizeof(CodeRecord) == CodeRecord::kSize);

// The mode codes the demodulator is to pass: a count and up to 112 entries of
// (mode code, selector 1, selector 2), three DWORDs each.
struct ModCodeFilterRecord {
    static constexpr std::size_t kSize = 1348;
    static constexpr std::size_t kMaxEntries = 112;
    static constexpr std::size_t kCountOffset = 0;
    static constexpr std::size_t kEntriesOffset = 4;
    static constexpr std::size_t kEntrySize = 12;
    static_assert(kEntriesOffset + kMaxEntries * kEntrySize == kSize);
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
    // Appends the four entries the driver takes for one chosen MODCOD, in its order: selector
    // pairs (1,0), (1,1), (0,0), (0,1).
    void AppendModCode(std::uint32_t modCode);
    std::array<std::uint8_t, kSize> Encode() const;
    friend bool operator==(const ModCodeFilterRecord&, const ModCodeFilterRecord&) = default;
};

// The driver's report on the locked carrier: eighteen signed DWORDs in the order of the members.
// The same record carries the input stream to select (INPUTMULTISTREAMID): only its ISI counts.
struct MediaInfoRecord {
    static constexpr std::size_t kSize = 72;
    static constexpr std::size_t kFieldCount = kSize / 4;
    static constexpr std::size_t kInputStreamIdOffset = 48;  // the thirteenth DWORD
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

    // The fields in record order, as a driver keeps them.
    static MediaInfoRecord FromFields(const std::array<std::int32_t, kFieldCount>& fields);
    std::array<std::uint8_t, kSize> Encode() const;
    static MediaInfoRecord Decode(std::span<const std::uint8_t, kSize> bytes);
    friend bool operator==(const MediaInfoRecord&, const MediaInfoRecord&) = default;
};
static_assert(sizeof(MediaInfoRecord) == MediaInfoRecord::kSize);

// The card's measurement of the tuned signal in physical units (KSPROPSETID_SignalMeasure). Each
// value counts only when its flag is set: a card leaves out what it does not measure, and the
// reader shows it as not reported.
//   offset  type  meaning
//    0      u32   flags (kCarrierToNoiseReported ... kUncorrectedReported; other bits zero)
//    4      i32   C/N (Es/N0, or the SNR the demodulator reports), 0.001 dB
//    8      i32   signal level at the tuner input, 0.001 dBm
//   12      u32   zero, so that the counters fall on 8-byte offsets
//   16      u64   bit errors of the card's latest measurement window (inner code's output)
//   24      u64   bits counted in that window; errors / bits is the bit error rate
//   32      u64   uncorrected blocks since the card last reset its count (at a tune or lock)
struct SignalMeasureRecord {
    static constexpr std::size_t kSize = 40;
    static constexpr std::size_t kFlagsOffset = 0;
    static constexpr std::size_t kCarrierToNoiseOffset = 4;
    static constexpr std::size_t kLevelOffset = 8;
    static constexpr std::size_t kBitErrorsOffset = 16;
    static constexpr std::size_t kBitsCountedOffset = 24;
    static constexpr std::size_t kUncorrectedOffset = 32;
    static constexpr std::uint32_t kCarrierToNoiseReported = 1u << 0;
    static constexpr std::uint32_t kLevelReported = 1u << 1;
    static constexpr std::uint32_t kBitErrorsReported = 1u << 2;  // errors and bits counted
    static constexpr std::uint32_t kUncorrectedReported = 1u << 3;

    std::uint32_t flags = 0;
    std::int32_t carrierToNoiseMilliDb = 0;
    std::int32_t levelMilliDbm = 0;
    std::uint64_t bitErrors = 0;
    std::uint64_t bitsCounted = 0;
    std::uint64_t uncorrectedBlocks = 0;

    std::array<std::uint8_t, kSize> Encode() const;
    static SignalMeasureRecord Decode(std::span<const std::uint8_t, kSize> bytes);
    friend bool operator==(const SignalMeasureRecord&, const SignalMeasureRecord&) = default;
};

// The carrier a lock search is asked about (KSPROPSETID_LockSearch), in the instance data of the
// get; its property data is the answer, a u32 of milliseconds: how long the card's search for
// that carrier may take, from the tune until it gives up or starts over.
//   offset  type  meaning
//    0      u32   carrier frequency before the LNB, kHz
//    4      u32   symbol rate, symbols per second
//    8      i32   polarisation as the tuning objects name it (1 H, 2 V, 3 L, 4 R; else not set)
struct LockSearchRecord {
    static constexpr std::size_t kSize = 12;
    static constexpr std::size_t kAnswerSize = 4;
    static constexpr std::size_t kFrequencyOffset = 0;
    static constexpr std::size_t kSymbolRateOffset = 4;
    static constexpr std::size_t kPolarisationOffset = 8;

    std::uint32_t frequencyKHz = 0;
    std::uint32_t symbolRate = 0;
    std::int32_t polarisation = 0;

    std::array<std::uint8_t, kSize> Encode() const;
    static LockSearchRecord Decode(std::span<const std::uint8_t, kSize> bytes);
    friend bool operator==(const LockSearchRecord&, const LockSearchRecord&) = default;
};
