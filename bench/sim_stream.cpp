// How fast the simulated card's capture path runs against its transport-stream generator alone:
// a 32APSK 3/4 carrier of about 100 Mbit/s locked through a real graph (DVB-S network provider,
// simulated tuner, simulated capture filter, a null sink), the card's clock in manual mode,
// advanced in 100 ms steps; each step returns when the capture filter's streaming thread has
// generated and delivered every sample due (348 packets each). The baseline is the generator
// filling the same packets on its own. Both are timed in interleaved pairs, as stream seconds per
// wall-clock second; the last line is the median ratio, the line before it the real-time factor.
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "diseqc/switch_message.h"
#include "drivers/sim/sim_capture_filter.h"
#include "drivers/sim/sim_capture_output_pin.h"
#include "drivers/sim/sim_device_provider.h"
#include "drivers/sim/sim_stream_config.h"
#include "drivers/sim/ts_generator.h"
#include "null_sink_filter.h"
#include "paired_ratio.h"
#include "platform/bda/bda_classes.h"
#include "platform/bda/tuning_interfaces.h"
#include "platform/com/co_create.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/ks/ks_property_set.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"
#include "platform/media/base_filter.h"
#include "platform/media/base_input_pin.h"
#include "platform/media/media_classes.h"
#include "platform/media/media_types.h"
#include "platform/media/useful_bit_rate.h"
#include "platform/win/known_folders.h"
#include "support/hundred_megabit_carrier.h"

namespace {

constexpr std::size_t kSamplePackets = 348;
constexpr std::uint64_t kStreamSecondsPerRun = 10;
constexpr int kPairs = 7;

dvb_rate::CarrierParameters Carrier() {
    dvb_rate::CarrierParameters carrier;
    carrier.system = dvb_rate::DeliverySystem::DvbS2;
    carrier.modulation = dvb_rate::Modulation::Apsk32;
    carrier.rate = dvb_rate::CodeRate::R3_4;
    carrier.symbolRate = 27'000'000;
    return carrier;
}

std::uint64_t CarrierRate() {
    return static_cast<std::uint64_t>(std::llround(*dvb_rate::UsefulBitRate(Carrier())));
}

// The generator on its own, over the stream seconds of one run: stream seconds per wall second.
double GenerateAlone(CTsGenerator& generator) {
    std::vector<std::uint8_t> buffer(kSamplePackets * CTsGenerator::kPacketSize);
    const std::uint64_t packets = CTsGenerator::PacketsBefore(
        CarrierRate(), kStreamSecondsPerRun * CSimClock::kTicksPerSecond);
    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t done = 0; done < packets; done += kSamplePackets) {
        generator.Fill(buffer.data(), kSamplePackets);
        // Keeps the compiler from dropping the work.
        asm volatile("" : : "r"(buffer.data()) : "memory");
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    return static_cast<double>(kStreamSecondsPerRun) / wall.count();
}

ComPtr<IPin> PinOf(IBaseFilter* filter, const wchar_t* name) {
    ComPtr<IPin> pin;
    filter->FindPin(name, pin.ReleaseAndGetAddressOf());
    return pin;
}

// The card's capture path: locked once, then each run streams kStreamSecondsPerRun of simulated
// time and is timed by the wall clock.
class CCapturePath {
public:
    CCapturePath();
    ~CCapturePath();
    bool Locked() { return m_card.IsLocked(); }
    // Stream seconds per wall second.
    double Run();
    double Bytes() const { return static_cast<double>(m_pSink->Bytes()); }
    std::uint64_t Samples() const;

private:
    SimOptions m_options;
    CSimDeviceProvider m_provider;
    CSimCard& m_card;
    ComPtr<IGraphBuilder> m_pGraph;
    ComPtr<IBaseFilter> m_pCapture;
    CNullSinkFilter* m_pSink = nullptr;
    ComPtr<IMediaControl> m_pControl;
};

SimOptions Noiseless() {
    SimOptions options;
    options.noise = 0;
    return options;
}

CCapturePath::CCapturePath()
    : m_provider(Noiseless(), CSimClock::Mode::Manual, CSimSky({HundredMegabitCarrier("Bench")})),
      m_card(m_provider.Card(0)) {
    CSimCard& card = m_card;
    ComPtr<IGraphBuilder>& graph = m_pGraph;
    ComPtr<IBaseFilter> network;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                     graph.ReleaseAndGetAddressOf());
    CoCreateInstance(CLSID_DVBSNetworkProvider, nullptr, CLSCTX_INPROC_SERVER,
                     network.ReleaseAndGetAddressOf());
    ComPtr<IBaseFilter> tuner;
    ComPtr<IBaseFilter>& capture = m_pCapture;
    for (const DeviceDescriptor& device :
         CDeviceRegistry::Instance().Devices(KSCATEGORY_BDA_NETWORK_TUNER)) {
        if (device.friendlyName == std::wstring(card.Profile().friendlyName))
            device.bindFilter(IID_IBaseFilter, tuner.ReleaseAndGetVoidAddress());
    }
    for (const DeviceDescriptor& device :
         CDeviceRegistry::Instance().Devices(KSCATEGORY_BDA_RECEIVER_COMPONENT)) {
        if (device.friendlyName == std::wstring(card.Profile().receiverName))
            device.bindFilter(IID_IBaseFilter, capture.ReleaseAndGetVoidAddress());
    }
    m_pSink = new CNullSinkFilter();
    ComPtr<IBaseFilter> sink(static_cast<IBaseFilter*>(m_pSink));
    graph->AddFilter(network.Get(), L"Network DVBS Provider");
    graph->AddFilter(tuner.Get(), nullptr);
    graph->AddFilter(capture.Get(), nullptr);
    graph->AddFilter(sink.Get(), L"Null");
    graph->Connect(PinOf(network.Get(), L"Antenna Out").Get(), PinOf(tuner.Get(), L"Input0").Get());
    graph->Connect(PinOf(tuner.Get(), L"MPEG2 Transport").Get(),
                   PinOf(capture.Get(), L"MPEG2 Transport").Get());
    graph->Connect(PinOf(capture.Get(), L"Transport Stream").Get(),
                   PinOf(sink.Get(), L"Input").Get());

    // Port B (the fixed dish at 19.2 E), then a tune request for 12000 MHz H, 27000 kSps.
    ComPtr<IKsPropertySet> driver;
    PinOf(tuner.Get(), L"Input0")
        ->QueryInterface(IID_IKsPropertySet, driver.ReleaseAndGetVoidAddress());
    const auto portB = diseqc::CommittedSwitch(diseqc::Port::B, true, true);
    DiseqcMessageRecord record = DiseqcMessageRecord::For(portB);
    driver->Set(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, nullptr, 0, record.bytes.data(),
                static_cast<DWORD>(record.bytes.size()));
    ComPtr<IDVBSTuningSpace> space;
    CoCreateInstance(CLSID_DVBSTuningSpace, nullptr, CLSCTX_INPROC_SERVER,
                     space.ReleaseAndGetAddressOf());
    space->put__NetworkType(CLSID_DVBSNetworkProvider);
    space->put_LowOscillator(9750000);
    space->put_HighOscillator(10600000);
    space->put_LNBSwitch(11700000);
    ComPtr<ITuneRequest> request;
    space->CreateTuneRequest(request.ReleaseAndGetAddressOf());
    ComPtr<IDVBSLocator> locator;
    CoCreateInstance(CLSID_DVBSLocator, nullptr, CLSCTX_INPROC_SERVER,
                     locator.ReleaseAndGetAddressOf());
    locator->put_CarrierFrequency(12000000);
    locator->put_SignalPolarisation(BDA_POLARISATION_LINEAR_H);
    locator->put_SymbolRate(27000);
    request->put_Locator(locator.Get());
    ComPtr<ITuner> itTuner = network.As<ITuner>();
    itTuner->put_TuningSpace(space.Get());
    itTuner->put_TuneRequest(request.Get());
    m_pControl = graph.As<IMediaControl>();
    m_pControl->Run();
    m_provider.Clock().AdvanceMs(300);  // acquisition
}

CCapturePath::~CCapturePath() {
    m_pControl->Stop();
    m_pGraph = nullptr;
}

double CCapturePath::Run() {
    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t step = 0; step < kStreamSecondsPerRun * 10; ++step)
        m_provider.Clock().AdvanceMs(100);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    return static_cast<double>(kStreamSecondsPerRun) / wall.count();
}

std::uint64_t CCapturePath::Samples() const {
    return static_cast<CSimCaptureFilter*>(m_pCapture.Get())->OutputPin()->SamplesDelivered();
}

}  // namespace

int main() {
    CPairedRatio::PinToOneCpu();
    // The card writes its trace to the "drive C" root: keep it out of the user's home.
    std::string scratch = (std::filesystem::temp_directory_path() / "vlk-bench-XXXXXX").string();
    if (::mkdtemp(scratch.data()) != nullptr) {
        platform::FolderRoots roots;
        roots.driveCRoot = scratch;
        platform::SetFolderRoots(roots);
    }
    RegisterMediaClasses();
    RegisterBdaClasses();
    int status = 0;
    {
        CCapturePath capture;
        if (!capture.Locked()) {
            std::printf("the bench carrier did not lock\n");
            status = 1;
        } else {
            CTsGenerator generator(MakeSimStreamConfig(1001, 318, CarrierRate(), 10, "Bench", 42));
            capture.Run();  // warm-up, not counted
            const CPairedRatio ratio = CPairedRatio::Measure(
                kPairs, [&] { return capture.Run(); }, [&] { return GenerateAlone(generator); });
            std::printf("capture path: %.1f Mbit/s stream, %llu samples, %.0f MB in all\n",
                        capture.Bytes() * 8 /
                            static_cast<double>((kPairs + 1) * kStreamSecondsPerRun) / 1e6,
                        static_cast<unsigned long long>(capture.Samples()), capture.Bytes() / 1e6);
            std::printf(
                "median stream seconds per wall second: capture path %.1f, generator alone %.1f\n",
                ratio.MeasuredRate(), ratio.BaselineRate());
            std::printf("realtime factor: %.1f\n", ratio.MeasuredRate());
            std::printf("capture/generator ratio: %s\n", ratio.Text().c_str());
        }
    }
    platform::SetFolderRoots({});
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    return status;
}
