#include "graph/driver_test_environment.h"

#include "graph/bda_graph.h"
#include "graph/driver_control.h"
#include "platform/ks/vendor_property_sets.h"

ComPtr<CFakeKsPropertySet> MakeDriver(Carrier carrier) {
    ComPtr<CFakeKsPropertySet> driver(new CFakeKsPropertySet);
    if (carrier == Carrier::PciE) {
        for (DWORD id : {KSPROPERTY_BDA_GET_MEDIAINFO, KSPROPERTY_BDA_STREAMTYPE_PARAMS,
                         KSPROPERTY_BDA_INPUTMULTISTREAMID, KSPROPERTY_BDA_DISEQC,
                         KSPROPERTY_BDA_GOLDCODE, KSPROPERTY_BDA_MODCODES}) {
            driver->Support(KSPROPSETID_BdaExt, id);
        }
    } else {
        for (DWORD id :
             {KSPROPERTY_CTRL_PRESENT, KSPROPERTY_CTRL_TUNER, KSPROPERTY_CTRL_GET_MEDIAINFO,
              KSPROPERTY_CTRL_GOLDCODE, KSPROPERTY_CTRL_MODCODES}) {
            driver->Support(KSPROPSETID_Ctrl, id);
        }
    }
    return driver;
}

CDriverTestEnvironment::CDriverTestEnvironment(Carrier carrier, bool acquire)
    : m_pDriver(MakeDriver(carrier)),
      m_pTuner(new CFakeFilter({{L"Input0", PINDIR_INPUT, AntennaType()},
                                {L"MPEG2 Transport", PINDIR_OUTPUT, CardTransportType(0)}})) {
    if (carrier == Carrier::PciE) {
        // The filter answers the interface too, as every tuner filter does, but not the USB set.
        m_pTuner->SetFilterPropertySet(ComPtr<CFakeKsPropertySet>(new CFakeKsPropertySet).Get());
        m_pTuner->SetPinPropertySet(0, m_pDriver.Get());
    } else {
        m_pTuner->SetFilterPropertySet(m_pDriver.Get());
    }
    g_BDAGraph.m_pTunerDevice = m_pTuner.Get();
    g_TunerControlRecord = TunerControlRecord{};
    if (acquire) AcquireDriverControl();
    m_pDriver->ClearCalls();
}

CDriverTestEnvironment::~CDriverTestEnvironment() {
    g_BDAGraph.m_pKsCtrl.Reset();
    g_BDAGraph.m_pTunerDevice.Reset();
    g_BDAGraph.m_pGraphControl.Reset();
}
