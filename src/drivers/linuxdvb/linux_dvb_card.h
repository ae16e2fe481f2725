#pragma once
// One DVB-S/S2 frontend of /dev/dvb: the hardware behind a tuner filter and a capture filter of
// the Linux backend. Every filter bound to the frontend's devices reaches the same card.
//
// The frontend is opened (read-write) on first use and closed when the last tuner filter goes.
// A tune (IBDA_DeviceControl::CommitChanges) does, in the kernel's order: 22 kHz tone off, LNB
// voltage, the switch message that waits (if any), a settling pause of kSettleMs, the tone for
// the band; then DTV_CLEAR, the carrier (DVB-S2, or DVB-S on a frontend without it; IF, symbol
// rate, automatic FEC, inversion, pilots and roll-off), the stream id and scrambling sequence
// index in force (DVB-S2 only), and DTV_TUNE. The switch message and the ISI and PLS set through
// the driver properties take effect at the next tune (the system tunes after setting them).
// Other DiSEqC messages (positioner commands) go out at once.
//
// ENODEV from any call marks the card removed: from then on everything fails with
// kDeviceRemoved. Threads: every public member takes the card's mutex; the stream device that
// OpenStream hands out is the capture thread's own.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "drivers/linuxdvb/dvb_kernel.h"
#include "drivers/linuxdvb/dvb_tuning.h"
#include "platform/com/guid.h"
#include "platform/com/hresult.h"

namespace linuxdvb {

struct DvbSignal {
    bool locked = false;
    std::int32_t strength = 0;  // 0..100
    std::int32_t quality = 0;   // 0..100
};

class CLinuxDvbCard {
public:
    static constexpr int kSettleMs = 15;
    // Enough for a 100 Mbit/s stream to wait 1.3 s for the reader.
    static constexpr std::size_t kStreamBufferBytes = 16u << 20;

    using Pause = std::function<void(int milliseconds)>;

    CLinuxDvbCard(std::shared_ptr<IDvbKernel> kernel, DvbFrontendDescription frontend,
                  std::wstring tunerName, Pause pause = {});
    ~CLinuxDvbCard();
    CLinuxDvbCard(const CLinuxDvbCard&) = delete;
    CLinuxDvbCard& operator=(const CLinuxDvbCard&) = delete;

    const DvbFrontendDescription& Frontend() const { return m_frontend; }
    const std::wstring& TunerName() const { return m_strTunerName; }
    // The medium on which this card's tuner and capture filters connect (and no others).
    const GUID& Medium() const { return m_medium; }

    // Tuner filters keep the frontend open while they exist.
    void AttachTuner();
    void DetachTuner();

    HRESULT Tune(const BdaTuneRequest& request);
    // 3..6 bytes.
    HRESULT SendDiseqc(std::span<const std::uint8_t> message);
    // -1: no stream id filter; 0..255.
    HRESULT SetInputStreamId(std::int32_t isi);
    HRESULT SetPlsGold(std::uint32_t gold);
    HRESULT ReadSignal(DvbSignal& signal);
    HRESULT MediaInfo(std::array<std::int32_t, 18>& fields);
    HRESULT OpenStream(std::unique_ptr<IDvbStreamDevice>& stream);

    bool IsRemoved() const;
    // For tests and diagnostics.
    std::optional<std::vector<std::uint8_t>> PendingSwitchMessage() const;

private:
    // The open frontend, or null with `hr` set. Needs m_lock.
    IDvbFrontendDevice* Device(HRESULT& hr);
    // errno -> result code; ENODEV marks the card removed. Needs m_lock.
    HRESULT Check(int error, const char* what);
    // SEC calls a driver may lack: not supported is logged and tuning goes on.
    HRESULT CheckSec(int error, const char* what);

    const std::shared_ptr<IDvbKernel> m_pKernel;
    const DvbFrontendDescription m_frontend;
    const std::wstring m_strTunerName;
    const GUID m_medium;
    const Pause m_pause;

    mutable std::mutex m_lock;
    std::unique_ptr<IDvbFrontendDevice> m_pDevice;
    int m_nTuners = 0;
    bool m_bRemoved = false;
    std::optional<std::vector<std::uint8_t>> m_switchMessage;
    std::int32_t m_nInputStreamId = -1;
    std::uint32_t m_nPlsGold = 0;
};

}  // namespace linuxdvb
