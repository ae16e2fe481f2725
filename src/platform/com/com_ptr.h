#pragma once
// A counted interface reference: one AddRef when it takes a reference, one Release when it drops
// it.
#include <cstddef>
#include <utility>

#include "platform/com/unknown.h"

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    template <typename U>
    ComPtr(const ComPtr<U>& other) : ComPtr(static_cast<T*>(other.Get())) {}
    ~ComPtr() { Reset(); }

    // Copy and swap: the copy is taken before anything is released, so a self-assignment is safe.
    ComPtr& operator=(const ComPtr& other) {  // NOLINT(bugprone-unhandled-self-assignment)
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(T* p) {
        ComPtr(p).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For out parameters: the previous reference is released first.
    T** ReleaseAndGetAddressOf() {
        Reset();
        return &m_p;
    }
    void** ReleaseAndGetVoidAddress() { return reinterpret_cast<void**>(ReleaseAndGetAddressOf()); }

    // Takes over a reference that the caller already owns.
    void Attach(T* p) {
        Reset();
        m_p = p;
    }
    // Gives up the reference without releasing it.
    T* Detach() { return std::exchange(m_p, nullptr); }

    void Reset() {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }
    void Swap(ComPtr& other) noexcept { std::swap(m_p, other.m_p); }

    template <typename U>
    HRESULT As(ComPtr<U>* out) const {
        if (out == nullptr) return E_POINTER;
        if (m_p == nullptr) {
            out->Reset();
            return E_POINTER;
        }
        return m_p->QueryInterface(IidOf<U>(), out->ReleaseAndGetVoidAddress());
    }
    template <typename U>
    ComPtr<U> As() const {
        ComPtr<U> out;
        As(&out);
        return out;
    }

    // Hands out a new reference, as an out parameter of a COM method does.
    HRESULT CopyTo(T** out) const {
        if (out == nullptr) return E_POINTER;
        *out = m_p;
        if (m_p) m_p->AddRef();
        return S_OK;
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.m_p == b.m_p; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.m_p == nullptr; }

private:
    T* m_p = nullptr;
};

// Creates a reference-counted object and takes the first reference.
template <typename T, typename... Args>
ComPtr<T> MakeComObject(Args&&... args) {
    ComPtr<T> p(new T(std::forward<Args>(args)...));
    return p;
}
