#include "drivers/linuxdvb/fake_dvb_kernel.h"

#include <fmt/format.h>

#include <algorithm>
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

// The parameters a driver's get_frontend may read back.
constexpr std::uint32_t kReadBackCommands[] = {DTV_DELIVERY_SYSTEM, DTV_MODULATION, DTV_INNER_FEC,
                                               DTV_ROLLOFF,         DTV_PILOT,      DTV_INVERSION,
                                               DTV_FREQUENCY,       DTV_SYMBOL_RATE};

// The core refuses a master command longer than struct dvb_diseqc_master_cmd's 6 bytes
// (dvb_frontend.c:2557).
constexpr std::size_t kMaxDiseqcBytes = 6;

class CFakeDvbFrontend : public IDvbFrontendDevice {
public:
    // Constructed under the state's lock by OpenFrontend.
    CFakeDvbFrontend(std::shared_ptr<FakeDvbState> state, std::pair<int, int> node)
        : m_pState(std::move(state)), m_node(node) {
        ++m_pState->openFrontends;
        ++m_pState->openByFrontend[m_node];
    }
    ~CFakeDvbFrontend() override {
        std::lock_guard guard(m_pState->lock);
        --m_pState->openFrontends;
        if (--m_pState->openByFrontend[m_node] > 0) return;
        // Last close: the frontend thread powers the LNB down and puts the demodulator to sleep
        // (dvb_powerdown_on_sleep, dvb_frontend.c:787-799).
        if (m_pState->sec.voltage != DvbVoltage::Off)
            m_pState->sec.SetVoltage(DvbVoltage::Off, m_pState->nowMs, true);
        m_pState->demod.reset();
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
        WaitForDriver();
        if (m_pState->model && Error(key) == 0) return LogResult(line, SetOnModel(properties));
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
        WaitForDriver();
        if (const int error = Error("GetProperties")) return error;
        if (!m_pState->model) {
            for (DvbProperty& property : properties)
                property.value = m_pState->properties[property.command];
            return 0;
        }
        // dvb_get_property: get_frontend on a copy of the cache, which drivers fill only while
        // locked (dvb_frontend.c:2384-2388).
        const std::optional<FakeCarrier> carrier = LockedCarrier();
        for (DvbProperty& property : properties) {
            std::optional<std::uint32_t> value;
            if (carrier) value = ReadBack(*m_pState->model, *carrier, property.command);
            property.value =
                value ? *value
                      : CacheValue(*m_pState->model, m_pState->properties, property.command);
        }
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
        std::unique_lock guard(m_pState->lock);
        ++m_pState->statusReadsWaiting;
        m_pState->statusReleased.wait(guard, [this] { return !m_pState->statusReadsHeld; });
        --m_pState->statusReadsWaiting;
        WaitForDriver();
        status = 0;
        if (const int error = Error("ReadStatus")) return error;
        status = m_pState->model ? ModelStatus() : m_pState->status;
        return 0;
    }
    int SetVoltage(DvbVoltage voltage) override {
        const char* text = voltage == DvbVoltage::Volt13   ? "13"
                           : voltage == DvbVoltage::Volt18 ? "18"
                                                           : "off";
        std::lock_guard guard(m_pState->lock);
        if (const int error = Log(fmt::format("voltage {}", text), "SetVoltage")) return error;
        m_pState->sec.SetVoltage(voltage, m_pState->nowMs);
        return 0;
    }
    int SetTone(bool on) override {
        std::lock_guard guard(m_pState->lock);
        if (const int error = Log(on ? "tone on" : "tone off", "SetTone")) return error;
        m_pState->sec.SetTone(on, m_pState->nowMs);
        return 0;
    }
    int SendDiseqc(std::span<const std::uint8_t> message) override {
        std::string line = "diseqc";
        for (const std::uint8_t byte : message) line += fmt::format(" {:02X}", byte);
        std::lock_guard guard(m_pState->lock);
        if (m_pState->model && Error("SendDiseqc") == 0) {
            const bool fits = message.size() <= kMaxDiseqcBytes &&
                              message.size() >= m_pState->model->minDiseqcBytes;
            if (const int error = LogResult(line, fits ? 0 : EINVAL)) return error;
        } else if (const int error = Log(line, "SendDiseqc")) {
            return error;
        }
        FakeSecBus& sec = m_pState->sec;
        m_pState->nowMs = sec.SendDiseqc({message.begin(), message.end()}, m_pState->nowMs);
        if (m_pState->model && m_pState->model->toneOffAfterDiseqc && sec.tone)
            sec.SetTone(false, m_pState->nowMs, true);
        return 0;
    }

private:
    int Error(const std::string& key) {
        const auto it = m_pState->errors.find(key);
        return it == m_pState->errors.end() ? 0 : it->second;
    }
    // Logs the call (a failed one with its errno) and returns the errno set for it.
    int Log(const std::string& line, const std::string& key) { return LogResult(line, Error(key)); }
    int LogResult(const std::string& line, int error) {
        m_pState->calls.push_back(error == 0 ? line : fmt::format("{} -> errno {}", line, error));
        return error;
    }

    // FE_SET_PROPERTY as the DVB core runs it: property by property, stopping at the first error.
    int SetOnModel(std::span<const DvbProperty> properties) {
        const FakeDriverModel& model = *m_pState->model;
        FakeCache& cache = m_pState->properties;
        for (const DvbProperty& property : properties) {
            switch (property.command) {
                case DTV_CLEAR: {
                    // dvb_frontend_clear_cache keeps the delivery system; CacheValue supplies
                    // the defaults it sets for everything else.
                    const auto system = cache.find(DTV_DELIVERY_SYSTEM);
                    const std::optional<std::uint32_t> kept =
                        system == cache.end() ? std::nullopt
                                              : std::optional<std::uint32_t>(system->second);
                    cache.clear();
                    if (kept) cache[DTV_DELIVERY_SYSTEM] = *kept;
                    break;
                }
                case DTV_DELIVERY_SYSTEM: {
                    // dvbv5_set_delivery_system (dvb_frontend.c:1672-1717); SYS_UNDEFINED means
                    // the driver's first system.
                    const std::uint32_t system = property.value == SYS_UNDEFINED
                                                     ? model.deliverySystems.front()
                                                     : property.value;
                    if (std::find(model.deliverySystems.begin(), model.deliverySystems.end(),
                                  system) == model.deliverySystems.end())
                        return EINVAL;
                    cache[DTV_DELIVERY_SYSTEM] = system;
                    break;
                }
                case DTV_TUNE:
                    if (const int error = TuneRangeError(model, cache)) return error;
                    Tune();
                    break;
                default:
                    cache[property.command] = property.value;
                    break;
            }
        }
        return 0;
    }
    // The ioctl waits for the DVB core's semaphore, which the frontend thread holds while the
    // driver searches inside its tune (dvb_frontend.c, dvb_frontend_thread and
    // dvb_frontend_do_ioctl).
    void WaitForDriver() { m_pState->nowMs = std::max(m_pState->nowMs, m_pState->busyUntilMs); }
    // The frontend thread calls the driver later and drops its error (dvb_frontend.c:728, 471,
    // 750): the tune always succeeds for the program.
    void Tune() {
        const FakeDriverModel& model = *m_pState->model;
        FakeTuneRecord record{m_pState->properties, m_pState->nowMs,
                              DriverRefusal(model, m_pState->properties)};
        m_pState->tunes.push_back(record);
        if (record.driverError == 0) {
            m_pState->demod = std::move(record);
            // A driver that waits for the lock in its tune returns at the lock, or when it gave up.
            if (model.holdPerTryMs > 0) {
                const std::optional<FakeCarrier> carrier = CarrierForDemod();
                m_pState->busyUntilMs =
                    m_pState->nowMs + (carrier ? LockMs(model, m_pState->demod->cache, *carrier)
                                               : HoldMs(model, m_pState->demod->cache));
            }
        } else if (!model.staleLockOnRefusal) {
            m_pState->demod.reset();
        }
    }
    // The carrier the demodulator's parameters receive at the LNB's voltage and tone, locked or
    // not yet.
    std::optional<FakeCarrier> CarrierForDemod() {
        const FakeDriverModel& model = *m_pState->model;
        const std::optional<FakeTuneRecord>& demod = m_pState->demod;
        if (!demod) return std::nullopt;
        const auto index = CarrierAt(model, demod->cache, m_pState->carriers, m_pState->sec.voltage,
                                     m_pState->sec.tone);
        if (!index || !Demodulates(model, demod->cache, m_pState->carriers[*index]))
            return std::nullopt;
        return m_pState->carriers[*index];
    }
    // The carrier the demodulator is locked on now, if any.
    std::optional<FakeCarrier> LockedCarrier() {
        const std::optional<FakeCarrier> carrier = CarrierForDemod();
        if (!carrier) return std::nullopt;
        const FakeTuneRecord& demod = *m_pState->demod;
        if (m_pState->nowMs < demod.atMs + LockMs(*m_pState->model, demod.cache, *carrier))
            return std::nullopt;
        return carrier;
    }
    std::uint32_t ModelStatus() {
        const FakeDriverModel& model = *m_pState->model;
        if (const std::optional<FakeCarrier> carrier = LockedCarrier()) {
            // The lock event makes the frontend thread copy get_frontend's values into the cache
            // itself (dvb_frontend.c:248-249).
            for (const std::uint32_t command : kReadBackCommands)
                if (const auto value = ReadBack(model, *carrier, command))
                    m_pState->properties[command] = *value;
            return FE_HAS_SIGNAL | FE_HAS_CARRIER | FE_HAS_VITERBI | FE_HAS_SYNC | FE_HAS_LOCK;
        }
        const std::optional<FakeTuneRecord>& demod = m_pState->demod;
        if (!demod || !model.partialStatus) return 0;
        const bool carrierThere = CarrierAt(model, demod->cache, m_pState->carriers,
                                            m_pState->sec.voltage, m_pState->sec.tone)
                                      .has_value();
        return carrierThere ? FE_HAS_SIGNAL | FE_HAS_CARRIER : 0;
    }

    const std::shared_ptr<FakeDvbState> m_pState;
    const std::pair<int, int> m_node;
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

int CFakeDvbKernel::OpenFrontend(int adapter, int frontend,
                                 std::unique_ptr<IDvbFrontendDevice>& device) {
    std::lock_guard guard(state->lock);
    state->calls.push_back("open frontend");
    if (const auto it = state->errors.find("OpenFrontend"); it != state->errors.end())
        return it->second;
    // One read-write opener at a time (dvbdev.c:147-148).
    if (state->model && state->openByFrontend[{adapter, frontend}] > 0) return EBUSY;
    device = std::make_unique<CFakeDvbFrontend>(state, std::pair(adapter, frontend));
    return 0;
}

int CFakeDvbKernel::OpenStream(int adapter, int /*frontend*/, std::size_t bufferBytes,
                               std::unique_ptr<IDvbStreamDevice>& device) {
    {
        std::lock_guard guard(state->lock);
        if (const auto it = state->errors.find("OpenStream"); it != state->errors.end())
            return it->second;
        // dvr has one reader (dmxdev.c:160-165).
        if (state->model && state->openDvrByAdapter[adapter] > 0) return EBUSY;
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
        CForward(std::shared_ptr<CFakeDvbStream> target, std::shared_ptr<FakeDvbState> shared,
                 int adapter)
            : m_pTarget(std::move(target)), m_pShared(std::move(shared)), m_nAdapter(adapter) {
            std::lock_guard guard(m_pShared->lock);
            ++m_pShared->openStreams;
            ++m_pShared->openDvrByAdapter[m_nAdapter];
        }
        ~CForward() override {
            std::lock_guard guard(m_pShared->lock);
            --m_pShared->openStreams;
            --m_pShared->openDvrByAdapter[m_nAdapter];
        }
        DvbWaitResult Wait(int timeoutMs, int& error) override {
            return m_pTarget->Wait(timeoutMs, error);
        }
        long Read(std::span<std::uint8_t> buffer) override { return m_pTarget->Read(buffer); }
        void Wake() override { m_pTarget->Wake(); }

    private:
        std::shared_ptr<CFakeDvbStream> m_pTarget;
        std::shared_ptr<FakeDvbState> m_pShared;
        const int m_nAdapter;
    };
    device = std::make_unique<CForward>(std::move(stream), state, adapter);
    return 0;
}

std::vector<DvbDeviceHolder> CFakeDvbKernel::Holders(int /*adapter*/, const std::string& kind,
                                                     int /*index*/) {
    std::lock_guard guard(state->lock);
    return state->holders[kind];
}

std::function<void(int)> CFakeDvbKernel::Pause() {
    return [shared = state](int milliseconds) {
        std::lock_guard guard(shared->lock);
        shared->calls.push_back(fmt::format("pause {}", milliseconds));
        shared->nowMs += std::max(milliseconds, 0);
    };
}

void CFakeDvbKernel::UseModel(const FakeDriverModel& model) {
    std::lock_guard guard(state->lock);
    state->model = model;
    frontends = {FrontendFor(model)};
}

void CFakeDvbKernel::AddCarrier(const FakeCarrier& carrier) {
    std::lock_guard guard(state->lock);
    state->carriers.push_back(carrier);
}

std::int64_t CFakeDvbKernel::NowMs() {
    std::lock_guard guard(state->lock);
    return state->nowMs;
}

std::vector<FakeSecEvent> CFakeDvbKernel::SecTimeline() {
    std::lock_guard guard(state->lock);
    return state->sec.timeline;
}

std::vector<std::string> CFakeDvbKernel::SecViolations(int powerUpMs) {
    std::lock_guard guard(state->lock);
    return SecRuleViolations(state->sec.timeline, powerUpMs);
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
