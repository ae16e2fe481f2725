#pragma once
// A fake of the Linux backend's kernel interface. Frontends log every call, in order, as a line
// ("tone off", "voltage 18", "diseqc E0 10 38 F6", "set DTV_CLEAR", "set DTV_DELIVERY_SYSTEM=6
// DTV_FREQUENCY=1612000 ...", "pause 15" through Pause()), keep the properties they were set
// (like the kernel's cache, for FE_GET_PROPERTY), and fail a call with the errno set for it. The
// stream serves scripted chunks of bytes or errors, and blocks its reader until data, a Wake or
// the timeout.
//
// Time is fake: Pause() and each DiSEqC message's time on the bus advance `nowMs`, and the LNB
// voltage, tone and messages go on a timeline (FakeSecBus) the tests check against the bus rules.
// With a driver model set, the frontend behaves like that kernel driver under the DVB core:
// DTV_TUNE returns only the core's range errors, the driver's refusal shows as no lock, status
// comes from the carriers on air at the voltage and tone of the moment once the driver's lock
// time has passed (a driver that refuses before touching the chip still shows the previous
// carrier), FE_GET_PROPERTY answers what its get_frontend reads back (and a lock writes those
// values into the cache, as the frontend thread does), the last close unpowers the LNB, and a
// second open of the frontend or dvr gets EBUSY. Without a model, status is the scripted `status`
// and the log, cache and errors behave as they always did.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "drivers/linuxdvb/dvb_kernel.h"
#include "drivers/linuxdvb/fake_driver_model.h"
#include "drivers/linuxdvb/fake_sec_bus.h"
#include "drivers/linuxdvb/linux_dvb_card.h"

namespace linuxdvb::testing {

struct FakeTuneRecord {
    FakeCache cache;
    std::int64_t atMs = 0;
    int driverError = 0;  // what the driver's set_frontend returned (never seen by the program)
};

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

    std::int64_t nowMs = 0;
    FakeSecBus sec;
    std::vector<FakeCarrier> carriers;
    std::optional<FakeDriverModel> model;
    // Every DTV_TUNE past the core's range check, with the cache it tuned and the fake time.
    std::vector<FakeTuneRecord> tunes;
    // What the demodulator was last programmed with: the last tune the driver accepted (a
    // refused one clears it unless the model keeps the previous carrier).
    std::optional<FakeTuneRecord> demod;
    // Until then the driver is inside its tune and every ioctl of the frontend waits for it
    // (FakeDriverModel::holdPerTryMs); a call that comes earlier moves the fake time there.
    std::int64_t busyUntilMs = 0;
    // While set, a status read waits in real time (the state unlocked) until it is cleared and
    // `statusReleased` notified: a driver stuck in its tune, to see who else waits behind it.
    bool statusReadsHeld = false;
    int statusReadsWaiting = 0;
    std::condition_variable statusReleased;
    std::map<std::pair<int, int>, int> openByFrontend;  // (adapter, frontend) -> open count
    std::map<int, int> openDvrByAdapter;
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
    std::vector<DvbDeviceHolder> Holders(int adapter, const std::string& kind, int index) override;

    // A pause function for CLinuxDvbCard that logs "pause <ms>" among the calls and advances
    // the fake clock.
    std::function<void(int)> Pause();
    // Makes the frontend behave like that driver and enumerate as its only frontend.
    void UseModel(const FakeDriverModel& model);
    void AddCarrier(const FakeCarrier& carrier);
    std::int64_t NowMs();
    std::vector<FakeSecEvent> SecTimeline();
    // SecRuleViolations of the timeline so far.
    std::vector<std::string> SecViolations(int powerUpMs);
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
