#pragma once
// The tuner models of the card range, recognised by their friendly names.
#include <array>
#include <cstdint>
#include <string_view>

struct TunerModelRow {
    std::string_view pattern;  // a substring of the friendly name
    std::int32_t code;
    bool xModel;  // reports extended DVB-S2X mode codes
};

// Tested in this order; a later match overrides an earlier one.
inline constexpr std::array<TunerModelRow, 25> kTunerModelTable = {{
    {"VLK Arden DVBS/S2 Tuner", 1, false},    {"VLK Birch DVBS/S2 Tuner A", 2, false},
    {"VLK Birch DVBS/S2 Tuner B", 3, false},  {"VLK Cedar DVBS2 Tuner", 4, false},
    {"VLK Dune DVBS/S2 Tuner 0", 5, false},   {"VLK Dune DVBS/S2 Tuner 1", 6, false},
    {"VLK Dune DVBS/S2 Tuner 2", 7, false},   {"VLK Dune DVBS/S2 Tuner 3", 8, false},
    {"VLK Elm DVBS/S2 Tuner 0", 9, false},    {"VLK Elm DVBS/S2 Tuner 1", 10, false},
    {"VLK Elm DVBS/S2 Tuner 2", 11, false},   {"VLK Elm DVBS/S2 Tuner 3", 12, false},
    {"VLK Fjord DVBS/S2 Tuner 0", 13, false}, {"VLK Fjord DVBS/S2 Tuner 1", 14, false},
    {"VLK Glen USB DVB-S2 Tuner", 15, false}, {"VLK Heath DVBS/S2 Tuner 0", 16, true},
    {"VLK Heath DVBS/S2 Tuner 1", 17, true},  {"VLK Isle DVBS/S2 Tuner 0", 16, true},
    {"VLK Isle DVBS/S2 Tuner 1", 16, true},   {"VLK Isle DVBS/S2 Tuner 2", 16, true},
    {"VLK Isle DVBS/S2 Tuner 3", 16, true},   {"VLK Isle DVBS/S2 Tuner 4", 16, true},
    {"VLK Isle DVBS/S2 Tuner 5", 16, true},   {"VLK Isle DVBS/S2 Tuner 6", 16, true},
    {"VLK Isle DVBS/S2 Tuner 7", 16, true},
}};
