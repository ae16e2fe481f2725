#pragma once
// Device-change events that card drivers broadcast to every top-level window, as the system
// does with WM_DEVICECHANGE. Listeners are called on the broadcasting thread and must not block
// or subscribe themselves; once Unsubscribe returns, the listener is no longer running anywhere,
// so its owner may go.
#include <cstdint>
#include <functional>
#include <map>
#include <shared_mutex>

#include "platform/com/win_types.h"

inline constexpr std::uint32_t WM_DEVICECHANGE = 0x0219;
inline constexpr DWORD DBT_DEVICEARRIVAL = 0x8000;
inline constexpr DWORD DBT_DEVICEQUERYREMOVE = 0x8001;
inline constexpr DWORD DBT_DEVICEREMOVEPENDING = 0x8003;
inline constexpr DWORD DBT_DEVICEREMOVECOMPLETE = 0x8004;

class CDeviceEventHub {
public:
    using Listener = std::function<void(DWORD event)>;

    // Unsubscribes when destroyed.
    class CSubscription {
    public:
        CSubscription() = default;
        CSubscription(CSubscription&& other) noexcept;
        CSubscription& operator=(CSubscription&& other) noexcept;
        CSubscription(const CSubscription&) = delete;
        CSubscription& operator=(const CSubscription&) = delete;
        ~CSubscription();

    private:
        friend class CDeviceEventHub;
        explicit CSubscription(std::uint64_t id) : m_nId(id) {}
        std::uint64_t m_nId = 0;
    };

    static CDeviceEventHub& Instance();

    [[nodiscard]] CSubscription Subscribe(Listener listener);
    void Broadcast(DWORD event);

private:
    void Unsubscribe(std::uint64_t id);

    std::shared_mutex m_lock;
    std::map<std::uint64_t, Listener> m_listeners;
    std::uint64_t m_nNextId = 1;
};
