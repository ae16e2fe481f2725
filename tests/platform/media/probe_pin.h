#pragma once
// The pins of CProbeFilter: one template over the input and output base classes, following a
// ProbePinSetup and logging every hook through the filter.
#include <algorithm>
#include <string>
#include <utility>

#include "platform/media/base_input_pin.h"
#include "platform/media/base_output_pin.h"
#include "platform/media/probe_filter.h"

template <typename TBase>
class CProbePin : public TBase {
public:
    CProbePin(CProbeFilter* filter, CCritSec* lock, ProbePinSetup setup)
        : TBase(L"Probe Pin", filter, lock, nullptr, setup.name.c_str()),
          m_pProbe(filter),
          m_setup(std::move(setup)),
          m_strPinName(m_setup.name.begin(), m_setup.name.end()) {}

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override {
        Log("CheckMediaType");
        if (m_setup.accepted.empty()) return S_OK;
        const bool known = std::find(m_setup.accepted.begin(), m_setup.accepted.end(), *pmt) !=
                           m_setup.accepted.end();
        return known ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override {
        if (position < 0) return E_INVALIDARG;
        if (position >= static_cast<int>(m_setup.offered.size())) return VFW_S_NO_MORE_ITEMS;
        *pmt = m_setup.offered[static_cast<std::size_t>(position)];
        return S_OK;
    }
    HRESULT SetMediaType(const AM_MEDIA_TYPE* pmt) override {
        Log("SetMediaType");
        return TBase::SetMediaType(pmt);
    }
    HRESULT CheckConnect(IPin* pin) override {
        Log("CheckConnect");
        return TBase::CheckConnect(pin);
    }
    HRESULT CompleteConnect(IPin* pin) override {
        Log("CompleteConnect");
        if (FAILED(m_setup.completeConnectResult)) return m_setup.completeConnectResult;
        return TBase::CompleteConnect(pin);
    }
    HRESULT BreakConnect() override {
        Log("BreakConnect");
        return TBase::BreakConnect();
    }
    HRESULT Active() override {
        Log("Active");
        return FAILED(m_setup.activeResult) ? m_setup.activeResult : TBase::Active();
    }
    HRESULT Inactive() override {
        Log("Inactive");
        return FAILED(m_setup.inactiveResult) ? m_setup.inactiveResult : TBase::Inactive();
    }
    HRESULT Run(REFERENCE_TIME start) override {
        Log("PinRun");
        return TBase::Run(start);
    }

private:
    void Log(const char* hook) { m_pProbe->Log(m_strPinName + "." + hook); }

    CProbeFilter* const m_pProbe;
    const ProbePinSetup m_setup;
    const std::string m_strPinName;
};

using CProbeInputPin = CProbePin<CBaseInputPin>;
using CProbeOutputPin = CProbePin<CBaseOutputPin>;
