#pragma once
// A fake of the Linux backend's kernel interface. Frontends log every call, in order, as a line
// ("tone off", "voltage 18", "diseqc E0 10 38 F6", "set DTV_CLEAR", "set DTV_DELIVERY_SYSTEM=6
// DTV_FREQUENCY=1612000 ...", "pause 15" through Pause()), keep the properties they were set
// (like the kernel's cache, for FE_GET_PROPERTY), and fail a call with the errno set for it. The
// stream serves scripted chunks of bytes or errors, and blocks its reader until data, a Wake or
// the timeout.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "drivers/linuxdvb/dvb_kernel.h"
#include "drivers/linuxdvb/linux_dvb_card.h"

namespace linuxdvb::testing {

// What every fake object of one kernel shares; all members under `lock`.
struct FakeDvbState {
    std::mutex lock;
    std::vector<std::string> calls;
    // errno per operation: "OpenFrontend", "OpenStream", "SetTone", "SetVoltage", "SendDiseqc",
    // "ReadStatus", "GetProperties", "Statistic:<n>" (n = DvbStatisticSource as a number) and
    // "Set:<first command name>" (e.g. "Set:DTV_TUNE", "Set:DTV_STREAM_ID").
    std::map<std::string, int> errors;
    std::map<std::uint32_t, std::uint32_t> properties;
    std::uint32_t status = 0;
    std::map<DvbStatisticSource, DvbStatistic> statistics;
    // Who holds a node, by kind ("frontend", "dvr"), for Holders.
    std::map<std::string, std::vector<DvbDeviceHolder>> holders;
    int openFrontends = 0;
    int openStreams = 0;
};

// A chunk the stream hands out: bytes, or an errno (returned negated by Read).
struct FakeStreamChunk {
    std::vector<std::uint8_t> bytes;
    int error = 0;
};

class CFakeDvbStream : public IDvbStreamDevice {
public:
    explicit CFakeDvbStream(std::shared_ptr<FakeDvbState> state);
    ~CFakeDvbStream() override;

    DvbWaitResult Wait(int timeoutMs, int& error) override;
    long Read(std::span<std::uint8_t> buffer) override;
    void Wake() override;

    // From the test thread.
    void Push(FakeStreamChunk chunk);
    std::size_t Pending();
    std::uint64_t Waits();

private:
    const std::shared_ptr<FakeDvbState> m_pState;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<FakeStreamChunk> m_chunks;
    bool m_bWoken = false;
    std::uint64_t m_nWaits = 0;
};

class CFakeDvbKernel : public IDvbKernel {
public:
    CFakeDvbKernel();

    std::vector<DvbFrontendDescription> Enumerate() override { return frontends; }
    int OpenFrontend(int adapter, int frontend,
                     std::unique_ptr<IDvbFrontendDevice>& device) override;
    int OpenStream(int adapter, int frontend, std::size_t bufferBytes,
                   std::unique_ptr<IDvbStreamDevice>& device) override;
    std::vector<DvbDeviceHolder> Holders(int adapter, const std::string& kind,
                                         int index) override;

    // A pause function for CLinuxDvbCard that logs "pause <ms>" among the calls.
    CLinuxDvbCard::Pause Pause();
    std::vector<std::string> Calls();
    void ClearCalls();
    void SetError(const std::string& operation, int error);
    // The stream the capture filter opened last (null before).
    std::shared_ptr<CFakeDvbStream> Stream();

    std::vector<DvbFrontendDescription> frontends;
    std::shared_ptr<FakeDvbState> state;
    std::size_t lastBufferBytes = 0;

private:
    std::shared_ptr<CFakeDvbStream> m_pStream;
};

// A DVB-T/T2/C/S/S2 frontend like vidtv's, or one with the given delivery systems.
DvbFrontendDescription VidtvLikeFrontend(int adapter = 0, int frontend = 0);
DvbFrontendDescription FrontendWith(std::vector<std::uint32_t> systems,
                                    std::string name = "Test demod", int adapter = 0);

}  // namespace linuxdvb::testing
