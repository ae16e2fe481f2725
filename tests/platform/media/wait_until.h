#pragma once
// Polls a condition until it holds or a generous deadline passes (no timed assertions: the
// deadline only keeps a broken test from hanging).
#include <chrono>
#include <thread>

template <typename Predicate>
bool WaitUntil(Predicate predicate, std::chrono::seconds deadline = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
