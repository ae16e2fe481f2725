#pragma once
// A tuner filter with the driver's property set on its "Input0" pin (PCI-E carrier) or on the
// filter (USB carrier), installed as a session's tuner and driver handle. The tests of the
// lower layers use a session of the environment's own; the page tests, which work on the
// default session, have the fakes planted into that one.
//
// Planted, not built: the driver conversation must be tested on tuners that no graph would take
// (one without an "Input0" pin, one that refuses the property interface, none at all), and the
// whole-program tests cover the graph built from devices.
#include <memory>

#include "graph/driver_report.h"
#include "graph/tuner_session.h"
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
    CDriverTestEnvironment(CTunerSession& session, Carrier carrier, bool acquire = true);
    CDriverTestEnvironment(const CDriverTestEnvironment&) = delete;
    CDriverTestEnvironment& operator=(const CDriverTestEnvironment&) = delete;
    ~CDriverTestEnvironment();

    CTunerSession& Session() { return m_session; }
    CFakeKsPropertySet& Driver() { return *m_pDriver; }
    CFakeFilter& Tuner() { return *m_pTuner; }
    // What acquiring the driver's handle at the start reported (nothing, on either carrier).
    const DriverReports& AcquireReports() const { return m_acquireReports; }
    // The boxes of the pages under test; nothing below the pages shows one.
    CMessageBoxRecorder& Boxes() { return m_boxes; }

    // The session's tuner filter replaced by `tuner` (null: no tuner); the handle is left alone.
    void PlantTuner(IBaseFilter* tuner);
    // The driver's handle released, as the graph's release does.
    void DropDriverHandle();
    // Whether the session's card reports the extended MODCOD table.
    void SetExtendedModel(bool extended);

private:
    // `outside` null: a session of the environment's own.
    CDriverTestEnvironment(CTunerSession* outside, Carrier carrier, bool acquire);

    std::unique_ptr<CTunerSession> m_pOwnSession;
    CTunerSession& m_session;
    CMessageBoxRecorder m_boxes;
    DriverReports m_acquireReports;
    ComPtr<CFakeKsPropertySet> m_pDriver;
    ComPtr<CFakeFilter> m_pTuner;
};
