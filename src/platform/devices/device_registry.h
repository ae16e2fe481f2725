#pragma once
// The registry into which card drivers publish their devices. The system device enumerator
// lists a category's devices from it in a stable order: by provider rank, then by the order of
// publication.
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/unknown.h"

struct DeviceDescriptor {
    GUID category = GUID_NULL;
    // The "FriendlyName" of the device's property bag; nullopt when it cannot be read.
    std::optional<std::wstring> friendlyName;
    // False when the device's property bag cannot be bound at all.
    bool propertyBagAvailable = true;
    // Creates the device's filter and answers it as `iid`; the filter's failure code otherwise.
    std::function<HRESULT(REFIID iid, void** ppv)> bindFilter;
    // What kind of device it is, as a listing names it ("simulated", "Linux DVB").
    std::string kind;
    // The other programs that hold the device open now ("name (process 123)", several joined by
    // ", "); empty when it is free. Null for a device that no other program can hold.
    std::function<std::string()> holders;
};

// Provider ranks: real hardware is listed before the simulated cards.
inline constexpr int kRealHardwareRank = 0;
inline constexpr int kSimulatedRank = 1;

class CDeviceRegistry {
public:
    using Token = std::uint64_t;

    static CDeviceRegistry& Instance();

    Token Publish(int providerRank, DeviceDescriptor device);
    // Removes a published device; unknown tokens are ignored.
    void Withdraw(Token token);
    // The devices of one category in enumeration order.
    std::vector<DeviceDescriptor> Devices(REFGUID category) const;

private:
    struct Entry {
        int rank;
        Token token;
        DeviceDescriptor device;
    };
    mutable std::mutex m_lock;
    std::vector<Entry> m_entries;
    Token m_nextToken = 1;
};

// Publishes devices for the lifetime of the object (tests, and drivers that own their devices).
class CDevicePublication {
public:
    CDevicePublication() = default;
    CDevicePublication(const CDevicePublication&) = delete;
    CDevicePublication& operator=(const CDevicePublication&) = delete;
    CDevicePublication(CDevicePublication&& other) noexcept;
    CDevicePublication& operator=(CDevicePublication&& other) noexcept;
    ~CDevicePublication();

    void Publish(int providerRank, DeviceDescriptor device);
    void WithdrawAll();

private:
    std::vector<CDeviceRegistry::Token> m_tokens;
};
