#include "record/recording.h"

#include <fmt/format.h>

#include <optional>

#include "graph/bda_graph.h"
#include "platform/bda/stream_loss_statistics.h"
#include "platform/com/error_info.h"
#include "sink/dest_filter.h"
#include "sink/dump_input_pin.h"
#include "sink/record_file.h"

namespace {

// Kept by the thread that starts and stops recordings: why the last start did not run the graph,
// and the capture filter's counts at the start and the stop of the last recording.
std::string g_strRunFailure;
std::optional<RecordStreamLoss> g_lossAtStart;
std::optional<RecordStreamLoss> g_lossAtStop;

// What the capture filter has counted since it was made.
RecordStreamLoss ReadStreamLoss() {
    RecordStreamLoss loss;
    if (!g_BDAGraph.m_pReceiverDevice) return loss;
    ComPtr<IStreamLossStatistics> statistics;
    if (FAILED(g_BDAGraph.m_pReceiverDevice->QueryInterface(
            IStreamLossStatistics::kIid, statistics.ReleaseAndGetVoidAddress())) ||
        FAILED(statistics->GetStreamLoss(&loss.overruns, &loss.bytesLost))) {
        return RecordStreamLoss{};
    }
    return loss;
}

}  // namespace

void OpenRecordFile(const std::string& path) {
    g_bRecordFileOpen.store(g_RecordFile.Open(path, CRecordFile::OpenMode::Keep),
                            std::memory_order_release);
}

void SetRecordFilePath(const std::string& path) {
    g_strRecordPath = path;
}

int StartRecording() {
    g_strRunFailure.clear();
    g_lossAtStart.reset();
    g_lossAtStop.reset();
    if (!g_BDAGraph.m_pGraphControl) return 0;
    CAutoLock lock(g_RecordLock);
    if (g_bRecordFileOpen.load(std::memory_order_acquire)) {
        g_bRecordFileOpen.store(false, std::memory_order_release);
        g_RecordFile.Close();
    }
    // Arming before the file exists is safe: Receive needs this lock to write.
    if (g_BDAGraph.m_pSinkFilter != nullptr) g_BDAGraph.m_pSinkFilter->m_pInputPin->Arm();
    const bool created = g_RecordFile.Open(g_strRecordPath, CRecordFile::OpenMode::Empty);
    g_bRecordFileOpen.store(created, std::memory_order_release);
    g_lossAtStart = ReadStreamLoss();
    // A description left by an earlier failure must not explain this one. The filters' Pause
    // and Run, and so the capture pin's opening of the stream, run on this thread.
    com::ClearErrorDescription();
    const HRESULT hr = g_BDAGraph.m_pGraphControl->Run();
    if (FAILED(hr)) {
        const std::optional<std::string> description = com::TakeErrorDescription();
        g_strRunFailure = description && !description->empty()
                              ? *description
                              : fmt::format("the tuner's stream did not start (error 0x{:08X}).",
                                            static_cast<std::uint32_t>(hr));
    }
    if (!created) return g_RecordFile.OpenError();
    return FAILED(hr) ? kRecordGraphNotRunning : 0;
}

std::string GetRecordRunFailure() {
    return g_strRunFailure;
}

void StopRecording() {
    if (!g_BDAGraph.m_pGraphControl) return;
    // Once Stop returns no streaming thread delivers another sample, so the file can close
    // without the lock.
    g_BDAGraph.StopGraph();
    if (g_lossAtStart && !g_lossAtStop) g_lossAtStop = ReadStreamLoss();
    if (g_bRecordFileOpen.load(std::memory_order_acquire)) {
        g_RecordFile.Close();
        g_bRecordFileOpen.store(false, std::memory_order_release);
    }
}

std::uint64_t GetRecordedKBytes() {
    return g_RecordFile.IsOpen() ? g_RecordFile.BytesWritten() / 1024 : 0;
}

int GetRecordWriteError() {
    g_RecordFile.CheckDeleted();
    return g_RecordFile.WriteError();
}

std::uint64_t GetRecordLostBytes() {
    return g_RecordFile.BytesLost();
}

RecordStreamLoss GetRecordStreamLoss() {
    if (!g_lossAtStart) return {};
    const RecordStreamLoss start = *g_lossAtStart;
    const RecordStreamLoss end = g_lossAtStop ? *g_lossAtStop : ReadStreamLoss();
    // A capture filter made since the start (a new graph) counts from zero.
    if (end.overruns < start.overruns || end.bytesLost < start.bytesLost) return end;
    return {end.overruns - start.overruns, end.bytesLost - start.bytesLost};
}
