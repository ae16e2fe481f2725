#pragma once
// A process-wide value that may be replaced while other threads use it: readers take a shared
// copy under a short lock and use it outside the lock, so a replacement never pulls the value
// from under a thread inside a call of it.
#include <memory>
#include <mutex>
#include <utility>

template <typename T>
class CReplaceable {
public:
    // The value set last, or `fallback` while none is.
    std::shared_ptr<T> Get(const std::shared_ptr<T>& fallback) const {
        const std::lock_guard<std::mutex> lock(m_lock);
        return m_pValue ? m_pValue : fallback;
    }
    // Null gives the fallback back. The previous value is released after the lock.
    void Set(std::shared_ptr<T> value) {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_pValue.swap(value);
    }

private:
    mutable std::mutex m_lock;
    std::shared_ptr<T> m_pValue;
};
