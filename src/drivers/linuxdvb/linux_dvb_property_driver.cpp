#include "drivers/linuxdvb/linux_dvb_property_driver.h"

#include <cstring>
#include <vector>

#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/linux_dvb_card.h"
#include "platform/ks/driver_bytes.h"
#include "platform/ks/ks_property_set.h"
#include "platform/ks/pls_code.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"
#include "platform/win/debug_output.h"

namespace linuxdvb {

namespace {

using driver_bytes::GetLe32;

constexpr DWORD kGet = KSPROPERTY_SUPPORT_GET;
constexpr DWORD kSet = KSPROPERTY_SUPPORT_SET;

constexpr std::array<CLinuxDvbPropertyDriver::Property, 5> kPinProperties = {{
    {KSPROPERTY_BDA_GET_MEDIAINFO, kGet, MediaInfoRecord::kSize},
    {KSPROPERTY_BDA_STREAMTYPE_PARAMS, kGet | kSet, StreamTypeRecord::kSize},
    {KSPROPERTY_BDA_INPUTMULTISTREAMID, kSet, MediaInfoRecord::kSize},
    {KSPROPERTY_BDA_DISEQC, kSet, DiseqcMessageRecord::kSize},
    {KSPROPERTY_BDA_GOLDCODE, kSet, CodeRecord::kSize},
}};

constexpr CLinuxDvbPropertyDriver::Property kSignalMeasure = {KSPROPERTY_SIGNAL_MEASURE, kGet,
                                                              SignalMeasureRecord::kSize};
constexpr CLinuxDvbPropertyDriver::Property kLockSearch = {KSPROPERTY_LOCK_SEARCH_TIME, kGet,
                                                           LockSearchRecord::kAnswerSize};

// The message lengths the kernel's DiSEqC call takes from the system.
constexpr std::uint32_t kShortestDiseqc = 3;
constexpr std::uint32_t kLongestDiseqc = 6;

}  // namespace

CLinuxDvbPropertyDriver::CLinuxDvbPropertyDriver(CLinuxDvbCard& card) : m_card(card) {}

HRESULT CLinuxDvbPropertyDriver::Find(Surface surface, const GUID& set, DWORD id, DWORD access,
                                      const Property** property) const {
    *property = nullptr;
    const Property* own = set == KSPROPSETID_SignalMeasure ? &kSignalMeasure
                          : set == KSPROPSETID_LockSearch  ? &kLockSearch
                                                           : nullptr;
    if (surface == Surface::Filter && own != nullptr) {
        if (id != own->id || (own->support & access) != access) return E_PROP_ID_UNSUPPORTED;
        *property = own;
        return S_OK;
    }
    if (surface != Surface::Pin || set != KSPROPSETID_BdaExt) return E_PROP_SET_UNSUPPORTED;
    for (const Property& candidate : kPinProperties) {
        if (candidate.id != id) continue;
        if ((candidate.support & access) != access) return E_PROP_ID_UNSUPPORTED;
        *property = &candidate;
        return S_OK;
    }
    return E_PROP_ID_UNSUPPORTED;
}

HRESULT CLinuxDvbPropertyDriver::QuerySupported(Surface surface, const GUID& set, DWORD id,
                                                DWORD* support) {
    if (support == nullptr) return E_POINTER;
    *support = 0;
    const Property* property = nullptr;
    const HRESULT hr = Find(surface, set, id, 0, &property);
    if (FAILED(hr)) return hr;
    if (m_card.IsRemoved()) return kDeviceRemoved;
    *support = property->support;
    return S_OK;
}

HRESULT CLinuxDvbPropertyDriver::Set(Surface surface, const GUID& set, DWORD id, const void* data,
                                     DWORD length) {
    const Property* property = nullptr;
    if (const HRESULT hr = Find(surface, set, id, kSet, &property); FAILED(hr)) return hr;
    if (data == nullptr) return E_POINTER;
    if (length != property->size) return E_INVALIDARG;
    // A copy: the system may pass the same buffer as instance data.
    const auto* begin = static_cast<const std::uint8_t*>(data);
    const std::vector<std::uint8_t> record(begin, begin + length);
    switch (id) {
        case KSPROPERTY_BDA_STREAMTYPE_PARAMS: {
            const StreamTypeRecord streamType{{record[0], record[1]}};
            if (streamType == kTransportStreamType)
                return m_card.IsRemoved() ? kDeviceRemoved : S_OK;
            if (streamType == kGenericStreamType) {
                OutputDebugStringA(
                    "linuxdvb: generic stream output requested; the kernel delivers transport "
                    "streams only");
                return HRESULT_ERROR_NOT_SUPPORTED;
            }
            return E_INVALIDARG;
        }
        case KSPROPERTY_BDA_INPUTMULTISTREAMID:
            return m_card.SetInputStreamId(static_cast<std::int32_t>(
                GetLe32(record.data() + MediaInfoRecord::kInputStreamIdOffset)));
        case KSPROPERTY_BDA_DISEQC: {
            const std::uint32_t command =
                GetLe32(record.data() + DiseqcMessageRecord::kCommandOffset);
            const std::uint32_t size = GetLe32(record.data() + DiseqcMessageRecord::kLengthOffset);
            if (command != DiseqcMessageRecord::kSendCommand || size < kShortestDiseqc ||
                size > kLongestDiseqc)
                return E_INVALIDARG;
            return m_card.SendDiseqc(std::span<const std::uint8_t>(
                record.data() + DiseqcMessageRecord::kMessageOffset, size));
        }
        case KSPROPERTY_BDA_GOLDCODE: {
            const auto value =
                static_cast<std::int32_t>(GetLe32(record.data() + CodeRecord::kValueOffset));
            const auto type =
                static_cast<std::int32_t>(GetLe32(record.data() + CodeRecord::kTypeOffset));
            if (type == kRootCode) {
                const auto gold = value > 0
                                      ? pls_code::GoldFromRoot(static_cast<std::uint32_t>(value))
                                      : std::nullopt;
                if (!gold) return E_INVALIDARG;
                return m_card.SetPlsGold(*gold);
            }
            if (type == kGoldCode && value >= 0)
                return m_card.SetPlsGold(static_cast<std::uint32_t>(value));
            return E_INVALIDARG;
        }
        default:
            return E_PROP_ID_UNSUPPORTED;
    }
}

HRESULT CLinuxDvbPropertyDriver::Get(Surface surface, const GUID& set, DWORD id,
                                     const void* instance, DWORD instanceLength, void* data,
                                     DWORD length, DWORD* returned) {
    if (returned != nullptr) *returned = 0;
    const Property* property = nullptr;
    if (const HRESULT hr = Find(surface, set, id, kGet, &property); FAILED(hr)) return hr;
    if (data == nullptr) return E_POINTER;
    if (length != property->size) return E_INVALIDARG;
    if (set == KSPROPSETID_LockSearch) {
        if (instance == nullptr || instanceLength != LockSearchRecord::kSize) return E_INVALIDARG;
        const LockSearchRecord carrier =
            LockSearchRecord::Decode(std::span<const std::uint8_t, LockSearchRecord::kSize>(
                static_cast<const std::uint8_t*>(instance), LockSearchRecord::kSize));
        std::uint32_t milliseconds = 0;
        if (const HRESULT hr = m_card.LockSearchTime(
                {carrier.frequencyKHz, carrier.polarisation, carrier.symbolRate}, milliseconds);
            FAILED(hr))
            return hr;
        driver_bytes::PutLe32(static_cast<std::uint8_t*>(data), milliseconds);
    } else if (set == KSPROPSETID_SignalMeasure) {
        DvbSignalMeasure measure;
        if (const HRESULT hr = m_card.SignalMeasure(measure); FAILED(hr)) return hr;
        SignalMeasureRecord record;
        if (measure.carrierToNoiseMilliDb) {
            record.flags |= SignalMeasureRecord::kCarrierToNoiseReported;
            record.carrierToNoiseMilliDb = *measure.carrierToNoiseMilliDb;
        }
        if (measure.levelMilliDbm) {
            record.flags |= SignalMeasureRecord::kLevelReported;
            record.levelMilliDbm = *measure.levelMilliDbm;
        }
        if (measure.bitErrors && measure.bitsCounted) {
            record.flags |= SignalMeasureRecord::kBitErrorsReported;
            record.bitErrors = *measure.bitErrors;
            record.bitsCounted = *measure.bitsCounted;
        }
        if (measure.uncorrectedBlocks) {
            record.flags |= SignalMeasureRecord::kUncorrectedReported;
            record.uncorrectedBlocks = *measure.uncorrectedBlocks;
        }
        const auto bytes = record.Encode();
        std::memcpy(data, bytes.data(), bytes.size());
    } else if (id == KSPROPERTY_BDA_STREAMTYPE_PARAMS) {
        if (m_card.IsRemoved()) return kDeviceRemoved;
        std::memcpy(data, kTransportStreamType.bytes.data(), StreamTypeRecord::kSize);  // always
    } else {
        std::array<std::int32_t, MediaInfoRecord::kFieldCount> fields{};
        if (const HRESULT hr = m_card.MediaInfo(fields); FAILED(hr)) return hr;
        const auto record = MediaInfoRecord::FromFields(fields).Encode();
        std::memcpy(data, record.data(), record.size());
    }
    if (returned != nullptr) *returned = property->size;
    return S_OK;
}

}  // namespace linuxdvb
