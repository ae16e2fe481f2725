#include "support/fake_ks_property_set.h"

#include <algorithm>
#include <cstring>

HRESULT CFakeKsPropertySet::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == IKsPropertySet::kIid) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

namespace {
std::vector<std::uint8_t> Bytes(const void* p, DWORD n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    return p == nullptr ? std::vector<std::uint8_t>{} : std::vector<std::uint8_t>(b, b + n);
}
}  // namespace

HRESULT CFakeKsPropertySet::Set(REFGUID set, DWORD id, void* instance, DWORD instanceLength,
                                void* data, DWORD dataLength) {
    Call call{Kind::Set, set, id, Bytes(instance, instanceLength), Bytes(data, dataLength)};
    std::function<void(const Call&)> observer;
    HRESULT result = S_OK;
    {
        std::lock_guard guard(m_lock);
        m_calls.push_back(call);
        observer = m_onSet;
        if (const auto it = m_setResults.find({set, id}); it != m_setResults.end())
            result = it->second;
    }
    if (observer) observer(call);
    return result;
}

HRESULT CFakeKsPropertySet::Get(REFGUID set, DWORD id, void* instance, DWORD instanceLength,
                                void* data, DWORD dataLength, DWORD* returned) {
    std::lock_guard guard(m_lock);
    m_calls.push_back(
        Call{Kind::Get, set, id, Bytes(instance, instanceLength), Bytes(data, dataLength)});
    if (const auto it = m_getResults.find({set, id});
        it != m_getResults.end() && FAILED(it->second)) {
        return it->second;
    }
    if (const auto it = m_replies.find({set, id}); it != m_replies.end() && data != nullptr) {
        const std::size_t n = std::min<std::size_t>(dataLength, it->second.size());
        std::memcpy(data, it->second.data(), n);
        if (returned != nullptr) *returned = static_cast<DWORD>(n);
    }
    const auto it = m_getResults.find({set, id});
    return it == m_getResults.end() ? S_OK : it->second;
}

HRESULT CFakeKsPropertySet::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    std::lock_guard guard(m_lock);
    m_calls.push_back(Call{Kind::QuerySupported, set, id, {}, {}});
    const bool supported = m_supported.count({set, id}) > 0;
    if (support != nullptr)
        *support = supported ? (KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET) : 0;
    return supported ? S_OK : E_PROP_ID_UNSUPPORTED;
}

void CFakeKsPropertySet::Support(REFGUID set, DWORD id) {
    std::lock_guard guard(m_lock);
    m_supported.insert({set, id});
}

void CFakeKsPropertySet::Unsupport(REFGUID set, DWORD id) {
    std::lock_guard guard(m_lock);
    m_supported.erase({set, id});
}

void CFakeKsPropertySet::SetResult(REFGUID set, DWORD id, HRESULT result) {
    std::lock_guard guard(m_lock);
    m_setResults[{set, id}] = result;
}

void CFakeKsPropertySet::GetResult(REFGUID set, DWORD id, HRESULT result) {
    std::lock_guard guard(m_lock);
    m_getResults[{set, id}] = result;
}

void CFakeKsPropertySet::Reply(REFGUID set, DWORD id, std::vector<std::uint8_t> bytes) {
    std::lock_guard guard(m_lock);
    m_replies[{set, id}] = std::move(bytes);
}

void CFakeKsPropertySet::OnSet(std::function<void(const Call&)> observer) {
    std::lock_guard guard(m_lock);
    m_onSet = std::move(observer);
}

std::vector<CFakeKsPropertySet::Call> CFakeKsPropertySet::Calls() const {
    std::lock_guard guard(m_lock);
    return m_calls;
}

std::vector<CFakeKsPropertySet::Call> CFakeKsPropertySet::Sets() const {
    std::lock_guard guard(m_lock);
    std::vector<Call> sets;
    std::copy_if(m_calls.begin(), m_calls.end(), std::back_inserter(sets),
                 [](const Call& c) { return c.kind == Kind::Set; });
    return sets;
}

void CFakeKsPropertySet::ClearCalls() {
    std::lock_guard guard(m_lock);
    m_calls.clear();
}
