#pragma once
// A tuner filter with the driver's property set on its "Input0" pin (PCI-E carrier) or on the
// filter (USB carrier), installed as g_BDAGraph's tuner and driver handle.
#include "platform/com/com_ptr.h"
#include "support/fake_filter.h"
#include "support/fake_ks_property_set.h"
#include "support/message_box_recorder.h"

enum class Carrier { PciE, Usb };

// The property set of each carrier, supporting every property of its set.
ComPtr<CFakeKsPropertySet> MakeDriver(Carrier carrier);

class CDriverTestEnvironment {
public:
    explicit CDriverTestEnvironment(Carrier carrier, bool acquire = true);
    ~CDriverTestEnvironment();

    CFakeKsPropertySet& Driver() { return *m_pDriver; }
    CFakeFilter& Tuner() { return *m_pTuner; }
    CMessageBoxRecorder& Boxes() { return m_boxes; }

private:
    CMessageBoxRecorder m_boxes;
    ComPtr<CFakeKsPropertySet> m_pDriver;
    ComPtr<CFakeFilter> m_pTuner;
};
