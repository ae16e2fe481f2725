#pragma once
// The sink's input pin. It takes whatever type the tee offers and writes each sample, while
// armed, to the record file with one write from the sample's own buffer, holding the receive
// lock. Unarmed, a sample costs one flag test.
#include <atomic>

#include "platform/media/base_input_pin.h"

class CDestFilter;
struct RecordState;

class CDumpInputPin : public CBaseInputPin {
public:
    // Receives under the record state's lock into its file.
    CDumpInputPin(CDestFilter* filter, RecordState* record, HRESULT* phr);

    // Every type is accepted.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    // Position 0: a stream of 188-byte packets; E_INVALIDARG below, VFW_S_NO_MORE_ITEMS above.
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;

    HRESULT Receive(IMediaSample* sample) override;
    // S_FALSE: Receive never blocks the streaming thread for long.
    HRESULT ReceiveCanBlock() override;
    // No completion is signalled and the file stays open.
    HRESULT EndOfStream() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // Only ever goes from clear to set, under the receive lock.
    void Arm();
    bool IsArmed() const { return m_bArmed.load(std::memory_order_acquire); }

private:
    RecordState* const m_pRecord;
    CCritSec* const m_pReceiveLock;
    std::atomic<bool> m_bArmed{false};
};
