#include "drivers/sim/sim_property_driver.h"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <cstring>
#include <set>

#include "drivers/sim/sim_card.h"
#include "drivers/sim/sim_diseqc_command.h"
#include "drivers/sim/sim_trace.h"
#include "platform/diseqc/diseqc_bytes.h"
#include "platform/ks/pls_code.h"
#include "platform/ks/vendor_property_sets.h"

namespace {

constexpr DWORD kGet = KSPROPERTY_SUPPORT_GET;
constexpr DWORD kSet = KSPROPERTY_SUPPORT_SET;

// The card reads and writes the records with its own sizes, offsets and byte helpers on purpose,
// not with platform/ks/vendor_records.h: it stands in for the hardware and its vendor driver, so
// it checks the system's encoding against an independent reading instead of agreeing with any
// mistake by construction (tests/drivers/sim/sim_record_agreement_test.cpp compares the two).
constexpr std::array<CSimPropertyDriver::Property, 6> kBdaExt = {{
    {KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO, kGet, 72},
    {KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, kGet | kSet, 2},
    {KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID, kSet, 72},
    {KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, kSet, 536},
    {KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE, kSet, 264},
    {KSPROPSETID_BdaExt, KSPROPERTY_BDA_MODCODES, kSet, 1348},
}};

// The USB card's filter: its vendor set and the measurement every card offers on its filter.
constexpr std::array<CSimPropertyDriver::Property, 8> kUsbFilter = {{
    {KSPROPSETID_Ctrl, KSPROPERTY_CTRL_PRESENT, 0, 0},
    {KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, kSet, 288},
    {KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GET_MEDIAINFO, kGet, 72},
    {KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GOLDCODE, kSet, 264},
    {KSPROPSETID_Ctrl, KSPROPERTY_CTRL_MODCODES, kSet, 1348},
    {KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, kGet, 40},
    {KSPROPSETID_LockSearch, KSPROPERTY_LOCK_SEARCH_TIME, kGet, 4},
    {KSPROPSETID_MotorReach, KSPROPERTY_MOTOR_REACHED, kGet, 4},
}};

constexpr std::array<CSimPropertyDriver::Property, 3> kPciFilter = {{
    {KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, kGet, 40},
    {KSPROPSETID_LockSearch, KSPROPERTY_LOCK_SEARCH_TIME, kGet, 4},
    {KSPROPSETID_MotorReach, KSPROPERTY_MOTOR_REACHED, kGet, 4},
}};

// The carrier a lock search is asked about: frequency, symbol rate, polarisation, a DWORD each.
constexpr DWORD kLockSearchQuestionSize = 12;

std::uint32_t ReadU32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) |
           (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

std::int32_t ReadI32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::int32_t>(ReadU32(bytes, offset));
}

void WriteU64(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint64_t value) {
    for (std::size_t i = 0; i < 8; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void WriteI32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    bytes[offset] = static_cast<std::uint8_t>(bits);
    bytes[offset + 1] = static_cast<std::uint8_t>(bits >> 8);
    bytes[offset + 2] = static_cast<std::uint8_t>(bits >> 16);
    bytes[offset + 3] = static_cast<std::uint8_t>(bits >> 24);
}

// The measurement record: flags at 0 (1 C/N, 2 level, 4 bit errors, 8 uncorrected blocks), C/N
// in 0.001 dB at 4, level at 8 (never set: the model has no received power), bit errors at 16,
// bits counted at 24, uncorrected blocks at 32.
void WriteSignalMeasure(std::vector<std::uint8_t>& record, const SimSignalMeasure& measure) {
    std::uint32_t flags = 0;
    if (measure.carrierToNoise) {
        flags |= 1;
        WriteI32(record, 4,
                 static_cast<std::int32_t>(std::lround(*measure.carrierToNoise * 1000.0)));
    }
    if (measure.bitErrors && measure.bitsCounted) {
        flags |= 4;
        WriteU64(record, 16, *measure.bitErrors);
        WriteU64(record, 24, *measure.bitsCounted);
    }
    if (measure.uncorrectedBlocks) {
        flags |= 8;
        WriteU64(record, 32, *measure.uncorrectedBlocks);
    }
    WriteI32(record, 0, static_cast<std::int32_t>(flags));
}

std::string PropertyName(const GUID& set, DWORD id) {
    const std::string_view name = VendorPropertyName(set, id);
    if (!name.empty()) return std::string(name);
    if (set == KSPROPSETID_BdaExt) return fmt::format("KSPROPSETID_BdaExt:{}", id);
    if (set == KSPROPSETID_Ctrl) return fmt::format("KSPROPSETID_Ctrl:{}", id);
    if (set == KSPROPSETID_SignalMeasure) return fmt::format("KSPROPSETID_SignalMeasure:{}", id);
    if (set == KSPROPSETID_LockSearch) return fmt::format("KSPROPSETID_LockSearch:{}", id);
    if (set == KSPROPSETID_MotorReach) return fmt::format("KSPROPSETID_MotorReach:{}", id);
    return fmt::format("{}:{}", com::FormatGuid(set), id);
}

}  // namespace

CSimPropertyDriver::CSimPropertyDriver(CSimCard& card) : m_card(card) {}

std::span<const CSimPropertyDriver::Property> CSimPropertyDriver::Properties(
    Surface surface) const {
    const bool usb = m_card.Profile().carrier == SimPropertyCarrier::Usb;
    if (surface == Surface::Filter) {
        if (usb) return kUsbFilter;
        return kPciFilter;
    }
    if (!usb) return kBdaExt;
    return {};
}

HRESULT CSimPropertyDriver::Find(Surface surface, const GUID& set, DWORD id, DWORD access,
                                 const Property** property) const {
    *property = nullptr;
    bool setKnown = false;
    for (const Property& candidate : Properties(surface)) {
        if (candidate.set != set) continue;
        setKnown = true;
        if (candidate.id == id) {
            if ((candidate.support & access) != access) return E_PROP_ID_UNSUPPORTED;
            *property = &candidate;
            return S_OK;
        }
    }
    return setKnown ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

void CSimPropertyDriver::TraceExchange(const char* what, const GUID& set, DWORD id,
                                       std::span<const std::uint8_t> bytes, HRESULT hr) {
    const std::string name = PropertyName(set, id);
    const std::string hex = CSimTrace::Hex(bytes);
    m_card.Trace(fmt::format("{} {}{}{} -> 0x{:08X}", what, name, hex.empty() ? "" : " ", hex,
                             static_cast<std::uint32_t>(hr)));
}

HRESULT CSimPropertyDriver::QuerySupported(Surface surface, const GUID& set, DWORD id,
                                           DWORD* support) {
    HRESULT hr = S_OK;
    const Property* property = nullptr;
    if (support == nullptr) {
        hr = E_POINTER;
    } else if (m_card.IsRemoved()) {
        hr = CSimCard::kDeviceRemoved;
    } else if (m_card.Faults().IsUnsupported(set, id)) {
        hr = E_PROP_ID_UNSUPPORTED;
    } else {
        hr = Find(surface, set, id, 0, &property);
        if (SUCCEEDED(hr)) {
            *support = property->support;
            if (const auto injected =
                    m_card.Faults().ResultFor(set, id, CSimFaults::Operation::Query))
                hr = *injected;
        }
    }
    TraceExchange("query", set, id, {}, hr);
    return hr;
}

HRESULT CSimPropertyDriver::Set(Surface surface, const GUID& set, DWORD id, void* /*instance*/,
                                DWORD /*instanceLength*/, void* data, DWORD length) {
    // A copy first: the system may pass the same buffer as instance data.
    std::vector<std::uint8_t> record;
    if (data != nullptr) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        record.assign(bytes, bytes + length);
    }
    HRESULT hr = S_OK;
    const Property* property = nullptr;
    if (m_card.IsRemoved()) {
        hr = CSimCard::kDeviceRemoved;
    } else if (m_card.Faults().IsUnsupported(set, id)) {
        hr = E_PROP_ID_UNSUPPORTED;
    } else if (FAILED(hr = Find(surface, set, id, kSet, &property))) {
    } else if (data == nullptr) {
        hr = E_POINTER;
    } else if (length != property->size) {
        hr = E_INVALIDARG;
    } else {
        const auto injected = m_card.Faults().ResultFor(set, id, CSimFaults::Operation::Set);
        if (injected && FAILED(*injected)) {
            hr = *injected;
        } else {
            // The exchange is traced after what it caused, with its result.
            hr = ActOnSet(id, set, record);
            if (SUCCEEDED(hr) && injected) hr = *injected;
            TraceExchange("set", set, id, record, hr);
            return hr;
        }
    }
    TraceExchange("set", set, id, record, hr);
    return hr;
}

HRESULT CSimPropertyDriver::Get(Surface surface, const GUID& set, DWORD id, void* instance,
                                DWORD instanceLength, void* data, DWORD length, DWORD* returned) {
    HRESULT hr = S_OK;
    const Property* property = nullptr;
    std::vector<std::uint8_t> record;
    if (returned != nullptr) *returned = 0;
    if (m_card.IsRemoved()) {
        hr = CSimCard::kDeviceRemoved;
    } else if (m_card.Faults().IsUnsupported(set, id)) {
        hr = E_PROP_ID_UNSUPPORTED;
    } else if (FAILED(hr = Find(surface, set, id, kGet, &property))) {
    } else if (data == nullptr) {
        hr = E_POINTER;
    } else if (length != property->size ||
               (set == KSPROPSETID_LockSearch &&
                (instance == nullptr || instanceLength != kLockSearchQuestionSize))) {
        hr = E_INVALIDARG;
    } else {
        const auto injected = m_card.Faults().ResultFor(set, id, CSimFaults::Operation::Get);
        if (injected && FAILED(*injected)) {
            hr = *injected;
        } else {
            record.assign(property->size, 0);
            hr = FillGet(set, id, record);
            if (SUCCEEDED(hr)) {
                std::memcpy(data, record.data(), record.size());
                if (returned != nullptr) *returned = property->size;
                if (injected) hr = *injected;
            }
        }
    }
    TraceExchange("get", set, id, record, hr);
    return hr;
}

HRESULT CSimPropertyDriver::FillGet(const GUID& set, DWORD id, std::vector<std::uint8_t>& record) {
    if (set == KSPROPSETID_SignalMeasure) {
        WriteSignalMeasure(record, m_card.SignalMeasure());
        return S_OK;
    }
    if (set == KSPROPSETID_LockSearch) {
        WriteI32(record, 0,
                 static_cast<std::int32_t>(CSimCard::kLockSearchTicks / CSimClock::kTicksPerMs));
        return S_OK;
    }
    if (set == KSPROPSETID_MotorReach) {
        WriteI32(record, 0, m_card.LastDiseqcReachedMotor() ? 1 : 0);
        return S_OK;
    }
    if (id == KSPROPERTY_BDA_STREAMTYPE_PARAMS) {
        const bool generic = m_card.GenericOutput();
        record[0] = generic ? 0 : 1;
        record[1] = generic ? 1 : 0;
        return S_OK;
    }
    // KSPROPERTY_BDA_GET_MEDIAINFO or KSPROPERTY_CTRL_GET_MEDIAINFO: eighteen DWORDs.
    const auto fields = m_card.MediaInfo();
    for (std::size_t i = 0; i < fields.size(); ++i) WriteI32(record, 4 * i, fields[i]);
    return S_OK;
}

HRESULT CSimPropertyDriver::ActOnSet(DWORD id, const GUID& set,
                                     const std::vector<std::uint8_t>& record) {
    const bool bdaExt = set == KSPROPSETID_BdaExt;
    if (bdaExt && id == KSPROPERTY_BDA_STREAMTYPE_PARAMS) {
        if (record[0] == 1 && record[1] == 0) {
            m_card.SetGenericOutput(false);
        } else if (record[0] == 0 && record[1] == 1) {
            m_card.SetGenericOutput(true);
        } else {
            return E_INVALIDARG;
        }
        return S_OK;
    }
    if (bdaExt && id == KSPROPERTY_BDA_INPUTMULTISTREAMID) {
        const std::int32_t isi = ReadI32(record, 48);
        if (isi < -1 || isi > 255) return E_INVALIDARG;
        m_card.SetInputStreamId(isi);
        return S_OK;
    }
    if (bdaExt && id == KSPROPERTY_BDA_DISEQC) {
        const std::uint32_t command = ReadU32(record, 0);
        const std::uint32_t length = ReadU32(record, 144);
        if (command != 1 || length < 3 || length > 6) return E_INVALIDARG;
        m_card.SendDiseqc(std::span<const std::uint8_t>(record.data() + 16, length));
        return S_OK;
    }
    if ((bdaExt && id == KSPROPERTY_BDA_GOLDCODE) || (!bdaExt && id == KSPROPERTY_CTRL_GOLDCODE)) {
        const std::int32_t value = ReadI32(record, 0);
        const std::uint32_t type = ReadU32(record, 4);
        std::uint32_t gold = 0;
        if (type == 0) {
            const auto converted = value > 0
                                       ? pls_code::GoldFromRoot(static_cast<std::uint32_t>(value))
                                       : std::nullopt;
            if (!converted) return E_INVALIDARG;
            gold = *converted;
            m_card.Trace(fmt::format("scrambling root code {} = gold code {}", value, gold));
        } else if (type == 1) {
            if (value < 0 || static_cast<std::uint32_t>(value) > pls_code::kMaxGold)
                return E_INVALIDARG;
            gold = static_cast<std::uint32_t>(value);
            m_card.Trace(fmt::format("scrambling gold code {}", gold));
        } else {
            return E_INVALIDARG;
        }
        m_card.SetPlsGold(gold);
        return S_OK;
    }
    if ((bdaExt && id == KSPROPERTY_BDA_MODCODES) || (!bdaExt && id == KSPROPERTY_CTRL_MODCODES)) {
        const std::uint32_t count = ReadU32(record, 0);
        if (count > 112) return E_INVALIDARG;
        // A full record is the driver's "all codes" setting (the program's ALL choice sends one
        // with only its first entries named): the filter is off.
        if (count == 112) {
            m_card.Trace("MODCOD filter, full record: passes every MODCOD");
            m_card.SetModCodFilter({});
            return S_OK;
        }
        std::vector<SimModCodEntry> entries;
        std::set<int> passing;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t offset = 4 + 12 * static_cast<std::size_t>(i);
            const std::int32_t modCod = ReadI32(record, offset);
            const std::uint32_t selector1 = ReadU32(record, offset + 4);
            const std::uint32_t selector2 = ReadU32(record, offset + 8);
            if (modCod < 0 || modCod > 28 || selector1 > 1 || selector2 > 1) return E_INVALIDARG;
            entries.push_back({modCod, selector1 == 1, selector2 == 1});
            if (modCod != 0) passing.insert(modCod);
        }
        std::string list;
        for (const int modCod : passing) list += fmt::format(" {}", modCod);
        m_card.Trace(count == 0 ? std::string("MODCOD filter off")
                                : fmt::format("MODCOD filter, {} entries, passes MODCOD{}", count,
                                              list.empty() ? std::string(" none") : list));
        m_card.SetModCodFilter(std::move(entries));
        return S_OK;
    }
    if (!bdaExt && id == KSPROPERTY_CTRL_TUNER) {
        const char* polarity = record[16] == 0   ? "horizontal"
                               : record[16] == 1 ? "vertical"
                                                 : "polarity ?";
        m_card.Trace(fmt::format(
            "tuner control {} MHz, LNB {}/{} MHz, {} kSps, {}, port {}, {:02X} {:02X} {:02X}",
            ReadU32(record, 0), ReadU32(record, 4), ReadU32(record, 8), ReadU32(record, 12),
            polarity,
            record[20] == 0 || record[20] > 4
                ? fmt::format("index {}", record[20])
                : std::string(1, static_cast<char>('A' + record[20] - 1)),
            record[17], record[18], record[19]));
        if (diseqc::IsCommandFromMaster(record[21])) {
            const std::size_t length = DiseqcLengthOfCommand(record[23]);
            m_card.SendDiseqc(std::span<const std::uint8_t>(record.data() + 21, length));
        }
        return S_OK;
    }
    return E_PROP_ID_UNSUPPORTED;
}
