#include "support/hang_watchdog.h"

#include <cstdio>
#include <cstdlib>

CHangWatchdog::CHangWatchdog(std::string what, std::chrono::seconds limit) {
    m_thread = std::thread([this, what = std::move(what), limit] {
        std::unique_lock guard(m_lock);
        if (m_finished.wait_for(guard, limit, [this] { return m_bFinished; })) return;
        std::fprintf(stderr, "\n%s did not finish within %lld s: it hangs. Aborting.\n",
                     what.c_str(), static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::abort();
    });
}

CHangWatchdog::~CHangWatchdog() {
    {
        std::lock_guard guard(m_lock);
        m_bFinished = true;
    }
    m_finished.notify_all();
    m_thread.join();
}
