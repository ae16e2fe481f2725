#pragma once
// The MPEG-2 demultiplexer (CLSID_MPEG2Demultiplexer), reduced to what the tuner graph needs: an
// input pin "Input" that takes a transport stream (MEDIATYPE_Stream), and an output pin "Output"
// (MEDIATYPE_Stream / MEDIASUBTYPE_MPEG2_TRANSPORT) that carries the PSI packets on to the
// transport information filter. It counts packets per PID and continuity errors of everything it
// receives (Counters()). PSI packets are those of PIDs 0x0000..0x001F and the PMT PIDs that the
// PAT names; they are copied, in arrival order, into samples of the demux's own small pool. When
// no pool sample is free the packet is dropped and counted: the streaming thread never waits
// here, so Stop (upstream filters first) can always join it.
#include <bitset>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"
#include "platform/media/psi_section_parser.h"
#include "platform/media/sample_pool.h"
#include "platform/media/ts_packet_parser.h"

class CMpeg2DemuxInputPin;
class CMpeg2DemuxOutputPin;

class CMpeg2Demux : public CBaseFilter,
                    private CTsPacketParser::IPacketHandler,
                    private CPsiSectionParser::ISectionHandler {
public:
    static constexpr std::size_t kPoolSamples = 4;
    static constexpr std::size_t kPacketsPerSample = 32;

    explicit CMpeg2Demux(IUnknown* pOuter = nullptr);
    ~CMpeg2Demux() override;

    // Pin 0 "Input", pin 1 "Output".
    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // Diagnostics, from any thread: a snapshot of the counters of every byte received since the
    // filter was made (a stop forgets a partial packet but keeps the counts).
    TransportCounters Counters() const;
    // The PMT PIDs learned from the last PAT, in ascending order.
    std::vector<std::uint16_t> PmtPids() const;
    // PSI packets lost because no output sample was free.
    std::uint64_t DroppedPsiPackets() const;
    // PSI samples that the downstream filter refused.
    std::uint64_t FailedDeliveries() const;

    // For the pins. On the streaming thread: parses the sample and delivers the PSI packets;
    // S_OK unless the sample's buffer cannot be read.
    HRESULT ProcessSample(IMediaSample* sample);
    // The input stops: forget partial packets and sections (a new stream follows).
    void ResetStream();
    // Output side of the stream notifications.
    CMpeg2DemuxOutputPin* OutputPin() const { return m_pOutput.get(); }
    CSamplePool& Pool() { return m_pool; }

private:
    void OnPacket(const std::uint8_t* packet, std::uint16_t pid) override;
    void OnSection(std::span<const std::uint8_t> section) override;
    void DeliverPending();

    CCritSec m_lock;
    std::unique_ptr<CMpeg2DemuxInputPin> m_pInput;
    std::unique_ptr<CMpeg2DemuxOutputPin> m_pOutput;

    // Guards everything below; held across ProcessSample (and the downstream Receive it calls).
    mutable std::mutex m_receiveLock;
    CTsPacketParser m_parser;
    CPsiSectionParser m_patParser;
    std::bitset<CTsPacketParser::kPidCount> m_pmtPids;
    int m_nPatVersion = -1;
    CSamplePool m_pool;
    ComPtr<IMediaSample> m_pPending;  // the output sample being filled
    BYTE* m_pPendingData = nullptr;
    LONG m_lPendingLength = 0;
    std::uint64_t m_nDropped = 0;
    std::uint64_t m_nFailedDeliveries = 0;
};
