#include "platform/media/mpeg2_demux.h"

#include <cstring>

#include "platform/media/mpeg2_demux_input_pin.h"
#include "platform/media/mpeg2_demux_output_pin.h"
#include "platform/media/sample_data.h"

namespace {
constexpr std::uint16_t kLastReservedPsiPid = 0x001F;  // PAT, CAT, TSDT, NIT, SDT, EIT, ...
}

CMpeg2Demux::CMpeg2Demux(IUnknown* pOuter)
    : CBaseFilter(L"MPEG-2 Demultiplexer", pOuter, &m_lock, CLSID_MPEG2Demultiplexer),
      m_pool(kPoolSamples, static_cast<LONG>(kPacketsPerSample * CTsPacketParser::kPacketSize)) {
    HRESULT hr = S_OK;
    m_pInput = std::make_unique<CMpeg2DemuxInputPin>(this, &m_lock, &hr);
    m_pOutput = std::make_unique<CMpeg2DemuxOutputPin>(this, &m_lock, &hr);
}

CMpeg2Demux::~CMpeg2Demux() {
    // A pending sample goes back to the pool before the pool is destroyed.
    m_pPending = nullptr;
}

int CMpeg2Demux::GetPinCount() {
    return 2;
}

CBasePin* CMpeg2Demux::GetPin(int n) {
    if (n == 0) return m_pInput.get();
    if (n == 1) return m_pOutput.get();
    return nullptr;
}

TransportCounters CMpeg2Demux::Counters() const {
    std::lock_guard guard(m_receiveLock);
    return m_parser.Counters();
}

std::vector<std::uint16_t> CMpeg2Demux::PmtPids() const {
    std::lock_guard guard(m_receiveLock);
    std::vector<std::uint16_t> pids;
    for (std::size_t pid = 0; pid < m_pmtPids.size(); ++pid) {
        if (m_pmtPids.test(pid)) pids.push_back(static_cast<std::uint16_t>(pid));
    }
    return pids;
}

std::uint64_t CMpeg2Demux::DroppedPsiPackets() const {
    std::lock_guard guard(m_receiveLock);
    return m_nDropped;
}

std::uint64_t CMpeg2Demux::FailedDeliveries() const {
    std::lock_guard guard(m_receiveLock);
    return m_nFailedDeliveries;
}

HRESULT CMpeg2Demux::ProcessSample(IMediaSample* sample) {
    std::span<const std::uint8_t> data;
    const HRESULT hr = media::SampleData(sample, &data);
    if (FAILED(hr)) return hr;
    if (data.empty()) return S_OK;

    std::lock_guard guard(m_receiveLock);
    m_parser.Feed(data, this);
    DeliverPending();
    // The PSI branch is a side branch: its failures are counted, not passed upstream, where
    // they would stop the stream that a tee shares with a recording.
    return S_OK;
}

void CMpeg2Demux::ResetStream() {
    std::lock_guard guard(m_receiveLock);
    m_parser.Resync();
    m_patParser.Reset();
    m_pPending = nullptr;
    m_pPendingData = nullptr;
    m_lPendingLength = 0;
}

void CMpeg2Demux::OnPacket(const std::uint8_t* packet, std::uint16_t pid) {
    if (pid > kLastReservedPsiPid && !m_pmtPids.test(pid)) return;
    if (pid == 0) m_patParser.PushPacket(packet, this);
    if (!m_pOutput->IsConnected()) return;
    if (!m_pPending) {
        m_pPending = m_pool.TryGetSample();
        if (!m_pPending || FAILED(m_pPending->GetPointer(&m_pPendingData))) {
            m_pPending = nullptr;
            ++m_nDropped;
            return;
        }
        m_lPendingLength = 0;
    }
    std::memcpy(m_pPendingData + m_lPendingLength, packet, CTsPacketParser::kPacketSize);
    m_lPendingLength += static_cast<LONG>(CTsPacketParser::kPacketSize);
    if (m_lPendingLength + static_cast<LONG>(CTsPacketParser::kPacketSize) >
        m_pPending->GetSize()) {
        DeliverPending();
    }
}

void CMpeg2Demux::DeliverPending() {
    if (!m_pPending) return;
    ComPtr<IMediaSample> sample = std::move(m_pPending);
    m_pPendingData = nullptr;
    sample->SetActualDataLength(m_lPendingLength);
    m_lPendingLength = 0;
    if (FAILED(m_pOutput->Deliver(sample.Get()))) ++m_nFailedDeliveries;
}

void CMpeg2Demux::OnSection(std::span<const std::uint8_t> section) {
    const auto pat = CPsiSectionParser::DecodePat(section);
    if (!pat || !pat->currentNext) return;
    if (pat->version != m_nPatVersion) {
        // A new PAT replaces the programs of the old one.
        m_pmtPids.reset();
        m_nPatVersion = pat->version;
    }
    for (const PatProgram& program : pat->programs) {
        if (program.programNumber != 0) m_pmtPids.set(program.pid);
    }
}
