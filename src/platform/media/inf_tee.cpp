#include "platform/media/inf_tee.h"

#include <string>

#include "platform/media/inf_tee_input_pin.h"
#include "platform/media/inf_tee_output_pin.h"

CInfTee::CInfTee(IUnknown* pOuter)
    : CBaseFilter(L"Infinite Pin Tee Filter", pOuter, &m_lock, CLSID_InfTee) {
    HRESULT hr = S_OK;
    m_pInput = std::make_unique<CInfTeeInputPin>(this, &m_lock, &hr);
    AddFreeOutput();
}

CInfTee::~CInfTee() = default;

int CInfTee::GetPinCount() {
    CAutoLock lock(m_lock);
    return 1 + static_cast<int>(m_outputs.size());
}

CBasePin* CInfTee::GetPin(int n) {
    CAutoLock lock(m_lock);
    if (n == 0) return m_pInput.get();
    if (n < 0 || n > static_cast<int>(m_outputs.size())) return nullptr;
    return m_outputs[static_cast<std::size_t>(n - 1)].get();
}

void CInfTee::AddFreeOutput() {
    HRESULT hr = S_OK;
    const std::wstring name = L"Output" + std::to_wstring(m_nNextOutputNumber++);
    m_outputs.push_back(std::make_unique<CInfTeeOutputPin>(this, &m_lock, &hr, name.c_str()));
}

void CInfTee::OnOutputConnected() {
    CAutoLock lock(m_lock);
    for (const auto& output : m_outputs) {
        if (!output->IsConnected()) return;
    }
    AddFreeOutput();
}

void CInfTee::OnOutputDisconnecting(CInfTeeOutputPin* leaving) {
    CAutoLock lock(m_lock);
    auto isFree = [leaving](const CInfTeeOutputPin* pin) {
        return pin == leaving || !pin->IsConnected();
    };
    // Keep the last free pin; retire every other free one.
    std::size_t lastFree = m_outputs.size();
    for (std::size_t i = 0; i < m_outputs.size(); ++i) {
        if (isFree(m_outputs[i].get())) lastFree = i;
    }
    if (lastFree == m_outputs.size()) return;
    std::vector<std::unique_ptr<CInfTeeOutputPin>> kept;
    kept.reserve(m_outputs.size());
    for (std::size_t i = 0; i < m_outputs.size(); ++i) {
        if (i != lastFree && isFree(m_outputs[i].get())) {
            m_retired.push_back(std::move(m_outputs[i]));
        } else {
            kept.push_back(std::move(m_outputs[i]));
        }
    }
    m_outputs = std::move(kept);
}

const AM_MEDIA_TYPE* CInfTee::ConnectedOutputType() const {
    for (const auto& output : m_outputs) {
        if (output->IsConnected()) return &output->CurrentMediaType();
    }
    return nullptr;
}

// The output list changes only while the tee is stopped, when no streaming thread is in here.
HRESULT CInfTee::DeliverToOutputs(IMediaSample* sample) {
    HRESULT first = S_OK;
    for (const auto& output : m_outputs) {
        if (!output->IsConnected()) continue;
        const HRESULT hr = output->Deliver(sample);
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    }
    return first;
}

HRESULT CInfTee::DeliverEndOfStream() {
    HRESULT first = S_OK;
    for (const auto& output : m_outputs) {
        if (!output->IsConnected()) continue;
        const HRESULT hr = output->DeliverEndOfStream();
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    }
    return first;
}

HRESULT CInfTee::DeliverBeginFlush() {
    HRESULT first = S_OK;
    for (const auto& output : m_outputs) {
        if (!output->IsConnected()) continue;
        const HRESULT hr = output->DeliverBeginFlush();
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    }
    return first;
}

HRESULT CInfTee::DeliverEndFlush() {
    HRESULT first = S_OK;
    for (const auto& output : m_outputs) {
        if (!output->IsConnected()) continue;
        const HRESULT hr = output->DeliverEndFlush();
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    }
    return first;
}

HRESULT CInfTee::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    HRESULT first = S_OK;
    for (const auto& output : m_outputs) {
        if (!output->IsConnected()) continue;
        const HRESULT hr = output->DeliverNewSegment(start, stop, rate);
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    }
    return first;
}

HRESULT CInfTee::OutputsCanBlock() {
    for (const auto& output : m_outputs) {
        if (output->IsConnected() && output->PartnerReceiveCanBlock() == S_OK) return S_OK;
    }
    return S_FALSE;
}
