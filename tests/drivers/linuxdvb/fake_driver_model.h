#pragma once
// Models of real DVB-S/S2 frontend drivers for the fake kernel, taken from their Linux 6.1
// source: what each driver's set_frontend (or search) accepts in DVB-S and DVB-S2 mode, which
// carriers it then receives, what its DiSEqC master command leaves the 22 kHz tone at, how it
// takes a stream id and a scrambling code, and what its get_frontend reads back. Data plus pure
// functions, so the fake frontend and the tests ask the same rules. Where the driver source does
// not say (firmware behaviour, lock times), the value is a plain, stated guess.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/dvb_kernel_types.h"

namespace linuxdvb::testing {

// The kernel's property cache as the fake keeps it: DTV_* command -> value.
using FakeCache = std::map<std::uint32_t, std::uint32_t>;

// A carrier on air as the frontend sees it behind the LNB: at an intermediate frequency, on the
// polarisation the LNB voltage selects and the band the tone selects.
struct FakeCarrier {
    std::uint32_t ifKHz = 0;
    DvbVoltage voltage = DvbVoltage::Volt13;
    bool tone = false;
    std::uint32_t symbolRate = 27500000;  // symbols per second, as DTV_SYMBOL_RATE
    std::uint32_t deliverySystem = SYS_DVBS2;
    std::uint32_t modulation = QPSK;
    std::uint32_t fec = FEC_3_4;
    std::uint32_t rollOff = ROLLOFF_35;
    std::uint32_t pilot = PILOT_OFF;
    std::vector<std::uint32_t> inputStreams;  // input stream ids; empty: a single stream
    std::uint32_t goldCode = 0;               // physical-layer scrambling, gold code index
};

// Tuning parameters, as bits: which a driver's get_frontend overwrites with what the demodulator
// found, and which must equal the carrier when given explicitly.
enum FakeField : std::uint32_t {
    kFakeDelivery = 1u << 0,
    kFakeModulation = 1u << 1,
    kFakeFec = 1u << 2,
    kFakeRollOff = 1u << 3,
    kFakePilot = 1u << 4,
    kFakeInversion = 1u << 5,
    kFakeFrequency = 1u << 6,
    kFakeSymbolRate = 1u << 7,
};

// What a driver does with DTV_STREAM_ID.
enum class FakeIsiRule {
    None,     // ignored: no input stream filter
    Byte,     // 0..255 selects that stream; any other value (also a packed one) filters nothing
    LowByte,  // anything but NO_STREAM_ID_FILTER selects stream_id & 0xff
};

// Where a driver takes the physical-layer scrambling (gold) code from.
enum class FakePlsSource {
    None,    // never set: only carriers with the default code 0 are received
    Index,   // DTV_SCRAMBLING_SEQUENCE_INDEX, bits 0-17
    Packed,  // DTV_STREAM_ID bits 8-25, code type in bits 26-27 (0 root, 1 gold)
};

// What set_frontend accepts in one mode (DVB-S or DVB-S2). An empty list means the driver does not
// look at that parameter: every value passes and none has to match the carrier.
struct FakeModeRules {
    std::vector<std::uint32_t> modulations;
    std::vector<std::uint32_t> fecs;  // explicit rates it accepts
    // Where its table pairs rates with modulations: the rates each modulation takes (a
    // modulation listed here takes these instead of `fecs`).
    std::map<std::uint32_t, std::vector<std::uint32_t>> fecsOf;
    std::vector<std::uint32_t> autoFecs;  // values it accepts and turns into a search of the rate
    std::vector<std::uint32_t> rollOffs;
    std::vector<std::uint32_t> pilots;  // PILOT_AUTO listed: accepted (searched or emulated)
    std::uint32_t mustMatch = 0;        // FakeField bits: explicit values must equal the carrier
    std::uint32_t readBack = 0;         // FakeField bits get_frontend reads back when locked
};

struct FakeDriverModel {
    std::string name;      // the driver's source file name: "cx24116", ...
    std::string infoName;  // FE_GET_INFO name
    std::vector<std::uint32_t> deliverySystems;
    std::uint32_t caps = 0;
    // The DVB core's own range check: DTV_TUNE returns EINVAL outside them.
    std::uint32_t minFrequencyKHz = 950000;
    std::uint32_t maxFrequencyKHz = 2150000;
    std::uint32_t minSymbolRate = 1000000;
    std::uint32_t maxSymbolRate = 45000000;
    FakeModeRules dvbs;
    FakeModeRules dvbs2;
    int refusalErrno = EINVAL;  // what set_frontend returns when it refuses (never seen by the
                                // program: the frontend thread drops it)
    bool s2ReceivesS = false;   // DVB-S2 mode also locks DVB-S carriers
    bool sReceivesS2 = false;   // DVB-S mode also locks DVB-S2 carriers
    bool toneOffAfterDiseqc = false;
    bool staleLockOnRefusal = false;  // a refusal leaves the demodulator on the previous carrier
    bool lockIgnoresSec = false;      // vidtv: voltage and tone do not matter
    bool partialStatus = true;        // reports SIGNAL|CARRIER for a carrier it cannot lock
    FakeIsiRule isi = FakeIsiRule::None;
    FakePlsSource pls = FakePlsSource::None;
    std::size_t minDiseqcBytes = 3;   // shorter: EINVAL (the core refuses more than 6)
    std::uint32_t captureKHz = 5000;  // a carrier this far off the tuned frequency is still found
    int lockMs = 200;                 // from DTV_TUNE to FE_HAS_LOCK on a receivable carrier
    int pilotRetryMs = 0;  // emulated PILOT_AUTO: extra time when the first guess is wrong
    // A driver that waits inside its tune for the lock keeps the frontend (the DVB core's
    // semaphore) that long when none comes, once per try; meanwhile every ioctl of the frontend
    // waits. 0: the tune returns at once.
    int holdPerTryMs = 0;
    int triesWithAutoPilot = 1;    // DVB-S2 with PILOT_AUTO
    int triesWithAutoRollOff = 1;  // DVB-S2 with ROLLOFF_AUTO
};

// The modelled drivers and then "vidtv", the permissive virtual driver.
const std::vector<FakeDriverModel>& AllDriverModels();
// The model of that name; aborts the test program for an unknown name.
const FakeDriverModel& DriverModel(std::string_view name);
// The frontend the driver's adapter would enumerate: FE_GET_INFO name and caps, DTV_ENUM_DELSYS.
DvbFrontendDescription FrontendFor(const FakeDriverModel& model, int adapter = 0, int frontend = 0);

// A cache value, with what the kernel's DTV_CLEAR (dvb_frontend_clear_cache) puts there for the
// cached delivery system when the program never set it.
std::uint32_t CacheValue(const FakeDriverModel& model, const FakeCache& cache,
                         std::uint32_t command);
// The DVB core's range check before a tune: EINVAL or 0. The program sees this one.
int TuneRangeError(const FakeDriverModel& model, const FakeCache& cache);
// What the driver's set_frontend returns for the cached parameters: 0 or its errno.
int DriverRefusal(const FakeDriverModel& model, const FakeCache& cache);
// The input stream the driver filters on, if any.
std::optional<std::uint32_t> SelectedStream(const FakeDriverModel& model, const FakeCache& cache);
// Whether the scrambling code the driver programs is the carrier's.
bool ScramblingMatches(const FakeDriverModel& model, const FakeCache& cache,
                       const FakeCarrier& carrier);
// The carrier the tuner finds at the cached frequency and symbol rate with the LNB at `voltage`
// and `tone`, if any.
std::optional<std::size_t> CarrierAt(const FakeDriverModel& model, const FakeCache& cache,
                                     const std::vector<FakeCarrier>& carriers, DvbVoltage voltage,
                                     bool tone);
// Whether accepted parameters demodulate that carrier: standard, explicit values that must match,
// input stream and scrambling code.
bool Demodulates(const FakeDriverModel& model, const FakeCache& cache, const FakeCarrier& carrier);
int LockMs(const FakeDriverModel& model, const FakeCache& cache, const FakeCarrier& carrier);
// How long a tune of the cached parameters keeps the frontend when it does not lock.
int HoldMs(const FakeDriverModel& model, const FakeCache& cache);
// What get_frontend writes for `command` while locked on `carrier`; nothing when the driver
// leaves that field to the cache.
std::optional<std::uint32_t> ReadBack(const FakeDriverModel& model, const FakeCarrier& carrier,
                                      std::uint32_t command);
// The root code (initial state of the x-sequence register) of a gold code index.
std::uint32_t GoldToRoot(std::uint32_t gold);

}  // namespace linuxdvb::testing
