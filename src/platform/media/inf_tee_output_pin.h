#pragma once
// An output of the tee: connects only while the tee's input is connected, and only with the
// input's connection type, which it offers as its one type.
#include "platform/media/base_output_pin.h"

class CInfTee;

class CInfTeeOutputPin : public CBaseOutputPin {
public:
    CInfTeeOutputPin(CInfTee* tee, CCritSec* lock, HRESULT* phr, const wchar_t* pinName);

    // VFW_E_NOT_CONNECTED while the tee's input is free; S_OK only for the input's type.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT BreakConnect() override;

    // S_OK when the partner's Receive may block.
    HRESULT PartnerReceiveCanBlock();

private:
    CInfTee* const m_pTee;
};
