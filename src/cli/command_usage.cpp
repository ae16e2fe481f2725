#include "cli/command_request.h"

namespace cli {

namespace {

constexpr const char* kTunerOptions =
    "Tuner options:\n"
    "  --tuner INDEX|NAME       the tuner (vlk-tscap list); default: the first\n"
    "  --lnb LOW,HIGH,SWITCH    LNB oscillators and switch frequency in MHz; default "
    "9750,10600,11700\n"
    "  --diseqc none|A|B|C|D    the DiSEqC switch port; default none\n"
    "  --stream-type ts|gs      the output stream; default ts\n";

constexpr const char* kTransponderOptions =
    "Transponder options:\n"
    "  --frequency MHZ          the transponder's frequency\n"
    "  --symbol-rate KS         its symbol rate in kS/s\n"
    "  --polarity H|V|L|R       its polarisation; default H\n"
    "  --transponder SAT:FREQ:POL  a transponder of the satellite files, as in "
    "19.2E:11362:H\n"
    "  --stream-id N            the input stream of a multistream carrier (0 to 255)\n"
    "  --pls-root N | --pls-gold N  the DVB-S2 scrambling code\n"
    "  --modcod-filter LIST     the DVB-S2 MODCODs to take, as in 11,12,17\n";

}  // namespace

std::string CommandUsage(Command command) {
    switch (command) {
        case Command::List:
            return "Usage: vlk-tscap list\n"
                   "Lists the tuners, one a line: index, name, kind (simulated or Linux DVB) and "
                   "whether another\nprogram holds it.\n";
        case Command::Tune:
            return std::string(
                       "Usage: vlk-tscap tune [tuner options] TRANSPONDER [--wait S]\n"
                       "Tunes and waits up to S seconds (default 10) for a lock, then "
                       "prints one line: lock, C/N,\nmargin and MODCOD. Exit status 0 "
                       "locked, 1 not locked, 2 bad arguments, 3 the tuner cannot\nbe "
                       "opened.\n\n") +
                   kTunerOptions + kTransponderOptions;
        case Command::Status:
            return std::string(
                       "Usage: vlk-tscap status [tuner options] [TRANSPONDER] [--json] [--stream] "
                       "[--interval S] [--count N]\n"
                       "Prints a reading of the signal every S seconds (default 1), N times "
                       "(default: until\ninterrupted): lock, strength, quality, C/N, needed C/N, "
                       "margin, level, BER, UNC,\nMODCOD and the carrier report. With --json, one "
                       "JSON object a line, unknown values null.\nWith --stream, also the "
                       "transport "
                       "stream's rate and health counters (ETSI TR 101 290 priority 1 and\n2) "
                       "since the command began. With a transponder it is tuned first, waiting up "
                       "to --wait S\nseconds for a lock.\n\n") +
                   kTunerOptions + kTransponderOptions;
        case Command::Record:
            return std::string(
                       "Usage: vlk-tscap record [tuner options] TRANSPONDER --output PATH "
                       "(--seconds N | --size MB)\n"
                       "                        [--service N] [--wait S]\n"
                       "Records the transport stream, or with --service one service (its PAT "
                       "rewritten), into\nPATH (- for standard output) until the limit is "
                       "reached or SIGINT or SIGTERM comes;\nevery byte received is kept. "
                       "Progress goes to standard error when it is a terminal.\n"
                       "PATH udp://HOST:PORT or rtp://HOST:PORT sends the stream instead, 7 "
                       "packets a datagram\n(RTP: payload type 33); ?ttl=N&interface=NAME "
                       "set a multicast's TTL and interface.\nA datagram the network refuses "
                       "is dropped and counted; --size counts the bytes sent.\n\n") +
                   kTunerOptions + kTransponderOptions;
        case Command::Serve:
            return std::string(
                       "Usage: vlk-tscap serve [tuner options] TRANSPONDER --http PORT [--open] "
                       "[--seconds N] [--wait S]\n"
                       "Tunes and serves the transport stream over HTTP until SIGINT or SIGTERM "
                       "comes, or N\nseconds have passed: http://127.0.0.1:PORT/stream is the "
                       "whole stream, /service/N one\nservice (its PAT rewritten). The URLs go "
                       "to standard error, and the counts at the end.\nPORT 0 takes a free "
                       "port. Only this machine may connect, unless --open listens on\nevery "
                       "address. A client that does not keep up is dropped.\n\n") +
                   kTunerOptions + kTransponderOptions;
        case Command::Scan:
            return std::string(
                       "Usage: vlk-tscap scan [tuner options] --satellite NAME [--csv [PATH]]\n"
                       "Tunes every transponder of a satellite in turn, as the scan window does, "
                       "and writes\nthe CSV it exports (to standard output without a PATH); "
                       "progress on standard error.\nNAME is an orbital position (19.2E), a "
                       "satellite's name (Astra-1N) or both (\"19.2E  Astra-1N\").\n\n") +
                   kTunerOptions;
        case Command::Motor:
            return std::string(
                       "Usage: vlk-tscap motor [tuner options] [TRANSPONDER] ACTION\n"
                       "Sends the DiSEqC 1.2 messages of the Motor/Positioner page. ACTION is "
                       "one of:\n"
                       "  goto-satellite NAME --site LAT,LON   turn to a satellite from the "
                       "dish's site\n"
                       "  goto N | store N                     a stored position (1 to 255)\n"
                       "  halt | limits-off | limit east|west\n"
                       "  east S | west S                      drive S seconds (1 to 127)\n"
                       "With a transponder it is tuned first, so that the switch port "
                       "reaches the motor.\n\n") +
                   kTunerOptions + kTransponderOptions;
    }
    return {};
}

}  // namespace cli
