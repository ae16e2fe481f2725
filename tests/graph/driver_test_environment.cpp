#include "graph/driver_test_environment.h"

#include <mutex>

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
    : CDriverTestEnvironment(nullptr, carrier, acquire) {}

CDriverTestEnvironment::CDriverTestEnvironment(CTunerSession& session, Carrier carrier,
                                               bool acquire)
    : CDriverTestEnvironment(&session, carrier, acquire) {}

CDriverTestEnvironment::CDriverTestEnvironment(CTunerSession* outside, Carrier carrier,
                                               bool acquire)
    : m_pOwnSession(outside == nullptr ? std::make_unique<CTunerSession>() : nullptr),
      m_session(outside == nullptr ? *m_pOwnSession : *outside),
      m_pDriver(MakeDriver(carrier)),
      m_pTuner(new CFakeFilter({{L"Input0", PINDIR_INPUT, AntennaType()},
                                {L"MPEG2 Transport", PINDIR_OUTPUT, CardTransportType(0)}})) {
    if (carrier == Carrier::PciE) {
        // The filter answers the interface too, as every tuner filter does, but not the USB set.
        m_pTuner->SetFilterPropertySet(ComPtr<CFakeKsPropertySet>(new CFakeKsPropertySet).Get());
        m_pTuner->SetPinPropertySet(0, m_pDriver.Get());
    } else {
        m_pTuner->SetFilterPropertySet(m_pDriver.Get());
    }
    PlantTuner(m_pTuner.Get());
    m_session.m_TunerControlRecord = TunerControlRecord{};
    if (acquire) AcquireDriverControl(m_session, m_acquireReports);
    m_pDriver->ClearCalls();
}

CDriverTestEnvironment::~CDriverTestEnvironment() {
    DropDriverHandle();
    PlantTuner(nullptr);
    m_session.m_BDAGraph.m_pGraphControl.Reset();
}

void CDriverTestEnvironment::PlantTuner(IBaseFilter* tuner) {
    m_session.m_BDAGraph.m_pTunerDevice = tuner;
}

void CDriverTestEnvironment::DropDriverHandle() {
    std::lock_guard driver(m_session.m_hDriverMutex);
    m_session.m_BDAGraph.m_pKsCtrl.Reset();
}

void CDriverTestEnvironment::SetExtendedModel(bool extended) {
    m_session.m_BDAGraph.m_bXModel = extended ? 1 : 0;
}
