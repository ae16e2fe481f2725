#pragma once
// The request a tuner filter's control nodes fill between StartChanges and CommitChanges, and
// whether any of it changed since (GetChangeState). Nodes write from the graph's thread while the
// signal monitor may read, so every access takes the lock.
#include <mutex>

#include "drivers/kit/bda_tune_request.h"

class CBdaPendingTune {
public:
    // StartChanges: what follows is a new set of changes.
    void Begin();
    template <typename F>
    void Change(F&& change) {
        std::lock_guard guard(m_lock);
        change(m_request);
        m_bChanged = true;
    }
    BdaTuneRequest Current() const;
    // CommitChanges: the request to tune to; nothing is pending afterwards.
    BdaTuneRequest Take();
    bool IsPending() const;

private:
    mutable std::mutex m_lock;
    BdaTuneRequest m_request;
    bool m_bChanged = false;
};
