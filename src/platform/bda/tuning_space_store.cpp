#include "platform/bda/tuning_space_store.h"

#include <errno.h>

#include <charconv>
#include <limits>
#include <mutex>
#include <utility>

#include "platform/win/private_profile.h"
#include "platform/win/text_encoding.h"

namespace {

// An Add reads the index, then writes it: two stores of this process must not interleave.
std::mutex g_storeLock;

constexpr const char* kLocatorKeys[] = {"Locator.CarrierFrequency", "Locator.InnerFEC",
                                        "Locator.InnerFECRate",     "Locator.OuterFEC",
                                        "Locator.OuterFECRate",     "Locator.Modulation",
                                        "Locator.SymbolRate",       "Locator.SignalPolarisation",
                                        "Locator.WestPosition",     "Locator.OrbitalPosition",
                                        "Locator.Azimuth",          "Locator.Elevation"};

// The locator's fields in the order of kLocatorKeys, with the range a stored number must lie
// in: values outside their enumeration's range are damage and fall back to "not set".
struct LocatorField {
    LONG LocatorRecord::*pField;
    LONG nMin;
    LONG nMax;
};
constexpr LONG kAnyMin = std::numeric_limits<LONG>::min();
constexpr LONG kAnyMax = std::numeric_limits<LONG>::max();
constexpr LocatorField kLocatorFields[] = {
    {&LocatorRecord::carrierFrequency, kAnyMin, kAnyMax},
    {&LocatorRecord::innerFEC, BDA_FEC_METHOD_NOT_SET, BDA_FEC_RS_204_188},
    {&LocatorRecord::innerFECRate, BDA_BCC_RATE_NOT_SET, BDA_BCC_RATE_9_10},
    {&LocatorRecord::outerFEC, BDA_FEC_METHOD_NOT_SET, BDA_FEC_RS_204_188},
    {&LocatorRecord::outerFECRate, BDA_BCC_RATE_NOT_SET, BDA_BCC_RATE_9_10},
    {&LocatorRecord::modulation, BDA_MOD_NOT_SET, BDA_MOD_32APSK},
    {&LocatorRecord::symbolRate, kAnyMin, kAnyMax},
    {&LocatorRecord::signalPolarisation, BDA_POLARISATION_NOT_SET, BDA_POLARISATION_CIRCULAR_R},
    {&LocatorRecord::westPosition, FALSE, TRUE},
    {&LocatorRecord::orbitalPosition, kAnyMin, kAnyMax},
    {&LocatorRecord::azimuth, kAnyMin, kAnyMax},
    {&LocatorRecord::elevation, kAnyMin, kAnyMax}};
static_assert(std::size(kLocatorKeys) == std::size(kLocatorFields));

HRESULT HresultFromErrno(DWORD error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return E_ACCESSDENIED;
        case ENOMEM:
            return E_OUTOFMEMORY;
        case EINVAL:
            return E_INVALIDARG;
        default:
            return E_FAIL;
    }
}

// The text form of a stored text: quoted, so blanks at either end and quotes survive the
// reader, with the bytes that would break a line escaped.
std::string Quote(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

// The reader has already taken off the enclosing quotes. A lone or unknown escape is kept as
// it stands: a hand-edited file still reads as what it says.
std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        switch (text[i + 1]) {
            case '\\':
                out.push_back('\\');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case '0':
                out.push_back('\0');
                break;
            default:
                out.push_back('\\');
                continue;
        }
        ++i;
    }
    return out;
}

// The value of a key as the file holds it (enclosing quotes removed); nullopt when the key,
// its section or the file is missing or cannot be read.
std::optional<std::string> ReadRaw(const std::string& path, const std::string& section,
                                   const char* key) {
    // Values are short; a longer one is read again with room enough, up to a sane limit.
    for (DWORD size = 256; size <= (1u << 20); size *= 4) {
        std::string buffer(size, '\0');
        const DWORD length =
            GetPrivateProfileStringA(section.c_str(), key, "", buffer.data(), size, path.c_str());
        if (GetLastError() != 0) return std::nullopt;
        if (length + 1 < size) {
            buffer.resize(length);
            return buffer;
        }
    }
    return std::nullopt;
}

std::optional<std::wstring> ReadText(const std::string& path, const std::string& section,
                                     const char* key) {
    const auto raw = ReadRaw(path, section, key);
    if (!raw) return std::nullopt;
    return platform::Utf8ToWide(Unescape(*raw));
}

std::optional<LONG> ParseNumber(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    LONG value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// A stored number, or `fallback` when it is missing, not a number or out of range.
LONG ReadNumber(const std::string& path, const std::string& section, const char* key, LONG fallback,
                LONG min = kAnyMin, LONG max = kAnyMax) {
    const auto raw = ReadRaw(path, section, key);
    if (!raw) return fallback;
    const auto value = ParseNumber(*raw);
    return value && *value >= min && *value <= max ? *value : fallback;
}

HRESULT WriteRaw(const std::string& path, const std::string& section, const char* key,
                 const std::string& value) {
    if (WritePrivateProfileStringA(section.c_str(), key, value.c_str(), path.c_str())) return S_OK;
    return HresultFromErrno(GetLastError());
}

HRESULT WriteLocatorValues(const std::string& path, const std::string& section,
                           const std::optional<LocatorRecord>& locator) {
    if (!locator) return WriteRaw(path, section, CTuningSpaceStore::kDefaultLocator, "0");
    for (std::size_t i = 0; i < std::size(kLocatorKeys); ++i) {
        const LONG value = (*locator).*(kLocatorFields[i].pField);
        const HRESULT hr = WriteRaw(path, section, kLocatorKeys[i], std::to_string(value));
        if (FAILED(hr)) return hr;
    }
    // Last: a locator counts only once all its values are there.
    return WriteRaw(path, section, CTuningSpaceStore::kDefaultLocator, "1");
}

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool SameSectionName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\v' || c == L'\f';
}

}  // namespace

CTuningSpaceStore::CTuningSpaceStore(std::string path) : m_strPath(std::move(path)) {}

bool CTuningSpaceStore::IsStorableName(std::wstring_view name) {
    if (name.empty() || IsBlank(name.front()) || IsBlank(name.back())) return false;
    for (const wchar_t c : name) {
        if (c == L']' || (c >= 0 && c < 0x20) || c == 0x7F) return false;
    }
    const std::string narrow = platform::WideToUtf8(name);
    if (platform::Utf8ToWide(narrow) != name) return false;
    return !SameSectionName(narrow, kIndexSection);
}

std::vector<std::string> CTuningSpaceStore::IndexNames(LONG* rawCount) const {
    const LONG count = ReadNumber(m_strPath, kIndexSection, kCountKey, 0, 0, kMaxTuningSpaces);
    if (rawCount != nullptr) *rawCount = count;
    std::vector<std::string> names;
    for (LONG i = 1; i <= count; ++i) {
        const auto name = ReadText(m_strPath, kIndexSection, std::to_string(i).c_str());
        if (!name || !IsStorableName(*name)) continue;
        std::string narrow = platform::WideToUtf8(*name);
        bool listed = false;
        for (const std::string& earlier : names)
            listed = listed || SameSectionName(earlier, narrow);
        if (!listed) names.push_back(std::move(narrow));
    }
    return names;
}

std::optional<CLSID> CTuningSpaceStore::NetworkTypeOf(const std::string& section) const {
    const auto text = ReadText(m_strPath, section, kNetworkType);
    CLSID clsid;
    if (!text || FAILED(CLSIDFromString(*text, &clsid))) return std::nullopt;
    return clsid;
}

std::optional<TuningSpaceRecord> CTuningSpaceStore::LoadRecord(const std::string& section) const {
    const auto networkType = NetworkTypeOf(section);
    if (!networkType) return std::nullopt;
    TuningSpaceRecord record;
    record.networkType = *networkType;
    record.uniqueName = platform::Utf8ToWide(section);
    record.friendlyName = ReadText(m_strPath, section, kFriendlyName).value_or(L"");
    record.systemType =
        ReadNumber(m_strPath, section, kSystemType, DVB_Cable, DVB_Cable, DVB_Satellite);
    record.networkID = ReadNumber(m_strPath, section, kNetworkID, -1);
    record.lowOscillator = ReadNumber(m_strPath, section, kLowOscillator, -1);
    record.highOscillator = ReadNumber(m_strPath, section, kHighOscillator, -1);
    record.lnbSwitch = ReadNumber(m_strPath, section, kLNBSwitch, -1);
    record.inputRange = ReadText(m_strPath, section, kInputRange).value_or(L"");
    record.spectralInversion =
        ReadNumber(m_strPath, section, kSpectralInversion, BDA_SPECTRAL_INVERSION_NOT_SET,
                   BDA_SPECTRAL_INVERSION_NOT_SET, BDA_SPECTRAL_INVERSION_INVERTED);
    record.frequencyMapping = ReadText(m_strPath, section, kFrequencyMapping).value_or(L"");
    if (ReadNumber(m_strPath, section, kDefaultLocator, 0) == 1) {
        LocatorRecord locator;
        for (std::size_t i = 0; i < std::size(kLocatorKeys); ++i) {
            const LocatorField& field = kLocatorFields[i];
            LONG& value = locator.*(field.pField);
            value = ReadNumber(m_strPath, section, kLocatorKeys[i], value, field.nMin, field.nMax);
        }
        record.defaultLocator = locator;
    }
    return record;
}

std::vector<TuningSpaceRecord> CTuningSpaceStore::LoadAll() const {
    const std::lock_guard<std::mutex> lock(g_storeLock);
    std::vector<TuningSpaceRecord> records;
    for (const std::string& name : IndexNames(nullptr)) {
        if (auto record = LoadRecord(name)) records.push_back(std::move(*record));
    }
    return records;
}

HRESULT CTuningSpaceStore::WriteRecord(const TuningSpaceRecord& record) {
    const std::string section = platform::WideToUtf8(record.uniqueName);
    const std::pair<const char*, std::string> values[] = {
        {kFriendlyName, Quote(platform::WideToUtf8(record.friendlyName))},
        {kSystemType, std::to_string(record.systemType)},
        {kNetworkID, std::to_string(record.networkID)},
        {kLowOscillator, std::to_string(record.lowOscillator)},
        {kHighOscillator, std::to_string(record.highOscillator)},
        {kLNBSwitch, std::to_string(record.lnbSwitch)},
        {kInputRange, Quote(platform::WideToUtf8(record.inputRange))},
        {kSpectralInversion, std::to_string(record.spectralInversion)},
        {kFrequencyMapping, Quote(platform::WideToUtf8(record.frequencyMapping))},
        // The key that makes the section readable comes after the values it vouches for.
        {kNetworkType, Quote(com::FormatGuid(record.networkType))}};
    for (const auto& [key, value] : values) {
        const HRESULT hr = WriteRaw(m_strPath, section, key, value);
        if (FAILED(hr)) return hr;
    }
    return WriteLocatorValues(m_strPath, section, record.defaultLocator);
}

HRESULT CTuningSpaceStore::Add(const TuningSpaceRecord& record) {
    if (!IsStorableName(record.uniqueName)) return E_INVALIDARG;
    const std::string name = platform::WideToUtf8(record.uniqueName);
    const std::lock_guard<std::mutex> lock(g_storeLock);
    LONG count = 0;
    // Only a readable entry is a duplicate: one whose section was lost to damage is stored
    // anew, and its old index entry then names the new section again.
    for (const std::string& stored : IndexNames(&count)) {
        if (SameSectionName(stored, name) && NetworkTypeOf(stored)) return E_INVALIDARG;
    }
    if (count >= kMaxTuningSpaces) return E_OUTOFMEMORY;
    // A new index goes before the first section, where a cut at the file's end spares it.
    if (!ReadRaw(m_strPath, kIndexSection, kCountKey)) {
        const HRESULT hr = WriteRaw(m_strPath, kIndexSection, kCountKey, std::to_string(count));
        if (FAILED(hr)) return hr;
    }
    // Section, then index entry, then count: until the count is written the new entry is not
    // listed, so an interrupted Add leaves the store as it was (a leftover section of the
    // same name is simply overwritten by the next Add).
    HRESULT hr = WriteRecord(record);
    const std::string position = std::to_string(count + 1);
    if (SUCCEEDED(hr)) hr = WriteRaw(m_strPath, kIndexSection, position.c_str(), Quote(name));
    if (SUCCEEDED(hr)) hr = WriteRaw(m_strPath, kIndexSection, kCountKey, position);
    return hr;
}

HRESULT CTuningSpaceStore::WriteNumber(const std::wstring& uniqueName, const char* key,
                                       LONG value) {
    return WriteRaw(m_strPath, platform::WideToUtf8(uniqueName), key, std::to_string(value));
}

HRESULT CTuningSpaceStore::WriteText(const std::wstring& uniqueName, const char* key,
                                     const std::wstring& text) {
    return WriteRaw(m_strPath, platform::WideToUtf8(uniqueName), key,
                    Quote(platform::WideToUtf8(text)));
}

HRESULT CTuningSpaceStore::WriteNetworkType(const std::wstring& uniqueName, REFCLSID networkType) {
    return WriteRaw(m_strPath, platform::WideToUtf8(uniqueName), kNetworkType,
                    Quote(com::FormatGuid(networkType)));
}

HRESULT CTuningSpaceStore::WriteDefaultLocator(const std::wstring& uniqueName,
                                               const std::optional<LocatorRecord>& locator) {
    return WriteLocatorValues(m_strPath, platform::WideToUtf8(uniqueName), locator);
}
