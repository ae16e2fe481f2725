#include "cli/command_request.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/satellite_lookup.h"

namespace {

using cli::CommandRequest;
using cli::RequestError;

struct RequestCase {
    std::vector<const char*> arguments;
    // The one line a refused request gives; empty: the request is read.
    std::string error;
    std::function<void(const CommandRequest&)> check = [](const CommandRequest&) {};
};

std::variant<CommandRequest, RequestError> Read(const std::vector<const char*>& arguments) {
    return cli::ReadCommandRequest(arguments);
}

TEST(CommandRequestTest, EachArgumentIsReadOrRefusedWithOneLine) {
    const std::vector<RequestCase> cases{
        {{"list"}, ""},
        {{"tune", "--frequency", "11362", "--symbol-rate", "22000", "--polarity", "v", "--diseqc",
          "b"},
         "",
         [](const CommandRequest& r) {
             EXPECT_EQ(r.transponder.frequencyMHz, 11362);
             EXPECT_EQ(r.transponder.symbolRateKsps, 22000);
             EXPECT_EQ(r.transponder.polarityIndex, 1);
             EXPECT_EQ(r.transponder.diseqcPortIndex, 2);
             EXPECT_EQ(r.transponder.lnbLowMHz, 9750) << "the universal LNB by default";
             EXPECT_EQ(r.transponder.lnbSwitchMHz, 11700);
             EXPECT_EQ(r.waitSeconds, 10);
         }},
        {{"tune", "--frequency=4000", "--symbol-rate=27500", "--lnb=5150,5150,0", "--polarity=R",
          "--stream-type", "gs", "--stream-id", "3", "--pls-gold", "8", "--modcod-filter", "1,28",
          "--wait", "0"},
         "",
         [](const CommandRequest& r) {
             EXPECT_EQ(r.transponder.lnbHighMHz, 5150);
             EXPECT_EQ(r.transponder.polarityIndex, 1) << "circular right as vertical";
             EXPECT_EQ(r.transponder.streamType, kGenericStreamType);
             EXPECT_EQ(r.transponder.inputStreamId, 3);
             ASSERT_TRUE(r.transponder.scramblingCode.has_value());
             EXPECT_EQ(r.transponder.scramblingCode->type, kGoldCode);
             ASSERT_TRUE(r.transponder.modcodFilter.has_value());
             EXPECT_EQ(r.transponder.modcodFilter->count, 8u) << "four entries a MODCOD";
             EXPECT_EQ(r.transponder.modcodFilter->entries[4].modCode, 28u);
             EXPECT_EQ(r.waitSeconds, 0);
         }},
        {{"tune", "--transponder", "19.2E  Astra:11362:H", "--tuner", "2"},
         "",
         [](const CommandRequest& r) {
             EXPECT_EQ(r.transponderName, "19.2E  Astra:11362:H");
             EXPECT_EQ(r.tuner, "2");
             EXPECT_TRUE(r.hasTransponder);
         }},
        {{"status", "--json", "--stream", "--interval", "0.5", "--count", "3"},
         "",
         [](const CommandRequest& r) {
             EXPECT_TRUE(r.json);
             EXPECT_TRUE(r.streamHealth);
             EXPECT_DOUBLE_EQ(r.intervalSeconds, 0.5);
             EXPECT_EQ(r.count, 3);
             EXPECT_FALSE(r.hasTransponder) << "status reads the tuner as it is";
         }},
        {{"record", "--frequency", "11362", "--symbol-rate", "22000", "--output", "-", "--size",
          "5", "--service", "25307"},
         "",
         [](const CommandRequest& r) {
             EXPECT_EQ(r.output, "-");
             EXPECT_EQ(r.sizeMB, 5);
             EXPECT_EQ(r.service, 25307);
         }},
        {{"record", "--frequency", "11362", "--symbol-rate", "22000", "--output",
          "rtp://239.1.1.1:5004?ttl=4&interface=eth0", "--seconds", "10", "--service", "7"},
         "",
         [](const CommandRequest& r) {
             ASSERT_TRUE(r.outputAddress.has_value()) << "sent, not written";
             EXPECT_EQ(r.outputAddress->scheme, NetworkScheme::Rtp);
             EXPECT_EQ(r.outputAddress->host, "239.1.1.1");
             EXPECT_EQ(r.outputAddress->port, 5004);
             EXPECT_EQ(r.outputAddress->ttl, 4);
             EXPECT_EQ(r.outputAddress->interface, "eth0");
             EXPECT_EQ(r.seconds, 10);
         }},
        {{"record", "--frequency", "11362", "--symbol-rate", "22000", "--output", "udp.ts",
          "--seconds", "1"},
         "",
         [](const CommandRequest& r) {
             EXPECT_FALSE(r.outputAddress.has_value()) << "a file named udp.ts";
         }},
        {{"serve", "--transponder", "19.2E:11362:H", "--http", "8001", "--open", "--seconds", "30",
          "--wait", "5"},
         "",
         [](const CommandRequest& r) {
             EXPECT_EQ(r.httpPort, 8001);
             EXPECT_TRUE(r.openToNetwork);
             EXPECT_EQ(r.seconds, 30);
             EXPECT_EQ(r.waitSeconds, 5);
         }},
        {{"serve", "--frequency", "11362", "--symbol-rate", "22000", "--http=0"},
         "",
         [](const CommandRequest& r) {
             EXPECT_EQ(r.httpPort, 0) << "a free port";
             EXPECT_FALSE(r.openToNetwork) << "this machine only, unless opened";
             EXPECT_FALSE(r.seconds.has_value()) << "until a signal";
         }},
        {{"scan", "--satellite", "19.2E", "--csv"},
         "",
         [](const CommandRequest& r) { EXPECT_EQ(r.csvPath, "-"); }},
        {{"scan", "--satellite", "19.2E", "--csv", "out.csv", "--diseqc", "A"},
         "",
         [](const CommandRequest& r) { EXPECT_EQ(r.csvPath, "out.csv"); }},
        {{"motor", "goto-satellite", "19.2E", "--site", "51.5,-0.1"},
         "",
         [](const CommandRequest& r) {
             EXPECT_EQ(r.motor.action, cli::MotorAction::GotoSatellite);
             EXPECT_EQ(r.motor.latitude, "51.5");
             EXPECT_EQ(r.motor.longitude, "-0.1");
         }},
        {{"motor", "west", "127"},
         "",
         [](const CommandRequest& r) {
             EXPECT_EQ(r.motor.action, cli::MotorAction::West);
             EXPECT_EQ(r.motor.number, 127);
         }},
        {{"motor", "limit", "east"},
         "",
         [](const CommandRequest& r) { EXPECT_TRUE(r.motor.limitEast); }},
        {{"tune", "--bogus"}, "tune: unknown option --bogus (see vlk-tscap tune --help)."},
        {{"list", "--tuner", "0"}, "list: unknown option --tuner (see vlk-tscap list --help)."},
        {{"scan", "--satellite", "19.2E", "--frequency", "11362"},
         "scan: unknown option --frequency (see vlk-tscap scan --help)."},
        {{"tune", "extra"}, "tune: unexpected argument \"extra\" (see vlk-tscap tune --help)."},
        {{"tune", "--frequency"}, "--frequency needs a value."},
        {{"status", "--json=1"}, "--json takes no value."},
        {{"tune", "--frequency", "11362", "--symbol-rate", "22000", "--stream"},
         "tune: unknown option --stream (see vlk-tscap tune --help)."},
        {{"tune", "--symbol-rate", "22000"},
         "A transponder needs both --frequency and --symbol-rate."},
        {{"tune"},
         "tune needs a transponder: --frequency, --symbol-rate and --polarity, or --transponder "
         "SATELLITE:FREQ:POL."},
        {{"tune", "--frequency", "11362x", "--symbol-rate", "22000"},
         "--frequency 11362x: give a whole number from 1 to 99999 MHz."},
        {{"tune", "--frequency", "5000", "--symbol-rate", "22000"},
         "--frequency 5000: through the LNB 9750,10600,11700 this lies outside what the tuner "
         "takes (950 to 2150 MHz)."},
        {{"tune", "--frequency", "11362", "--symbol-rate", "500"},
         "--symbol-rate 500: give a whole number from 1000 to 45000 kS/s."},
        {{"tune", "--frequency", "11362", "--symbol-rate", "22000", "--polarity", "X"},
         "--polarity X: give H, V, L or R."},
        {{"tune", "--frequency", "11362", "--symbol-rate", "22000", "--diseqc", "E"},
         "--diseqc E: give none, A, B, C or D."},
        {{"tune", "--frequency", "11362", "--symbol-rate", "22000", "--lnb", "9750,10600"},
         "--lnb 9750,10600: give the low and high oscillators and the switch frequency in MHz, "
         "as in 9750,10600,11700."},
        {{"tune", "--frequency", "11362", "--symbol-rate", "22000", "--pls-root", "1", "--pls-gold",
          "2"},
         "Give either --pls-root or --pls-gold, not both."},
        {{"tune", "--frequency", "11362", "--symbol-rate", "22000", "--modcod-filter", "0,3"},
         "--modcod-filter 0,3: give DVB-S2 MODCOD numbers from 1 to 28, separated by commas."},
        {{"tune", "--frequency", "11362", "--symbol-rate", "22000", "--transponder", "19.2E:1:H"},
         "Give either --transponder or --frequency, --symbol-rate and --polarity, not both."},
        {{"status", "--stream-id", "1"},
         "--stream-id, --pls-root, --pls-gold and --modcod-filter go with a transponder."},
        {{"status", "--interval", "0"}, "--interval 0: give seconds from 0.1 to 3600."},
        {{"record", "--frequency", "11362", "--symbol-rate", "22000", "--seconds", "5"},
         "record needs --output PATH (- for standard output)."},
        {{"record", "--frequency", "11362", "--symbol-rate", "22000", "--output", "a.ts"},
         "record needs one limit: --seconds N or --size MB."},
        {{"record", "--frequency", "11362", "--symbol-rate", "22000", "--output", "a.ts",
          "--seconds", "5", "--size", "5"},
         "record needs one limit: --seconds N or --size MB."},
        {{"record", "--frequency", "11362", "--symbol-rate", "22000", "--output", "udp://host",
          "--seconds", "5"},
         "No port in udp://host (write udp://HOST:PORT or rtp://HOST:PORT)"},
        {{"record", "--frequency", "11362", "--symbol-rate", "22000", "--output",
          "rtp://239.1.1.1:5004?ttl=300", "--seconds", "5"},
         "Not a TTL in rtp://239.1.1.1:5004?ttl=300: '300' (1 to 255)"},
        {{"record", "--frequency", "11362", "--symbol-rate", "22000", "--output",
          "udp://127.0.0.1:0", "--seconds", "5"},
         "Not a port in udp://127.0.0.1:0: '0' (1 to 65535)"},
        {{"serve", "--frequency", "11362", "--symbol-rate", "22000"},
         "serve needs --http PORT (0: a free port)."},
        {{"serve", "--http", "8001"},
         "serve needs a transponder: --frequency, --symbol-rate and --polarity, or --transponder "
         "SATELLITE:FREQ:POL."},
        {{"serve", "--frequency", "11362", "--symbol-rate", "22000", "--http", "65536"},
         "--http 65536: give a whole number from 0 to 65535."},
        {{"serve", "--frequency", "11362", "--symbol-rate", "22000", "--http", "80", "--open=yes"},
         "--open takes no value."},
        {{"serve", "--frequency", "11362", "--symbol-rate", "22000", "--http", "80", "--size", "5"},
         "serve: unknown option --size (see vlk-tscap serve --help)."},
        {{"record", "--frequency", "11362", "--symbol-rate", "22000", "--http", "80"},
         "record: unknown option --http (see vlk-tscap record --help)."},
        {{"scan"}, "scan needs --satellite NAME."},
        {{"motor"},
         "motor needs an action: goto-satellite, goto, store, halt, east, west, limits-off or "
         "limit."},
        {{"motor", "spin"}, "motor: unknown action \"spin\" (see vlk-tscap motor --help)."},
        {{"motor", "goto", "0"}, "motor goto 0: give a whole number from 1 to 255."},
        {{"motor", "east"}, "motor east needs seconds from 1 to 127."},
        {{"motor", "halt", "now"}, "motor halt: unexpected argument \"now\"."},
        {{"motor", "limit", "north"}, "motor limit needs east or west."},
        {{"motor", "goto-satellite", "19.2E"},
         "motor goto-satellite needs --site LAT,LON, the dish's latitude and longitude."},
        {{"motor", "halt", "--site", "1,2"}, "--site goes with motor goto-satellite only."},
    };
    for (const RequestCase& c : cases) {
        const std::string call = [&] {
            std::string text;
            for (const char* argument : c.arguments) text += std::string(argument) + " ";
            return text;
        }();
        const auto read = Read(c.arguments);
        if (c.error.empty()) {
            ASSERT_TRUE(std::holds_alternative<CommandRequest>(read))
                << call << ": " << std::get<RequestError>(read).text;
            c.check(std::get<CommandRequest>(read));
        } else {
            ASSERT_TRUE(std::holds_alternative<RequestError>(read)) << call;
            EXPECT_EQ(std::get<RequestError>(read).text, c.error) << call;
        }
    }
}

TEST(CommandRequestTest, HelpIsAnsweredWhateverElseIsGiven) {
    for (const char* command : {"list", "tune", "status", "record", "serve", "scan", "motor"}) {
        const auto read = Read({command, "--bogus-later-is-not-read", "--help"});
        // An unknown option before --help is refused; --help first is answered.
        EXPECT_TRUE(std::holds_alternative<RequestError>(read)) << command;
        const auto help = Read({command, "--help", "--bogus"});
        ASSERT_TRUE(std::holds_alternative<CommandRequest>(help)) << command;
        EXPECT_TRUE(std::get<CommandRequest>(help).help);
        EXPECT_EQ(cli::CommandUsage(std::get<CommandRequest>(help).command)
                      .rfind(std::string("Usage: vlk-tscap ") + command, 0),
                  0u);
    }
}

SatelliteFile File(int tenths, const char* name, const char* fileName,
                   std::vector<SatelliteTransponder> transponders) {
    return SatelliteFile{tenths, name, std::move(transponders), fileName};
}

TEST(SatelliteLookupTest, PositionsNamesAndBothFindTheFilesTheyStandFor) {
    const SatelliteTransponder h11362{11362, 'H', 22000, "2/3", "DVB-S2", "8PSK"};
    const SatelliteTransponder v12188{12187.5, 'V', 27500, "3/4", "DVB-S", "QPSK"};
    const SatelliteTransponder h10714{10714.25, 'H', 22000, "5/6", "DVB-S", "QPSK"};
    const std::vector<SatelliteFile> files{
        File(192, "Astra-1KR", "Astra-1KR-19.2E.ini", {h11362}),
        File(192, "Astra-1N", "Astra-1N-19.2E.ini", {v12188}),
        File(235, "Astra-3B", "Astra-3B-23.5E.ini", {h10714}),
        File(3550, "Thor 5", "Thor-5-0.8W.ini", {h10714}),
        File(282, "Astra-1KR", "Astra-1KR-28.2E.ini", {h10714}),
    };
    struct Case {
        const char* name;
        std::size_t transponders;  // 0: not found
        std::string error;
    };
    const std::vector<Case> cases{
        {"19.2E", 2, ""},
        {"19.2 e", 2, ""},
        {"19.2E  Astra 1KR, 1N", 2, ""},
        {"19.2E  Astra-1N", 1, ""},
        {"19.2e astra-1n", 1, ""},
        {"Astra-1N", 1, ""},
        {"Astra-1N-19.2E.ini", 1, ""},
        {"Astra-3B-23.5E", 1, ""},
        {"5.0W", 1, ""},
        {"Thor 5", 1, ""},
        {"13.0E", 0,
         "No satellite file lists \"13.0E\": give an orbital position such as 19.2E or a "
         "satellite's name."},
        {"19.2E  Hot Bird", 0,
         "No satellite file lists \"19.2E  Hot Bird\": give an orbital position such as 19.2E or "
         "a satellite's name."},
        {"Astra-1KR", 0,
         "\"Astra-1KR\" names satellites at 19.2E, 28.2E: give the position too, as in \"19.2E  "
         "Astra-1KR\"."},
    };
    for (const Case& c : cases) {
        const auto found = cli::FindSatellite(c.name, files);
        if (c.transponders == 0) {
            ASSERT_TRUE(std::holds_alternative<std::string>(found)) << c.name;
            EXPECT_EQ(std::get<std::string>(found), c.error);
        } else {
            ASSERT_TRUE(std::holds_alternative<SatelliteFile>(found))
                << c.name << ": " << std::get<std::string>(found);
            EXPECT_EQ(std::get<SatelliteFile>(found).transponders.size(), c.transponders) << c.name;
        }
    }

    const auto nearest = cli::FindTransponder("19.2E:12188:V", files);
    ASSERT_TRUE(std::holds_alternative<SatelliteTransponder>(nearest));
    EXPECT_EQ(std::get<SatelliteTransponder>(nearest), v12188) << "within 1 MHz";
    EXPECT_EQ(std::get<std::string>(cli::FindTransponder("19.2E:12188:H", files)),
              "--transponder 19.2E:12188:H: 19.2E lists no transponder at 12188 MHz H.");
    EXPECT_EQ(std::get<std::string>(cli::FindTransponder("19.2E:x:H", files)),
              "--transponder 19.2E:x:H: give SATELLITE:FREQ:POL, as in 19.2E:11362:H.");
}

}  // namespace
