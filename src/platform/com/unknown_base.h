#pragma once
// The reference-counted base of every object of the stand-ins (DirectShow's CUnknown).
// A derived class answers its interfaces in NonDelegatingQueryInterface and routes the
// IUnknown methods of all its interfaces through DECLARE_IUNKNOWN to the owner, which is
// the aggregating outer object when there is one.
#include <atomic>

#include "platform/com/unknown.h"

class INonDelegatingUnknown {
public:
    virtual HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) = 0;
    virtual ULONG NonDelegatingAddRef() = 0;
    virtual ULONG NonDelegatingRelease() = 0;

protected:
    ~INonDelegatingUnknown() = default;
};

class CUnknown : public INonDelegatingUnknown {
public:
    explicit CUnknown(IUnknown* pOuter = nullptr);
    CUnknown(const CUnknown&) = delete;
    CUnknown& operator=(const CUnknown&) = delete;
    virtual ~CUnknown() = default;

    // Answers IUnknown only; E_NOINTERFACE for every other identifier.
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;
    ULONG NonDelegatingAddRef() override;
    // Destroys the object when the last reference goes.
    ULONG NonDelegatingRelease() override;

    IUnknown* GetOwner() { return m_pOuter != nullptr ? m_pOuter : &m_inner; }

private:
    // The object's own IUnknown, which forwards to the non-delegating methods.
    class CInnerUnknown final : public IUnknown {
    public:
        explicit CInnerUnknown(CUnknown& object) : m_object(object) {}
        HRESULT QueryInterface(REFIID iid, void** ppv) override {
            return m_object.NonDelegatingQueryInterface(iid, ppv);
        }
        ULONG AddRef() override { return m_object.NonDelegatingAddRef(); }
        ULONG Release() override { return m_object.NonDelegatingRelease(); }

    private:
        CUnknown& m_object;
    };

    IUnknown* const m_pOuter;
    CInnerUnknown m_inner{*this};
    std::atomic<ULONG> m_cRef{0};
};

// Hands out a newly made object as `iid`: it then lives as long as the interface given out, and
// goes at once when it does not offer `iid`.
template <typename T>
HRESULT AnswerNewObject(T* object, REFIID iid, void** ppv) {
    object->NonDelegatingAddRef();
    const HRESULT hr = object->NonDelegatingQueryInterface(iid, ppv);
    object->NonDelegatingRelease();
    return hr;
}

#define DECLARE_IUNKNOWN                                      \
    HRESULT QueryInterface(REFIID iid, void** ppv) override { \
        return GetOwner()->QueryInterface(iid, ppv);          \
    }                                                         \
    ULONG AddRef() override {                                 \
        return GetOwner()->AddRef();                          \
    }                                                         \
    ULONG Release() override {                                \
        return GetOwner()->Release();                         \
    }
