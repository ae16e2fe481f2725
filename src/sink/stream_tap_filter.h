#pragma once
// A tap on the live stream: another output of the tuner graph's infinite pin tee, for the
// consumers that want the stream while it runs (the service scanner, the player feed).
//
// The streaming thread must never wait for a consumer. Receive costs one flag test while no
// consumer is attached; with consumers it copies the sample into a bounded queue and returns.
// The tap's worker thread cuts the queued bytes into whole 188-byte packets and hands them to
// each consumer. When the queue is full the sample is dropped and counted, and the packet cutter
// finds the sync again after the gap. Stopping the filter discards what is queued (a new run is
// a new stream); it never waits for a consumer. The worker starts with the first consumer and
// is joined when the filter goes, after the consumer call under way.
//
// Locks: m_queueLock guards the queue (leaf, held only briefly by Receive and the worker);
// m_consumerLock the consumer list (leaf). The worker calls consumers with neither held.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"
#include "platform/media/ts_packet_parser.h"
#include "services/transport_packet_consumer.h"

class CStreamTapInputPin;

inline constexpr CLSID CLSID_StreamTapFilter =
    com::MakeGuid("{A53E29D6-09D8-4539-9879-634621BD0A36}");

class CStreamTapFilter : public CBaseFilter, private CTsPacketParser::IPacketHandler {
public:
    static constexpr std::size_t kDefaultCapacity = 8 << 20;

    explicit CStreamTapFilter(std::size_t capacity = kDefaultCapacity);
    ~CStreamTapFilter() override;

    int GetPinCount() override { return 1; }
    // Index 0 is the input pin "Input"; any other index gives null.
    CBasePin* GetPin(int n) override;
    CStreamTapInputPin* InputPin() const { return m_pInput.get(); }

    // From any thread. A consumer added gets the packets that arrive from then on; after
    // RemoveConsumer it gets no further call, except one already under way.
    void AddConsumer(std::shared_ptr<ITransportPacketConsumer> consumer);
    void RemoveConsumer(const std::shared_ptr<ITransportPacketConsumer>& consumer);
    bool HasConsumers() const { return m_bHasConsumers.load(std::memory_order_acquire); }

    // Bytes of samples dropped because the queue was full.
    std::uint64_t DroppedBytes() const { return m_nDropped.load(std::memory_order_relaxed); }
    // Packets handed to the consumers (each packet counted once, whatever their number).
    std::uint64_t DeliveredPackets() const { return m_nDelivered.load(std::memory_order_relaxed); }

    // For the pin. On the streaming thread: queues the sample's bytes, or drops them.
    void QueueSample(IMediaSample* sample);
    // On the control thread (stop, flush): the queued bytes are discarded.
    void DiscardQueued();

private:
    struct Block {
        std::vector<std::uint8_t> bytes;
        bool afterGap = false;  // bytes before it were dropped or discarded
    };

    void WorkerLoop();
    void Deliver();
    void OnPacket(const std::uint8_t* packet, std::uint16_t pid) override;

    CCritSec m_lock;
    std::unique_ptr<CStreamTapInputPin> m_pInput;
    const std::size_t m_nCapacity;

    std::mutex m_queueLock;
    std::condition_variable m_wake;
    std::deque<Block> m_queue;
    std::vector<std::vector<std::uint8_t>> m_spare;  // buffers of delivered blocks, for reuse
    std::size_t m_nQueuedBytes = 0;                  // queued and under delivery
    bool m_bGap = false;
    bool m_bQuit = false;

    std::mutex m_consumerLock;
    std::vector<std::shared_ptr<ITransportPacketConsumer>> m_consumers;
    std::thread m_worker;  // started under m_consumerLock by the first AddConsumer

    std::atomic<bool> m_bHasConsumers{false};
    std::atomic<std::uint64_t> m_nDropped{0};
    std::atomic<std::uint64_t> m_nDelivered{0};

    // The worker's own.
    CTsPacketParser m_parser;
    std::vector<std::uint8_t> m_batch;
    std::vector<std::shared_ptr<ITransportPacketConsumer>> m_active;  // during one delivery
};
