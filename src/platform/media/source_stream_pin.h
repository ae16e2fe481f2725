#pragma once
// The base of a source filter's output pin that streams from a thread of its own (after
// DirectShow's CSourceStream). The base owns the protocol; a pin class fills narrow hooks.
//
// Active (Stopped -> Paused): OnActive (open what the thread needs), commit the pool, start the
// thread; nothing more while a thread exists. The thread: StreamLoop behind an exception barrier
// (an exception ends the stream, never the process), then OnThreadExit, then IsStreaming turns
// false. Inactive (Stop): set the stop flag, decommit the pool (a waiting GetSample returns
// null), Wake, join, OnInactive (close what OnActive opened). DeliverSample passes a sample on
// only while the filter's state allows it (Delivery) and counts what it passed on.
//
// Threads and locks (docs/threads.md): Active, Inactive, OnActive, Wake and OnInactive run on the
// control thread under the filter's state lock; StreamLoop and OnThreadExit on the streaming
// thread, which never takes that lock and never calls into the graph, so Inactive can always
// join it — provided the loop waits only on what the decommit or Wake ends and looks at
// StopRequested after each wait. What OnActive sets up is ordered before the thread by its start,
// what OnInactive tears down after it by the join. A pin class's destructor calls Inactive (the
// filter may go while active); the base's cannot, the hooks are gone by then.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "platform/media/base_output_pin.h"
#include "platform/media/sample_pool.h"

class CSourceStreamPin : public CBaseOutputPin {
public:
    // When a sample may go downstream.
    enum class Delivery {
        WhileRunning,  // a live source (a card): what is made while paused passes by
        WhileActive,   // a source that serves its data from Paused on
    };

    CSourceStreamPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock,
                     const wchar_t* pinName, std::size_t poolSamples, LONG sampleBytes,
                     Delivery delivery);
    ~CSourceStreamPin() override;

    // OnActive's failure, or E_OUTOFMEMORY when no thread can be started.
    HRESULT Active() final;
    HRESULT Inactive() final;

    // Samples passed downstream since the pin was made, whatever the partner answered (any
    // thread).
    std::uint64_t SamplesDelivered() const { return m_nDelivered.load(std::memory_order_relaxed); }
    // True from Active until the thread has left StreamLoop and OnThreadExit (any thread).
    bool IsStreaming() const { return m_bStreaming.load(std::memory_order_acquire); }

protected:
    // Control thread, before the thread starts; a failure fails Active and starts nothing.
    virtual HRESULT OnActive() { return S_OK; }
    // Control thread, after the stop flag is set and the pool decommitted: end any other wait of
    // the loop.
    virtual void Wake() {}
    // Control thread, after the join (or after a thread that could not start).
    virtual void OnInactive() {}
    // Streaming thread: make and deliver samples until StopRequested or the stream ends.
    virtual void StreamLoop() = 0;
    // Streaming thread, after StreamLoop returned or threw.
    virtual void OnThreadExit() {}

    bool StopRequested() const { return m_bStop.load(); }
    // A free sample, waiting for one; null once Inactive has begun.
    ComPtr<IMediaSample> GetSample() { return m_pool.GetSample(); }
    // Whether DeliverSample passes samples on in the filter's present state.
    bool DeliversNow() const;
    // Deliver and count; S_FALSE, without calling the partner, while DeliversNow is false.
    HRESULT DeliverSample(IMediaSample* sample);
    CSamplePool& Pool() { return m_pool; }

private:
    void ThreadProc();

    const Delivery m_delivery;
    CSamplePool m_pool;
    std::thread m_thread;  // control thread only
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bStreaming{false};
    std::atomic<std::uint64_t> m_nDelivered{0};
};
