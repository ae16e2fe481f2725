#include "drivers/linuxdvb/linux_dvb_card.h"

#include <fmt/format.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/dvb_carrier_report.h"
#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/dvb_signal_scale.h"
#include "drivers/linuxdvb/linux_tuner_names.h"
#include "platform/ks/pls_code.h"
#include "platform/win/debug_output.h"

namespace linuxdvb {

namespace {

// {4C445642-0000-4000-8000-00000000AAFF}: "LDVB", adapter and frontend in the last bytes.
GUID MediumOf(const DvbFrontendDescription& frontend) {
    GUID medium;
    medium.Data1 = 0x4C445642;
    medium.Data3 = 0x4000;
    medium.Data4 = {0x80,
                    0,
                    0,
                    0,
                    0,
                    0,
                    static_cast<std::uint8_t>(frontend.adapter),
                    static_cast<std::uint8_t>(frontend.frontend)};
    return medium;
}

void SleepMs(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace

CLinuxDvbCard::CLinuxDvbCard(std::shared_ptr<IDvbKernel> kernel, DvbFrontendDescription frontend,
                             std::wstring tunerName, Pause pause)
    : m_pKernel(std::move(kernel)),
      m_frontend(std::move(frontend)),
      m_strTunerName(std::move(tunerName)),
      m_medium(MediumOf(m_frontend)),
      m_pause(pause ? std::move(pause) : Pause(SleepMs)) {}

CLinuxDvbCard::~CLinuxDvbCard() = default;

void CLinuxDvbCard::AttachTuner() {
    std::lock_guard guard(m_lock);
    ++m_nTuners;
}

void CLinuxDvbCard::DetachTuner() {
    std::lock_guard guard(m_lock);
    if (m_nTuners > 0 && --m_nTuners == 0) {
        // Another program may use the frontend now; the next user starts afresh.
        m_pDevice.reset();
        m_switchMessage.reset();
        m_nInputStreamId = -1;
        m_nPlsGold = 0;
    }
}

bool CLinuxDvbCard::IsRemoved() const {
    std::lock_guard guard(m_lock);
    return m_bRemoved;
}

std::optional<std::vector<std::uint8_t>> CLinuxDvbCard::PendingSwitchMessage() const {
    std::lock_guard guard(m_lock);
    return m_switchMessage;
}

HRESULT CLinuxDvbCard::Check(int error, const char* what) {
    if (error == 0) return S_OK;
    if (error == ENODEV && !m_bRemoved) {
        m_bRemoved = true;
        m_pDevice.reset();
        OutputDebugStringA(fmt::format("linuxdvb: adapter {} frontend {} is gone",
                                       m_frontend.adapter, m_frontend.frontend));
    }
    OutputDebugStringA(fmt::format(
        "linuxdvb: adapter {} frontend {}: {} failed: {}", m_frontend.adapter, m_frontend.frontend,
        what,
        error == kErrnoNotSupportedKernel ? "not supported (ENOTSUPP)" : std::strerror(error)));
    return m_bRemoved ? kDeviceRemoved : HresultFromErrno(error);
}

HRESULT CLinuxDvbCard::CheckSec(int error, const char* what) {
    const HRESULT hr = Check(error, what);
    return IsNotSupported(error) ? S_OK : hr;
}

IDvbFrontendDevice* CLinuxDvbCard::Device(HRESULT& hr) {
    hr = S_OK;
    if (m_bRemoved) {
        hr = kDeviceRemoved;
        return nullptr;
    }
    if (!m_pDevice) {
        const int error =
            m_pKernel->OpenFrontend(m_frontend.adapter, m_frontend.frontend, m_pDevice);
        if (error != 0) {
            m_pDevice.reset();
            hr = Check(error, "opening the frontend");
            return nullptr;
        }
    }
    return m_pDevice.get();
}

HRESULT CLinuxDvbCard::Tune(const BdaTuneRequest& request) {
    std::lock_guard guard(m_lock);
    const std::optional<DvbTunePlan> plan = PlanTune(request);
    if (!plan) return E_INVALIDARG;
    HRESULT hr = S_OK;
    IDvbFrontendDevice* device = Device(hr);
    if (device == nullptr) return hr;

    // SEC first: the switch needs the LNB's power before its message, and a quiet line (no tone).
    if (FAILED(hr = CheckSec(device->SetTone(false), "FE_SET_TONE off"))) return hr;
    if (FAILED(hr = CheckSec(device->SetVoltage(plan->voltage), "FE_SET_VOLTAGE"))) return hr;
    if (m_switchMessage) {
        if (FAILED(hr = Check(device->SendDiseqc(*m_switchMessage), "FE_DISEQC_SEND_MASTER_CMD")))
            return hr;
        m_pause(kSettleMs);
    }
    if (FAILED(hr = CheckSec(device->SetTone(plan->highBand), "FE_SET_TONE"))) return hr;

    const bool s2 = HasDvbS2(m_frontend);
    const DvbProperty clear[] = {{DTV_CLEAR, 0}};
    if (FAILED(hr = Check(device->SetProperties(clear), "DTV_CLEAR"))) return hr;
    std::vector<DvbProperty> carrier = {
        {DTV_DELIVERY_SYSTEM, s2 ? SYS_DVBS2 : SYS_DVBS},
        {DTV_FREQUENCY, plan->intermediateKHz},
        {DTV_SYMBOL_RATE, plan->symbolRate},
        {DTV_INNER_FEC, FEC_AUTO},
        {DTV_INVERSION, INVERSION_AUTO},
    };
    if (s2) {
        carrier.push_back({DTV_PILOT, PILOT_AUTO});
        carrier.push_back({DTV_ROLLOFF, ROLLOFF_AUTO});
    } else {
        carrier.push_back({DTV_MODULATION, QPSK});
    }
    if (FAILED(hr = Check(device->SetProperties(carrier), "FE_SET_PROPERTY (carrier)"))) return hr;
    if (s2) {
        const std::uint32_t streamId = m_nInputStreamId < 0
                                           ? NO_STREAM_ID_FILTER
                                           : static_cast<std::uint32_t>(m_nInputStreamId);
        const DvbProperty stream[] = {{DTV_STREAM_ID, streamId},
                                      {DTV_SCRAMBLING_SEQUENCE_INDEX, m_nPlsGold}};
        const int error = device->SetProperties(stream);
        // A kernel without these properties still tunes the default stream.
        const bool defaults = m_nInputStreamId < 0 && m_nPlsGold == 0;
        if (error != 0 && !(defaults && error != ENODEV)) {
            return Check(error, "FE_SET_PROPERTY (stream id, scrambling sequence index)");
        }
    }
    const DvbProperty tune[] = {{DTV_TUNE, 0}};
    return Check(device->SetProperties(tune), "DTV_TUNE");
}

HRESULT CLinuxDvbCard::SendDiseqc(std::span<const std::uint8_t> message) {
    std::lock_guard guard(m_lock);
    if (m_bRemoved) return kDeviceRemoved;
    if (message.size() < 3 || message.size() > 6) return E_INVALIDARG;
    if (IsSwitchMessage(message)) {
        m_switchMessage.emplace(message.begin(), message.end());
        return S_OK;
    }
    HRESULT hr = S_OK;
    IDvbFrontendDevice* device = Device(hr);
    if (device == nullptr) return hr;
    return Check(device->SendDiseqc(message), "FE_DISEQC_SEND_MASTER_CMD");
}

HRESULT CLinuxDvbCard::SetInputStreamId(std::int32_t isi) {
    std::lock_guard guard(m_lock);
    if (m_bRemoved) return kDeviceRemoved;
    if (isi < -1 || isi > 255) return E_INVALIDARG;
    m_nInputStreamId = isi;
    return S_OK;
}

HRESULT CLinuxDvbCard::SetPlsGold(std::uint32_t gold) {
    std::lock_guard guard(m_lock);
    if (m_bRemoved) return kDeviceRemoved;
    if (gold > pls_code::kMaxGold) return E_INVALIDARG;
    m_nPlsGold = gold;
    return S_OK;
}

HRESULT CLinuxDvbCard::ReadSignal(DvbSignal& signal) {
    std::lock_guard guard(m_lock);
    signal = DvbSignal{};
    HRESULT hr = S_OK;
    IDvbFrontendDevice* device = Device(hr);
    if (device == nullptr) return hr;
    std::uint32_t status = 0;
    if (FAILED(hr = Check(device->ReadStatus(status), "FE_READ_STATUS"))) return hr;
    signal.locked = (status & FE_HAS_LOCK) != 0;

    // DVBv5 statistics first; drivers that lack them still answer the legacy calls.
    const auto read = [&](DvbStatisticSource modern, DvbStatisticSource legacy,
                          auto scale) -> std::optional<int> {
        DvbStatistic statistic;
        if (device->ReadStatistic(modern, statistic) == 0) {
            if (const auto percent = scale(statistic)) return percent;
        }
        const int error = device->ReadStatistic(legacy, statistic);
        if (error == ENODEV) {
            Check(error, "reading statistics");
            return std::nullopt;
        }
        return error == 0 ? scale(statistic) : std::nullopt;
    };
    signal.strength =
        read(DvbStatisticSource::Strength, DvbStatisticSource::LegacyStrength, StrengthPercent)
            .value_or(0);
    if (m_bRemoved) return kDeviceRemoved;
    // Without lock a carrier-to-noise figure measures nothing.
    if (signal.locked) {
        signal.quality =
            read(DvbStatisticSource::CarrierToNoise, DvbStatisticSource::LegacySnr, QualityPercent)
                .value_or(0);
        if (m_bRemoved) return kDeviceRemoved;
    }
    return S_OK;
}

HRESULT CLinuxDvbCard::MediaInfo(std::array<std::int32_t, 18>& fields) {
    std::lock_guard guard(m_lock);
    fields = {};
    HRESULT hr = S_OK;
    IDvbFrontendDevice* device = Device(hr);
    if (device == nullptr) return hr;
    DvbProperty properties[] = {{DTV_DELIVERY_SYSTEM, 0}, {DTV_FREQUENCY, 0},  {DTV_SYMBOL_RATE, 0},
                                {DTV_INNER_FEC, 0},       {DTV_MODULATION, 0}, {DTV_ROLLOFF, 0},
                                {DTV_PILOT, 0},           {DTV_INVERSION, 0},  {DTV_STREAM_ID, 0}};
    if (FAILED(hr = Check(device->GetProperties(properties), "FE_GET_PROPERTY"))) return hr;
    DvbTunedParameters parameters;
    parameters.deliverySystem = properties[0].value;
    parameters.frequencyKHz = properties[1].value;
    parameters.symbolRate = properties[2].value;
    parameters.innerFec = properties[3].value;
    parameters.modulation = properties[4].value;
    parameters.rolloff = properties[5].value;
    parameters.pilot = properties[6].value;
    parameters.inversion = properties[7].value;
    parameters.streamId = properties[8].value;
    fields = BuildCarrierReport(parameters);
    return S_OK;
}

HRESULT CLinuxDvbCard::OpenStream(std::unique_ptr<IDvbStreamDevice>& stream) {
    std::lock_guard guard(m_lock);
    stream.reset();
    if (m_bRemoved) return kDeviceRemoved;
    const int error =
        m_pKernel->OpenStream(m_frontend.adapter, m_frontend.frontend, kStreamBufferBytes, stream);
    if (error != 0) stream.reset();
    return Check(error, "opening the demux and dvr");
}

}  // namespace linuxdvb
