#include "sink/stream_tap_filter.h"

#include <algorithm>
#include <utility>

#include "platform/media/sample_data.h"
#include "sink/stream_tap_input_pin.h"

namespace {
// Enough buffers for the queue's usual depth; more would only hold memory after a burst.
constexpr std::size_t kMaxSpareBuffers = 64;
}  // namespace

CStreamTapFilter::CStreamTapFilter(std::size_t capacity)
    : CBaseFilter(L"Stream Tap", nullptr, &m_lock, CLSID_StreamTapFilter), m_nCapacity(capacity) {
    HRESULT hr = S_OK;
    m_pInput = std::make_unique<CStreamTapInputPin>(this, &m_lock, &hr);
}

CStreamTapFilter::~CStreamTapFilter() {
    {
        std::lock_guard guard(m_queueLock);
        m_bQuit = true;
    }
    m_wake.notify_all();
    std::thread worker;
    {
        std::lock_guard guard(m_consumerLock);
        worker = std::move(m_worker);
    }
    if (worker.joinable()) worker.join();
}

CBasePin* CStreamTapFilter::GetPin(int n) {
    return n == 0 ? m_pInput.get() : nullptr;
}

void CStreamTapFilter::AddConsumer(std::shared_ptr<ITransportPacketConsumer> consumer) {
    if (!consumer) return;
    std::lock_guard guard(m_consumerLock);
    m_consumers.push_back(std::move(consumer));
    m_bHasConsumers.store(true, std::memory_order_release);
    if (!m_worker.joinable()) m_worker = std::thread(&CStreamTapFilter::WorkerLoop, this);
}

void CStreamTapFilter::RemoveConsumer(const std::shared_ptr<ITransportPacketConsumer>& consumer) {
    std::lock_guard guard(m_consumerLock);
    std::erase(m_consumers, consumer);
    m_bHasConsumers.store(!m_consumers.empty(), std::memory_order_release);
}

void CStreamTapFilter::QueueSample(IMediaSample* sample) {
    std::span<const std::uint8_t> data;
    if (FAILED(media::SampleData(sample, &data)) || data.empty()) return;
    {
        std::lock_guard guard(m_queueLock);
        if (m_nQueuedBytes + data.size() > m_nCapacity) {
            m_nDropped.fetch_add(data.size(), std::memory_order_relaxed);
            m_bGap = true;
            return;
        }
        Block block;
        if (!m_spare.empty()) {
            block.bytes = std::move(m_spare.back());
            m_spare.pop_back();
        }
        block.bytes.assign(data.begin(), data.end());
        block.afterGap = std::exchange(m_bGap, false);
        m_nQueuedBytes += data.size();
        m_queue.push_back(std::move(block));
    }
    m_wake.notify_one();
}

void CStreamTapFilter::DiscardQueued() {
    std::lock_guard guard(m_queueLock);
    for (Block& block : m_queue) {
        m_nQueuedBytes -= block.bytes.size();
        if (m_spare.size() < kMaxSpareBuffers) m_spare.push_back(std::move(block.bytes));
    }
    m_queue.clear();
    m_bGap = true;
}

void CStreamTapFilter::WorkerLoop() {
    std::unique_lock lock(m_queueLock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bQuit || !m_queue.empty(); });
        if (m_bQuit) break;
        Block block = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();

        if (block.afterGap) m_parser.Resync();
        m_parser.Feed(block.bytes, this);
        Deliver();

        lock.lock();
        m_nQueuedBytes -= block.bytes.size();
        if (m_spare.size() < kMaxSpareBuffers) m_spare.push_back(std::move(block.bytes));
    }
}

void CStreamTapFilter::OnPacket(const std::uint8_t* packet, std::uint16_t) {
    m_batch.insert(m_batch.end(), packet, packet + CTsPacketParser::kPacketSize);
}

void CStreamTapFilter::Deliver() {
    if (m_batch.empty()) return;
    {
        std::lock_guard guard(m_consumerLock);
        m_active = m_consumers;
    }
    for (const auto& consumer : m_active) {
        // Nothing a consumer throws may end the worker, or the process.
        try {
            consumer->OnPackets(m_batch);
        } catch (...) {
        }
    }
    m_nDelivered.fetch_add(m_batch.size() / CTsPacketParser::kPacketSize,
                           std::memory_order_relaxed);
    m_batch.clear();
    // A consumer removed meanwhile goes now, not at some later block.
    m_active.clear();
}
