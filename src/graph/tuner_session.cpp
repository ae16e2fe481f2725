#include "graph/tuner_session.h"

#include <utility>

#include "sink/stream_tap_filter.h"

CTunerSession::CTunerSession() : m_BDAGraph(m_hDriverMutex, m_Record) {}

// The Tuner Setting page releases the graph; the graph's own destructor covers what a test or
// an abnormal end left behind.
CTunerSession::~CTunerSession() = default;

void CTunerSession::SelectDevice(std::int32_t index, std::string name) {
    m_nDeviceIndex = index;
    m_strDeviceName = std::move(name);
}

void CTunerSession::BuildGraph(DriverReports& reports) {
    m_BDAGraph.m_pGraph.Reset();
    m_BDAGraph.m_pGraphControl.Reset();
    m_BDAGraph.m_pProvider.Reset();
    m_BDAGraph.m_pReceiverDevice.Reset();
    m_BDAGraph.m_pDemuxFilter.Reset();
    m_BDAGraph.m_pTeeFilter.Reset();
    m_BDAGraph.m_pInfoFilter.Reset();
    m_BDAGraph.BuildTunerGraph(m_nDeviceIndex, m_strDeviceName, reports);
}

void CTunerSession::ReleaseGraph() {
    m_BDAGraph.ReleaseTunerGraph();
}

void CTunerSession::CloseTuner() {
    ReleaseGraph();
    m_BDAGraph.m_nTunerModel = 0;
    m_BDAGraph.m_bXModel = 0;
    {
        CAutoLock lock(m_Record.m_RecordLock);
        m_Record.m_bRecordFileOpen.store(false, std::memory_order_release);
        m_Record.m_RecordFile.Close();
        m_Record.m_strRecordPath.clear();
        m_Record.m_strRunFailure.clear();
        m_Record.m_lossAtStart.reset();
        m_Record.m_lossAtStop.reset();
    }
    {
        std::lock_guard driver(m_hDriverMutex);
        m_TunerControlRecord = TunerControlRecord{};
        m_MediaInfoRecord = MediaInfoRecord{};
        m_DiseqcSentListener = nullptr;
    }
    m_bSignalLocked.store(0, std::memory_order_release);
    m_nDeviceIndex = -1;
    m_strDeviceName.clear();
}

bool CTunerSession::HasGraph() const {
    return m_BDAGraph.m_pSpace && m_BDAGraph.m_pProvider && m_BDAGraph.m_pGraphControl;
}

bool CTunerSession::HasDriverControl() const {
    return static_cast<bool>(m_BDAGraph.m_pKsCtrl);
}

bool CTunerSession::HasStreamTap() const {
    return static_cast<bool>(m_BDAGraph.m_pTapFilter);
}

bool CTunerSession::AddStreamConsumer(const std::shared_ptr<ITransportPacketConsumer>& consumer) {
    if (!m_BDAGraph.m_pTapFilter) return false;
    m_BDAGraph.m_pTapFilter->AddConsumer(consumer);
    return true;
}

void CTunerSession::RemoveStreamConsumer(
    const std::shared_ptr<ITransportPacketConsumer>& consumer) {
    if (m_BDAGraph.m_pTapFilter) m_BDAGraph.m_pTapFilter->RemoveConsumer(consumer);
}

CTunerSession& DefaultTunerSession() {
    static CTunerSession session;
    return session;
}
