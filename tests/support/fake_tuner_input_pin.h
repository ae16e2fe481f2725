#pragma once
// The fake tuner's "Input0": takes the antenna of the network type its script names.
#include <memory>

#include "platform/media/base_input_pin.h"
#include "support/fake_tuner_script.h"

class CFakeTunerInputPin : public CBaseInputPin {
public:
    CFakeTunerInputPin(CBaseFilter* filter, CCritSec* lock,
                       std::shared_ptr<FakeTunerScript> script);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;

private:
    const std::shared_ptr<FakeTunerScript> m_pScript;
};
