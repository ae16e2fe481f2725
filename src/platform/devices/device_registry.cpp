#include "platform/devices/device_registry.h"

#include <algorithm>
#include <utility>

CDeviceRegistry& CDeviceRegistry::Instance() {
    static CDeviceRegistry registry;
    return registry;
}

CDeviceRegistry::Token CDeviceRegistry::Publish(int providerRank, DeviceDescriptor device) {
    std::lock_guard guard(m_lock);
    const Token token = m_nextToken++;
    m_entries.push_back(Entry{providerRank, token, std::move(device)});
    std::stable_sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
        return a.rank != b.rank ? a.rank < b.rank : a.token < b.token;
    });
    return token;
}

void CDeviceRegistry::Withdraw(Token token) {
    std::lock_guard guard(m_lock);
    std::erase_if(m_entries, [token](const Entry& e) { return e.token == token; });
}

std::vector<DeviceDescriptor> CDeviceRegistry::Devices(REFGUID category) const {
    std::lock_guard guard(m_lock);
    std::vector<DeviceDescriptor> devices;
    for (const Entry& e : m_entries) {
        if (e.device.category == category) devices.push_back(e.device);
    }
    return devices;
}

CDevicePublication::CDevicePublication(CDevicePublication&& other) noexcept
    : m_tokens(std::exchange(other.m_tokens, {})) {}

CDevicePublication& CDevicePublication::operator=(CDevicePublication&& other) noexcept {
    if (this != &other) {
        WithdrawAll();
        m_tokens = std::exchange(other.m_tokens, {});
    }
    return *this;
}

CDevicePublication::~CDevicePublication() {
    WithdrawAll();
}

void CDevicePublication::Publish(int providerRank, DeviceDescriptor device) {
    m_tokens.push_back(CDeviceRegistry::Instance().Publish(providerRank, std::move(device)));
}

void CDevicePublication::WithdrawAll() {
    for (const auto token : m_tokens) CDeviceRegistry::Instance().Withdraw(token);
    m_tokens.clear();
}
