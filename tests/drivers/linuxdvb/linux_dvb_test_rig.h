#pragma once
// A tuner graph on the fake kernel, built as the system builds it: DVB-S network provider ->
// Linux DVB tuner -> capture -> test sink. Tuning goes through ITuner with tuning-space values as
// the system sends them (kHz, symbol rate in kSps), vendor properties through the "Input0"
// pin's IKsPropertySet as the system's driver operations do.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "drivers/linuxdvb/fake_dvb_kernel.h"
#include "drivers/linuxdvb/linux_dvb_device_provider.h"
#include "platform/bda/tuning_interfaces.h"
#include "platform/ks/ks_property_set.h"
#include "platform/media/crit_sec.h"
#include "platform/media/media_interfaces.h"

class CTestSinkFilter;

namespace linuxdvb::testing {

struct Tune {
    std::int32_t frequencyMHz = 11362;
    char polarisation = 'H';
    std::int32_t symbolRateKsps = 27500;
    std::int32_t lowMHz = 9750;
    std::int32_t highMHz = 10600;
    std::int32_t switchMHz = 11700;
};

// The card's clock on the fake kernel's time (pauses logged, search waits not), rules from the
// program's LinuxTuners.ini, no memory of locks, no satellite files.
DvbCardServices FakeCardServices(CFakeDvbKernel& kernel);

class CLinuxDvbTestRig {
public:
    explicit CLinuxDvbTestRig(DvbFrontendDescription frontend = VidtvLikeFrontend());
    CLinuxDvbTestRig(DvbFrontendDescription frontend,
                     const std::function<DvbCardServices(CFakeDvbKernel&)>& services);
    ~CLinuxDvbTestRig();

    CFakeDvbKernel& Kernel() { return *m_pKernel; }
    CLinuxDvbCard& Card() { return m_pProvider->Card(0); }
    IBaseFilter* Tuner() const { return m_pTuner.Get(); }
    IKsPropertySet* PinDriver() const { return m_pPinDriver.Get(); }
    IKsPropertySet* FilterDriver() const { return m_pFilterDriver.Get(); }
    IMediaControl* Control() const { return m_pControl.Get(); }

    // E0 10 38 Fx as the system builds it for port 1..4 (A..D).
    static std::vector<std::uint8_t> CommittedSwitch(int port, const Tune& tune);
    // Through KSPROPERTY_BDA_DISEQC (the system's DiseqcMessageRecord, no instance data).
    HRESULT SendDiseqc(const std::vector<std::uint8_t>& message);
    HRESULT TuneTo(const Tune& tune);
    // A record through the pin, the same buffer as instance data (as the system passes it).
    HRESULT SetRecord(const GUID& set, DWORD id, std::vector<std::uint8_t> record);
    HRESULT GetRecord(const GUID& set, DWORD id, std::vector<std::uint8_t>& record);
    // IBDA_SignalStatistics of the tuner node, as the signal monitor reads it.
    HRESULT ReadSignal(LONG& strength, LONG& quality, BOOLEAN& locked);

    std::vector<std::uint8_t> TakeBytes();
    std::vector<LONG> SampleLengths();

private:
    std::shared_ptr<CFakeDvbKernel> m_pKernel;
    std::unique_ptr<CLinuxDvbDeviceProvider> m_pProvider;
    ComPtr<IGraphBuilder> m_pGraph;
    ComPtr<IMediaControl> m_pControl;
    ComPtr<IBaseFilter> m_pNetworkProvider;
    ComPtr<ITuner> m_pITuner;
    ComPtr<IDVBSTuningSpace> m_pSpace;
    ComPtr<IBaseFilter> m_pTuner;
    ComPtr<IBaseFilter> m_pCapture;
    CCritSec m_sinkLock;
    ComPtr<IBaseFilter> m_pSink;
    ComPtr<IKsPropertySet> m_pPinDriver;
    ComPtr<IKsPropertySet> m_pFilterDriver;
    std::mutex m_bytesLock;
    std::vector<std::uint8_t> m_bytes;
    std::vector<LONG> m_lengths;
};

// 188-byte packets with sync byte 0x47, the given PID and a running counter in bytes 4..7.
std::vector<std::uint8_t> MakePackets(std::size_t count, std::uint32_t firstIndex = 0);

}  // namespace linuxdvb::testing
