#pragma once
// What a command line asks of the program: the subcommand, the tuner and transponder, and the
// subcommand's own options, read from the arguments without touching a tuner or a file. A
// request that cannot be read is refused with one line for the user and exit status 2.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "graph/tuning.h"
#include "network/network_address.h"

namespace cli {

// The exit statuses of every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // not locked, refused, a write that failed
inline constexpr int kExitBadArguments = 2;
inline constexpr int kExitNoTuner = 3;  // the tuner cannot be opened

enum class Command { List, Tune, Status, Record, Serve, Scan, Motor };

// The subcommand named by `word`, if it is one.
std::optional<Command> CommandNamed(std::string_view word);
const char* CommandName(Command command);

enum class MotorAction { GotoSatellite, Goto, Store, Halt, East, West, LimitsOff, Limit };

struct MotorRequest {
    MotorAction action = MotorAction::Halt;
    std::string satellite;  // GotoSatellite
    std::string latitude;   // GotoSatellite: as typed, read as the page reads its fields
    std::string longitude;
    int number = 0;          // Goto and Store: the position; East and West: seconds
    bool limitEast = false;  // Limit
};

struct CommandRequest {
    Command command = Command::List;
    bool help = false;  // --help: the subcommand's usage, nothing else is read
    std::string tuner;  // --tuner INDEX|NAME; empty: the first
    // The transponder as given by options; `transponderName` (--transponder) is looked up in the
    // satellite files before it is tuned, its LNB, port and extras taken from here.
    Transponder transponder;
    bool hasTransponder = false;
    std::string transponderName;
    int waitSeconds = 10;
    // status
    bool json = false;
    bool streamHealth = false;  // --stream: the transport stream's health in each reading
    double intervalSeconds = 1.0;
    std::optional<int> count;
    // record
    std::string output;
    std::optional<NetworkAddress> outputAddress;  // --output udp://... or rtp://...: sent
    std::optional<int> seconds;                   // record and serve
    std::optional<int> sizeMB;
    std::optional<int> service;
    // serve
    std::optional<int> httpPort;  // 0: a free port, picked by the system
    bool openToNetwork = false;   // --open: on every address, not only 127.0.0.1
    // scan
    std::string satellite;
    std::string csvPath;  // empty or "-": standard output
    // motor
    MotorRequest motor;
};

struct RequestError {
    std::string text;
};

// `arguments` starts with the subcommand's name.
std::variant<CommandRequest, RequestError> ReadCommandRequest(
    std::span<const char* const> arguments);

// The usage of a subcommand, for --help and after a refused request.
std::string CommandUsage(Command command);

}  // namespace cli
