#pragma once
// The driver control handle: one counted IKsPropertySet reference that the user-interface
// thread sets and clears (clearing only under the driver mutex) and that the monitor thread may
// test for null at any time without the mutex.
#include <atomic>

#include "platform/ks/ks_property_set.h"

class CKsControlHandle {
public:
    CKsControlHandle() = default;
    CKsControlHandle(const CKsControlHandle&) = delete;
    CKsControlHandle& operator=(const CKsControlHandle&) = delete;
    ~CKsControlHandle() { Reset(); }

    IKsPropertySet* Get() const { return m_p.load(std::memory_order_acquire); }
    IKsPropertySet* operator->() const { return Get(); }
    explicit operator bool() const { return Get() != nullptr; }
    bool operator==(std::nullptr_t) const { return Get() == nullptr; }

    // Takes over a reference the caller owns; the previous one is released.
    void Attach(IKsPropertySet* p) {
        if (IKsPropertySet* old = m_p.exchange(p, std::memory_order_acq_rel)) old->Release();
    }
    void Reset() { Attach(nullptr); }

private:
    std::atomic<IKsPropertySet*> m_p{nullptr};
};
