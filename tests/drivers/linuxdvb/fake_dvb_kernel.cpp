#include "drivers/linuxdvb/fake_dvb_kernel.h"

#include <fmt/format.h>

#include <cerrno>
#include <chrono>

#include "drivers/linuxdvb/dvb_api.h"

namespace linuxdvb::testing {

namespace {

std::string CommandName(std::uint32_t command) {
    switch (command) {
        case DTV_CLEAR:
            return "DTV_CLEAR";
        case DTV_TUNE:
            return "DTV_TUNE";
        case DTV_DELIVERY_SYSTEM:
            return "DTV_DELIVERY_SYSTEM";
        case DTV_FREQUENCY:
            return "DTV_FREQUENCY";
        case DTV_SYMBOL_RATE:
            return "DTV_SYMBOL_RATE";
        case DTV_INNER_FEC:
            return "DTV_INNER_FEC";
        case DTV_INVERSION:
            return "DTV_INVERSION";
        case DTV_MODULATION:
            return "DTV_MODULATION";
        case DTV_PILOT:
            return "DTV_PILOT";
        case DTV_ROLLOFF:
            return "DTV_ROLLOFF";
        case DTV_STREAM_ID:
            return "DTV_STREAM_ID";
        case DTV_SCRAMBLING_SEQUENCE_INDEX:
            return "DTV_SCRAMBLING_SEQUENCE_INDEX";
        default:
            return fmt::format("DTV_{}", command);
    }
}

class CFakeDvbFrontend : public IDvbFrontendDevice {
public:
    explicit CFakeDvbFrontend(std::shared_ptr<FakeDvbState> state) : m_pState(std::move(state)) {
        std::lock_guard guard(m_pState->lock);
        ++m_pState->openFrontends;
    }
    ~CFakeDvbFrontend() override {
        std::lock_guard guard(m_pState->lock);
        --m_pState->openFrontends;
    }

    int SetProperties(std::span<const DvbProperty> properties) override {
        std::string line = "set";
        for (const DvbProperty& property : properties) {
            line += " " + CommandName(property.command);
            if (property.command != DTV_CLEAR && property.command != DTV_TUNE)
                line += fmt::format("={}", property.value);
        }
        const std::string key =
            properties.empty() ? "Set:" : "Set:" + CommandName(properties.front().command);
        std::lock_guard guard(m_pState->lock);
        if (const int error = Log(line, key)) return error;
        for (const DvbProperty& property : properties) {
            if (property.command == DTV_CLEAR) {
                m_pState->properties.clear();
            } else if (property.command != DTV_TUNE) {
                m_pState->properties[property.command] = property.value;
            }
        }
        return 0;
    }
    int GetProperties(std::span<DvbProperty> properties) override {
        std::lock_guard guard(m_pState->lock);
        if (const int error = Error("GetProperties")) return error;
        for (DvbProperty& property : properties)
            property.value = m_pState->properties[property.command];
        return 0;
    }
    int ReadStatistic(DvbStatisticSource source, DvbStatistic& statistic) override {
        std::lock_guard guard(m_pState->lock);
        statistic = DvbStatistic{};
        if (const int error = Error(fmt::format("Statistic:{}", static_cast<int>(source))))
            return error;
        if (const auto it = m_pState->statistics.find(source); it != m_pState->statistics.end())
            statistic = it->second;
        return 0;
    }
    int ReadStatus(std::uint32_t& status) override {
        std::lock_guard guard(m_pState->lock);
        status = 0;
        if (const int error = Error("ReadStatus")) return error;
        status = m_pState->status;
        return 0;
    }
    int SetVoltage(DvbVoltage voltage) override {
        const char* text = voltage == DvbVoltage::Volt13   ? "13"
                           : voltage == DvbVoltage::Volt18 ? "18"
                                                           : "off";
        std::lock_guard guard(m_pState->lock);
        return Log(fmt::format("voltage {}", text), "SetVoltage");
    }
    int SetTone(bool on) override {
        std::lock_guard guard(m_pState->lock);
        return Log(on ? "tone on" : "tone off", "SetTone");
    }
    int SendDiseqc(std::span<const std::uint8_t> message) override {
        std::string line = "diseqc";
        for (const std::uint8_t byte : message) line += fmt::format(" {:02X}", byte);
        std::lock_guard guard(m_pState->lock);
        return Log(line, "SendDiseqc");
    }

private:
    int Error(const std::string& key) {
        const auto it = m_pState->errors.find(key);
        return it == m_pState->errors.end() ? 0 : it->second;
    }
    // Logs the call (a failed one with its errno) and returns the errno set for it.
    int Log(const std::string& line, const std::string& key) {
        const int error = Error(key);
        m_pState->calls.push_back(error == 0 ? line : fmt::format("{} -> errno {}", line, error));
        return error;
    }

    const std::shared_ptr<FakeDvbState> m_pState;
};

}  // namespace

CFakeDvbStream::CFakeDvbStream(std::shared_ptr<FakeDvbState> state) : m_pState(std::move(state)) {}

CFakeDvbStream::~CFakeDvbStream() = default;

DvbWaitResult CFakeDvbStream::Wait(int timeoutMs, int& error) {
    error = 0;
    std::unique_lock guard(m_lock);
    ++m_nWaits;
    m_changed.notify_all();
    m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                       [&] { return m_bWoken || !m_chunks.empty(); });
    if (m_bWoken) return DvbWaitResult::Woken;
    return m_chunks.empty() ? DvbWaitResult::TimedOut : DvbWaitResult::Readable;
}

long CFakeDvbStream::Read(std::span<std::uint8_t> buffer) {
    std::lock_guard guard(m_lock);
    if (m_chunks.empty()) return 0;
    FakeStreamChunk& chunk = m_chunks.front();
    if (chunk.error != 0) {
        const int error = chunk.error;
        m_chunks.pop_front();
        return -error;
    }
    const std::size_t count = std::min(buffer.size(), chunk.bytes.size());
    std::copy_n(chunk.bytes.begin(), count, buffer.begin());
    chunk.bytes.erase(chunk.bytes.begin(),
                      chunk.bytes.begin() + static_cast<std::ptrdiff_t>(count));
    if (chunk.bytes.empty()) m_chunks.pop_front();
    return static_cast<long>(count);
}

void CFakeDvbStream::Wake() {
    std::lock_guard guard(m_lock);
    m_bWoken = true;
    m_changed.notify_all();
}

void CFakeDvbStream::Push(FakeStreamChunk chunk) {
    std::lock_guard guard(m_lock);
    m_chunks.push_back(std::move(chunk));
    m_changed.notify_all();
}

std::size_t CFakeDvbStream::Pending() {
    std::lock_guard guard(m_lock);
    return m_chunks.size();
}

std::uint64_t CFakeDvbStream::Waits() {
    std::lock_guard guard(m_lock);
    return m_nWaits;
}

CFakeDvbKernel::CFakeDvbKernel() : state(std::make_shared<FakeDvbState>()) {}

int CFakeDvbKernel::OpenFrontend(int /*adapter*/, int /*frontend*/,
                                 std::unique_ptr<IDvbFrontendDevice>& device) {
    {
        std::lock_guard guard(state->lock);
        state->calls.push_back("open frontend");
        if (const auto it = state->errors.find("OpenFrontend"); it != state->errors.end())
            return it->second;
    }
    device = std::make_unique<CFakeDvbFrontend>(state);
    return 0;
}

int CFakeDvbKernel::OpenStream(int /*adapter*/, int /*frontend*/, std::size_t bufferBytes,
                               std::unique_ptr<IDvbStreamDevice>& device) {
    {
        std::lock_guard guard(state->lock);
        if (const auto it = state->errors.find("OpenStream"); it != state->errors.end())
            return it->second;
        lastBufferBytes = bufferBytes;
    }
    auto stream = std::make_shared<CFakeDvbStream>(state);
    {
        std::lock_guard guard(state->lock);
        m_pStream = stream;
    }
    // The card owns a device that forwards to the shared stream, so the test can keep feeding it.
    class CForward : public IDvbStreamDevice {
    public:
        CForward(std::shared_ptr<CFakeDvbStream> target, std::shared_ptr<FakeDvbState> shared)
            : m_pTarget(std::move(target)), m_pShared(std::move(shared)) {
            std::lock_guard guard(m_pShared->lock);
            ++m_pShared->openStreams;
        }
        ~CForward() override {
            std::lock_guard guard(m_pShared->lock);
            --m_pShared->openStreams;
        }
        DvbWaitResult Wait(int timeoutMs, int& error) override {
            return m_pTarget->Wait(timeoutMs, error);
        }
        long Read(std::span<std::uint8_t> buffer) override { return m_pTarget->Read(buffer); }
        void Wake() override { m_pTarget->Wake(); }

    private:
        std::shared_ptr<CFakeDvbStream> m_pTarget;
        std::shared_ptr<FakeDvbState> m_pShared;
    };
    device = std::make_unique<CForward>(std::move(stream), state);
    return 0;
}

std::vector<DvbDeviceHolder> CFakeDvbKernel::Holders(int /*adapter*/, const std::string& kind,
                                                     int /*index*/) {
    std::lock_guard guard(state->lock);
    return state->holders[kind];
}

CLinuxDvbCard::Pause CFakeDvbKernel::Pause() {
    return [shared = state](int milliseconds) {
        std::lock_guard guard(shared->lock);
        shared->calls.push_back(fmt::format("pause {}", milliseconds));
    };
}

std::vector<std::string> CFakeDvbKernel::Calls() {
    std::lock_guard guard(state->lock);
    return state->calls;
}

void CFakeDvbKernel::ClearCalls() {
    std::lock_guard guard(state->lock);
    state->calls.clear();
}

void CFakeDvbKernel::SetError(const std::string& operation, int error) {
    std::lock_guard guard(state->lock);
    if (error == 0) {
        state->errors.erase(operation);
    } else {
        state->errors[operation] = error;
    }
}

std::shared_ptr<CFakeDvbStream> CFakeDvbKernel::Stream() {
    std::lock_guard guard(state->lock);
    return m_pStream;
}

DvbFrontendDescription VidtvLikeFrontend(int adapter, int frontend) {
    DvbFrontendDescription description;
    description.adapter = adapter;
    description.frontend = frontend;
    description.name = "Dummy demod for DVB-T/T2/C/S/S2";
    description.deliverySystems = {SYS_DVBT, SYS_DVBT2, SYS_DVBC_ANNEX_A, SYS_DVBS, SYS_DVBS2};
    return description;
}

DvbFrontendDescription FrontendWith(std::vector<std::uint32_t> systems, std::string name,
                                    int adapter) {
    DvbFrontendDescription description;
    description.adapter = adapter;
    description.name = std::move(name);
    description.deliverySystems = std::move(systems);
    return description;
}

}  // namespace linuxdvb::testing
