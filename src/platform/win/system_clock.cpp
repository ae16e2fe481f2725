#include "platform/win/system_clock.h"

#include <time.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// The hooks are swapped under a lock and called outside it through a shared copy, so a test
// may replace them while other threads are inside GetTickCount or Sleep.
std::mutex g_hookLock;
std::shared_ptr<const std::function<DWORD()>> g_pTickSource;
std::shared_ptr<const std::function<void(DWORD)>> g_pSleepHook;

template <typename T>
std::shared_ptr<const T> LoadHook(const std::shared_ptr<const T>& hook) {
    const std::lock_guard<std::mutex> lock(g_hookLock);
    return hook;
}

template <typename T>
void StoreHook(std::shared_ptr<const T>& hook, T function) {
    std::shared_ptr<const T> replacement;
    if (function) replacement = std::make_shared<const T>(std::move(function));
    const std::lock_guard<std::mutex> lock(g_hookLock);
    hook.swap(replacement);
    // The previous hook is destroyed after the lock is released (by `replacement`).
}

}  // namespace

DWORD GetTickCount() {
    if (const auto source = LoadHook(g_pTickSource)) return (*source)();
    return static_cast<DWORD>(GetTickCount64());  // wraps at 2^32 like the original, ~49.7 days
}

std::uint64_t GetTickCount64() {
    // A test's source counts from a small start and never runs 49 days.
    if (const auto source = LoadHook(g_pTickSource)) return (*source)();
    // CLOCK_BOOTTIME keeps counting while the machine is suspended, as the Windows count does.
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000U +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000U;
}

void Sleep(DWORD milliseconds) {
    if (const auto hook = LoadHook(g_pSleepHook)) {
        (*hook)(milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace platform {

void SetTickCountSourceForTesting(std::function<DWORD()> source) {
    StoreHook(g_pTickSource, std::move(source));
}

void SetSleepHookForTesting(std::function<void(DWORD)> hook) {
    StoreHook(g_pSleepHook, std::move(hook));
}

}  // namespace platform
