#pragma once
// The infinite pin tee (CLSID_InfTee): one input pin "Input" and output pins "Output1",
// "Output2", ..., of which exactly one is free at any time. Every sample that arrives is passed,
// the same sample object without a copy, to each connected output in pin order.
//
// Pins that are pruned after a disconnection stay alive (retired) until the tee is destroyed, so
// a reference that someone still holds on such a pin remains valid.
#include <memory>
#include <vector>

#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"

class CInfTeeInputPin;
class CInfTeeOutputPin;

class CInfTee : public CBaseFilter {
public:
    explicit CInfTee(IUnknown* pOuter = nullptr);
    ~CInfTee() override;

    // The input pin first, then the outputs in the order they were made.
    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    CInfTeeInputPin* InputPin() const { return m_pInput.get(); }

    // For the pins. On the streaming thread: passes the sample to every connected output and
    // returns the first failure (every output still gets the sample).
    HRESULT DeliverToOutputs(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
    // S_OK when some connected output's partner may block in Receive, else S_FALSE.
    HRESULT OutputsCanBlock();
    // Under the state lock: an output connected (a new free one is made when none is left) or
    // is breaking its connection (`leaving` counts as free; free pins beyond the last are pruned).
    void OnOutputConnected();
    void OnOutputDisconnecting(CInfTeeOutputPin* leaving);
    // The type every connected output has, or null when none is connected.
    const AM_MEDIA_TYPE* ConnectedOutputType() const;

private:
    void AddFreeOutput();

    CCritSec m_lock;
    std::unique_ptr<CInfTeeInputPin> m_pInput;
    std::vector<std::unique_ptr<CInfTeeOutputPin>> m_outputs;
    std::vector<std::unique_ptr<CInfTeeOutputPin>> m_retired;
    int m_nNextOutputNumber = 1;
};
