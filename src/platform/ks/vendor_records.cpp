#include "platform/ks/vendor_records.h"

#include <algorithm>
#include <cstddef>
#include <tuple>
#include <utility>

using driver_bytes::GetLe32;
using driver_bytes::PutLe32;

DiseqcMessageRecord DiseqcMessageRecord::For(std::span<const std::uint8_t> message) {
    DiseqcMessageRecord record;
    PutLe32(&record.bytes[kCommandOffset], kSendCommand);
    const std::size_t length = std::min(message.size(), kMessageRoom);
    std::copy_n(message.begin(), length, record.bytes.begin() + kMessageOffset);
    PutLe32(&record.bytes[kLengthOffset], static_cast<std::uint32_t>(length));
    return record;
}

void TunerControlRecord::PutMessage(std::span<const std::uint8_t> message) {
    const std::size_t length = std::min(message.size(), kSize - kMessageOffset);
    std::copy_n(message.begin(), length, bytes.begin() + kMessageOffset);
}

void TunerControlRecord::ClearMessageHead() {
    std::fill_n(bytes.begin() + kMessageOffset, kMessageHeadLength, std::uint8_t{0});
}

CodeRecord CodeRecord::For(std::int32_t value, std::int32_t type) {
    CodeRecord record;
    PutLe32(&record.bytes[kValueOffset], static_cast<std::uint32_t>(value));
    PutLe32(&record.bytes[kTypeOffset], static_cast<std::uint32_t>(type));
    return record;
}

void ModCodeFilterRecord::Append(std::uint32_t modCode, std::uint32_t selector1,
                                 std::uint32_t selector2) {
    if (count >= kMaxEntries) return;
    entries[count++] = Entry{modCode, selector1, selector2};
}

void ModCodeFilterRecord::AppendModCode(std::uint32_t modCode) {
    Append(modCode, 1, 0);
    Append(modCode, 1, 1);
    Append(modCode, 0, 0);
    Append(modCode, 0, 1);
}

std::array<std::uint8_t, ModCodeFilterRecord::kSize> ModCodeFilterRecord::Encode() const {
    std::array<std::uint8_t, kSize> bytes{};
    PutLe32(&bytes[kCountOffset], count);
    for (std::size_t i = 0; i < kMaxEntries; ++i) {
        std::uint8_t* entry = &bytes[kEntriesOffset + kEntrySize * i];
        PutLe32(entry, entries[i].modCode);
        PutLe32(entry + 4, entries[i].selector1);
        PutLe32(entry + 8, entries[i].selector2);
    }
    return bytes;
}

namespace {
// The fields in record order, for every direction.
template <typename Record>
auto Fields(Record& r) {
    return std::array{&r.ifFrequency,
                      &r.symbolRate,
                      &r.standard,
                      &r.modCode,
                      &r.dvbsCodeRate,
                      &r.modulation,
                      &r.streamType,
                      &r.inputStream,
                      &r.codingModulation,
                      &r.inputSynchro,
                      &r.nullPacketDeletion,
                      &r.rollOff,
                      &r.inputStreamId,
                      &r.matype1,
                      &r.matype2,
                      &r.spectrum,
                      &r.pilots,
                      &r.frameLength};
}
static_assert(std::tuple_size_v<decltype(Fields(std::declval<MediaInfoRecord&>()))> ==
              MediaInfoRecord::kFieldCount);
// Members are packed DWORDs in record order, so the member's place is the field's offset.
static_assert(offsetof(MediaInfoRecord, inputStreamId) == MediaInfoRecord::kInputStreamIdOffset);
}  // namespace

MediaInfoRecord MediaInfoRecord::FromFields(const std::array<std::int32_t, kFieldCount>& fields) {
    MediaInfoRecord record;
    const auto members = Fields(record);
    for (std::size_t i = 0; i < kFieldCount; ++i) *members[i] = fields[i];
    return record;
}

std::array<std::uint8_t, MediaInfoRecord::kSize> MediaInfoRecord::Encode() const {
    std::array<std::uint8_t, kSize> bytes{};
    const auto fields = Fields(*this);
    for (std::size_t i = 0; i < fields.size(); ++i)
        PutLe32(&bytes[4 * i], static_cast<std::uint32_t>(*fields[i]));
    return bytes;
}

MediaInfoRecord MediaInfoRecord::Decode(std::span<const std::uint8_t, kSize> bytes) {
    MediaInfoRecord record;
    const auto fields = Fields(record);
    for (std::size_t i = 0; i < fields.size(); ++i)
        *fields[i] = static_cast<std::int32_t>(GetLe32(&bytes[4 * i]));
    return record;
}

namespace {

void PutLe64(std::uint8_t* p, std::uint64_t v) {
    PutLe32(p, static_cast<std::uint32_t>(v));
    PutLe32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

std::uint64_t GetLe64(const std::uint8_t* p) {
    return std::uint64_t{GetLe32(p)} | std::uint64_t{GetLe32(p + 4)} << 32;
}

}  // namespace

std::array<std::uint8_t, SignalMeasureRecord::kSize> SignalMeasureRecord::Encode() const {
    std::array<std::uint8_t, kSize> bytes{};
    PutLe32(&bytes[kFlagsOffset], flags);
    PutLe32(&bytes[kCarrierToNoiseOffset], static_cast<std::uint32_t>(carrierToNoiseMilliDb));
    PutLe32(&bytes[kLevelOffset], static_cast<std::uint32_t>(levelMilliDbm));
    PutLe64(&bytes[kBitErrorsOffset], bitErrors);
    PutLe64(&bytes[kBitsCountedOffset], bitsCounted);
    PutLe64(&bytes[kUncorrectedOffset], uncorrectedBlocks);
    return bytes;
}

SignalMeasureRecord SignalMeasureRecord::Decode(std::span<const std::uint8_t, kSize> bytes) {
    SignalMeasureRecord record;
    record.flags = GetLe32(&bytes[kFlagsOffset]);
    record.carrierToNoiseMilliDb =
        static_cast<std::int32_t>(GetLe32(&bytes[kCarrierToNoiseOffset]));
    record.levelMilliDbm = static_cast<std::int32_t>(GetLe32(&bytes[kLevelOffset]));
    record.bitErrors = GetLe64(&bytes[kBitErrorsOffset]);
    record.bitsCounted = GetLe64(&bytes[kBitsCountedOffset]);
    record.uncorrectedBlocks = GetLe64(&bytes[kUncorrectedOffset]);
    return record;
}

std::array<std::uint8_t, LockSearchRecord::kSize> LockSearchRecord::Encode() const {
    std::array<std::uint8_t, kSize> bytes{};
    PutLe32(&bytes[kFrequencyOffset], frequencyKHz);
    PutLe32(&bytes[kSymbolRateOffset], symbolRate);
    PutLe32(&bytes[kPolarisationOffset], static_cast<std::uint32_t>(polarisation));
    return bytes;
}

LockSearchRecord LockSearchRecord::Decode(std::span<const std::uint8_t, kSize> bytes) {
    LockSearchRecord record;
    record.frequencyKHz = GetLe32(&bytes[kFrequencyOffset]);
    record.symbolRate = GetLe32(&bytes[kSymbolRateOffset]);
    record.polarisation = static_cast<std::int32_t>(GetLe32(&bytes[kPolarisationOffset]));
    return record;
}
