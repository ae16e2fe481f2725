#include "record/recording.h"

#include "graph/bda_graph.h"
#include "sink/dest_filter.h"
#include "sink/dump_input_pin.h"
#include "sink/record_file.h"

void OpenRecordFile(const std::string& path) {
    g_bRecordFileOpen.store(g_RecordFile.Open(path, CRecordFile::OpenMode::Keep),
                            std::memory_order_release);
}

void SetRecordFilePath(const std::string& path) {
    g_strRecordPath = path;
}

int StartRecording() {
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
    g_BDAGraph.m_pGraphControl->Run();
    return created ? 0 : g_RecordFile.OpenError();
}

void StopRecording() {
    if (!g_BDAGraph.m_pGraphControl) return;
    // Once Stop returns no streaming thread delivers another sample, so the file can close
    // without the lock.
    g_BDAGraph.StopGraph();
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
