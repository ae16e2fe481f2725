#pragma once
// A fixed set of media samples over buffers allocated once, when the pool is made. Producers
// take free samples; a sample comes back when its last reference is released, on whatever thread
// that happens. Nothing is allocated after construction: the free list has its full capacity
// from the start and the samples hand themselves back through a plain function pointer.
//
// Lifetime rule: the pool may be destroyed while samples are still out (or while a producer waits
// in GetSample): its shared state then lives on until the last of them has come back, and the
// waiters get null. Samples stay usable until they are released.
#include <cstddef>

#include "platform/com/com_ptr.h"
#include "platform/media/media_interfaces.h"

class CSamplePool {
public:
    CSamplePool(std::size_t count, LONG bufferSize);
    CSamplePool(const CSamplePool&) = delete;
    CSamplePool& operator=(const CSamplePool&) = delete;
    ~CSamplePool();

    // A free sample with an actual data length of 0; waits (without limit) until one is free.
    // Null once Decommit has been called, also for a caller already waiting.
    ComPtr<IMediaSample> GetSample();
    // A free sample, or null at once when none is free or the pool is decommitted.
    ComPtr<IMediaSample> TryGetSample();
    // Refuses samples from now on and wakes every waiting producer.
    void Decommit();
    // Hands out samples again after a Decommit.
    void Commit();

    std::size_t Count() const { return m_nCount; }
    LONG BufferSize() const { return m_lBufferSize; }
    std::size_t FreeCount() const;
    // Producers waiting in GetSample right now.
    std::size_t WaitingProducers() const;

private:
    struct State;
    ComPtr<IMediaSample> Take(bool wait);

    const std::size_t m_nCount;
    const LONG m_lBufferSize;
    State* m_pState;
};
