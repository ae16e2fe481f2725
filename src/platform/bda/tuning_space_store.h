#pragma once
// The persistent store behind the system tuning space container: "TuningSpaces.ini" in the
// user's configuration folder, shared by every run of the program.
//
// Layout: one section per tuning space, named by its unique name, with a key per stored
// property (texts quoted, so leading blanks and quotes survive; backslash, CR, LF and NUL
// escaped as \\ \r \n \0), and the index section [TuningSpaces] with Count and the keys
// 1..Count naming the sections in the order they were added. An entry whose section has no
// readable NetworkType is skipped, as is any index entry that does not name a storable,
// not yet listed section, so a damaged file costs at most the damaged entries.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bda/tuning_interfaces.h"

// A default locator's values; enumerations as their numbers.
struct LocatorRecord {
    LONG carrierFrequency = -1;
    LONG innerFEC = BDA_FEC_METHOD_NOT_SET;
    LONG innerFECRate = BDA_BCC_RATE_NOT_SET;
    LONG outerFEC = BDA_FEC_METHOD_NOT_SET;
    LONG outerFECRate = BDA_BCC_RATE_NOT_SET;
    LONG modulation = BDA_MOD_NOT_SET;
    LONG symbolRate = -1;
    LONG signalPolarisation = BDA_POLARISATION_NOT_SET;
    BOOL westPosition = FALSE;
    LONG orbitalPosition = -1;
    LONG azimuth = -1;
    LONG elevation = -1;

    friend bool operator==(const LocatorRecord&, const LocatorRecord&) = default;
};

// Everything the store keeps of one DVB-S tuning space.
struct TuningSpaceRecord {
    std::wstring uniqueName;
    std::wstring friendlyName;
    CLSID networkType = GUID_NULL;
    LONG systemType = DVB_Cable;
    LONG networkID = -1;
    LONG lowOscillator = -1;  // kHz
    LONG highOscillator = -1;
    LONG lnbSwitch = -1;
    std::wstring inputRange;
    LONG spectralInversion = BDA_SPECTRAL_INVERSION_NOT_SET;
    std::wstring frequencyMapping;
    std::optional<LocatorRecord> defaultLocator;

    friend bool operator==(const TuningSpaceRecord&, const TuningSpaceRecord&) = default;
};

class CTuningSpaceStore {
public:
    static constexpr const char* kIndexSection = "TuningSpaces";
    static constexpr const char* kCountKey = "Count";
    // More entries than this in the index are taken for damage, not for data.
    static constexpr LONG kMaxTuningSpaces = 1000;

    static constexpr const char* kFriendlyName = "FriendlyName";
    static constexpr const char* kNetworkType = "NetworkType";
    static constexpr const char* kSystemType = "SystemType";
    static constexpr const char* kNetworkID = "NetworkID";
    static constexpr const char* kLowOscillator = "LowOscillator";
    static constexpr const char* kHighOscillator = "HighOscillator";
    static constexpr const char* kLNBSwitch = "LNBSwitch";
    static constexpr const char* kInputRange = "InputRange";
    static constexpr const char* kSpectralInversion = "SpectralInversion";
    static constexpr const char* kFrequencyMapping = "FrequencyMapping";
    // 1 when the tuning space has a default locator, whose values are the Locator.* keys.
    static constexpr const char* kDefaultLocator = "DefaultLocator";

    // `path`: platform::TuningSpaceStoreFile() in the program.
    explicit CTuningSpaceStore(std::string path);

    const std::string& Path() const { return m_strPath; }

    // The stored tuning spaces in index order; a missing file gives none.
    std::vector<TuningSpaceRecord> LoadAll() const;

    // Stores a new tuning space at the end of the index. E_INVALIDARG when the unique name is
    // not storable or a stored tuning space already has it (names are compared without regard
    // to ASCII case, as the file's section names are); a write failure otherwise.
    HRESULT Add(const TuningSpaceRecord& record);

    // Write-through of one property of a stored tuning space.
    HRESULT WriteNumber(const std::wstring& uniqueName, const char* key, LONG value);
    HRESULT WriteText(const std::wstring& uniqueName, const char* key, const std::wstring& text);
    HRESULT WriteNetworkType(const std::wstring& uniqueName, REFCLSID networkType);
    HRESULT WriteDefaultLocator(const std::wstring& uniqueName,
                                const std::optional<LocatorRecord>& locator);

    // A unique name the file can hold as a section name: not empty, no blank at either end, no
    // ']', line break, NUL or other control character, valid Unicode, and not the index's name.
    static bool IsStorableName(std::wstring_view name);

private:
    HRESULT WriteRecord(const TuningSpaceRecord& record);
    std::vector<std::string> IndexNames(LONG* rawCount) const;
    // The section's network type; nullopt when it is missing or unreadable, which makes the
    // whole entry unreadable.
    std::optional<CLSID> NetworkTypeOf(const std::string& section) const;
    std::optional<TuningSpaceRecord> LoadRecord(const std::string& section) const;

    std::string m_strPath;
};
