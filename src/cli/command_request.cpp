#include "cli/command_request.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <functional>
#include <map>

#include "scan/satellite_scan.h"

namespace cli {

namespace {

constexpr std::array<std::pair<Command, const char*>, 7> kCommands{{
    {Command::List, "list"},
    {Command::Tune, "tune"},
    {Command::Status, "status"},
    {Command::Record, "record"},
    {Command::Serve, "serve"},
    {Command::Scan, "scan"},
    {Command::Motor, "motor"},
}};

// A week: a longer recording is a typing error more likely than a wish.
constexpr long long kLongestRecordingSeconds = 7LL * 24 * 3600;

// Which subcommands take an option.
enum Takers : unsigned {
    kTune = 1u << 0,
    kStatus = 1u << 1,
    kRecord = 1u << 2,
    kScan = 1u << 3,
    kMotor = 1u << 4,
    kServe = 1u << 5,
    kTuning = kTune | kStatus | kRecord | kServe | kMotor,  // a transponder to tune first
    kTuner = kTuning | kScan,                               // a tuner, its LNB and switch
    kWaiting = kTune | kStatus | kRecord | kServe,
};

unsigned TakerOf(Command command) {
    switch (command) {
        case Command::Tune:
            return kTune;
        case Command::Status:
            return kStatus;
        case Command::Record:
            return kRecord;
        case Command::Serve:
            return kServe;
        case Command::Scan:
            return kScan;
        case Command::Motor:
            return kMotor;
        case Command::List:
            break;
    }
    return 0;
}

// A whole number and nothing else.
std::optional<long long> WholeNumber(std::string_view text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::optional<double> DecimalNumber(std::string_view text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

class CReader {
public:
    CReader(Command command, std::span<const char* const> arguments)
        : m_command(command), m_arguments(arguments) {
        m_request.command = command;
        // The universal LNB.
        m_request.transponder.lnbLowMHz = 9750;
        m_request.transponder.lnbHighMHz = 10600;
        m_request.transponder.lnbSwitchMHz = 11700;
    }

    std::variant<CommandRequest, RequestError> Read() {
        while (m_nNext < m_arguments.size() && m_error.empty()) {
            const std::string_view argument = Argument(m_nNext++);
            if (argument == "--help") {
                m_request.help = true;
                return m_request;
            }
            if (argument.rfind("--", 0) == 0) {
                ReadOption(argument);
            } else {
                ReadWord(argument);
            }
        }
        if (m_error.empty()) Check();
        if (!m_error.empty()) return RequestError{m_error};
        return m_request;
    }

private:
    struct Option {
        unsigned takers;
        bool takesValue;
        std::function<void(CReader&, std::string_view)> read;
    };

    std::string_view Argument(std::size_t index) const {
        const char* text = m_arguments[index];
        return text == nullptr ? std::string_view() : std::string_view(text);
    }

    void Fail(std::string text) {
        if (m_error.empty()) m_error = std::move(text);
    }

    void ReadOption(std::string_view argument) {
        std::string_view name = argument;
        std::optional<std::string_view> value;
        if (const std::size_t equals = argument.find('='); equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const auto& options = Options();
        const auto found = options.find(std::string(name));
        if (found == options.end() || (found->second.takers & TakerOf(m_command)) == 0) {
            Fail(fmt::format("{}: unknown option {} (see vlk-tscap {} --help).",
                             CommandName(m_command), name, CommandName(m_command)));
            return;
        }
        const Option& option = found->second;
        m_seen.push_back(std::string(name));
        if (!option.takesValue) {
            if (value) Fail(fmt::format("{} takes no value.", name));
            option.read(*this, {});
            return;
        }
        if (!value) {
            // --csv alone: the CSV goes to standard output.
            if (name == "--csv" &&
                (m_nNext >= m_arguments.size() || Argument(m_nNext).rfind("--", 0) == 0)) {
                option.read(*this, "-");
                return;
            }
            if (m_nNext >= m_arguments.size()) {
                Fail(fmt::format("{} needs a value.", name));
                return;
            }
            value = Argument(m_nNext++);
        }
        option.read(*this, *value);
    }

    // The motor's action and its operands.
    void ReadWord(std::string_view word) {
        if (m_command != Command::Motor) {
            Fail(fmt::format("{}: unexpected argument \"{}\" (see vlk-tscap {} --help).",
                             CommandName(m_command), word, CommandName(m_command)));
            return;
        }
        m_words.emplace_back(word);
    }

    bool Seen(std::string_view name) const {
        return std::find(m_seen.begin(), m_seen.end(), name) != m_seen.end();
    }

    std::optional<long long> Whole(std::string_view name, std::string_view value, long long low,
                                   long long high, std::string_view unit = "") {
        const auto number = WholeNumber(value);
        if (!number || *number < low || *number > high) {
            Fail(fmt::format("{} {}: give a whole number from {} to {}{}.", name, value, low, high,
                             unit));
            return std::nullopt;
        }
        return number;
    }

    void ReadLnb(std::string_view value) {
        const auto parts = Split(value, ',');
        std::array<long long, 3> mhz{};
        bool ok = parts.size() == 3;
        for (std::size_t i = 0; ok && i < parts.size(); ++i) {
            const auto number = WholeNumber(parts[i]);
            ok = number && *number >= 0 && *number <= 99999;
            if (ok) mhz[i] = *number;
        }
        if (!ok) {
            Fail(
                fmt::format("--lnb {}: give the low and high oscillators and the switch "
                            "frequency in MHz, as in 9750,10600,11700.",
                            value));
            return;
        }
        m_request.transponder.lnbLowMHz = static_cast<std::int32_t>(mhz[0]);
        m_request.transponder.lnbHighMHz = static_cast<std::int32_t>(mhz[1]);
        m_request.transponder.lnbSwitchMHz = static_cast<std::int32_t>(mhz[2]);
    }

    void ReadPort(std::string_view value) {
        static const std::map<std::string, int> ports{
            {"NONE", 0}, {"A", 1}, {"B", 2}, {"C", 3}, {"D", 4}};
        const auto port = ports.find(Upper(value));
        if (port == ports.end()) {
            Fail(fmt::format("--diseqc {}: give none, A, B, C or D.", value));
            return;
        }
        m_request.transponder.diseqcPortIndex = port->second;
    }

    void ReadPolarity(std::string_view value) {
        // Circular carriers are switched as an LNB for them is: left as horizontal, right as
        // vertical.
        static const std::map<std::string, int> polarities{{"H", 0}, {"V", 1}, {"L", 0}, {"R", 1}};
        const auto polarity = polarities.find(Upper(value));
        if (polarity == polarities.end()) {
            Fail(fmt::format("--polarity {}: give H, V, L or R.", value));
            return;
        }
        m_request.transponder.polarityIndex = polarity->second;
    }

    void ReadCode(std::string_view name, std::string_view value, std::int32_t type) {
        if (m_request.transponder.scramblingCode) {
            Fail("Give either --pls-root or --pls-gold, not both.");
            return;
        }
        if (const auto code = Whole(name, value, 0, 262141))
            m_request.transponder.scramblingCode =
                ScramblingCode{static_cast<std::int32_t>(*code), type};
    }

    void ReadModCodes(std::string_view value) {
        ModCodeFilterRecord filter;
        for (const std::string_view part : Split(value, ',')) {
            const auto code = WholeNumber(part);
            if (!code || *code < 1 || *code > 28) {
                Fail(
                    fmt::format("--modcod-filter {}: give DVB-S2 MODCOD numbers from 1 to 28, "
                                "separated by commas.",
                                value));
                return;
            }
            filter.AppendModCode(static_cast<std::uint32_t>(*code));
        }
        m_request.transponder.modcodFilter = filter;
    }

    void ReadStreamType(std::string_view value) {
        const std::string type = Upper(value);
        if (type == "TS") {
            m_request.transponder.streamType = kTransportStreamType;
        } else if (type == "GS") {
            m_request.transponder.streamType = kGenericStreamType;
        } else {
            Fail(fmt::format("--stream-type {}: give ts or gs.", value));
        }
    }

    void ReadSite(std::string_view value) {
        const auto parts = Split(value, ',');
        if (parts.size() != 2) {
            Fail(
                fmt::format("--site {}: give the latitude and the longitude in decimal degrees, "
                            "north and east positive, as in 51.5,-0.1.",
                            value));
            return;
        }
        m_request.motor.latitude = std::string(parts[0]);
        m_request.motor.longitude = std::string(parts[1]);
    }

    static const std::map<std::string, Option>& Options() {
        static const std::map<std::string, Option> options{
            {"--tuner",
             {kTuner, true, [](CReader& r, std::string_view v) { r.m_request.tuner = v; }}},
            {"--lnb", {kTuner, true, [](CReader& r, std::string_view v) { r.ReadLnb(v); }}},
            {"--diseqc", {kTuner, true, [](CReader& r, std::string_view v) { r.ReadPort(v); }}},
            {"--frequency",
             {kTuning, true,
              [](CReader& r, std::string_view v) {
                  if (const auto mhz = r.Whole("--frequency", v, 1, 99999, " MHz"))
                      r.m_request.transponder.frequencyMHz = static_cast<std::int32_t>(*mhz);
              }}},
            {"--symbol-rate",
             {kTuning, true,
              [](CReader& r, std::string_view v) {
                  if (const auto ks = r.Whole("--symbol-rate", v, 1000, 45000, " kS/s"))
                      r.m_request.transponder.symbolRateKsps = static_cast<std::int32_t>(*ks);
              }}},
            {"--polarity",
             {kTuning, true, [](CReader& r, std::string_view v) { r.ReadPolarity(v); }}},
            {"--transponder",
             {kTuning, true,
              [](CReader& r, std::string_view v) { r.m_request.transponderName = v; }}},
            {"--stream-id",
             {kTuning, true,
              [](CReader& r, std::string_view v) {
                  if (const auto id = r.Whole("--stream-id", v, 0, 255))
                      r.m_request.transponder.inputStreamId = static_cast<std::int32_t>(*id);
              }}},
            {"--pls-root",
             {kTuning, true,
              [](CReader& r, std::string_view v) { r.ReadCode("--pls-root", v, kRootCode); }}},
            {"--pls-gold",
             {kTuning, true,
              [](CReader& r, std::string_view v) { r.ReadCode("--pls-gold", v, kGoldCode); }}},
            {"--modcod-filter",
             {kTuning, true, [](CReader& r, std::string_view v) { r.ReadModCodes(v); }}},
            {"--stream-type",
             {kTuner, true, [](CReader& r, std::string_view v) { r.ReadStreamType(v); }}},
            {"--wait",
             {kWaiting, true,
              [](CReader& r, std::string_view v) {
                  if (const auto s = r.Whole("--wait", v, 0, 3600, " s"))
                      r.m_request.waitSeconds = static_cast<int>(*s);
              }}},
            {"--json",
             {kStatus, false, [](CReader& r, std::string_view) { r.m_request.json = true; }}},
            {"--stream",
             {kStatus, false,
              [](CReader& r, std::string_view) { r.m_request.streamHealth = true; }}},
            {"--interval",
             {kStatus, true,
              [](CReader& r, std::string_view v) {
                  const auto s = DecimalNumber(v);
                  if (!s || *s < 0.1 || *s > 3600) {
                      r.Fail(
                          fmt::format("--interval {}: give seconds from 0.1 to "
                                      "3600.",
                                      v));
                      return;
                  }
                  r.m_request.intervalSeconds = *s;
              }}},
            {"--count",
             {kStatus, true,
              [](CReader& r, std::string_view v) {
                  if (const auto n = r.Whole("--count", v, 1, 1'000'000'000))
                      r.m_request.count = static_cast<int>(*n);
              }}},
            {"--output",
             {kRecord, true,
              [](CReader& r, std::string_view v) {
                  if (v.empty()) r.Fail("--output needs a path, or - for standard output.");
                  r.m_request.output = v;
                  if (!LooksLikeNetworkAddress(v)) return;
                  std::string why;
                  r.m_request.outputAddress = ParseNetworkAddress(v, &why);
                  if (!r.m_request.outputAddress) r.Fail(why);
              }}},
            {"--seconds",
             {kRecord | kServe, true,
              [](CReader& r, std::string_view v) {
                  if (const auto s = r.Whole("--seconds", v, 1, kLongestRecordingSeconds, " s"))
                      r.m_request.seconds = static_cast<int>(*s);
              }}},
            {"--size",
             {kRecord, true,
              [](CReader& r, std::string_view v) {
                  if (const auto mb = r.Whole("--size", v, 1, 4'000'000, " MB"))
                      r.m_request.sizeMB = static_cast<int>(*mb);
              }}},
            {"--service",
             {kRecord, true,
              [](CReader& r, std::string_view v) {
                  if (const auto n = r.Whole("--service", v, 1, 65535))
                      r.m_request.service = static_cast<int>(*n);
              }}},
            {"--http",
             {kServe, true,
              [](CReader& r, std::string_view v) {
                  if (const auto port = r.Whole("--http", v, 0, 65535))
                      r.m_request.httpPort = static_cast<int>(*port);
              }}},
            {"--open",
             {kServe, false,
              [](CReader& r, std::string_view) { r.m_request.openToNetwork = true; }}},
            {"--satellite",
             {kScan, true, [](CReader& r, std::string_view v) { r.m_request.satellite = v; }}},
            {"--csv",
             {kScan, true, [](CReader& r, std::string_view v) { r.m_request.csvPath = v; }}},
            {"--site", {kMotor, true, [](CReader& r, std::string_view v) { r.ReadSite(v); }}},
        };
        return options;
    }

    void CheckTransponder() {
        const bool typed = Seen("--frequency") || Seen("--symbol-rate") || Seen("--polarity");
        const bool named = !m_request.transponderName.empty();
        if (typed && named) {
            Fail(
                "Give either --transponder or --frequency, --symbol-rate and --polarity, not "
                "both.");
            return;
        }
        if (typed && (!Seen("--frequency") || !Seen("--symbol-rate"))) {
            Fail("A transponder needs both --frequency and --symbol-rate.");
            return;
        }
        m_request.hasTransponder = typed || named;
        const bool needsOne = m_command == Command::Tune || m_command == Command::Record ||
                              m_command == Command::Serve;
        if (needsOne && !m_request.hasTransponder) {
            Fail(
                fmt::format("{} needs a transponder: --frequency, --symbol-rate and --polarity, or "
                            "--transponder SATELLITE:FREQ:POL.",
                            CommandName(m_command)));
            return;
        }
        const bool extras = Seen("--stream-id") || Seen("--pls-root") || Seen("--pls-gold") ||
                            Seen("--modcod-filter");
        if (extras && !m_request.hasTransponder) {
            Fail("--stream-id, --pls-root, --pls-gold and --modcod-filter go with a transponder.");
            return;
        }
        const Transponder& t = m_request.transponder;
        if (typed && !WithinTunerRange(t.frequencyMHz, t.lnbLowMHz, t.lnbHighMHz, t.lnbSwitchMHz)) {
            Fail(
                fmt::format("--frequency {}: through the LNB {},{},{} this lies outside what the "
                            "tuner takes (950 to 2150 MHz).",
                            t.frequencyMHz, t.lnbLowMHz, t.lnbHighMHz, t.lnbSwitchMHz));
        }
    }

    void CheckMotor() {
        const auto number = [this](std::size_t at, const char* what, long long low,
                                   long long high) {
            if (m_words.size() <= at) {
                Fail(fmt::format("motor {} needs {}.", m_words[0], what));
                return 0;
            }
            const auto value = Whole("motor " + m_words[0], m_words[at], low, high);
            return value ? static_cast<int>(*value) : 0;
        };
        static const std::map<std::string, std::pair<MotorAction, std::size_t>> actions{
            {"goto-satellite", {MotorAction::GotoSatellite, 2}},
            {"goto", {MotorAction::Goto, 2}},
            {"store", {MotorAction::Store, 2}},
            {"halt", {MotorAction::Halt, 1}},
            {"east", {MotorAction::East, 2}},
            {"west", {MotorAction::West, 2}},
            {"limits-off", {MotorAction::LimitsOff, 1}},
            {"limit", {MotorAction::Limit, 2}},
        };
        if (m_words.empty()) {
            Fail(
                "motor needs an action: goto-satellite, goto, store, halt, east, west, "
                "limits-off or limit.");
            return;
        }
        const auto action = actions.find(m_words[0]);
        if (action == actions.end()) {
            Fail(fmt::format("motor: unknown action \"{}\" (see vlk-tscap motor --help).",
                             m_words[0]));
            return;
        }
        MotorRequest& motor = m_request.motor;
        motor.action = action->second.first;
        if (m_words.size() > action->second.second) {
            Fail(fmt::format("motor {}: unexpected argument \"{}\".", m_words[0],
                             m_words[action->second.second]));
            return;
        }
        switch (motor.action) {
            case MotorAction::GotoSatellite:
                if (m_words.size() < 2) {
                    Fail("motor goto-satellite needs a satellite name.");
                    return;
                }
                motor.satellite = m_words[1];
                if (!Seen("--site"))
                    Fail(
                        "motor goto-satellite needs --site LAT,LON, the dish's latitude and "
                        "longitude.");
                return;
            case MotorAction::Goto:
            case MotorAction::Store:
                // Storing 0 would switch the limits on: the page offers 1 and up as well.
                motor.number = number(1, "a position from 1 to 255", 1, 255);
                break;
            case MotorAction::East:
            case MotorAction::West:
                motor.number = number(1, "seconds from 1 to 127", 1, 127);
                break;
            case MotorAction::Limit:
                if (m_words.size() < 2 || (m_words[1] != "east" && m_words[1] != "west")) {
                    Fail("motor limit needs east or west.");
                    return;
                }
                motor.limitEast = m_words[1] == "east";
                break;
            case MotorAction::Halt:
            case MotorAction::LimitsOff:
                break;
        }
        if (Seen("--site")) Fail("--site goes with motor goto-satellite only.");
    }

    void Check() {
        if (m_command == Command::Motor) CheckMotor();
        if (!m_error.empty()) return;
        if ((TakerOf(m_command) & kTuning) != 0) CheckTransponder();
        if (!m_error.empty()) return;
        if (m_command == Command::Record) {
            if (m_request.output.empty())
                Fail("record needs --output PATH (- for standard output).");
            else if (m_request.seconds.has_value() == m_request.sizeMB.has_value())
                Fail("record needs one limit: --seconds N or --size MB.");
        }
        if (m_command == Command::Serve && !m_request.httpPort)
            Fail("serve needs --http PORT (0: a free port).");
        if (m_command == Command::Scan && m_request.satellite.empty())
            Fail("scan needs --satellite NAME.");
    }

    const Command m_command;
    const std::span<const char* const> m_arguments;
    std::size_t m_nNext = 1;  // after the subcommand's name
    CommandRequest m_request;
    std::vector<std::string> m_seen;
    std::vector<std::string> m_words;
    std::string m_error;
};

}  // namespace

std::optional<Command> CommandNamed(std::string_view word) {
    for (const auto& [command, name] : kCommands) {
        if (word == name) return command;
    }
    return std::nullopt;
}

const char* CommandName(Command command) {
    for (const auto& [each, name] : kCommands) {
        if (each == command) return name;
    }
    return "";
}

std::variant<CommandRequest, RequestError> ReadCommandRequest(
    std::span<const char* const> arguments) {
    const auto command =
        arguments.empty() || arguments[0] == nullptr ? std::nullopt : CommandNamed(arguments[0]);
    if (!command) return RequestError{"No subcommand given."};
    return CReader(*command, arguments).Read();
}

}  // namespace cli
