// Runs inside the QEMU guest of tests/vidtv/run_vidtv_test.sh, against the kernel's virtual DVB
// driver vidtv: the program's own graph (device list, CBDAGraph::BuildTunerGraph with the DVB-S
// network provider, the Linux DVB tuner and capture filters, transport information filter and
// sink), its driver operations (AcquireDriverControl, SendDiseqCommand, GetMediaInfo), "Lock TP"
// (LockTransponder) and recording (StartRecording/StopRecording), without Qt.
//
// Prints one "CHECK <name> PASS|FAIL <detail>" line per check and "vidtv: N passed, M failed";
// exits non-zero on any failure. The host script checks the kernel probes' record of what
// reached vidtv.
#include <fmt/format.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/device_get_list.h"
#include "core/process_globals.h"
#include "drivers/linuxdvb/linux_dvb_device_provider.h"
#include "graph/bda_graph.h"
#include "graph/driver_control.h"
#include "graph/tuner_model.h"
#include "graph/tuning.h"
#include "platform/bda/bda_classes.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/devices/system_device_enum.h"
#include "platform/media/media_classes.h"
#include "platform/media/psi_section_parser.h"
#include "platform/ui/message_box.h"
#include "platform/win/debug_output.h"
#include "record/recording.h"

namespace {

int g_nPassed = 0;
int g_nFailed = 0;

void Check(const char* name, bool ok, const std::string& detail) {
    std::printf("CHECK %s %s %s\n", name, ok ? "PASS" : "FAIL", detail.c_str());
    std::fflush(stdout);
    (ok ? g_nPassed : g_nFailed) += 1;
}

// Every box the system shows is a failure here; its text goes to the console.
class CConsoleMessageBoxes : public IMessageBoxService {
public:
    int Show(const MessageBoxRequest& request) override {
        std::lock_guard guard(m_lock);
        m_boxes.push_back(request.caption + ": " + request.text);
        std::printf("MESSAGEBOX [%s] %s\n", request.caption.c_str(), request.text.c_str());
        return IDOK;
    }
    std::vector<std::string> Take() {
        std::lock_guard guard(m_lock);
        return std::exchange(m_boxes, {});
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_boxes;
};

class CTestPage : public ITunerPage {
public:
    std::map<TunerField, std::string> fields = {{TunerField::Frequency, "11362"},
                                                {TunerField::SymbolRate, "27500"},
                                                {TunerField::LnbLow, "9750"},
                                                {TunerField::LnbHigh, "10600"},
                                                {TunerField::LnbSwitch, "11700"}};
    std::int32_t polarity = 0;  // Horizontal
    std::int32_t port = 2;      // Diseqc B

    std::string FieldText(TunerField field) const override { return fields.at(field); }
    std::int32_t PolarityIndex() const override { return polarity; }
    std::int32_t DiseqcPortIndex() const override { return port; }
    StreamTypeRecord StreamType() const override { return StreamTypeRecord{{1, 0}}; }
    void SetLnbSwitch(std::int32_t) override {}
    void SaveSettings() override {}
    void EnableTuneButtons(bool) override {}
};

struct Signal {
    bool ok = false;
    LONG strength = 0;
    LONG quality = 0;
    BOOLEAN locked = 0;
};

// The signal monitor's query: IBDA_Topology -> control node (0, 1, 0) -> IBDA_SignalStatistics.
Signal ReadSignal() {
    Signal signal;
    std::lock_guard driver(g_hDriverMutex);
    ComPtr<IBDA_Topology> topology;
    if (!g_BDAGraph.m_pTunerDevice ||
        FAILED(g_BDAGraph.m_pTunerDevice->QueryInterface(IBDA_Topology::kIid,
                                                         topology.ReleaseAndGetVoidAddress()))) {
        return signal;
    }
    ComPtr<IUnknown> node;
    ComPtr<IBDA_SignalStatistics> statistics;
    if (FAILED(topology->GetControlNode(0, 1, 0, node.ReleaseAndGetAddressOf())) ||
        FAILED(node->QueryInterface(IBDA_SignalStatistics::kIid,
                                    statistics.ReleaseAndGetVoidAddress()))) {
        return signal;
    }
    signal.ok = SUCCEEDED(statistics->get_SignalQuality(&signal.quality)) &&
                SUCCEEDED(statistics->get_SignalStrength(&signal.strength)) &&
                SUCCEEDED(statistics->get_SignalLocked(&signal.locked));
    return signal;
}

// Polls like the monitor until locked or the deadline.
Signal WaitForLock(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    Signal signal;
    do {
        signal = ReadSignal();
        if (signal.ok && signal.locked == 1) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < deadline);
    return signal;
}

struct RecordCheck {
    std::size_t bytes = 0;
    std::size_t packets = 0;
    std::size_t badSync = 0;
    std::size_t patSections = 0;
    std::size_t continuityErrors = 0;  // PID 0x1FFF left out: vidtv's null packets jump
    std::vector<SdtService> services;
};

class CSectionCollector final : public CPsiSectionParser::ISectionHandler {
public:
    explicit CSectionCollector(RecordCheck& result) : m_result(result) {}
    virtual ~CSectionCollector() = default;
    void OnSection(std::span<const std::uint8_t> section) override {
        if (const auto pat = CPsiSectionParser::DecodePat(section)) {
            if (!pat->programs.empty()) ++m_result.patSections;
        } else if (const auto sdt = CPsiSectionParser::DecodeSdt(section)) {
            for (const SdtService& service : sdt->services) m_result.services.push_back(service);
        }
    }

private:
    RecordCheck& m_result;
};

RecordCheck ExamineRecording(const std::string& path) {
    RecordCheck result;
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    result.bytes = data.size();
    CPsiSectionParser pat;
    CPsiSectionParser sdt;
    CSectionCollector collector(result);
    std::map<std::uint16_t, int> counters;
    for (std::size_t offset = 0; offset + 188 <= data.size(); offset += 188) {
        const std::uint8_t* packet = data.data() + offset;
        ++result.packets;
        if (packet[0] != 0x47) {
            ++result.badSync;
            continue;
        }
        const auto pid = static_cast<std::uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
        const bool payload = (packet[3] & 0x10) != 0;
        if (pid != 0x1FFF && payload) {
            const int counter = packet[3] & 0x0F;
            const auto it = counters.find(pid);
            if (it != counters.end() && counter != ((it->second + 1) & 0x0F) &&
                counter != it->second) {
                ++result.continuityErrors;
            }
            counters[pid] = counter;
        }
        if (pid == 0x0000) pat.PushPacket(packet, &collector);
        if (pid == 0x0011) sdt.PushPacket(packet, &collector);
    }
    return result;
}

}  // namespace

int main() {
    const auto started = std::chrono::steady_clock::now();
    CConsoleMessageBoxes boxes;
    SetMessageBoxService(&boxes);
    std::mutex debugLock;
    int overflowLines = 0;
    platform::SetDebugOutputSinkForTesting([&](std::string_view text) {
        std::lock_guard guard(debugLock);
        if (text.find("overflow") != std::string_view::npos) ++overflowLines;
        std::printf("DEBUG %.*s%s", static_cast<int>(text.size()), text.data(),
                    !text.empty() && text.back() == '\n' ? "" : "\n");
    });

    RegisterDeviceEnumeratorClass();
    RegisterMediaClasses();
    RegisterBdaClasses();
    linuxdvb::CLinuxDvbDeviceProvider realCards;

    // The device list, as the program's start-up dialog reads it.
    DeviceList list;
    DeviceGetList(list);
    const std::string first = list.count > 0 ? std::string(list.names[0].data()) : std::string();
    Check("device-list",
          first == "VLK Arden DVBS/S2 Tuner (Dummy demod for DVB-T/T2/C/S/S2, adapter 0)",
          fmt::format("{} tuner(s), first \"{}\"", list.count, first));
    g_nDeviceIndex = 0;
    g_strDeviceName = first;

    const std::int32_t build = g_BDAGraph.BuildTunerGraph(0, nullptr);
    Check("graph-build",
          build == kBuildOk && g_BDAGraph.m_pReceiverDevice && g_BDAGraph.m_pSinkFilter != nullptr,
          fmt::format("result {}", build));
    Check("tuner-model", g_BDAGraph.m_nTunerModel == 1,
          fmt::format("model {}", g_BDAGraph.m_nTunerModel));
    const DriverControlResult control = AcquireDriverControl();
    Check("driver-control", control == DriverControlResult::Acquired && !IsUsbCarrier(),
          "PCI-E carrier on Input0");

    // "Lock TP": 11362 MHz horizontal, 27500 kSps, universal LNB, port B -> IF 1612000 kHz,
    // 18 V, no tone, E0 10 38 F6.
    CTestPage page;
    LockTransponder(page);
    const Signal locked = WaitForLock(std::chrono::seconds(10));
    Check("lock", locked.ok && locked.locked == 1, fmt::format("locked {}", int{locked.locked}));
    Check("strength", locked.ok && locked.strength > 0 && locked.strength <= 100,
          fmt::format("{}", locked.strength));
    Check("quality", locked.ok && locked.quality > 0 && locked.quality <= 100,
          fmt::format("{}", locked.quality));

    const MediaInfoResult info = GetMediaInfo();
    const MediaInfoRecord& report = g_MediaInfoRecord;
    Check("carrier-report",
          info == MediaInfoResult::Read && report.ifFrequency == 1612000 &&
              report.symbolRate == 27500000 && report.standard == 1 && report.streamType == 3,
          fmt::format("IF {} kHz, {} sym/s, standard {}, MODCOD {}, modulation {}, roll-off {}, "
                      "stream type {}, "
                      "MATYPE {:02X} {:02X}",
                      report.ifFrequency, report.symbolRate, report.standard, report.modCode,
                      report.modulation, report.rollOff, report.streamType, report.matype1,
                      report.matype2));

    // A positioner command goes out at once (the host finds it among the kernel probes):
    // E0 31 6B 00, "goto stored position 0".
    const std::uint8_t gotoReference[] = {0xE0, 0x31, 0x6B, 0x00};
    SendDiseqCommand(gotoReference, DiseqcForm::Positioner);
    std::printf("MARK positioner-sent\n");

    // Two seconds of recording through the sink.
    mkdir("/tmp/vidtv", 0755);
    const std::string path = "/tmp/vidtv/capture.ts";
    SetRecordFilePath(path);
    const int recordError = StartRecording();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    StopRecording();
    const RecordCheck recording = ExamineRecording(path);
    Check("record-file", recordError == 0 && recording.bytes > 0 && recording.bytes % 188 == 0,
          fmt::format("{} bytes, {} packets, {:.1f} Mbit/s", recording.bytes, recording.packets,
                      static_cast<double>(recording.bytes) * 8 / 2e6));
    Check("record-sync", recording.packets > 0 && recording.badSync == 0,
          fmt::format("{} bad sync bytes", recording.badSync));
    Check("record-pat", recording.patSections > 0,
          fmt::format("{} PAT sections", recording.patSections));
    std::set<std::string> services;
    bool beethoven = false;
    for (const SdtService& service : recording.services) {
        services.insert(fmt::format("\"{}\" ({})", service.name, service.provider));
        beethoven = beethoven || service.name == "Beethoven";
    }
    std::string names;
    for (const std::string& service : services) names += service + " ";
    Check("record-sdt", beethoven,
          fmt::format("{} SDT entries, services {}", recording.services.size(), names));
    Check("record-continuity", recording.continuityErrors == 0,
          fmt::format("{} gaps", recording.continuityErrors));
    {
        std::lock_guard guard(debugLock);
        Check("no-overflow", overflowLines == 0, fmt::format("{} overflow lines", overflowLines));
    }

    // A wrong frequency: 11400 MHz gives IF 1650000 kHz, which vidtv does not lock on.
    page.fields[TunerField::Frequency] = "11400";
    LockTransponder(page);
    const Signal wrong = WaitForLock(std::chrono::seconds(2));
    Check("wrong-frequency-no-lock", wrong.ok && wrong.locked == 0,
          fmt::format("locked {}, strength {}, quality {}", int{wrong.locked}, wrong.strength,
                      wrong.quality));
    Check("unlocked-readings-in-range",
          wrong.strength >= 0 && wrong.strength <= 100 && wrong.quality == 0,
          fmt::format("strength {}, quality {}", wrong.strength, wrong.quality));

    const std::vector<std::string> shown = boxes.Take();
    Check("no-message-box", shown.empty(), fmt::format("{} boxes", shown.size()));

    g_BDAGraph.ReleaseTunerGraph();
    SetMessageBoxService(nullptr);
    platform::SetDebugOutputSinkForTesting({});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("vidtv guest program ran %.1f s\n", seconds);
    std::printf("vidtv: %d passed, %d failed\n", g_nPassed, g_nFailed);
    std::fflush(stdout);
    return g_nFailed == 0 ? 0 : 1;
}
