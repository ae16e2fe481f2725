#include "record/recording.h"

#include <fmt/format.h>

#include <optional>

#include "graph/tuner_session.h"
#include "platform/com/error_info.h"
#include "sink/record_file.h"

void OpenRecordFile(CTunerSession& session, const std::string& path) {
    RecordState& record = session.m_Record;
    record.m_bRecordFileOpen.store(record.m_RecordFile.Open(path, CRecordFile::OpenMode::Keep),
                                   std::memory_order_release);
}

void SetRecordFilePath(CTunerSession& session, const std::string& path) {
    RecordState& record = session.m_Record;
    record.m_strRecordPath = path;
}

int StartRecording(CTunerSession& session) {
    RecordState& record = session.m_Record;
    record.m_strRunFailure.clear();
    record.m_lossAtStart.reset();
    record.m_lossAtStop.reset();
    if (!session.m_BDAGraph.CanRun()) return 0;
    CAutoLock lock(record.m_RecordLock);
    if (record.m_bRecordFileOpen.load(std::memory_order_acquire)) {
        record.m_bRecordFileOpen.store(false, std::memory_order_release);
        record.m_RecordFile.Close();
    }
    // Arming before the file exists is safe: Receive needs this lock to write.
    session.m_BDAGraph.ArmSink();
    const bool created =
        record.m_RecordFile.Open(record.m_strRecordPath, CRecordFile::OpenMode::Empty);
    record.m_bRecordFileOpen.store(created, std::memory_order_release);
    record.m_lossAtStart = session.m_BDAGraph.ReadStreamLoss();
    // A description left by an earlier failure must not explain this one. The filters' Pause
    // and Run, and so the capture pin's opening of the stream, run on this thread.
    com::ClearErrorDescription();
    const HRESULT hr = session.m_BDAGraph.RunGraph();
    if (FAILED(hr)) {
        const std::optional<std::string> description = com::TakeErrorDescription();
        record.m_strRunFailure =
            description && !description->empty()
                ? *description
                : fmt::format("the tuner's stream did not start (error 0x{:08X}).",
                              static_cast<std::uint32_t>(hr));
    }
    if (!created) return record.m_RecordFile.OpenError();
    return FAILED(hr) ? kRecordGraphNotRunning : 0;
}

std::string GetRecordRunFailure(CTunerSession& session) {
    RecordState& record = session.m_Record;
    return record.m_strRunFailure;
}

void StopRecording(CTunerSession& session) {
    RecordState& record = session.m_Record;
    if (!session.m_BDAGraph.CanRun()) return;
    // Once Stop returns no streaming thread delivers another sample, so the file can close
    // without the lock.
    session.m_BDAGraph.StopGraph();
    if (record.m_lossAtStart && !record.m_lossAtStop)
        record.m_lossAtStop = session.m_BDAGraph.ReadStreamLoss();
    if (record.m_bRecordFileOpen.load(std::memory_order_acquire)) {
        record.m_RecordFile.Close();
        record.m_bRecordFileOpen.store(false, std::memory_order_release);
    }
}

std::uint64_t GetRecordedKBytes(CTunerSession& session) {
    RecordState& record = session.m_Record;
    return record.m_RecordFile.IsOpen() ? record.m_RecordFile.BytesWritten() / 1024 : 0;
}

std::uint64_t RecordedPercent(std::uint64_t kbytes, std::uint32_t limitMB) {
    return kbytes * 100 / (std::uint64_t{limitMB} * 1024);
}

int GetRecordWriteError(CTunerSession& session) {
    RecordState& record = session.m_Record;
    record.m_RecordFile.CheckDeleted();
    return record.m_RecordFile.WriteError();
}

std::uint64_t GetRecordLostBytes(CTunerSession& session) {
    RecordState& record = session.m_Record;
    return record.m_RecordFile.BytesLost();
}

RecordStreamLoss GetRecordStreamLoss(CTunerSession& session) {
    RecordState& record = session.m_Record;
    if (!record.m_lossAtStart) return {};
    const RecordStreamLoss start = *record.m_lossAtStart;
    const RecordStreamLoss end =
        record.m_lossAtStop ? *record.m_lossAtStop : session.m_BDAGraph.ReadStreamLoss();
    // A capture filter made since the start (a new graph) counts from zero.
    if (end.overruns < start.overruns || end.bytesLost < start.bytesLost) return end;
    return {end.overruns - start.overruns, end.bytesLost - start.bytesLost};
}
