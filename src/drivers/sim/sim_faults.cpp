#include "drivers/sim/sim_faults.h"

void CSimFaults::MakeUnsupported(const GUID& set, DWORD id) {
    std::lock_guard guard(m_lock);
    m_unsupported.emplace(set, id);
}

void CSimFaults::SetResult(const GUID& set, DWORD id, Operation operation, HRESULT result) {
    std::lock_guard guard(m_lock);
    m_results[{set, id, operation}] = result;
}

void CSimFaults::Refuse(Interface which) {
    std::lock_guard guard(m_lock);
    m_refused.insert(which);
}

void CSimFaults::FailStatistics(HRESULT result) {
    std::lock_guard guard(m_lock);
    m_statistics = result;
}

void CSimFaults::FailCommit(HRESULT result) {
    std::lock_guard guard(m_lock);
    m_commit = result;
}

void CSimFaults::DuringCommit(std::function<void()> action) {
    std::lock_guard guard(m_lock);
    m_commitAction = std::move(action);
}

void CSimFaults::Clear() {
    std::lock_guard guard(m_lock);
    m_unsupported.clear();
    m_results.clear();
    m_refused.clear();
    m_statistics.reset();
    m_commit.reset();
    m_commitAction = nullptr;
}

bool CSimFaults::IsUnsupported(const GUID& set, DWORD id) const {
    std::lock_guard guard(m_lock);
    return m_unsupported.contains({set, id});
}

std::optional<HRESULT> CSimFaults::ResultFor(const GUID& set, DWORD id, Operation operation) const {
    std::lock_guard guard(m_lock);
    const auto found = m_results.find({set, id, operation});
    if (found == m_results.end()) return std::nullopt;
    return found->second;
}

bool CSimFaults::IsRefused(Interface which) const {
    std::lock_guard guard(m_lock);
    return m_refused.contains(which);
}

std::optional<HRESULT> CSimFaults::StatisticsFailure() const {
    std::lock_guard guard(m_lock);
    return m_statistics;
}

std::optional<HRESULT> CSimFaults::CommitFailure() const {
    std::lock_guard guard(m_lock);
    return m_commit;
}

std::function<void()> CSimFaults::CommitAction() const {
    std::lock_guard guard(m_lock);
    return m_commitAction;
}
