#include "platform/media/sample_pool.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/media_sample.h"

// Shared by the pool and its samples; deleted by whichever of them lets go of it last.
struct CSamplePool::State {
    std::mutex lock;
    std::condition_variable freed;
    std::vector<BYTE> storage;
    std::vector<std::unique_ptr<CMediaSample>> samples;
    std::vector<std::size_t> freeList;  // capacity: every sample
    std::size_t outstanding = 0;
    std::size_t waiters = 0;
    bool committed = true;
    bool poolAlive = true;

    bool Orphaned() const { return !poolAlive && outstanding == 0 && waiters == 0; }

    static void Return(void* owner, CMediaSample* sample) {
        auto* state = static_cast<State*>(owner);
        bool orphaned = false;
        {
            std::lock_guard guard(state->lock);
            state->freeList.push_back(sample->Index());
            --state->outstanding;
            orphaned = state->Orphaned();
            state->freed.notify_one();
        }
        // The sample whose Release called us is deleted here; it touches nothing afterwards.
        if (orphaned) delete state;
    }
};

CSamplePool::CSamplePool(std::size_t count, LONG bufferSize)
    : m_nCount(count), m_lBufferSize(bufferSize < 0 ? 0 : bufferSize), m_pState(new State) {
    const auto size = static_cast<std::size_t>(m_lBufferSize);
    m_pState->storage.resize(count * size);
    m_pState->samples.reserve(count);
    m_pState->freeList.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        m_pState->samples.push_back(std::make_unique<CMediaSample>(
            m_pState->storage.data() + i * size, m_lBufferSize, i, m_pState, &State::Return));
    }
    // Handed out from the back: sample 0 first.
    for (std::size_t i = count; i > 0; --i) m_pState->freeList.push_back(i - 1);
}

CSamplePool::~CSamplePool() {
    bool orphaned = false;
    {
        std::lock_guard guard(m_pState->lock);
        m_pState->committed = false;
        m_pState->poolAlive = false;
        orphaned = m_pState->Orphaned();
        m_pState->freed.notify_all();
    }
    if (orphaned) delete m_pState;
}

ComPtr<IMediaSample> CSamplePool::GetSample() {
    return Take(true);
}

ComPtr<IMediaSample> CSamplePool::TryGetSample() {
    return Take(false);
}

ComPtr<IMediaSample> CSamplePool::Take(bool wait) {
    State* state = m_pState;
    CMediaSample* sample = nullptr;
    bool orphaned = false;
    {
        std::unique_lock guard(state->lock);
        if (wait) {
            ++state->waiters;
            state->freed.wait(guard,
                              [state] { return !state->committed || !state->freeList.empty(); });
            --state->waiters;
        }
        if (state->committed && !state->freeList.empty()) {
            sample = state->samples[state->freeList.back()].get();
            state->freeList.pop_back();
            ++state->outstanding;
            sample->Recycle();
        }
        orphaned = state->Orphaned();
    }
    // Only a waiter woken by the pool's destruction can find the state orphaned.
    if (orphaned) delete state;
    return ComPtr<IMediaSample>(sample);
}

void CSamplePool::Decommit() {
    std::lock_guard guard(m_pState->lock);
    m_pState->committed = false;
    m_pState->freed.notify_all();
}

void CSamplePool::Commit() {
    std::lock_guard guard(m_pState->lock);
    m_pState->committed = true;
}

std::size_t CSamplePool::FreeCount() const {
    std::lock_guard guard(m_pState->lock);
    return m_pState->freeList.size();
}

std::size_t CSamplePool::WaitingProducers() const {
    std::lock_guard guard(m_pState->lock);
    return m_pState->waiters;
}
