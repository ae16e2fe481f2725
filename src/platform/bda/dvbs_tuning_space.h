#pragma once
// The DVB-S tuning space (CLSID_DVBSTuningSpace). A new one lives in memory only; once it is
// added to the system container, or when the container hands it out, it is bound to the
// persistent store and every put that changes a stored property is written through at once,
// so the next run finds the tuning space with the settings it last had.
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/bda/tuning_interfaces.h"
#include "platform/bda/tuning_space_store.h"
#include "platform/com/com_ptr.h"
#include "platform/com/unknown_base.h"

class CDVBSTuningSpace : public CUnknown, public IDVBSTuningSpace {
public:
    CDVBSTuningSpace() = default;
    // A stored tuning space, bound to `store`.
    static ComPtr<CDVBSTuningSpace> FromRecord(const TuningSpaceRecord& record,
                                               std::shared_ptr<CTuningSpaceStore> store);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    // Adds the tuning space to `store` and binds it there. E_INVALIDARG when it is already
    // bound, else the store's result.
    HRESULT AddToStore(std::shared_ptr<CTuningSpaceStore> store);

    HRESULT get_UniqueName(std::wstring* name) override;
    // A bound tuning space keeps its name: its entry in the store is found by it. Putting a
    // different name then fails with E_ACCESSDENIED.
    HRESULT put_UniqueName(const std::wstring& name) override;
    HRESULT get_FriendlyName(std::wstring* name) override;
    HRESULT put_FriendlyName(const std::wstring& name) override;
    // "{XXXXXXXX-...}" in upper case.
    HRESULT get_NetworkType(std::wstring* clsidText) override;
    // E_INVALIDARG for text that is not a class identifier.
    HRESULT put_NetworkType(const std::wstring& clsidText) override;
    HRESULT get__NetworkType(CLSID* clsid) override;
    HRESULT put__NetworkType(REFCLSID clsid) override;
    HRESULT get_FrequencyMapping(std::wstring* mapping) override;
    HRESULT put_FrequencyMapping(const std::wstring& mapping) override;
    // S_OK with null when there is none.
    HRESULT get_DefaultLocator(ILocator** locator) override;
    // Keeps a reference (null removes the locator); a bound tuning space stores the locator's
    // values as they are at this call.
    HRESULT put_DefaultLocator(ILocator* locator) override;
    // A DVB tune request on this tuning space, with a clone of the default locator if any.
    HRESULT CreateTuneRequest(ITuneRequest** request) override;

    HRESULT get_SystemType(DVBSystemType* type) override;
    HRESULT put_SystemType(DVBSystemType type) override;
    HRESULT get_NetworkID(LONG* id) override;
    HRESULT put_NetworkID(LONG id) override;

    HRESULT get_LowOscillator(LONG* frequency) override;
    HRESULT put_LowOscillator(LONG frequency) override;
    HRESULT get_HighOscillator(LONG* frequency) override;
    HRESULT put_HighOscillator(LONG frequency) override;
    HRESULT get_LNBSwitch(LONG* frequency) override;
    HRESULT put_LNBSwitch(LONG frequency) override;
    HRESULT get_InputRange(std::wstring* range) override;
    HRESULT put_InputRange(const std::wstring& range) override;
    HRESULT get_SpectralInversion(SpectralInversion* inversion) override;
    HRESULT put_SpectralInversion(SpectralInversion inversion) override;

private:
    template <typename T>
    HRESULT Get(const T& member, T* out) const;
    // Sets a number or an enumeration; a bound tuning space writes it to `key` first, and a
    // failed write leaves the property as it was.
    template <typename T>
    HRESULT PutNumber(T& member, T value, const char* key);
    HRESULT PutText(std::wstring& member, const std::wstring& value, const char* key);

    mutable std::mutex m_lock;
    std::shared_ptr<CTuningSpaceStore> m_pStore;  // null until bound
    std::wstring m_strUniqueName;
    std::wstring m_strFriendlyName;
    CLSID m_guidNetworkType = GUID_NULL;
    std::wstring m_strFrequencyMapping;
    ComPtr<ILocator> m_pDefaultLocator;
    DVBSystemType m_nSystemType = DVB_Cable;
    LONG m_nNetworkID = -1;
    LONG m_nLowOscillator = -1;
    LONG m_nHighOscillator = -1;
    LONG m_nLNBSwitch = -1;
    std::wstring m_strInputRange;
    SpectralInversion m_nSpectralInversion = BDA_SPECTRAL_INVERSION_NOT_SET;
};
