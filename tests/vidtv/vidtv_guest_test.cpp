// Runs inside the QEMU guest of tests/vidtv/run_vidtv_test.sh, against the kernel's virtual DVB
// driver vidtv: the program's own graph (device list, CBDAGraph::BuildTunerGraph with the DVB-S
// network provider, the Linux DVB tuner and capture filters, transport information filter and
// sink), its driver operations (AcquireDriverControl, SendDiseqCommand, GetMediaInfo), "Lock TP"
// (LockTransponder) and recording (StartRecording/StopRecording), without Qt. Other programs
// that hold the frontend or dvr are child processes of this one.
//
// Prints one "CHECK <name> PASS|FAIL <detail>" line per check, "PHASE <name> <seconds>" after
// each phase and "vidtv: N passed, M failed"; exits non-zero on any failure. Each phase writes
// "<label>" into the kernel's trace (trace_marker) before it starts, so the host script can
// check the kernel probes' record of what reached vidtv phase by phase.
#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "core/device_get_list.h"
#include "drivers/kit/bda_capture_output_pin.h"
#include "drivers/linuxdvb/kernel_dvb.h"
#include "drivers/linuxdvb/kernel_stream_device.h"
#include "drivers/linuxdvb/linux_dvb_card.h"
#include "drivers/linuxdvb/linux_dvb_device_provider.h"
#include "drivers/linuxdvb/linux_tuner_names.h"
#include "graph/bda_graph.h"
#include "graph/driver_control.h"
#include "graph/tuner_model.h"
#include "graph/tuner_session.h"
#include "graph/tuning.h"
#include "platform/bda/bda_classes.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/devices/system_device_enum.h"
#include "platform/media/media_classes.h"
#include "platform/media/psi_section_parser.h"
#include "platform/ui/message_box.h"
#include "platform/win/debug_output.h"
#include "platform/win/known_folders.h"
#include "record/recording.h"

namespace {

int g_nPassed = 0;
int g_nFailed = 0;

void Check(const char* name, bool ok, const std::string& detail) {
    std::printf("CHECK %s %s %s\n", name, ok ? "PASS" : "FAIL", detail.c_str());
    std::fflush(stdout);
    (ok ? g_nPassed : g_nFailed) += 1;
}

double MonotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Phase boundaries: a line in the kernel's trace, between the probes' events (the host splits
// them there; the console and the trace are separate streams), and one on the console with the
// time the last phase took.
class CPhases {
public:
    CPhases() : m_hMarker(::open("/sys/kernel/tracing/trace_marker", O_WRONLY | O_CLOEXEC)) {}
    ~CPhases() {
        if (m_hMarker >= 0) ::close(m_hMarker);
    }
    CPhases(const CPhases&) = delete;
    CPhases& operator=(const CPhases&) = delete;

    void Begin(const std::string& label) {
        End();
        m_strLabel = label;
        m_dStarted = MonotonicSeconds();
        if (m_hMarker >= 0 && ::write(m_hMarker, label.data(), label.size()) < 0) {
            std::printf("MARK %s not written to the trace\n", label.c_str());
        }
        std::printf("MARK %s %.6f\n", label.c_str(), m_dStarted);
        std::fflush(stdout);
    }
    void End() {
        if (m_strLabel.empty()) return;
        std::printf("PHASE %s %.1f\n", m_strLabel.c_str(), MonotonicSeconds() - m_dStarted);
        std::fflush(stdout);
        m_strLabel.clear();
    }

private:
    const int m_hMarker;
    std::string m_strLabel;
    double m_dStarted = 0;
};

// The kernel's refusals of a write into a full dvr buffer (EOVERFLOW): a return probe on
// dvb_dmxdev_buffer_write that the init script sets up, filtered, in a trace instance of its
// own. Times on CLOCK_MONOTONIC.
class COverflowProbe {
public:
    COverflowProbe()
        : m_hPipe(::open("/sys/kernel/tracing/instances/dvr/trace_pipe",
                         O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
    ~COverflowProbe() {
        if (m_hPipe >= 0) ::close(m_hPipe);
    }
    COverflowProbe(const COverflowProbe&) = delete;
    COverflowProbe& operator=(const COverflowProbe&) = delete;

    bool Available() const { return m_hPipe >= 0; }
    // Reads what came since the last call; the time of the first refusal at or after `since`.
    std::optional<double> FirstSince(double since) {
        char chunk[4096];
        ssize_t count = 0;
        while (m_hPipe >= 0 && (count = ::read(m_hPipe, chunk, sizeof chunk)) > 0) {
            m_strText.append(chunk, static_cast<std::size_t>(count));
        }
        // "<task>-<pid> [cpu] flags <seconds>: dvrfull: (...) ret=-75", one per line.
        for (std::size_t event = m_strText.find(": dvrfull:"); event != std::string::npos;
             event = m_strText.find(": dvrfull:", event + 1)) {
            const std::size_t start = m_strText.find_last_of(' ', event);
            if (start == std::string::npos) continue;
            const double at = std::strtod(m_strText.c_str() + start + 1, nullptr);
            if (at >= since) return at;
        }
        return std::nullopt;
    }

private:
    const int m_hPipe;
    std::string m_strText;
};

// The kernel, except that the stream can be asked for with another dvr buffer size than the
// card's: kStreamBufferBytes fills in about half a minute at vidtv's rate, and vidtv's rate
// falls to a third when the host is busy.
class CStreamBufferKernel : public linuxdvb::IDvbKernel {
public:
    explicit CStreamBufferKernel(std::shared_ptr<linuxdvb::IDvbKernel> kernel)
        : m_pKernel(std::move(kernel)) {}

    // 0: the size the card asks for.
    void SetStreamBufferBytes(std::size_t bytes) { m_nBufferBytes.store(bytes); }

    std::vector<linuxdvb::DvbFrontendDescription> Enumerate() override {
        return m_pKernel->Enumerate();
    }
    int OpenFrontend(int adapter, int frontend,
                     std::unique_ptr<linuxdvb::IDvbFrontendDevice>& device) override {
        return m_pKernel->OpenFrontend(adapter, frontend, device);
    }
    int OpenStream(int adapter, int frontend, std::size_t bufferBytes,
                   std::unique_ptr<linuxdvb::IDvbStreamDevice>& device) override {
        const std::size_t bytes = m_nBufferBytes.load();
        return m_pKernel->OpenStream(adapter, frontend, bytes != 0 ? bytes : bufferBytes, device);
    }
    std::vector<linuxdvb::DvbDeviceHolder> Holders(int adapter, const std::string& kind,
                                                   int index) override {
        return m_pKernel->Holders(adapter, kind, index);
    }

private:
    const std::shared_ptr<linuxdvb::IDvbKernel> m_pKernel;
    std::atomic<std::size_t> m_nBufferBytes{0};
};

// Everything the user would be told is kept as "<caption>: <text>": the driver reports and tune
// results the program's calls return, as the pages show them ("error" boxes, the program's own
// "notice"), and any box the system shows all the same. One nobody expected fails a check.
class CToldUser : public IMessageBoxService {
public:
    int Show(const MessageBoxRequest& request) override {
        Keep("MESSAGEBOX", request.caption, request.text);
        return IDOK;
    }
    void Add(const DriverReports& reports) {
        for (const DriverReport& report : reports) {
            Keep("REPORT", report.form == DriverReport::Form::Notice ? "notice" : "error",
                 report.text);
        }
    }
    void Add(const TuneResult& result) {
        Add(result.driverReports);
        // A refusal quotes the driver in an "error" box; the other errors are the program's words.
        for (const TuneError& error : result.errors) {
            Keep("TUNE", error.kind == TuneError::Kind::Refused ? "error" : "notice", error.text);
        }
    }
    std::vector<std::string> Take() {
        std::lock_guard guard(m_lock);
        return std::exchange(m_told, {});
    }

private:
    void Keep(const char* kind, const std::string& caption, const std::string& text) {
        std::lock_guard guard(m_lock);
        m_told.push_back(caption + ": " + text);
        std::printf("%s [%s] %s\n", kind, caption.c_str(), text.c_str());
    }

    std::mutex m_lock;
    std::vector<std::string> m_told;
};

// Counts the debug lines that tell of overflows, busy devices and dvr buffer sizes.
class CDebugLines final : public platform::DebugOutput {
public:
    void Write(std::string_view text) override {
        std::lock_guard guard(m_lock);
        if (text.find("overflow") != std::string_view::npos) ++m_nOverflow;
        if (text.find("in use by another program") != std::string_view::npos) ++m_nBusy;
        if (text.find("dvr buffer of") != std::string_view::npos) m_strLastBuffer = text;
        std::printf("DEBUG %.*s%s", static_cast<int>(text.size()), text.data(),
                    !text.empty() && text.back() == '\n' ? "" : "\n");
    }
    int Overflow() {
        std::lock_guard guard(m_lock);
        return m_nOverflow;
    }
    int Busy() {
        std::lock_guard guard(m_lock);
        return m_nBusy;
    }
    std::string LastBuffer() {
        std::lock_guard guard(m_lock);
        return m_strLastBuffer;
    }

private:
    std::mutex m_lock;
    int m_nOverflow = 0;
    int m_nBusy = 0;
    std::string m_strLastBuffer;
};

// Another program that holds a DVB device node: a child process named `name` (its comm, which
// the program quotes) that opens `path` and keeps it open until Release.
class CDeviceHolder {
public:
    CDeviceHolder(const char* path, int flags, const char* name) {
        int ready[2] = {-1, -1};
        int release[2] = {-1, -1};
        if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
        m_nPid = ::fork();
        if (m_nPid == 0) {
            // Only async-signal-safe calls: the parent has threads. The child keeps nothing of
            // the parent's but its two pipe ends, so it holds no other node.
            for (int fd = 3; fd < 1024; ++fd) {
                if (fd != ready[1] && fd != release[0]) ::close(fd);
            }
            ::prctl(PR_SET_NAME, name, 0, 0, 0);
            const char opened = ::open(path, flags) >= 0 ? 1 : 0;
            if (::write(ready[1], &opened, 1) != 1) ::_exit(2);
            char ignored = 0;
            while (::read(release[0], &ignored, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_hRelease = release[1];
        char opened = 0;
        m_bHolds = m_nPid > 0 && ::read(ready[0], &opened, 1) == 1 && opened == 1;
        ::close(ready[0]);
    }
    ~CDeviceHolder() { Release(); }
    CDeviceHolder(const CDeviceHolder&) = delete;
    CDeviceHolder& operator=(const CDeviceHolder&) = delete;

    bool Holds() const { return m_bHolds; }
    pid_t Pid() const { return m_nPid; }
    // The child closes the node and exits; returns once it is gone.
    void Release() {
        if (m_hRelease >= 0) ::close(m_hRelease);
        m_hRelease = -1;
        if (m_nPid > 0) ::waitpid(m_nPid, nullptr, 0);
        m_nPid = -1;
    }

private:
    pid_t m_nPid = -1;
    int m_hRelease = -1;
    bool m_bHolds = false;
};

class CTestPage : public ITunerPage {
public:
    explicit CTestPage(CToldUser& told) : m_told(told) {}

    std::map<TunerField, std::string> fields = {{TunerField::Frequency, "11362"},
                                                {TunerField::SymbolRate, "27500"},
                                                {TunerField::LnbLow, "9750"},
                                                {TunerField::LnbHigh, "10600"},
                                                {TunerField::LnbSwitch, "11700"}};
    std::int32_t polarity = 0;  // Horizontal
    std::int32_t port = 2;      // Diseqc B; 0 is "Diseqc NULL"

    std::string FieldText(TunerField field) const override { return fields.at(field); }
    std::int32_t PolarityIndex() const override { return polarity; }
    std::int32_t DiseqcPortIndex() const override { return port; }
    StreamTypeRecord StreamType() const override { return StreamTypeRecord{{1, 0}}; }
    void SetLnbSwitch(std::int32_t) override {}
    void SaveSettings() override {}
    void EnableTuneButtons(bool) override {}
    void ShowTuneResult(const TuneResult& result) override { m_told.Add(result); }

private:
    CToldUser& m_told;
};

struct Signal {
    bool ok = false;
    LONG strength = 0;
    LONG quality = 0;
    BOOLEAN locked = 0;
};

// The signal monitor's query: IBDA_Topology -> control node (0, 1, 0) -> IBDA_SignalStatistics.
Signal ReadSignal(CTunerSession& session) {
    Signal signal;
    std::lock_guard driver(session.m_hDriverMutex);
    const ComPtr<IBaseFilter> tuner = session.TunerFilter();
    ComPtr<IBDA_Topology> topology;
    if (!tuner ||
        FAILED(tuner->QueryInterface(IBDA_Topology::kIid, topology.ReleaseAndGetVoidAddress()))) {
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
Signal WaitForLock(CTunerSession& session, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    Signal signal;
    do {
        signal = ReadSignal(session);
        if (signal.ok && signal.locked == 1) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < deadline);
    return signal;
}

std::string Describe(const Signal& signal) {
    return fmt::format("ok {}, locked {}, strength {}, quality {}", signal.ok, int{signal.locked},
                       signal.strength, signal.quality);
}

// The carrier report as vidtv leaves it: its get_frontend reads nothing back, so only IF,
// symbol rate and the stream type are known.
MediaInfoRecord UnknownCarrier(std::int32_t ifKHz) {
    return MediaInfoRecord::FromFields(
        {ifKHz, 27500000, -1, 29, 8, -1, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1});
}

std::string Fields(const MediaInfoRecord& record) {
    const std::array<std::uint8_t, MediaInfoRecord::kSize> bytes = record.Encode();
    std::string text;
    for (std::size_t offset = 0; offset < bytes.size(); offset += 4) {
        const auto value = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(bytes[offset]) | (std::uint32_t{bytes[offset + 1]} << 8) |
            (std::uint32_t{bytes[offset + 2]} << 16) | (std::uint32_t{bytes[offset + 3]} << 24));
        text += fmt::format("{}{}", offset == 0 ? "" : " ", value);
    }
    return text;
}

struct RecordCheck {
    std::size_t bytes = 0;
    std::size_t packets = 0;
    std::size_t badSync = 0;
    std::size_t patSections = 0;
    std::size_t continuityErrors = 0;  // PID 0x1FFF left out: vidtv's null packets jump
    // vidtv's PCR follows the kernel's clock: a step between two PCRs far above its period
    // (40 ms) is stream time that never arrived. Continuity counters cannot show that: vidtv's
    // tables and PCR come once per period each, so a loss of a multiple of 16 periods leaves
    // every counter in step.
    std::size_t pcrs = 0;
    double largestPcrStep = 0;  // seconds
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

RecordCheck Examine(const std::vector<std::uint8_t>& data) {
    RecordCheck result;
    result.bytes = data.size();
    CPsiSectionParser pat;
    CPsiSectionParser sdt;
    CSectionCollector collector(result);
    std::map<std::uint16_t, int> counters;
    std::optional<std::uint64_t> lastPcr;
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
        // An adaptation field (bit 5 of byte 3) whose flags (byte 5) carry a PCR (bit 4): its
        // 33-bit base in 90 kHz units in bytes 6..10.
        if ((packet[3] & 0x20) != 0 && packet[4] >= 7 && (packet[5] & 0x10) != 0) {
            const std::uint64_t base =
                (std::uint64_t{packet[6]} << 25) | (std::uint64_t{packet[7]} << 17) |
                (std::uint64_t{packet[8]} << 9) | (std::uint64_t{packet[9]} << 1) |
                (std::uint64_t{packet[10]} >> 7);
            if (lastPcr && base > *lastPcr) {
                result.largestPcrStep =
                    std::max(result.largestPcrStep, static_cast<double>(base - *lastPcr) / 90000);
            }
            lastPcr = base;
            ++result.pcrs;
        }
        if (pid == 0x0000) pat.PushPacket(packet, &collector);
        if (pid == 0x0011) sdt.PushPacket(packet, &collector);
    }
    return result;
}

RecordCheck ExamineRecording(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Examine(std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)),
                                             std::istreambuf_iterator<char>()));
}

// Reads a pipe's read end (non-blocking) until its writer closes it.
std::vector<std::uint8_t> DrainPipe(int fd) {
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> chunk(1 << 16);
    for (;;) {
        const ssize_t count = ::read(fd, chunk.data(), chunk.size());
        if (count > 0) {
            data.insert(data.end(), chunk.begin(), chunk.begin() + count);
        } else if (count == 0 || errno != EAGAIN) {
            return data;
        } else {
            pollfd wait{fd, POLLIN, 0};
            ::poll(&wait, 1, 100);
        }
    }
}

// The kernel's frontend thread of a session (kdvb-ad-0-fe-0) ends a little after the last
// writer closed the frontend, and switches the LNB off as it goes. An open before that reuses the
// leaving thread (dvb_frontend_start), whose tune is then lost: a race of the kernel, not of the
// program, which a user who closes another program and then clicks "Lock TP" does not meet.
bool WaitForFrontendThreadGone(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        bool running = false;
        std::error_code error;
        for (std::filesystem::directory_iterator it("/proc", error), end; !error && it != end;
             it.increment(error)) {
            std::ifstream comm(it->path() / "comm");
            std::string name;
            std::getline(comm, name);
            running = running || name.rfind("kdvb-ad-0-fe-0", 0) == 0;
        }
        if (!running) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string BusyText(const std::string& what, const std::string& tuner, const char* holder,
                     pid_t pid) {
    return fmt::format(
        "{} of the tuner \"{}\" is in use by another program: {} (process {}). "
        "Close that program, or choose another tuner.",
        what, tuner, holder, pid);
}

}  // namespace

int main() {
    const auto started = std::chrono::steady_clock::now();
    CPhases phases;
    CToldUser told;
    SetMessageBoxService(&told);
    const auto debugLines = std::make_shared<CDebugLines>();
    CDebugLines& debug = *debugLines;
    platform::SetDebugOutput(debugLines);

    phases.Begin("setup");
    RegisterDeviceEnumeratorClass();
    RegisterMediaClasses();
    RegisterBdaClasses();
    // The program's own provider on the real kernel (as its default constructor makes it).
    const auto kernel =
        std::make_shared<CStreamBufferKernel>(std::make_shared<linuxdvb::CKernelDvb>());
    linuxdvb::CLinuxDvbDeviceProvider realCards(kernel,
                                                linuxdvb::CLinuxTunerNames::Load(platform::JoinPath(
                                                    platform::ProgramFolder(), "LinuxTuners.ini")),
                                                linuxdvb::DvbCardServices::Real());

    // The device list, as the program's start-up dialog reads it.
    DeviceList list;
    DeviceGetList(list);
    const std::string first = list.count > 0 ? std::string(list.names[0].data()) : std::string();
    Check("device-list",
          first == "VLK Arden DVBS/S2 Tuner (Dummy demod for DVB-T/T2/C/S/S2, adapter 0)",
          fmt::format("{} tuner(s), first \"{}\"", list.count, first));
    CTunerSession session;
    session.SelectDevice(0, first);
    CBDAGraph& graph = session.m_BDAGraph;

    DriverReports reports;
    const std::int32_t build =
        graph.BuildTunerGraph(session.DeviceIndex(), session.DeviceName(), reports);
    told.Add(reports);
    Check("graph-build",
          build == kBuildOk && graph.m_pReceiverDevice && graph.m_pSinkFilter != nullptr,
          fmt::format("result {}", build));
    Check("tuner-model", session.TunerModel() == 1, fmt::format("model {}", session.TunerModel()));
    reports.clear();
    const DriverControlResult control = AcquireDriverControl(session, reports);
    told.Add(reports);
    Check("driver-control", control == DriverControlResult::Acquired && !IsUsbCarrier(session),
          "PCI-E carrier on Input0");

    // "Lock TP": 11362 MHz horizontal, 27500 kSps, universal LNB, port B -> IF 1612000 kHz,
    // 18 V, no tone, E0 10 38 F6 after the LNB's power-up time.
    CTestPage page(told);
    phases.Begin("locktp first");
    LockTransponder(session, page);
    const Signal locked = WaitForLock(session, std::chrono::seconds(10));
    Check("lock", locked.ok && locked.locked == 1, Describe(locked));
    Check("strength", locked.ok && locked.strength > 0 && locked.strength <= 100,
          fmt::format("{}", locked.strength));
    Check("quality", locked.ok && locked.quality > 0 && locked.quality <= 100,
          fmt::format("{}", locked.quality));
    reports.clear();
    const MediaInfoResult info = GetMediaInfo(session, reports);
    told.Add(reports);
    Check("carrier-report",
          info == MediaInfoResult::Read && session.m_MediaInfoRecord == UnknownCarrier(1612000),
          fmt::format("fields {} (expected {})", Fields(session.m_MediaInfoRecord),
                      Fields(UnknownCarrier(1612000))));

    // The high band: 12188 MHz -> IF 1588000 kHz (vidtv booted with 12188000 as a valid
    // frequency), E0 10 38 F7, tone on.
    page.fields[TunerField::Frequency] = "12188";
    phases.Begin("locktp high");
    LockTransponder(session, page);
    const Signal high = WaitForLock(session, std::chrono::seconds(10));
    Check("high-band-lock", high.ok && high.locked == 1, Describe(high));
    reports.clear();
    const MediaInfoResult highInfo = GetMediaInfo(session, reports);
    told.Add(reports);
    Check("high-band-carrier-report",
          highInfo == MediaInfoResult::Read && session.m_MediaInfoRecord == UnknownCarrier(1588000),
          fmt::format("fields {}", Fields(session.m_MediaInfoRecord)));

    // A positioner command goes out at once, with the tone on before it: E0 31 6B 00, "goto
    // stored position 0". The host finds the tone restored after it.
    phases.Begin("positioner");
    const std::uint8_t gotoReference[] = {0xE0, 0x31, 0x6B, 0x00};
    reports.clear();
    SendDiseqCommand(session, gotoReference, DiseqcForm::Positioner, reports);
    told.Add(reports);

    // "Diseqc NULL": the same carrier without any switch message.
    page.fields[TunerField::Frequency] = "11362";
    page.port = 0;
    phases.Begin("locktp null");
    LockTransponder(session, page);
    const Signal nullPort = WaitForLock(session, std::chrono::seconds(10));
    Check("diseqc-null-lock", nullPort.ok && nullPort.locked == 1, Describe(nullPort));
    page.port = 2;

    // Two seconds of recording through the sink.
    phases.Begin("record");
    mkdir("/tmp/vidtv", 0755);
    const std::string path = "/tmp/vidtv/capture.ts";
    SetRecordFilePath(session, path);
    const auto recordStarted = std::chrono::steady_clock::now();
    const int recordError = StartRecording(session);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    StopRecording(session);
    const double recordSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - recordStarted).count();
    const RecordStreamLoss recordLoss = GetRecordStreamLoss(session);
    const RecordCheck recording = ExamineRecording(path);
    const double bytesPerSecond = static_cast<double>(recording.bytes) / recordSeconds;
    Check("record-file", recordError == 0 && recording.bytes > 0 && recording.bytes % 188 == 0,
          fmt::format("{} bytes, {} packets, {:.1f} Mbit/s", recording.bytes, recording.packets,
                      bytesPerSecond * 8 / 1e6));
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
          fmt::format("{} gaps; {} PCRs, largest step {:.3f} s", recording.continuityErrors,
                      recording.pcrs, recording.largestPcrStep));
    Check("no-overflow", debug.Overflow() == 0 && recordLoss.overruns == 0,
          fmt::format("{} overflow lines, {} overruns", debug.Overflow(), recordLoss.overruns));
    const std::string bufferLine = debug.LastBuffer();
    Check("dvr-buffer",
          bufferLine == fmt::format("linuxdvb: dvr buffer of {} bytes",
                                    linuxdvb::CLinuxDvbCard::kStreamBufferBytes),
          bufferLine);

    // A wrong frequency: 11400 MHz gives IF 1650000 kHz, which vidtv does not lock on.
    page.fields[TunerField::Frequency] = "11400";
    phases.Begin("locktp wrong");
    LockTransponder(session, page);
    const Signal wrong = WaitForLock(session, std::chrono::seconds(2));
    Check("wrong-frequency-no-lock", wrong.ok && wrong.locked == 0, Describe(wrong));
    Check("unlocked-readings-in-range",
          wrong.strength >= 0 && wrong.strength <= 100 && wrong.quality == 0, Describe(wrong));
    page.fields[TunerField::Frequency] = "11362";

    const std::vector<std::string> shown = told.Take();
    Check("no-message-box", shown.empty(), fmt::format("{} boxes", shown.size()));

    // Another program holds the frontend: this one closes it (the graph goes, as when the user
    // picks another tuner), the other opens it, and the rebuilt graph's Lock TP names it.
    phases.Begin("release");
    session.ReleaseGraph();
    Check("frontend-thread-ends", WaitForFrontendThreadGone(std::chrono::seconds(5)),
          "after this program closed the frontend");
    {
        CDeviceHolder server("/dev/dvb/adapter0/frontend0", O_RDWR, "tvserver");
        Check("busy-frontend-held", server.Holds(), fmt::format("process {}", server.Pid()));
        reports.clear();
        const std::int32_t rebuilt =
            graph.BuildTunerGraph(session.DeviceIndex(), session.DeviceName(), reports);
        const DriverControlResult again = AcquireDriverControl(session, reports);
        told.Add(reports);
        Check("graph-rebuild", rebuilt == kBuildOk && again == DriverControlResult::Acquired,
              fmt::format("result {}", rebuilt));
        const int busyLinesBefore = debug.Busy();
        phases.Begin("locktp busy");
        LockTransponder(session, page);
        const std::vector<std::string> busyBoxes = told.Take();
        const std::string expected =
            "error: " + BusyText("The frontend", first, "tvserver", server.Pid());
        std::string texts;
        for (const std::string& box : busyBoxes) texts += "[" + box + "] ";
        Check("busy-frontend-message", busyBoxes.size() == 1 && busyBoxes.front() == expected,
              fmt::format("{} box(es): {}", busyBoxes.size(), texts));

        // The signal monitor's polls during the busy spell: no reading, the frontend tried
        // again at most every CLinuxDvbCard::kReopenMs (the host counts the opens), logged once.
        phases.Begin("busy-poll");
        int readings = 0;
        const auto pollEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(3500);
        while (std::chrono::steady_clock::now() < pollEnd) {
            if (ReadSignal(session).ok) ++readings;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        Check("busy-frontend-no-reading", readings == 0, fmt::format("{} readings", readings));
        Check("busy-frontend-logged-once", debug.Busy() - busyLinesBefore == 1,
              fmt::format("{} lines", debug.Busy() - busyLinesBefore));
        phases.Begin("busy-end");
    }
    Check("other-frontend-thread-ends", WaitForFrontendThreadGone(std::chrono::seconds(5)),
          "after the other program closed the frontend");
    // The other program has gone: the next Lock TP opens the frontend (LNB unpowered) and locks.
    phases.Begin("locktp after-busy");
    LockTransponder(session, page);
    const Signal freed = WaitForLock(session, std::chrono::seconds(10));
    Check("after-busy-lock", freed.ok && freed.locked == 1, Describe(freed));
    Check("after-busy-no-message-box", told.Take().empty(), "");

    // Another program reads dvr: the recording cannot start and says who has the stream.
    phases.Begin("record busy");
    graph.StopGraph();
    {
        CDeviceHolder reader("/dev/dvb/adapter0/dvr0", O_RDONLY, "tvreader");
        Check("busy-dvr-held", reader.Holds(), fmt::format("process {}", reader.Pid()));
        SetRecordFilePath(session, "/tmp/vidtv/busy.ts");
        const int busyStart = StartRecording(session);
        const std::string failure = GetRecordRunFailure(session);
        StopRecording(session);
        const std::string expected = BusyText("The stream", first, "tvreader", reader.Pid());
        Check("busy-dvr-not-running", busyStart == kRecordGraphNotRunning,
              fmt::format("StartRecording {}", busyStart));
        Check("busy-dvr-failure", failure == expected, failure);
    }

    // An overrun: the recording goes into a pipe whose reader does not read, so the sink's write
    // waits, the capture thread stops reading dvr and the kernel's buffer fills at vidtv's rate
    // until the kernel refuses a write (the probe). Then the reader drains the pipe; the capture
    // thread's next read of dvr finds the overflow. The buffer is the smallest the card takes
    // where memory is short (kMinBufferBytes), so this takes seconds.
    phases.Begin("record overrun");
    constexpr std::size_t kOverrunBufferBytes = linuxdvb::CKernelStreamDevice::kMinBufferBytes;
    kernel->SetStreamBufferBytes(kOverrunBufferBytes);
    COverflowProbe probe;
    const std::string fifo = "/tmp/vidtv/stall.ts";
    ::mkfifo(fifo.c_str(), 0644);
    const int pipeReader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // Room for half a second of stream before the stall, so PCRs come before the loss too.
    if (pipeReader >= 0) ::fcntl(pipeReader, F_SETPIPE_SZ, 1 << 20);
    SetRecordFilePath(session, fifo);
    const double stallStarted = MonotonicSeconds();
    const int overrunStart = StartRecording(session);
    std::optional<double> full;
    // Only a guard: the probe ends the stall.
    while (!(full = probe.FirstSince(stallStarted)) && MonotonicSeconds() - stallStarted < 30) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const double stallSeconds = MonotonicSeconds() - stallStarted;
    std::vector<std::uint8_t> drained;
    std::thread drain([&] { drained = DrainPipe(pipeReader); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    StopRecording(session);
    drain.join();
    ::close(pipeReader);
    kernel->SetStreamBufferBytes(0);
    const RecordStreamLoss loss = GetRecordStreamLoss(session);
    const RecordCheck afterOverrun = Examine(drained);
    const std::string overrunBuffer = debug.LastBuffer();
    Check("overrun-record-started",
          pipeReader >= 0 && overrunStart == 0 &&
              overrunBuffer == fmt::format("linuxdvb: dvr buffer of {} bytes", kOverrunBufferBytes),
          fmt::format("StartRecording {}, {}", overrunStart, overrunBuffer));
    Check("overrun-in-kernel", probe.Available() && full.has_value(),
          fmt::format("the kernel refused a write {:.1f} s after the start (probe {}), "
                      "{:.1f} s at the rate measured above",
                      full ? *full - stallStarted : -1.0, probe.Available() ? "set" : "missing",
                      static_cast<double>(kOverrunBufferBytes) / std::max(bytesPerSecond, 1.0)));
    Check("overrun-counted", loss.overruns >= 1 && debug.Overflow() >= 1,
          fmt::format("{} overrun(s), {} bytes lost, {} overflow line(s) after a {:.1f} s stall",
                      loss.overruns, loss.bytesLost, debug.Overflow(), stallSeconds));
    // At least the buffer less the last read (one sample at most) is counted as lost.
    const std::uint64_t leastLost =
        kOverrunBufferBytes - static_cast<std::uint64_t>(CBdaCaptureOutputPin::kSampleBytes);
    Check("overrun-bytes-lost", loss.overruns >= 1 && loss.bytesLost >= leastLost * loss.overruns,
          fmt::format("{} bytes lost in {} overrun(s), at least {} each", loss.bytesLost,
                      loss.overruns, leastLost));
    // The stream goes on at a packet boundary, and the loss shows in it: a buffer's worth of
    // stream time, which even at vidtv's top rate (a tick of about 55 KB every 10 ms) is more
    // than 0.7 s, is missing between two PCRs.
    Check("overrun-stream-goes-on",
          afterOverrun.packets > 0 && afterOverrun.badSync == 0 && afterOverrun.bytes % 188 == 0 &&
              afterOverrun.largestPcrStep >= 0.5,
          fmt::format("{} bytes read from the pipe, {} bad sync bytes, {} PCRs, largest PCR step "
                      "{:.2f} s, {} continuity gaps",
                      afterOverrun.bytes, afterOverrun.badSync, afterOverrun.pcrs,
                      afterOverrun.largestPcrStep, afterOverrun.continuityErrors));

    phases.Begin("end");
    const std::vector<std::string> late = told.Take();
    Check("no-other-message-box", late.empty(), fmt::format("{} boxes", late.size()));

    session.ReleaseGraph();
    phases.End();
    SetMessageBoxService(nullptr);
    platform::SetDebugOutput(nullptr);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("vidtv guest program ran %.1f s\n", seconds);
    std::printf("vidtv: %d passed, %d failed\n", g_nPassed, g_nFailed);
    std::fflush(stdout);
    return g_nFailed == 0 ? 0 : 1;
}
