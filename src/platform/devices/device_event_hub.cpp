#include "platform/devices/device_event_hub.h"

#include <utility>

CDeviceEventHub::CSubscription::CSubscription(CSubscription&& other) noexcept
    : m_nId(std::exchange(other.m_nId, 0)) {}

CDeviceEventHub::CSubscription& CDeviceEventHub::CSubscription::operator=(
    CSubscription&& other) noexcept {
    if (this != &other) {
        if (m_nId != 0) CDeviceEventHub::Instance().Unsubscribe(m_nId);
        m_nId = std::exchange(other.m_nId, 0);
    }
    return *this;
}

CDeviceEventHub::CSubscription::~CSubscription() {
    if (m_nId != 0) CDeviceEventHub::Instance().Unsubscribe(m_nId);
}

CDeviceEventHub& CDeviceEventHub::Instance() {
    static CDeviceEventHub hub;
    return hub;
}

CDeviceEventHub::CSubscription CDeviceEventHub::Subscribe(Listener listener) {
    std::lock_guard guard(m_lock);
    const std::uint64_t id = m_nNextId++;
    m_listeners.emplace(id, std::move(listener));
    return CSubscription(id);
}

void CDeviceEventHub::Broadcast(DWORD event) {
    // Shared: broadcasts from several threads run side by side; Unsubscribe waits for them.
    std::shared_lock guard(m_lock);
    for (const auto& [id, listener] : m_listeners) listener(event);
}

void CDeviceEventHub::Unsubscribe(std::uint64_t id) {
    std::lock_guard guard(m_lock);
    m_listeners.erase(id);
}
