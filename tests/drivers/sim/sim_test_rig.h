#pragma once
// A whole tuner graph on one simulated card, built as the system builds it: DVB-S network
// provider -> tuner -> capture -> infinite pin tee -> (transport information filter, test sink),
// on a manual clock, with the trace, options and program folder redirected into a temporary
// folder. Tuning goes through ITuner with tuning-space values as the system sends them, and
// DiSEqC through the card's property set as the system's driver operations do.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "drivers/sim/sim_device_provider.h"
#include "platform/bda/tuning_interfaces.h"
#include "platform/ks/ks_property_set.h"
#include "platform/ks/vendor_records.h"
#include "platform/media/crit_sec.h"
#include "platform/media/media_interfaces.h"
#include "platform/media/psi_section_parser.h"
#include "platform/win/known_folders.h"
#include "support/temp_folder.h"

class CTestSinkFilter;
class CTransportInfoFilter;

// The generated satellite files of the build, and the sky read from them (read once).
std::string BuildTranspondersFolder();
const CSimSky& BuildSky();

// Redirects drive C, the configuration folder and (optionally) the program folder for its
// lifetime and registers the platform classes. Environments nest: the inner one restores what the
// outer one had set.
class CSimTestEnvironment {
public:
    explicit CSimTestEnvironment(bool withSatelliteFiles = true);
    ~CSimTestEnvironment();
    const CTempFolder& Folder() const { return m_folder; }
    std::string TraceText() const;
    std::vector<std::string> TraceLines() const;

private:
    CTempFolder m_folder;
    // What an enclosing environment had set, restored at the end.
    platform::FolderRoots m_previousRoots;
};

struct SimTune {
    std::uint32_t frequencyMHz = 11362;
    char polarisation = 'H';
    std::uint32_t symbolRateKsps = 22000;
    std::int32_t lowMHz = 9750;
    std::int32_t highMHz = 10600;
    std::int32_t switchMHz = 11700;
};

class CSimTestRig {
public:
    explicit CSimTestRig(std::size_t cardIndex, SimOptions options = NoiselessOptions(),
                         CSimClock::Mode mode = CSimClock::Mode::Manual);
    ~CSimTestRig();

    static SimOptions NoiselessOptions();

    CSimDeviceProvider& Provider() { return *m_pProvider; }
    CSimCard& Card() { return m_pProvider->Card(m_nCard); }
    CSimClock& Clock() { return m_pProvider->Clock(); }
    CSimTestEnvironment& Environment() { return m_environment; }
    IBaseFilter* TunerFilter() const { return m_pTuner.Get(); }
    IMediaControl* Control() const { return m_pControl.Get(); }
    // The driver handle the system would use: the "Input0" pin's for PCI-E, the filter's for USB.
    IKsPropertySet* Driver() const { return m_pDriver.Get(); }

    // E0 10 38 Fx for port 'A'..'D', with band and polarisation bits as the system builds them.
    HRESULT SendCommittedSwitch(char port, const SimTune& tune);
    // A message through the card's DiSEqC property (the system's DiseqcMessageRecord, or on the
    // USB card its tuner control record with the message at kMessageOffset).
    HRESULT SendDiseqc(const std::vector<std::uint8_t>& message);
    // A DVB-S tune request through the network provider's ITuner.
    HRESULT Tune(const SimTune& tune);
    HRESULT Run();
    HRESULT Stop();

    // Property helpers on the driver handle (same buffer as instance data, as the system does).
    HRESULT SetRecord(const GUID& set, DWORD id, std::vector<std::uint8_t> record);
    HRESULT GetRecord(const GUID& set, DWORD id, std::vector<std::uint8_t>& record);

    // Everything the test sink received, in order (and forgets it).
    std::vector<std::uint8_t> TakeBytes();
    std::uint64_t SamplesReceived() const;
    std::vector<LONG> SampleLengths() const;
    std::vector<SdtService> Services() const;
    // Signal statistics through the topology, as the monitor reads them.
    struct Statistics {
        HRESULT hr = S_OK;
        LONG strength = 0;
        LONG quality = 0;
        BOOLEAN locked = 0;
    };
    Statistics ReadStatistics() const;

private:
    CSimTestEnvironment m_environment;
    std::unique_ptr<CSimDeviceProvider> m_pProvider;
    const std::size_t m_nCard;
    ComPtr<IGraphBuilder> m_pGraph;
    ComPtr<IMediaControl> m_pControl;
    ComPtr<IBaseFilter> m_pNetworkProvider;
    ComPtr<ITuner> m_pITuner;
    ComPtr<IDVBSTuningSpace> m_pSpace;
    ComPtr<IBaseFilter> m_pTuner;
    ComPtr<IBaseFilter> m_pCapture;
    ComPtr<IBaseFilter> m_pTee;
    ComPtr<IBaseFilter> m_pInfo;
    CTransportInfoFilter* m_pInfoObject = nullptr;
    ComPtr<IBaseFilter> m_pSink;
    CTestSinkFilter* m_pSinkObject = nullptr;
    CCritSec m_sinkLock;
    ComPtr<IKsPropertySet> m_pDriver;

    mutable std::mutex m_bytesLock;
    std::vector<std::uint8_t> m_bytes;
    std::vector<LONG> m_lengths;
    std::vector<std::uint8_t> m_usbRecord = std::vector<std::uint8_t>(TunerControlRecord::kSize, 0);
};

// The first device of `category` whose friendly name is `name`, bound as a filter.
ComPtr<IBaseFilter> BindDevice(const GUID& category, const std::wstring& name);
// A pin of a filter by name.
ComPtr<IPin> PinOf(IBaseFilter* filter, const wchar_t* name);
