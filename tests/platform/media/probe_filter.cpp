#include "platform/media/probe_filter.h"

#include "platform/media/probe_pin.h"

std::atomic<int> CProbeFilter::s_nLive{0};

void CProbeLog::Add(std::string event) {
    std::lock_guard guard(m_lock);
    m_events.push_back(std::move(event));
}

std::vector<std::string> CProbeLog::Take() {
    std::lock_guard guard(m_lock);
    return std::exchange(m_events, {});
}

std::vector<std::string> CProbeLog::Filtered(const std::string& part) const {
    std::lock_guard guard(m_lock);
    std::vector<std::string> out;
    for (const std::string& e : m_events) {
        if (e.find(part) != std::string::npos) out.push_back(e);
    }
    return out;
}

namespace {
constexpr CLSID kProbeClsid = com::MakeGuid("{7E570000-0000-4000-8000-00000000B001}");
}

CProbeFilter::CProbeFilter(std::string name, CProbeLog* log, std::vector<ProbePinSetup> pins)
    : CBaseFilter(L"Probe", nullptr, &m_lock, kProbeClsid),
      m_strName(std::move(name)),
      m_pLog(log) {
    for (ProbePinSetup& setup : pins) {
        if (setup.dir == PINDIR_INPUT) {
            m_pins.push_back(std::make_unique<CProbeInputPin>(this, &m_lock, std::move(setup)));
        } else {
            m_pins.push_back(std::make_unique<CProbeOutputPin>(this, &m_lock, std::move(setup)));
        }
    }
    ++s_nLive;
}

CProbeFilter::~CProbeFilter() {
    --s_nLive;
}

int CProbeFilter::GetPinCount() {
    return static_cast<int>(m_pins.size());
}

CBasePin* CProbeFilter::GetPin(int n) {
    if (n < 0 || n >= static_cast<int>(m_pins.size())) return nullptr;
    return m_pins[static_cast<std::size_t>(n)].get();
}

HRESULT CProbeFilter::Stop() {
    Log("Stop");
    return CBaseFilter::Stop();
}

HRESULT CProbeFilter::Pause() {
    Log("Pause");
    return CBaseFilter::Pause();
}

HRESULT CProbeFilter::Run(REFERENCE_TIME start) {
    Log("Run");
    return CBaseFilter::Run(start);
}

void CProbeFilter::Log(const std::string& event) {
    if (m_pLog != nullptr) m_pLog->Add(m_strName + "." + event);
}

namespace probe {

AM_MEDIA_TYPE Type(const char* majorGuid, const char* subGuid) {
    AM_MEDIA_TYPE mt;
    mt.majortype = *com::ParseGuid(majorGuid);
    mt.subtype = *com::ParseGuid(subGuid);
    mt.formattype = *com::ParseGuid("{0F0F0F0F-0000-0000-0000-00000000F0F0}");
    return mt;
}

const AM_MEDIA_TYPE kTypeA =
    Type("{AAAAAAAA-0000-0000-0000-000000000001}", "{AAAAAAAA-0000-0000-0000-0000000000A1}");
const AM_MEDIA_TYPE kTypeB =
    Type("{BBBBBBBB-0000-0000-0000-000000000002}", "{BBBBBBBB-0000-0000-0000-0000000000B2}");
const AM_MEDIA_TYPE kTypeC =
    Type("{CCCCCCCC-0000-0000-0000-000000000003}", "{CCCCCCCC-0000-0000-0000-0000000000C3}");

ProbePinSetup Input(std::wstring name, std::vector<AM_MEDIA_TYPE> offered,
                    std::vector<AM_MEDIA_TYPE> accepted) {
    ProbePinSetup setup;
    setup.name = std::move(name);
    setup.dir = PINDIR_INPUT;
    setup.offered = std::move(offered);
    setup.accepted = std::move(accepted);
    return setup;
}

ProbePinSetup Output(std::wstring name, std::vector<AM_MEDIA_TYPE> offered,
                     std::vector<AM_MEDIA_TYPE> accepted) {
    ProbePinSetup setup = Input(std::move(name), std::move(offered), std::move(accepted));
    setup.dir = PINDIR_OUTPUT;
    return setup;
}

void Unplug(std::initializer_list<IBaseFilter*> filters) {
    for (IBaseFilter* filter : filters) filter->Stop();
    for (IBaseFilter* filter : filters) {
        ComPtr<IEnumPins> pins;
        filter->EnumPins(pins.ReleaseAndGetAddressOf());
        ComPtr<IPin> pin;
        while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            ComPtr<IPin> partner;
            if (pin->ConnectedTo(partner.ReleaseAndGetAddressOf()) != S_OK) continue;
            partner->Disconnect();
            pin->Disconnect();
        }
    }
}

}  // namespace probe
