#pragma once
// The DVB-S network provider (CLSID_DVBSNetworkProvider): the filter at the top of a tuner
// graph. Its "Antenna Out" pin connects to the tuner's input; through ITuner it takes tune
// requests and hands their values to the connected tuner filter's control nodes.
#include <memory>
#include <mutex>

#include "platform/bda/antenna_output_pin.h"
#include "platform/bda/tuning_interfaces.h"
#include "platform/com/com_ptr.h"
#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"

class CDVBSNetworkProvider : public CBaseFilter, public ITuner {
public:
    CDVBSNetworkProvider();
    ~CDVBSNetworkProvider() override;

    DECLARE_IUNKNOWN
    // ITuner, then the filter's interfaces.
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // S_OK with null when none was given.
    HRESULT get_TuningSpace(ITuningSpace** space) override;
    HRESULT put_TuningSpace(ITuningSpace* space) override;
    HRESULT get_TuneRequest(ITuneRequest** request) override;
    // Keeps the request (get_TuneRequest answers it even when tuning failed), then tunes:
    // StartChanges; the LNB oscillators and switch of the tuning space; frequency multiplier
    // 1000, carrier frequency (kHz) and polarisation; symbol rate, modulation, inner FEC method
    // and rate, outer FEC method and the tuning space's spectral inversion; CommitChanges.
    // The first failure ends the sequence and is returned. E_POINTER for null;
    // VFW_E_NOT_CONNECTED while "Antenna Out" is free; Validate's refusal; E_NOINTERFACE when
    // the tuner lacks IBDA_Topology, IBDA_DeviceControl, a node or a node's interface.
    HRESULT put_TuneRequest(ITuneRequest* request) override;
    // S_OK for a request with a DVB-S locator whose tuning space (the request's, else the
    // provider's) is a DVB-S tuning space; E_INVALIDARG otherwise; E_POINTER for null.
    HRESULT Validate(ITuneRequest* request) override;

private:
    HRESULT Tune(ITuneRequest* request);

    CCritSec m_lock;  // the filter's state lock
    const std::unique_ptr<CAntennaOutputPin> m_pOutput;
    // Serialises tune requests and guards the two references below. It may be held while the
    // state lock is taken, never the other way round.
    std::mutex m_tuneLock;
    ComPtr<ITuningSpace> m_pTuningSpace;
    ComPtr<ITuneRequest> m_pTuneRequest;
};
