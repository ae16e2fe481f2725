#pragma once
// One DVB-S/S2 frontend of /dev/dvb: the hardware behind a tuner filter and a capture filter of
// the Linux backend. Every filter bound to the frontend's devices reaches the same card.
//
// The frontend is opened (read-write) on first use and closed when the last tuner filter goes.
// One held by another program is named as busy: the user's own actions try again at once and
// leave a description naming the holder (com::SetErrorDescription); the statistics polls try
// again only every kReopenMs and log the busy frontend once.
//
// A tune (IBDA_DeviceControl::CommitChanges) drives the LNB cable by the DiSEqC bus rules
// (CDvbSecBus: tone off, voltage, the switch message that waits, if any, quiet, the tone for the
// band; the message goes out at this tune only), then asks for the carrier as the frontend's
// driver needs it: the attempts of PlanLockAttempts (what locked before, what the satellite
// files say, what the driver accepts) are tried one after another on the card's search thread,
// each for AttemptTimeoutMs, until one locks; that one is remembered for the transponder. A
// single attempt is left to the kernel. The ISI and PLS set through the driver properties take
// effect at the next tune, in the form the driver takes them (DvbStreamIdForm). Other DiSEqC
// messages (positioner commands) go out at once under the same bus rules.
//
// ENODEV from any call marks the card removed: from then on everything fails with
// kDeviceRemoved. Threads: every public member takes the card's mutex, which the search thread
// takes for each of its looks; the stream device that OpenStream hands out is the capture
// thread's own.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "drivers/linuxdvb/dvb_card_services.h"
#include "drivers/linuxdvb/dvb_carrier_settings.h"
#include "drivers/linuxdvb/dvb_kernel.h"
#include "drivers/linuxdvb/dvb_lock_memory.h"
#include "drivers/linuxdvb/dvb_sec_bus.h"
#include "drivers/linuxdvb/dvb_tuning.h"
#include "platform/com/guid.h"
#include "platform/com/hresult.h"

namespace linuxdvb {

struct DvbSignal {
    bool locked = false;
    std::int32_t strength = 0;  // 0..100
    std::int32_t quality = 0;   // 0..100
};

// The kernel's statistics in physical units; what the driver does not give in decibels, or
// gives only as a relative figure, is empty.
struct DvbSignalMeasure {
    std::optional<std::int32_t> carrierToNoiseMilliDb;
    std::optional<std::int32_t> levelMilliDbm;
    // The latest window of the bit counters (post-FEC when the driver counts them, else pre-FEC).
    std::optional<std::uint64_t> bitErrors;
    std::optional<std::uint64_t> bitsCounted;
    std::optional<std::uint64_t> uncorrectedBlocks;  // as the driver counts them
};

// Where the search of the last tune stands (tests and diagnostics).
struct DvbSearchProgress {
    bool searching = false;
    std::size_t attemptsIssued = 0;
    std::optional<DvbCarrierSettings> locked;
};

class CLinuxDvbCard {
public:
    // A 500 Mbit/s stream may wait a second for its reader.
    static constexpr std::size_t kStreamBufferBytes = 64u << 20;
    static constexpr int kReopenMs = 3000;
    static constexpr int kSearchPollMs = 100;
    // A status read of the search that takes this long is logged: the driver searches inside its
    // tune and holds the kernel's frontend lock meanwhile.
    static constexpr int kSlowStatusReadMs = 250;
    // Added to a search's attempts in LockSearchTime: the bus sequence of the tune before the
    // first attempt (power-up, quiet, the switch message) and a reader's look after the last.
    static constexpr int kLockSearchSettleMs = 500;

    CLinuxDvbCard(std::shared_ptr<IDvbKernel> kernel, DvbFrontendDescription frontend,
                  std::wstring tunerName, DvbCardServices services);
    ~CLinuxDvbCard();
    CLinuxDvbCard(const CLinuxDvbCard&) = delete;
    CLinuxDvbCard& operator=(const CLinuxDvbCard&) = delete;

    const DvbFrontendDescription& Frontend() const { return m_frontend; }
    const std::wstring& TunerName() const { return m_strTunerName; }
    // The other programs that hold the frontend open now; empty when it is free.
    std::string FrontendHolders() const;
    const DvbDriverRules& Rules() const { return m_rules; }
    // The medium on which this card's tuner and capture filters connect (and no others).
    const GUID& Medium() const { return m_medium; }

    // Tuner filters keep the frontend open while they exist.
    void AttachTuner();
    void DetachTuner();

    HRESULT Tune(const BdaTuneRequest& request);
    // How long the search of a tune of `carrier` may take before it starts over: every attempt of
    // the plan that tune would follow, each for AttemptTimeoutMs, plus kLockSearchSettleMs.
    HRESULT LockSearchTime(const DvbTransponderKey& carrier, std::uint32_t& milliseconds);
    // 3..6 bytes.
    HRESULT SendDiseqc(std::span<const std::uint8_t> message);
    // -1: no stream id filter; 0..255.
    HRESULT SetInputStreamId(std::int32_t isi);
    HRESULT SetPlsGold(std::uint32_t gold);
    HRESULT ReadSignal(DvbSignal& signal);
    HRESULT MediaInfo(std::array<std::int32_t, 18>& fields);
    // C/N and level whenever the driver gives them in decibels; the bit and block counters only
    // while locked. The bit counters grow for as long as the driver counts: each reading reports
    // what they grew by since the previous one (the first after a lock: what they hold), or,
    // when they have not moved, the window reported before.
    HRESULT SignalMeasure(DvbSignalMeasure& measure);
    HRESULT OpenStream(std::unique_ptr<IDvbStreamDevice>& stream);

    bool IsRemoved() const;
    // For tests and diagnostics.
    std::optional<std::vector<std::uint8_t>> PendingSwitchMessage() const;
    DvbSearchProgress SearchProgress() const;

private:
    struct Search {
        std::vector<DvbCarrierSettings> attempts;
        std::size_t index = 0;
        std::size_t issued = 0;
        std::int64_t attemptStartMs = 0;  // the card's clock when the attempt's tune returned
        int timeoutMs = 0;
        bool active = false;
        std::uint64_t generation = 0;
        DvbTransponderKey key;
        std::uint32_t intermediateKHz = 0;
        std::uint32_t symbolRate = 0;
        std::optional<DvbCarrierSettings> locked;
    };

    // The open frontend, or null with `hr` set; a poll (not the user's action) does not try to
    // open it again within kReopenMs of a failure. Needs m_lock.
    IDvbFrontendDevice* Device(HRESULT& hr, bool userAction);
    // For a poll's reading: the frontend and its FE_READ_STATUS, or null with `hr` set when
    // either fails. Needs m_lock.
    IDvbFrontendDevice* ReadableDevice(HRESULT& hr, std::uint32_t& status);
    // errno -> result code; ENODEV marks the card removed. Needs m_lock.
    HRESULT Check(int error, const char* what);
    // The attempt m_search.index: the carrier, the stream id in the driver's form, the tune.
    HRESULT IssueAttempt(IDvbFrontendDevice& device);
    HRESULT SetStreamProperties(IDvbFrontendDevice& device);
    void SearchLoop();
    // The attempts of a tune of `carrier`: what locked it before, what the satellite files say.
    std::vector<DvbCarrierSettings> PlanFor(const DvbTransponderKey& carrier) const;
    // The search `generation` is still the one under way. Needs m_lock.
    bool SearchGoesOn(std::uint64_t generation) const;
    // What one status read of the search found (its errno and status): a lock ends the search,
    // an attempt past its time gives way to the next. Needs m_lock.
    void SearchStep(int readError, std::uint32_t status);
    // What the satellite files say of a carrier.
    DvbTransponderHint HintFor(const DvbTransponderKey& carrier) const;
    std::string BusyText(const char* kind, const char* what) const;

    const std::shared_ptr<IDvbKernel> m_pKernel;
    const DvbFrontendDescription m_frontend;
    const std::wstring m_strTunerName;
    const GUID m_medium;
    const DvbCardServices m_services;
    const DvbDriverRules m_rules;

    mutable std::mutex m_lock;
    // Shared with the search thread for the length of a status read, which it makes without
    // m_lock.
    std::shared_ptr<IDvbFrontendDevice> m_pDevice;
    CDvbSecBus m_sec;
    int m_nTuners = 0;
    bool m_bRemoved = false;
    std::int64_t m_nReopenAt = 0;
    HRESULT m_hrOpen = S_OK;  // the last failure to open, repeated until kReopenMs has passed
    std::optional<std::vector<std::uint8_t>> m_switchMessage;
    std::int32_t m_nInputStreamId = -1;
    std::uint32_t m_nPlsGold = 0;
    Search m_search;
    // The bit counters at the previous SignalMeasure (post-FEC or pre-FEC) and the last window.
    struct BitCounters {
        bool post = false;
        std::uint64_t errors = 0;
        std::uint64_t total = 0;
    };
    std::optional<BitCounters> m_bitCounters;
    std::optional<BitCounters> m_bitWindow;
    std::condition_variable m_searchWake;
    bool m_bStopping = false;
    std::thread m_searchThread;
};

}  // namespace linuxdvb
