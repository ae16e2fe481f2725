#pragma once
// The input pin of CTestSinkFilter. Receive checks the streaming state, takes the filter's lock
// when asked to (as a sink that writes a file does), runs an optional hook, and records the
// sample's buffer pointer and length; recording allocates nothing (fixed capacity).
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/media/base_input_pin.h"

class CTestSinkFilter;

class CTestSinkPin : public CBaseInputPin {
public:
    struct Record {
        const BYTE* pBuffer = nullptr;
        LONG lLength = 0;
    };

    CTestSinkPin(CTestSinkFilter* filter, CCritSec* lock, std::size_t recordCapacity);

    // Accepts every type, or only those `SetAcceptedType` names.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    // Offers the type SetOfferedType names, if any.
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // Set before the pin connects or streams.
    void SetAcceptedType(const AM_MEDIA_TYPE& type);
    void SetOfferedType(const AM_MEDIA_TYPE& type);
    void SetLockInReceive(bool lock) { m_bLockInReceive = lock; }
    // Runs inside Receive (under the lock when SetLockInReceive), on the streaming thread.
    void SetReceiveHook(std::function<void(IMediaSample*)> hook) {
        m_receiveHook = std::move(hook);
    }

    std::uint64_t Received() const { return m_nReceived.load(); }
    std::uint64_t BytesReceived() const { return m_nBytes.load(); }
    std::uint64_t EndOfStreams() const { return m_nEndOfStream.load(); }
    std::uint64_t Flushes() const { return m_nFlushes.load(); }
    std::uint64_t Segments() const { return m_nSegments.load(); }
    // Read after the stream has stopped.
    const std::vector<Record>& Records() const { return m_records; }

private:
    bool m_bHasAcceptedType = false;
    AM_MEDIA_TYPE m_acceptedType;
    bool m_bHasOfferedType = false;
    AM_MEDIA_TYPE m_offeredType;
    bool m_bLockInReceive = false;
    std::function<void(IMediaSample*)> m_receiveHook;
    std::vector<Record> m_records;
    std::atomic<std::uint64_t> m_nReceived{0};
    std::atomic<std::uint64_t> m_nBytes{0};
    std::atomic<std::uint64_t> m_nEndOfStream{0};
    std::atomic<std::uint64_t> m_nFlushes{0};
    std::atomic<std::uint64_t> m_nSegments{0};
};
