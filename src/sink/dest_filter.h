#pragma once
// The sink of the tuner graph's recording branch: one input pin whose samples, while armed, go
// unchanged and in arrival order into the record file.
#include "platform/media/base_filter.h"

class CBasePin;
class CDumpInputPin;
struct RecordState;

inline constexpr CLSID CLSID_DestFilter = com::MakeGuid("{90D647A7-DFBB-48F9-861F-33F3660C03FD}");

class CDestFilter : public CBaseFilter {
public:
    // Creates the pin "Input" on the record state's lock, writing into its file. The result
    // variable is left as it is.
    CDestFilter(IUnknown* pOuter, RecordState* pRecord, HRESULT* phr);
    // Leaves the pin alone: whoever destroys the filter destroys the pin first.
    ~CDestFilter() override;

    // E_POINTER for a null out pointer; the filter's interfaces otherwise (no setup interface).
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    int GetPinCount() override { return 1; }
    // Index 0 is the input pin; any other index gives null.
    CBasePin* GetPin(int n) override;
    // No registration data.
    const void* GetSetupData() const { return nullptr; }

    CDumpInputPin* m_pInputPin;
};
