#include "record/service_recording.h"

#include "graph/tuner_session.h"

CServiceRecording::CServiceRecording(std::uint16_t serviceNumber)
    : m_filter(serviceNumber, /*withSdtAndEit=*/true) {}

int CServiceRecording::Start(CTunerSession& session, const std::string& path) {
    if (!m_file.Open(path, CRecordFile::OpenMode::Empty)) return m_file.OpenError();
    if (!session.AddStreamConsumer(shared_from_this())) {
        m_file.Close();
        return kNoStreamTap;
    }
    m_bStarted = true;
    return 0;
}

void CServiceRecording::Stop(CTunerSession& session) {
    if (m_bStarted) {
        // The tap's removal waits for a delivery under way, which may wait on the reader.
        const CRecordFile::CWaitRelease release(m_file);
        session.RemoveStreamConsumer(shared_from_this());
        m_bStarted = false;
    }
    m_file.Close();
}

void CServiceRecording::OnPackets(std::span<const std::uint8_t> packets) {
    const std::lock_guard guard(m_lock);
    m_cut.clear();
    m_filter.Filter(packets, m_cut);
    if (!m_cut.empty()) m_file.Write(m_cut.data(), m_cut.size());
}
