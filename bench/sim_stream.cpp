// How much faster than real time the simulated card's capture path runs: a 32APSK 3/4 carrier of
// about 100 Mbit/s locked through a real graph (DVB-S network provider, simulated tuner, simulated
// capture filter, a null sink), the card's clock in manual mode, advanced in 100 ms steps; each
// step returns when the capture filter's streaming thread has generated and delivered every
// sample due (348 packets each). The generator alone is measured too, as the baseline.
// The last line printed is "realtime factor: F": stream seconds per wall-clock second.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "drivers/sim/sim_capture_filter.h"
#include "drivers/sim/sim_capture_output_pin.h"
#include "drivers/sim/sim_device_provider.h"
#include "drivers/sim/sim_stream_config.h"
#include "drivers/sim/ts_generator.h"
#include "drivers/sim/useful_bit_rate.h"
#include "platform/bda/bda_classes.h"
#include "platform/bda/tuning_interfaces.h"
#include "platform/com/co_create.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/ks/ks_property_set.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/media/base_filter.h"
#include "platform/media/base_input_pin.h"
#include "platform/media/media_classes.h"
#include "platform/media/media_types.h"
#include "platform/win/known_folders.h"
#include "support/hundred_megabit_carrier.h"

namespace {

constexpr std::size_t kSamplePackets = 348;
constexpr std::uint64_t kStreamSeconds = 60;

sim::CarrierParameters Carrier() {
    sim::CarrierParameters carrier;
    carrier.system = sim::DeliverySystem::DvbS2;
    carrier.modulation = sim::Modulation::Apsk32;
    carrier.rate = sim::CodeRate::R3_4;
    carrier.symbolRate = 27'000'000;
    return carrier;
}

std::uint64_t CarrierRate() { return static_cast<std::uint64_t>(std::llround(*sim::UsefulBitRate(Carrier()))); }

void BM_FillSample(benchmark::State& state) {
    CTsGenerator generator(MakeSimStreamConfig(1001, 318, CarrierRate(), 10, "Bench", 42));
    std::vector<std::uint8_t> buffer(kSamplePackets * CTsGenerator::kPacketSize);
    for (auto _ : state) {
        generator.Fill(buffer.data(), kSamplePackets);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(generator.PacketsProduced() * CTsGenerator::kPacketSize));
}
BENCHMARK(BM_FillSample);

// A sink that takes every transport-stream sample and drops it.
class CNullSink : public CBaseFilter {
public:
    CNullSink() : CBaseFilter(L"null sink", nullptr, &m_lock, GUID_NULL), m_input(this, &m_lock) {}
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &m_input : nullptr; }
    std::uint64_t Bytes() const { return m_input.bytes.load(); }

private:
    class CInput : public CBaseInputPin {
    public:
        CInput(CBaseFilter* filter, CCritSec* lock) : CBaseInputPin(L"null input", filter, lock, nullptr, L"Input") {}
        HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override {
            return pmt != nullptr && media::IsTransportStream(*pmt) ? S_OK : S_FALSE;
        }
        HRESULT Receive(IMediaSample* sample) override {
            bytes.fetch_add(static_cast<std::uint64_t>(sample->GetActualDataLength()));
            return S_OK;
        }
        std::atomic<std::uint64_t> bytes{0};
    };
    CCritSec m_lock;
    CInput m_input;
};

ComPtr<IPin> PinOf(IBaseFilter* filter, const wchar_t* name) {
    ComPtr<IPin> pin;
    filter->FindPin(name, pin.ReleaseAndGetAddressOf());
    return pin;
}

// The card's capture path, timed by the wall clock over kStreamSeconds of simulated time.
double MeasureCaptureRealtimeFactor() {
    const SimCarrier carrier = HundredMegabitCarrier("Bench");
    SimOptions options;
    options.noise = 0;
    CSimDeviceProvider provider(options, CSimClock::Mode::Manual, CSimSky({carrier}));
    CSimCard& card = provider.Card(0);

    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> network;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, graph.ReleaseAndGetAddressOf());
    CoCreateInstance(CLSID_DVBSNetworkProvider, nullptr, CLSCTX_INPROC_SERVER, network.ReleaseAndGetAddressOf());
    ComPtr<IBaseFilter> tuner;
    ComPtr<IBaseFilter> capture;
    for (const DeviceDescriptor& device : CDeviceRegistry::Instance().Devices(KSCATEGORY_BDA_NETWORK_TUNER)) {
        if (device.friendlyName == std::wstring(card.Profile().friendlyName)) device.bindFilter(IID_IBaseFilter, tuner.ReleaseAndGetVoidAddress());
    }
    for (const DeviceDescriptor& device : CDeviceRegistry::Instance().Devices(KSCATEGORY_BDA_RECEIVER_COMPONENT)) {
        if (device.friendlyName == std::wstring(card.Profile().receiverName)) device.bindFilter(IID_IBaseFilter, capture.ReleaseAndGetVoidAddress());
    }
    auto* sinkObject = new CNullSink();
    ComPtr<IBaseFilter> sink(static_cast<IBaseFilter*>(sinkObject));
    graph->AddFilter(network.Get(), L"Network DVBS Provider");
    graph->AddFilter(tuner.Get(), nullptr);
    graph->AddFilter(capture.Get(), nullptr);
    graph->AddFilter(sink.Get(), L"Null");
    graph->Connect(PinOf(network.Get(), L"Antenna Out").Get(), PinOf(tuner.Get(), L"Input0").Get());
    graph->Connect(PinOf(tuner.Get(), L"MPEG2 Transport").Get(), PinOf(capture.Get(), L"MPEG2 Transport").Get());
    graph->Connect(PinOf(capture.Get(), L"Transport Stream").Get(), PinOf(sink.Get(), L"Input").Get());

    // Port B (the fixed dish at 19.2 E), then a tune request for 12000 MHz H, 27000 kSps.
    ComPtr<IKsPropertySet> driver;
    PinOf(tuner.Get(), L"Input0")->QueryInterface(IID_IKsPropertySet, driver.ReleaseAndGetVoidAddress());
    std::vector<std::uint8_t> diseqc(536, 0);
    diseqc[0] = 1;
    diseqc[16] = 0xE0, diseqc[17] = 0x10, diseqc[18] = 0x38, diseqc[19] = 0xF7, diseqc[144] = 4;
    driver->Set(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, nullptr, 0, diseqc.data(), 536);
    ComPtr<IDVBSTuningSpace> space;
    CoCreateInstance(CLSID_DVBSTuningSpace, nullptr, CLSCTX_INPROC_SERVER, space.ReleaseAndGetAddressOf());
    space->put__NetworkType(CLSID_DVBSNetworkProvider);
    space->put_LowOscillator(9750000);
    space->put_HighOscillator(10600000);
    space->put_LNBSwitch(11700000);
    ComPtr<ITuneRequest> request;
    space->CreateTuneRequest(request.ReleaseAndGetAddressOf());
    ComPtr<IDVBSLocator> locator;
    CoCreateInstance(CLSID_DVBSLocator, nullptr, CLSCTX_INPROC_SERVER, locator.ReleaseAndGetAddressOf());
    locator->put_CarrierFrequency(12000000);
    locator->put_SignalPolarisation(BDA_POLARISATION_LINEAR_H);
    locator->put_SymbolRate(27000);
    request->put_Locator(locator.Get());
    ComPtr<ITuner> itTuner = network.As<ITuner>();
    itTuner->put_TuningSpace(space.Get());
    itTuner->put_TuneRequest(request.Get());
    ComPtr<IMediaControl> control = graph.As<IMediaControl>();
    control->Run();
    provider.Clock().AdvanceMs(300);  // acquisition
    if (!card.IsLocked()) {
        std::printf("the bench carrier did not lock\n");
        return 0;
    }

    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t step = 0; step < kStreamSeconds * 10; ++step) provider.Clock().AdvanceMs(100);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    control->Stop();
    const double bytes = static_cast<double>(sinkObject->Bytes());
    const auto* pin = static_cast<CSimCaptureFilter*>(capture.Get())->OutputPin();
    std::printf("capture path: %.0f s of %.1f Mbit/s stream (%llu samples, %.0f MB) in %.3f s wall\n",
                static_cast<double>(kStreamSeconds), bytes * 8 / kStreamSeconds / 1e6,
                static_cast<unsigned long long>(pin->SamplesDelivered()), bytes / 1e6, wall.count());
    graph = nullptr;
    return static_cast<double>(kStreamSeconds) / wall.count();
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // The card writes its trace to the "drive C" root: keep it out of the user's home.
    std::string scratch = (std::filesystem::temp_directory_path() / "vlk-bench-XXXXXX").string();
    if (::mkdtemp(scratch.data()) != nullptr) platform::SetDriveCRootForTesting(scratch);
    RegisterMediaClasses();
    RegisterBdaClasses();
    const double factor = MeasureCaptureRealtimeFactor();
    platform::SetDriveCRootForTesting("");
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    std::printf("realtime factor: %.1f\n", factor);
    return 0;
}
