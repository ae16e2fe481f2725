#include "drivers/kit/bda_pending_tune.h"

void CBdaPendingTune::Begin() {
    std::lock_guard guard(m_lock);
    m_bChanged = false;
}

BdaTuneRequest CBdaPendingTune::Current() const {
    std::lock_guard guard(m_lock);
    return m_request;
}

BdaTuneRequest CBdaPendingTune::Take() {
    std::lock_guard guard(m_lock);
    m_bChanged = false;
    return m_request;
}

bool CBdaPendingTune::IsPending() const {
    std::lock_guard guard(m_lock);
    return m_bChanged;
}
