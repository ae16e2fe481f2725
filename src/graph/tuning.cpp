#include "graph/tuning.h"

#include <mutex>
#include <optional>
#include <string>

#include "diseqc/switch_message.h"
#include "graph/driver_control.h"
#include "graph/tuner_session.h"
#include "graph/tuner_signal.h"
#include "platform/com/co_create.h"
#include "platform/com/error_info.h"
#include "platform/win/c_number.h"
#include "platform/win/system_clock.h"

namespace {

constexpr DWORD kLockPollMs = 20;

// MHz to kHz as the tuning objects take it; wraps like 32-bit arithmetic instead of
// overflowing into undefined behaviour on absurd input.
LONG ToKilohertz(std::int32_t mhz) {
    return static_cast<LONG>(static_cast<std::uint32_t>(mhz) * 1000u);
}

bool IsHighBand(std::int32_t frequencyMHz, std::int32_t lnbSwitchMHz) {
    // Unsigned, so a switch of -1 is above every frequency: always the low band.
    return static_cast<std::uint32_t>(frequencyMHz) > static_cast<std::uint32_t>(lnbSwitchMHz);
}

// The page's port index 1..4 is A..D; any other index selects as A does.
diseqc::Port SwitchPort(std::int32_t portIndex) {
    switch (portIndex) {
        case 2:
            return diseqc::Port::B;
        case 3:
            return diseqc::Port::C;
        case 4:
            return diseqc::Port::D;
        default:
            return diseqc::Port::A;
    }
}

}  // namespace

void PrepareTunerControl(CTunerSession& session, ITunerPage& page) {
    page.SaveSettings();
    session.m_TunerControlRecord.SetConstants();
    session.m_TunerControlRecord.SetDiseqcPort(static_cast<std::uint8_t>(page.DiseqcPortIndex()));
}

std::uint64_t TuneCount(const CTunerSession& session) {
    return session.m_nTunes.load(std::memory_order_acquire);
}

TuneResult Tune(CTunerSession& session, const Transponder& transponder,
                std::chrono::milliseconds waitForLock) {
    TuneResult result;
    const auto fail = [&result](TuneError::Kind kind, std::string text) {
        result.outcome = TuneResult::Outcome::Error;
        result.errors.push_back({kind, std::move(text)});
    };
    session.m_TunerControlRecord.SetConstants();
    session.m_TunerControlRecord.SetDiseqcPort(
        static_cast<std::uint8_t>(transponder.diseqcPortIndex));
    session.m_TunerControlRecord.ClearMessageHead();
    session.m_TunerControlRecord.SetFrequency(static_cast<std::uint32_t>(transponder.frequencyMHz));
    session.m_TunerControlRecord.SetLnbLow(static_cast<std::uint32_t>(transponder.lnbLowMHz));
    session.m_TunerControlRecord.SetLnbHigh(static_cast<std::uint32_t>(transponder.lnbHighMHz));
    session.m_TunerControlRecord.SetSymbolRate(
        static_cast<std::uint32_t>(transponder.symbolRateKsps));
    session.m_TunerControlRecord.SetPolarity(static_cast<std::uint8_t>(transponder.polarityIndex));
    session.m_TunerControlRecord.bytes[TunerControlRecord::kConstantsOffset] = 1;

    if (!session.HasGraph()) {
        // Without a built graph there is nothing to tune; say so instead of failing silently.
        fail(TuneError::Kind::NoTuner,
             "No tuner is ready: the tuner graph could not be built for this device. "
             "Close the program and choose another tuner.");
        return result;
    }
    {
        // Held across the whole driver sequence, so the status thread's reads wait for it.
        std::lock_guard driver(session.m_hDriverMutex);
        session.m_nTunes.fetch_add(1, std::memory_order_acq_rel);
        // Only what this tune's driver calls leave behind may be quoted below.
        com::ClearErrorDescription();
        DriverReports& reports = result.driverReports;
        if (!IsUsbCarrier(session) &&
            !IsStreamTypeCurrent(session, transponder.streamType, reports))
            SetStreamType(session, transponder.streamType, reports);

        if (transponder.diseqcPortIndex > 0) {
            const auto message = diseqc::CommittedSwitch(
                SwitchPort(transponder.diseqcPortIndex),
                IsHighBand(transponder.frequencyMHz, transponder.lnbSwitchMHz),
                transponder.polarityIndex == 0);
            SendDiseqCommand(session, message, DiseqcForm::LockTp, reports);
        }
        // The extras before the tune, so the demodulator searches with them.
        if (transponder.scramblingCode) {
            SetCode(session, transponder.scramblingCode->value, transponder.scramblingCode->type,
                    reports);
        }
        if (transponder.modcodFilter) SetModCodes(session, *transponder.modcodFilter, reports);
        if (transponder.inputStreamId)
            SetInputStreamId(session, *transponder.inputStreamId, reports);

        // A request the tuning objects refuse still goes to the driver, empty, as it always has.
        ComPtr<IDVBTuneRequest> request;
        if (FAILED(CreateDVBTuneRequest(session, request, transponder)))
            fail(TuneError::Kind::InvalidRequest, "CreateDVBTuneRequest is invalid!");
        ComPtr<ITuner> tuner;
        HRESULT tuneResult = session.m_BDAGraph.m_pProvider.As(&tuner);
        if (SUCCEEDED(tuneResult)) tuneResult = tuner->put_TuneRequest(request.Get());
        session.m_BDAGraph.m_pGraphControl->Run();
        if (FAILED(tuneResult)) {
            // A driver that says why (a tuner held by another program) is quoted instead of the
            // bare refusal, which tells the user nothing to do.
            const std::optional<std::string> why = com::TakeErrorDescription();
            fail(TuneError::Kind::Refused,
                 why ? *why : "KSPROPERTY_CTRL_TUNER set channel_change false");
        }
    }
    if (result.outcome == TuneResult::Outcome::Error) return result;
    session.NoteTuned(
        {transponder.frequencyMHz, transponder.polarityIndex, transponder.diseqcPortIndex});
    if (waitForLock.count() <= 0) return result;
    const std::uint64_t deadline =
        GetTickCount64() + static_cast<std::uint64_t>(waitForLock.count());
    while (QueryTunerSignal(session).reading.locked != 1) {
        if (GetTickCount64() >= deadline) return result;
        Sleep(kLockPollMs);
    }
    result.outcome = TuneResult::Outcome::Locked;
    return result;
}

void LockTransponder(CTunerSession& session, ITunerPage& page) {
    page.SaveSettings();
    PrepareTunerControl(session, page);
    page.EnableTuneButtons(false);

    Transponder transponder;
    transponder.frequencyMHz = platform::Atoi(page.FieldText(TunerField::Frequency));
    transponder.symbolRateKsps = platform::Atoi(page.FieldText(TunerField::SymbolRate));
    transponder.lnbLowMHz = platform::Atoi(page.FieldText(TunerField::LnbLow));
    transponder.lnbHighMHz = platform::Atoi(page.FieldText(TunerField::LnbHigh));
    transponder.lnbSwitchMHz = platform::Atoi(page.FieldText(TunerField::LnbSwitch));
    transponder.polarityIndex = page.PolarityIndex();
    transponder.diseqcPortIndex = page.DiseqcPortIndex();
    transponder.streamType = page.StreamType();
    page.SetLnbSwitch(transponder.lnbSwitchMHz);

    page.ShowTuneResult(Tune(session, transponder));
    page.EnableTuneButtons(true);
}

HRESULT CreateDVBTuneRequest(CTunerSession& session, ComPtr<IDVBTuneRequest>& request,
                             const Transponder& transponder) {
    request.Reset();
    ComPtr<IDVBSTuningSpace> space;
    HRESULT hr = session.m_BDAGraph.m_pSpace.As(&space);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = space->put__NetworkType(CLSID_DVBSNetworkProvider))) return hr;
    if (FAILED(hr = space->put_LNBSwitch(ToKilohertz(transponder.lnbSwitchMHz)))) return hr;
    if (FAILED(hr = space->put_HighOscillator(ToKilohertz(transponder.lnbHighMHz)))) return hr;
    if (FAILED(hr = space->put_LowOscillator(ToKilohertz(transponder.lnbLowMHz)))) return hr;

    ComPtr<ITuneRequest> generic;
    if (FAILED(hr = space->CreateTuneRequest(generic.ReleaseAndGetAddressOf()))) return hr;
    ComPtr<IDVBTuneRequest> dvb;
    if (FAILED(hr = generic.As(&dvb))) return hr;

    ComPtr<IDVBSLocator> locator;
    hr = CoCreateInstance(CLSID_DVBSLocator, nullptr, CLSCTX_INPROC_SERVER,
                          locator.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = locator->put_OuterFEC(BDA_FEC_VITERBI))) return hr;
    if (FAILED(hr = locator->put_CarrierFrequency(ToKilohertz(transponder.frequencyMHz))))
        return hr;
    const Polarisation polarisation =
        transponder.polarityIndex == 0 ? BDA_POLARISATION_LINEAR_H : BDA_POLARISATION_LINEAR_V;
    if (FAILED(hr = locator->put_SignalPolarisation(polarisation))) return hr;
    if (FAILED(hr = locator->put_SymbolRate(transponder.symbolRateKsps))) return hr;
    if (FAILED(hr = dvb->put_Locator(locator.Get()))) return hr;

    request = dvb;
    return S_OK;
}
