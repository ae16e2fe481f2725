#include "platform/media/transport_info_filter.h"

#include "platform/media/sample_data.h"
#include "platform/media/transport_info_input_pin.h"

namespace {
constexpr std::uint16_t kPatPid = 0x0000;
constexpr std::uint16_t kSdtPid = 0x0011;
constexpr std::uint8_t kSdtActualTableId = 0x42;
}  // namespace

CTransportInfoFilter::CTransportInfoFilter(IUnknown* pOuter)
    : CBaseFilter(L"Transport Information Filter", pOuter, &m_lock,
                  CLSID_TransportInformationFilter) {
    HRESULT hr = S_OK;
    m_pInput = std::make_unique<CTransportInfoInputPin>(this, &m_lock, &hr);
}

CTransportInfoFilter::~CTransportInfoFilter() = default;

int CTransportInfoFilter::GetPinCount() {
    return 1;
}

CBasePin* CTransportInfoFilter::GetPin(int n) {
    return n == 0 ? m_pInput.get() : nullptr;
}

std::vector<SdtService> CTransportInfoFilter::Services() const {
    std::lock_guard guard(m_receiveLock);
    std::vector<SdtService> services;
    for (const auto& [id, service] : m_services) services.push_back(service);
    return services;
}

std::vector<PatProgram> CTransportInfoFilter::Programs() const {
    std::lock_guard guard(m_receiveLock);
    std::vector<PatProgram> programs;
    for (const auto& [number, program] : m_programs) programs.push_back(program);
    return programs;
}

TransportCounters CTransportInfoFilter::Counters() const {
    std::lock_guard guard(m_receiveLock);
    return m_parser.Counters();
}

std::uint64_t CTransportInfoFilter::BadSections() const {
    std::lock_guard guard(m_receiveLock);
    return m_nBadSections;
}

HRESULT CTransportInfoFilter::ProcessSample(IMediaSample* sample) {
    std::span<const std::uint8_t> data;
    const HRESULT hr = media::SampleData(sample, &data);
    if (FAILED(hr)) return hr;
    if (data.empty()) return S_OK;
    std::lock_guard guard(m_receiveLock);
    m_parser.Feed(data, this);
    return S_OK;
}

void CTransportInfoFilter::ResetStream() {
    std::lock_guard guard(m_receiveLock);
    m_parser.Resync();
    m_patParser.Reset();
    m_sdtParser.Reset();
}

void CTransportInfoFilter::OnPacket(const std::uint8_t* packet, std::uint16_t pid) {
    if (pid == kPatPid) {
        m_patParser.PushPacket(packet, this);
    } else if (pid == kSdtPid) {
        m_sdtParser.PushPacket(packet, this);
    }
}

void CTransportInfoFilter::OnSection(std::span<const std::uint8_t> section) {
    const std::uint8_t tableId = section[0];
    if (tableId == 0x00) {
        const auto pat = CPsiSectionParser::DecodePat(section);
        if (!pat) {
            ++m_nBadSections;
            return;
        }
        if (!pat->currentNext) return;
        if (pat->transportStreamId != m_nPatTsid || pat->version != m_nPatVersion) {
            m_programs.clear();
            m_nPatTsid = pat->transportStreamId;
            m_nPatVersion = pat->version;
        }
        for (const PatProgram& program : pat->programs) m_programs[program.programNumber] = program;
    } else if (tableId == kSdtActualTableId) {
        const auto sdt = CPsiSectionParser::DecodeSdt(section);
        if (!sdt) {
            ++m_nBadSections;
            return;
        }
        if (sdt->transportStreamId != m_nSdtTsid) {
            m_services.clear();
            m_nSdtTsid = sdt->transportStreamId;
        }
        for (const SdtService& service : sdt->services) m_services[service.serviceId] = service;
    }
}
