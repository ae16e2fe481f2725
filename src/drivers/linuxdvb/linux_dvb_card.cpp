#include "drivers/linuxdvb/linux_dvb_card.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "drivers/linuxdvb/device_holders.h"
#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/dvb_carrier_report.h"
#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/dvb_lock_plan.h"
#include "drivers/linuxdvb/dvb_signal_scale.h"
#include "drivers/linuxdvb/linux_tuner_names.h"
#include "platform/com/error_info.h"
#include "platform/ks/pls_code.h"
#include "platform/win/debug_output.h"
#include "platform/win/text_encoding.h"

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

// The stream id of the packed form: ISI in bits 0-7, the gold code in bits 8-25, code type
// gold (1) in bits 26-27. A code without an ISI filters on ISI 0, as those drivers read it.
std::uint32_t PackedStreamId(std::int32_t isi, std::uint32_t gold) {
    if (gold == 0) return isi < 0 ? NO_STREAM_ID_FILTER : static_cast<std::uint32_t>(isi);
    const std::uint32_t isiByte = isi < 0 ? 0 : static_cast<std::uint32_t>(isi);
    return isiByte | (gold << 8) | (1u << 26);
}

// A read-back value, unless the driver does not read it back or left the request's "auto".
std::optional<std::uint32_t> Reported(const DvbDriverRules& rules, std::uint32_t part,
                                      std::uint32_t value, std::uint32_t automatic) {
    if ((rules.reports & part) == 0 || value == automatic) return std::nullopt;
    return value;
}

// Decibel readings outside these ranges measure nothing (some drivers leave garbage while
// unlocked): 0.001 dB and 0.001 dBm.
constexpr std::int64_t kCarrierToNoiseLowest = -50'000;
constexpr std::int64_t kCarrierToNoiseHighest = 100'000;
constexpr std::int64_t kLevelLowest = -150'000;
constexpr std::int64_t kLevelHighest = 30'000;

std::optional<std::int32_t> Decibels(const std::optional<DvbStatistic>& statistic,
                                     std::int64_t lowest, std::int64_t highest) {
    if (!statistic || statistic->scale != DvbScale::Decibel || statistic->value < lowest ||
        statistic->value > highest)
        return std::nullopt;
    return static_cast<std::int32_t>(statistic->value);
}

std::optional<std::uint64_t> Count(const std::optional<DvbStatistic>& statistic) {
    if (!statistic || statistic->scale != DvbScale::Counter) return std::nullopt;
    return static_cast<std::uint64_t>(statistic->value);
}

}  // namespace

// Room for the longest quiet before a message, the quiet after it and one look, with some left
// for the message itself.
static_assert(CLinuxDvbCard::kLockSearchSettleMs >=
              CDvbSecBus::kPowerUpMs + 2 * CDvbSecBus::kQuietMs + CLinuxDvbCard::kSearchPollMs);

CLinuxDvbCard::CLinuxDvbCard(std::shared_ptr<IDvbKernel> kernel, DvbFrontendDescription frontend,
                             std::wstring tunerName, DvbCardServices services)
    : m_pKernel(std::move(kernel)),
      m_frontend(std::move(frontend)),
      m_strTunerName(std::move(tunerName)),
      m_medium(MediumOf(m_frontend)),
      m_services(std::move(services)),
      m_rules(m_services.rules ? m_services.rules(m_frontend.name) : DvbDriverRules::Generic()),
      m_sec(m_services.timing.pause, [this](int error, const char* what, bool optional) {
          const HRESULT hr = Check(error, what);
          return optional && IsNotSupported(error) ? S_OK : hr;
      }) {}

CLinuxDvbCard::~CLinuxDvbCard() {
    {
        std::lock_guard guard(m_lock);
        m_bStopping = true;
    }
    m_searchWake.notify_all();
    if (m_searchThread.joinable()) m_searchThread.join();
}

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
        m_search.active = false;
        ++m_search.generation;
        m_nReopenAt = 0;
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

DvbSearchProgress CLinuxDvbCard::SearchProgress() const {
    std::lock_guard guard(m_lock);
    return DvbSearchProgress{m_search.active, m_search.issued, m_search.locked};
}

HRESULT CLinuxDvbCard::Check(int error, const char* what) {
    if (error == 0) return S_OK;
    if (error == ENODEV && !m_bRemoved) {
        m_bRemoved = true;
        m_pDevice.reset();
        m_search.active = false;
        OutputDebugStringA(fmt::format("linuxdvb: adapter {} frontend {} is gone",
                                       m_frontend.adapter, m_frontend.frontend));
    }
    OutputDebugStringA(fmt::format(
        "linuxdvb: adapter {} frontend {}: {} failed: {}", m_frontend.adapter, m_frontend.frontend,
        what,
        error == kErrnoNotSupportedKernel ? "not supported (ENOTSUPP)" : std::strerror(error)));
    return m_bRemoved ? kDeviceRemoved : HresultFromErrno(error);
}

std::string CLinuxDvbCard::FrontendHolders() const {
    return DescribeHolders(m_pKernel->Holders(m_frontend.adapter, "frontend", m_frontend.frontend));
}

std::string CLinuxDvbCard::BusyText(const char* kind, const char* what) const {
    const std::string holders =
        DescribeHolders(m_pKernel->Holders(m_frontend.adapter, kind, m_frontend.frontend));
    return fmt::format(
        "{} of the tuner \"{}\" is in use by another program{}. Close that "
        "program, or choose another tuner.",
        what, platform::WideToUtf8(m_strTunerName),
        holders.empty() ? std::string() : ": " + holders);
}

IDvbFrontendDevice* CLinuxDvbCard::Device(HRESULT& hr, bool userAction) {
    hr = S_OK;
    if (m_bRemoved) {
        hr = kDeviceRemoved;
        return nullptr;
    }
    if (m_pDevice) return m_pDevice.get();
    const std::int64_t now = m_services.timing.now();
    if (!userAction && m_nReopenAt != 0 && now < m_nReopenAt) {
        hr = m_hrOpen;
        return nullptr;
    }
    const bool failedBefore = m_nReopenAt != 0;
    std::unique_ptr<IDvbFrontendDevice> opened;
    const int error = m_pKernel->OpenFrontend(m_frontend.adapter, m_frontend.frontend, opened);
    m_pDevice = std::move(opened);
    if (error == 0) {
        if (failedBefore) {
            OutputDebugStringA(fmt::format("linuxdvb: adapter {} frontend {} is free again",
                                           m_frontend.adapter, m_frontend.frontend));
        }
        m_nReopenAt = 0;
        m_sec.Reset();  // the kernel switched the LNB off when the frontend was last closed
        return m_pDevice.get();
    }
    m_pDevice.reset();
    m_nReopenAt = now + kReopenMs;
    if (error == EBUSY) {
        const std::string text = BusyText("frontend", "The frontend");
        // Once per busy spell, so a poll every second does not flood the log.
        if (!failedBefore || m_hrOpen != kDeviceBusy) OutputDebugStringA("linuxdvb: " + text);
        if (userAction) com::SetErrorDescription(text);
        m_hrOpen = hr = kDeviceBusy;
        return nullptr;
    }
    const HRESULT failure = HresultFromErrno(error);
    if (!failedBefore || m_hrOpen != failure || userAction) {
        hr = Check(error, "opening the frontend");
    } else {
        hr = failure;
    }
    m_hrOpen = hr;
    return nullptr;
}

HRESULT CLinuxDvbCard::Tune(const BdaTuneRequest& request) {
    std::lock_guard guard(m_lock);
    const std::optional<DvbTunePlan> plan = PlanTune(request);
    if (!plan) return E_INVALIDARG;
    const DvbTransponderKey key{static_cast<std::uint32_t>(*CarrierFrequencyKHz(request)),
                                request.polarisation, plan->symbolRate};
    const bool dvbs2 =
        std::find(m_frontend.deliverySystems.begin(), m_frontend.deliverySystems.end(),
                  SYS_DVBS2) != m_frontend.deliverySystems.end();
    if (!dvbs2 && HintFor(key).deliverySystem == SYS_DVBS2) {
        // A search would only time out: the files say the carrier is DVB-S2.
        com::SetErrorDescription(fmt::format(
            "This tuner receives DVB-S only, and the satellite files list {} MHz as a DVB-S2 "
            "transponder. Choose a DVB-S2 tuner for it.",
            key.frequencyKHz / 1000));
        return HresultFromErrno(EOPNOTSUPP);
    }
    HRESULT hr = S_OK;
    IDvbFrontendDevice* device = Device(hr, true);
    if (device == nullptr) return hr;

    // The switch message belongs to this tune only: the next one sends what its own request
    // brings, or nothing.
    const std::optional<std::vector<std::uint8_t>> message = std::exchange(m_switchMessage, {});
    m_bitCounters.reset();
    m_bitWindow.reset();
    hr =
        m_sec.Tune(*device, plan->voltage, plan->highBand,
                   message ? std::optional<std::span<const std::uint8_t>>(*message) : std::nullopt);
    if (FAILED(hr)) return hr;

    Search search;
    search.generation = m_search.generation + 1;
    search.key = key;
    search.intermediateKHz = plan->intermediateKHz;
    search.symbolRate = plan->symbolRate;
    search.timeoutMs = AttemptTimeoutMs(m_rules, plan->symbolRate);
    search.attempts = PlanFor(search.key);
    if (search.attempts.empty()) return E_INVALIDARG;
    // One attempt is the kernel's to repeat; several are the search thread's.
    search.active = search.attempts.size() > 1;
    m_search = std::move(search);
    hr = IssueAttempt(*device);
    if (FAILED(hr)) {
        m_search.active = false;
        return hr;
    }
    if (m_search.active) {
        if (!m_searchThread.joinable()) m_searchThread = std::thread([this] { SearchLoop(); });
        m_searchWake.notify_all();
    }
    return S_OK;
}

DvbTransponderHint CLinuxDvbCard::HintFor(const DvbTransponderKey& carrier) const {
    return m_services.hints ? m_services.hints->Find(carrier.frequencyKHz, carrier.polarisation,
                                                     carrier.symbolRate)
                            : DvbTransponderHint{};
}

std::vector<DvbCarrierSettings> CLinuxDvbCard::PlanFor(const DvbTransponderKey& carrier) const {
    const std::optional<DvbCarrierSettings> remembered =
        m_services.memory ? m_services.memory->Recall(m_frontend.name, carrier) : std::nullopt;
    return PlanLockAttempts(m_rules, m_frontend, HintFor(carrier), remembered);
}

HRESULT CLinuxDvbCard::LockSearchTime(const DvbTransponderKey& carrier,
                                      std::uint32_t& milliseconds) {
    milliseconds = 0;
    if (IsRemoved()) return kDeviceRemoved;
    // A tune of these would be refused: no search to wait for.
    if (carrier.frequencyKHz == 0 || carrier.symbolRate == 0) return E_INVALIDARG;
    const std::size_t attempts = PlanFor(carrier).size();
    if (attempts == 0) return E_INVALIDARG;
    milliseconds = static_cast<std::uint32_t>(attempts) *
                       static_cast<std::uint32_t>(AttemptTimeoutMs(m_rules, carrier.symbolRate)) +
                   kLockSearchSettleMs;
    return S_OK;
}

HRESULT CLinuxDvbCard::SetStreamProperties(IDvbFrontendDevice& device) {
    const std::uint32_t isi =
        m_nInputStreamId < 0 ? NO_STREAM_ID_FILTER : static_cast<std::uint32_t>(m_nInputStreamId);
    const bool codeUnsent = m_nPlsGold != 0 && (m_rules.streamId == DvbStreamIdForm::None ||
                                                m_rules.streamId == DvbStreamIdForm::Isi);
    if (codeUnsent || (m_nInputStreamId >= 0 && m_rules.streamId == DvbStreamIdForm::None)) {
        OutputDebugStringA(fmt::format(
            "linuxdvb: adapter {} frontend {}: the driver takes no {}; tuned without it",
            m_frontend.adapter, m_frontend.frontend,
            codeUnsent ? "scrambling code" : "input stream id"));
    }
    std::vector<DvbProperty> stream;
    switch (m_rules.streamId) {
        case DvbStreamIdForm::None:
            return S_OK;
        case DvbStreamIdForm::Isi:
            stream = {{DTV_STREAM_ID, isi}};
            break;
        case DvbStreamIdForm::Index:
            stream = {{DTV_STREAM_ID, isi}, {DTV_SCRAMBLING_SEQUENCE_INDEX, m_nPlsGold}};
            break;
        case DvbStreamIdForm::Packed:
            stream = {{DTV_STREAM_ID, PackedStreamId(m_nInputStreamId, m_nPlsGold)}};
            break;
    }
    const int error = device.SetProperties(stream);
    // A kernel without these properties still tunes the default stream.
    const bool defaults = m_nInputStreamId < 0 && m_nPlsGold == 0;
    if (error != 0 && !(defaults && error != ENODEV)) {
        return Check(error, "FE_SET_PROPERTY (stream id, scrambling sequence index)");
    }
    return S_OK;
}

HRESULT CLinuxDvbCard::IssueAttempt(IDvbFrontendDevice& device) {
    const DvbCarrierSettings& settings = m_search.attempts[m_search.index];
    ++m_search.issued;
    const DvbProperty clear[] = {{DTV_CLEAR, 0}};
    HRESULT hr = Check(device.SetProperties(clear), "DTV_CLEAR");
    if (FAILED(hr)) return hr;
    const DvbProperty carrier[] = {
        {DTV_DELIVERY_SYSTEM, settings.deliverySystem},
        {DTV_FREQUENCY, m_search.intermediateKHz},
        {DTV_SYMBOL_RATE, m_search.symbolRate},
        {DTV_MODULATION, settings.modulation},
        {DTV_INNER_FEC, settings.innerFec},
        {DTV_INVERSION, INVERSION_AUTO},
        {DTV_PILOT, settings.pilot},
        {DTV_ROLLOFF, settings.rolloff},
    };
    if (FAILED(hr = Check(device.SetProperties(carrier), "FE_SET_PROPERTY (carrier)"))) return hr;
    if (settings.deliverySystem == SYS_DVBS2 && FAILED(hr = SetStreamProperties(device))) return hr;
    const DvbProperty tune[] = {{DTV_TUNE, 0}};
    hr = Check(device.SetProperties(tune), "DTV_TUNE");
    // From here: a tune waits in the kernel for a driver still searching the previous attempt.
    m_search.attemptStartMs = m_services.timing.now();
    return hr;
}

void CLinuxDvbCard::SearchLoop() {
    std::unique_lock guard(m_lock);
    for (;;) {
        m_searchWake.wait(guard, [this] { return m_bStopping || m_search.active; });
        if (m_bStopping) return;
        const std::uint64_t generation = m_search.generation;
        guard.unlock();
        m_services.timing.wait(kSearchPollMs);
        guard.lock();
        if (m_bStopping) return;
        if (!SearchGoesOn(generation)) continue;
        // Read without the card's lock: a driver that searches inside its tune keeps the
        // kernel's frontend lock for as long, and the signal's readers must not wait behind this
        // thread besides.
        const std::shared_ptr<IDvbFrontendDevice> device = m_pDevice;
        guard.unlock();
        std::uint32_t status = 0;
        const std::int64_t before = m_services.timing.now();
        const int error = device->ReadStatus(status);
        const std::int64_t took = m_services.timing.now() - before;
        guard.lock();
        if (took >= kSlowStatusReadMs) {
            OutputDebugStringA(fmt::format(
                "linuxdvb: adapter {} frontend {}: FE_READ_STATUS took {} ms (the driver was "
                "still searching the attempt before)",
                m_frontend.adapter, m_frontend.frontend, took));
        }
        if (m_bStopping) return;
        // A new tune, a detach or a removal meanwhile: this reading is of a search that is over.
        if (SearchGoesOn(generation) && m_pDevice == device) SearchStep(error, status);
    }
}

bool CLinuxDvbCard::SearchGoesOn(std::uint64_t generation) const {
    return m_search.active && generation == m_search.generation && m_pDevice;
}

void CLinuxDvbCard::SearchStep(int readError, std::uint32_t status) {
    if (FAILED(Check(readError, "FE_READ_STATUS"))) {
        m_search.active = false;
        return;
    }
    const DvbCarrierSettings& settings = m_search.attempts[m_search.index];
    if ((status & FE_HAS_LOCK) != 0) {
        m_search.active = false;
        m_search.locked = settings;
        OutputDebugStringA(fmt::format(
            "linuxdvb: adapter {} frontend {}: locked with {} ({} of {})", m_frontend.adapter,
            m_frontend.frontend, Describe(settings), m_search.issued, m_search.attempts.size()));
        if (m_services.memory) m_services.memory->Remember(m_frontend.name, m_search.key, settings);
        return;
    }
    // Measured, not counted in polls: a read or a tune that waited in the kernel took its time.
    if (m_services.timing.now() - m_search.attemptStartMs < m_search.timeoutMs) return;
    // Round and round: a carrier that appears later (a dish still turning) is found then.
    m_search.index = (m_search.index + 1) % m_search.attempts.size();
    if (FAILED(IssueAttempt(*m_pDevice))) m_search.active = false;
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
    IDvbFrontendDevice* device = Device(hr, true);
    if (device == nullptr) return hr;
    return m_sec.Send(*device, message);
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

IDvbFrontendDevice* CLinuxDvbCard::ReadableDevice(HRESULT& hr, std::uint32_t& status) {
    IDvbFrontendDevice* device = Device(hr, false);
    if (device == nullptr) return nullptr;
    if (FAILED(hr = Check(device->ReadStatus(status), "FE_READ_STATUS"))) return nullptr;
    return device;
}

HRESULT CLinuxDvbCard::ReadSignal(DvbSignal& signal) {
    std::lock_guard guard(m_lock);
    signal = DvbSignal{};
    HRESULT hr = S_OK;
    std::uint32_t status = 0;
    IDvbFrontendDevice* device = ReadableDevice(hr, status);
    if (device == nullptr) return hr;
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
    std::uint32_t status = 0;
    IDvbFrontendDevice* device = ReadableDevice(hr, status);
    if (device == nullptr) return hr;
    DvbProperty properties[] = {{DTV_DELIVERY_SYSTEM, 0}, {DTV_FREQUENCY, 0},  {DTV_SYMBOL_RATE, 0},
                                {DTV_INNER_FEC, 0},       {DTV_MODULATION, 0}, {DTV_ROLLOFF, 0},
                                {DTV_PILOT, 0},           {DTV_INVERSION, 0}};
    if (FAILED(hr = Check(device->GetProperties(properties), "FE_GET_PROPERTY"))) return hr;
    DvbReceivedCarrier carrier;
    carrier.frequencyKHz = properties[1].value;
    carrier.symbolRate = properties[2].value;
    // Before lock FE_GET_PROPERTY answers only what was asked for.
    if ((status & FE_HAS_LOCK) != 0) {
        carrier.deliverySystem = Reported(m_rules, kReportsDelivery, properties[0].value, ~0u);
        if (!carrier.deliverySystem && !m_search.attempts.empty()) {
            // No DVB-S mode locks DVB-S2, and a DVB-S2 mode that does not search DVB-S locks
            // only DVB-S2.
            const std::uint32_t mode = m_search.attempts[m_search.index].deliverySystem;
            if (mode == SYS_DVBS || !m_rules.s2ReceivesS) carrier.deliverySystem = mode;
        }
        carrier.innerFec = Reported(m_rules, kReportsFec, properties[3].value, FEC_AUTO);
        carrier.modulation = Reported(m_rules, kReportsModulation, properties[4].value, QAM_AUTO);
        carrier.rolloff = Reported(m_rules, kReportsRollOff, properties[5].value, ROLLOFF_AUTO);
        carrier.pilot = Reported(m_rules, kReportsPilot, properties[6].value, PILOT_AUTO);
        carrier.inversion =
            Reported(m_rules, kReportsInversion, properties[7].value, INVERSION_AUTO);
    }
    fields = BuildCarrierReport(carrier);
    return S_OK;
}

HRESULT CLinuxDvbCard::SignalMeasure(DvbSignalMeasure& measure) {
    std::lock_guard guard(m_lock);
    measure = DvbSignalMeasure{};
    HRESULT hr = S_OK;
    std::uint32_t status = 0;
    IDvbFrontendDevice* device = ReadableDevice(hr, status);
    if (device == nullptr) return hr;
    const auto read = [&](DvbStatisticSource source) -> std::optional<DvbStatistic> {
        DvbStatistic statistic;
        const int error = device->ReadStatistic(source, statistic);
        if (error == ENODEV) Check(error, "reading statistics");
        if (error != 0) return std::nullopt;
        return statistic;
    };
    measure.carrierToNoiseMilliDb = Decibels(read(DvbStatisticSource::CarrierToNoise),
                                             kCarrierToNoiseLowest, kCarrierToNoiseHighest);
    measure.levelMilliDbm =
        Decibels(read(DvbStatisticSource::Strength), kLevelLowest, kLevelHighest);
    if (m_bRemoved) return kDeviceRemoved;
    if ((status & FE_HAS_LOCK) == 0) {
        // Counts of a lost carrier say nothing about the next one.
        m_bitCounters.reset();
        m_bitWindow.reset();
        return S_OK;
    }

    std::optional<BitCounters> now;
    const auto postErrors = Count(read(DvbStatisticSource::PostErrorBits));
    const auto postTotal = Count(read(DvbStatisticSource::PostTotalBits));
    if (postErrors && postTotal) {
        now = BitCounters{true, *postErrors, *postTotal};
    } else {
        const auto preErrors = Count(read(DvbStatisticSource::PreErrorBits));
        const auto preTotal = Count(read(DvbStatisticSource::PreTotalBits));
        if (preErrors && preTotal) now = BitCounters{false, *preErrors, *preTotal};
    }
    measure.uncorrectedBlocks = Count(read(DvbStatisticSource::ErrorBlocks));
    if (m_bRemoved) return kDeviceRemoved;

    if (!now) {
        m_bitCounters.reset();
        m_bitWindow.reset();
    } else {
        const std::optional<BitCounters> before = std::exchange(m_bitCounters, now);
        const bool continues = before && before->post == now->post &&
                               now->errors >= before->errors && now->total >= before->total;
        if (!continues) {
            // The first reading, or the driver started counting again (a tune).
            m_bitWindow = now->total > 0 ? now : std::nullopt;
        } else if (now->total > before->total) {
            m_bitWindow =
                BitCounters{now->post, now->errors - before->errors, now->total - before->total};
        }
    }
    if (m_bitWindow) {
        measure.bitErrors = m_bitWindow->errors;
        measure.bitsCounted = m_bitWindow->total;
    }
    return S_OK;
}

HRESULT CLinuxDvbCard::OpenStream(std::unique_ptr<IDvbStreamDevice>& stream) {
    std::lock_guard guard(m_lock);
    stream.reset();
    if (m_bRemoved) return kDeviceRemoved;
    const int error =
        m_pKernel->OpenStream(m_frontend.adapter, m_frontend.frontend, kStreamBufferBytes, stream);
    if (error == 0) return S_OK;
    stream.reset();
    if (error == EBUSY) {
        const std::string text = BusyText("dvr", "The stream");
        OutputDebugStringA("linuxdvb: " + text);
        com::SetErrorDescription(text);
        return kDeviceBusy;
    }
    return Check(error, "opening the demux and dvr");
}

}  // namespace linuxdvb
