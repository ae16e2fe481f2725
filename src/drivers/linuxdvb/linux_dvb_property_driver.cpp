#include "drivers/linuxdvb/linux_dvb_property_driver.h"

#include <cstring>
#include <vector>

#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/dvb_tuning.h"
#include "drivers/linuxdvb/linux_dvb_card.h"
#include "platform/ks/ks_property_set.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/win/debug_output.h"

namespace linuxdvb {

namespace {

constexpr DWORD kGet = KSPROPERTY_SUPPORT_GET;
constexpr DWORD kSet = KSPROPERTY_SUPPORT_SET;

constexpr std::array<CLinuxDvbPropertyDriver::Property, 5> kPinProperties = {{
    {KSPROPERTY_BDA_GET_MEDIAINFO, kGet, 72},
    {KSPROPERTY_BDA_STREAMTYPE_PARAMS, kGet | kSet, 2},
    {KSPROPERTY_BDA_INPUTMULTISTREAMID, kSet, 72},
    {KSPROPERTY_BDA_DISEQC, kSet, 536},
    {KSPROPERTY_BDA_GOLDCODE, kSet, 264},
}};

constexpr std::size_t kDiseqcMessageOffset = 16;
constexpr std::size_t kDiseqcLengthOffset = 144;
constexpr std::size_t kInputStreamIdOffset = 48;
constexpr std::int32_t kRootCode = 0;
constexpr std::int32_t kGoldCode = 1;

std::uint32_t ReadU32(const std::uint8_t* bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) |
           (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

void WriteI32(std::uint8_t* bytes, std::size_t offset, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

}  // namespace

CLinuxDvbPropertyDriver::CLinuxDvbPropertyDriver(CLinuxDvbCard& card) : m_card(card) {}

HRESULT CLinuxDvbPropertyDriver::Find(Surface surface, const GUID& set, DWORD id, DWORD access,
                                      const Property** property) const {
    *property = nullptr;
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
        case KSPROPERTY_BDA_STREAMTYPE_PARAMS:
            if (record[0] == 1 && record[1] == 0) return m_card.IsRemoved() ? kDeviceRemoved : S_OK;
            if (record[0] == 0 && record[1] == 1) {
                OutputDebugStringA(
                    "linuxdvb: generic stream output requested; the kernel delivers transport "
                    "streams only");
                return HRESULT_ERROR_NOT_SUPPORTED;
            }
            return E_INVALIDARG;
        case KSPROPERTY_BDA_INPUTMULTISTREAMID:
            return m_card.SetInputStreamId(
                static_cast<std::int32_t>(ReadU32(record.data(), kInputStreamIdOffset)));
        case KSPROPERTY_BDA_DISEQC: {
            const std::uint32_t command = ReadU32(record.data(), 0);
            const std::uint32_t size = ReadU32(record.data(), kDiseqcLengthOffset);
            if (command != 1 || size < 3 || size > 6) return E_INVALIDARG;
            return m_card.SendDiseqc(
                std::span<const std::uint8_t>(record.data() + kDiseqcMessageOffset, size));
        }
        case KSPROPERTY_BDA_GOLDCODE: {
            const auto value = static_cast<std::int32_t>(ReadU32(record.data(), 0));
            const auto type = static_cast<std::int32_t>(ReadU32(record.data(), 4));
            if (type == kRootCode) {
                const auto gold =
                    value > 0 ? PlsGoldFromRoot(static_cast<std::uint32_t>(value)) : std::nullopt;
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

HRESULT CLinuxDvbPropertyDriver::Get(Surface surface, const GUID& set, DWORD id, void* data,
                                     DWORD length, DWORD* returned) {
    if (returned != nullptr) *returned = 0;
    const Property* property = nullptr;
    if (const HRESULT hr = Find(surface, set, id, kGet, &property); FAILED(hr)) return hr;
    if (data == nullptr) return E_POINTER;
    if (length != property->size) return E_INVALIDARG;
    std::vector<std::uint8_t> record(property->size, 0);
    if (id == KSPROPERTY_BDA_STREAMTYPE_PARAMS) {
        if (m_card.IsRemoved()) return kDeviceRemoved;
        record[0] = 1;  // transport stream, always
        record[1] = 0;
    } else {
        std::array<std::int32_t, 18> fields{};
        if (const HRESULT hr = m_card.MediaInfo(fields); FAILED(hr)) return hr;
        for (std::size_t i = 0; i < fields.size(); ++i) WriteI32(record.data(), 4 * i, fields[i]);
    }
    std::memcpy(data, record.data(), record.size());
    if (returned != nullptr) *returned = property->size;
    return S_OK;
}

}  // namespace linuxdvb
