#include "drivers/sim/sim_capture_filter.h"

#include "drivers/kit/bda_capture_input_pin.h"
#include "drivers/sim/sim_capture_output_pin.h"

CSimCaptureFilter::CSimCaptureFilter(std::shared_ptr<CSimCard> card)
    : CBaseFilter(L"simulated capture", nullptr, &m_lock, CLSID_SimCaptureFilter),
      m_pCard(std::move(card)) {
    m_pInput = std::make_unique<CBdaCaptureInputPin>(L"simulated capture input", this, &m_lock,
                                                     m_pCard->Profile().medium);
    m_pOutput = std::make_unique<CSimCaptureOutputPin>(this, &m_lock, m_pCard);
}

CSimCaptureFilter::~CSimCaptureFilter() = default;

HRESULT CSimCaptureFilter::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IStreamLossStatistics::kIid)
        return GetInterface(static_cast<IStreamLossStatistics*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CSimCaptureFilter::GetStreamLoss(std::uint64_t* overruns, std::uint64_t* bytesLost) {
    if (overruns == nullptr || bytesLost == nullptr) return E_POINTER;
    *overruns = 0;
    *bytesLost = 0;
    return S_OK;
}

int CSimCaptureFilter::GetPinCount() {
    return 2;
}

CBasePin* CSimCaptureFilter::GetPin(int n) {
    if (n == 0) return m_pInput.get();
    if (n == 1) return m_pOutput.get();
    return nullptr;
}
