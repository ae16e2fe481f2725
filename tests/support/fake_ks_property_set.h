#pragma once
// A tuner driver's property set for tests: it answers the properties it is told it supports,
// records every call with its bytes, fills gets from prepared replies, and returns the results
// the test scripts. Thread-safe.
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "platform/com/unknown_base.h"
#include "platform/ks/ks_property_set.h"

class CFakeKsPropertySet : public CUnknown, public IKsPropertySet {
public:
    enum class Kind { QuerySupported, Set, Get };
    struct Call {
        Kind kind;
        GUID set;
        DWORD id;
        std::vector<std::uint8_t> instance;
        std::vector<std::uint8_t> data;
    };

    CFakeKsPropertySet() = default;
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT Set(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data,
                DWORD dataLength) override;
    HRESULT Get(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data,
                DWORD dataLength, DWORD* returned) override;
    HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    void Support(REFGUID set, DWORD id);
    void Unsupport(REFGUID set, DWORD id);
    // The result of every later Set (or Get) of this property.
    void SetResult(REFGUID set, DWORD id, HRESULT result);
    void GetResult(REFGUID set, DWORD id, HRESULT result);
    // The bytes a Get of this property copies into the caller's data.
    void Reply(REFGUID set, DWORD id, std::vector<std::uint8_t> bytes);
    // Called on every Set after it is recorded (e.g. to block or to observe the driver mutex).
    void OnSet(std::function<void(const Call&)> observer);

    std::vector<Call> Calls() const;
    std::vector<Call> Sets() const;  // only the Set calls
    void ClearCalls();

private:
    using Key = std::pair<GUID, DWORD>;
    mutable std::mutex m_lock;
    std::set<Key> m_supported;
    std::map<Key, HRESULT> m_setResults;
    std::map<Key, HRESULT> m_getResults;
    std::map<Key, std::vector<std::uint8_t>> m_replies;
    std::vector<Call> m_calls;
    std::function<void(const Call&)> m_onSet;
};
