// The system's record encoders (platform/ks/vendor_records.h) against the simulated card's own
// decoder, which reads the records independently on purpose: every record kind, field by field,
// with each field's boundary values and a fixed-seed sample from its range. A layout slip on
// either side shows as a field the card reads differently from what the system wrote.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "drivers/sim/sim_test_rig.h"
#include "platform/ks/pls_code.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"

namespace {

constexpr std::size_t kArden = 0;  // PCI-E style: KSPROPSETID_BdaExt on "Input0"
constexpr std::size_t kGlen = 1;   // USB: KSPROPSETID_Ctrl on the filter
constexpr std::size_t kHeath = 2;  // PCI-E style, extended codes

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes ToBytes(const std::array<std::uint8_t, N>& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

// The boundary values first, then `count` more drawn from [low, high] with a fixed seed (so a
// failure names the same value on every run), without repeats.
std::vector<std::int64_t> Values(std::initializer_list<std::int64_t> boundaries, std::int64_t low,
                                 std::int64_t high, std::uint32_t seed, int count = 4) {
    std::vector<std::int64_t> values;
    std::set<std::int64_t> seen;
    for (const std::int64_t value : boundaries) {
        if (seen.insert(value).second) values.push_back(value);
    }
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::int64_t> pick(low, high);
    for (int drawn = 0; drawn < count;) {
        const std::int64_t value = pick(random);
        if (seen.insert(value).second) {
            values.push_back(value);
            ++drawn;
        }
    }
    return values;
}

// A value as a test name can carry it.
std::string NamePart(std::int64_t value) {
    return value < 0 ? fmt::format("Minus{}", -value) : std::to_string(value);
}

std::string Hex(const Bytes& bytes) {
    return fmt::format("{:02X}", fmt::join(bytes, " "));
}

// The newest trace event (the line without date, times and card) that starts with `prefix`.
std::string LastEvent(CSimTestRig& rig, const std::string& prefix) {
    std::string found;
    for (const std::string& line : rig.Environment().TraceLines()) {
        std::size_t at = 0;
        for (int field = 0; field < 4 && at != std::string::npos; ++field)
            at = line.find(' ', at + 1);
        if (at == std::string::npos) continue;
        const std::string event = line.substr(at + 1);
        if (event.rfind(prefix, 0) == 0) found = event;
    }
    return found;
}

// The message the card took from a DiSEqC property, as hex.
std::string DecodedDiseqc(CSimTestRig& rig) {
    const std::string event = LastEvent(rig, "diseqc ");
    const std::size_t colon = event.find(':');
    return colon == std::string::npos ? "no message: " + event : event.substr(7, colon - 7);
}

// One field of the USB card's tuner control line: frequency, LNB low, LNB high, symbol rate,
// polarity, port, constants.
enum class TunerField { Frequency = 1, LnbLow, LnbHigh, SymbolRate, Polarity, Port, Constants };

std::string DecodedTunerField(CSimTestRig& rig, TunerField field) {
    static const std::regex line(
        R"(^tuner control (\d+) MHz, LNB (\d+)/(\d+) MHz, (\d+) kSps, (.+), port (.+), ([0-9A-F]{2} [0-9A-F]{2} [0-9A-F]{2})$)");
    std::smatch match;
    const std::string event = LastEvent(rig, "tuner control ");
    if (!std::regex_match(event, match, line)) return "unreadable: " + event;
    return match[static_cast<int>(field)];
}

std::string DecodedModCodFilter(CSimTestRig& rig) {
    std::string text;
    for (const SimModCodEntry& entry : rig.Card().ModCodFilter())
        text += fmt::format("{}{}/{}/{}", text.empty() ? "" : " ", entry.modCod,
                            entry.shortFrames ? 1 : 0, entry.pilots ? 1 : 0);
    return text;
}

std::string EntriesText(const ModCodeFilterRecord& record) {
    std::string text;
    for (std::uint32_t i = 0; i < record.count; ++i) {
        const auto& entry = record.entries[i];
        text += fmt::format("{}{}/{}/{}", text.empty() ? "" : " ", entry.modCode, entry.selector1,
                            entry.selector2);
    }
    return text;
}

// A record the system sets, and what the card must have made of it.
struct SetCase {
    std::string name;
    std::size_t card;
    GUID set;
    DWORD id;
    Bytes record;
    std::function<std::string(CSimTestRig&)> decoded;
    std::string expected;

    friend void PrintTo(const SetCase& c, std::ostream* out) { *out << c.name; }
};

void AddStreamTypeCases(std::vector<SetCase>& cases) {
    auto kind = [](CSimTestRig& rig) {
        return std::string(rig.Card().GenericOutput() ? "generic" : "transport");
    };
    cases.push_back({"StreamType_Transport", kArden, KSPROPSETID_BdaExt,
                     KSPROPERTY_BDA_STREAMTYPE_PARAMS, ToBytes(kTransportStreamType.bytes), kind,
                     "transport"});
    cases.push_back({"StreamType_Generic", kArden, KSPROPSETID_BdaExt,
                     KSPROPERTY_BDA_STREAMTYPE_PARAMS, ToBytes(kGenericStreamType.bytes), kind,
                     "generic"});
}

void AddInputStreamCases(std::vector<SetCase>& cases) {
    for (const std::int64_t isi : Values({-1, 0, 1, 254, 255}, 0, 255, 14)) {
        MediaInfoRecord record;
        record.inputStreamId = static_cast<std::int32_t>(isi);
        cases.push_back(
            {"InputStreamId_" + NamePart(isi), kArden, KSPROPSETID_BdaExt,
             KSPROPERTY_BDA_INPUTMULTISTREAMID, ToBytes(record.Encode()),
             [](CSimTestRig& rig) { return std::to_string(rig.Card().InputStreamId()); },
             std::to_string(isi)});
    }
}

void AddDiseqcCases(std::vector<SetCase>& cases) {
    // Lengths 3 to 6 (what the card takes), each with the smallest and largest byte values and a
    // sample between.
    std::mt19937 random(21);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t length = 3; length <= 6; ++length) {
        const std::vector<std::pair<std::string, Bytes>> messages = {
            {"Zeros", Bytes(length, 0x00)},
            {"Ones", Bytes(length, 0xFF)},
            {"Sample",
             [&] {
                 Bytes message(length);
                 for (auto& b : message) b = static_cast<std::uint8_t>(byte(random));
                 return message;
             }()},
        };
        for (const auto& [what, message] : messages) {
            cases.push_back({fmt::format("Diseqc_Length{}_{}", length, what), kArden,
                             KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC,
                             ToBytes(DiseqcMessageRecord::For(message).bytes), DecodedDiseqc,
                             Hex(message)});
        }
    }
}

void AddCodeCases(std::vector<SetCase>& cases) {
    auto gold = [](CSimTestRig& rig) { return std::to_string(rig.Card().PlsGold()); };
    for (const auto& [card, set, id] :
         {std::tuple{kArden, KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE},
          std::tuple{kGlen, KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GOLDCODE}}) {
        const std::string carrier = card == kGlen ? "Usb" : "PciE";
        for (const std::int64_t value :
             Values({0, 1, 131070, pls_code::kMaxGold - 1, pls_code::kMaxGold}, 0,
                    pls_code::kMaxGold, 23)) {
            cases.push_back(
                {"Code" + carrier + "_Gold" + NamePart(value), card, set, id,
                 ToBytes(CodeRecord::For(static_cast<std::int32_t>(value), kGoldCode).bytes), gold,
                 std::to_string(value)});
        }
        for (const std::int64_t root : Values({1, 2, 16416, 262143}, 1, 262143, 20)) {
            const auto expected = pls_code::GoldFromRoot(static_cast<std::uint32_t>(root));
            cases.push_back(
                {"Code" + carrier + "_Root" + NamePart(root), card, set, id,
                 ToBytes(CodeRecord::For(static_cast<std::int32_t>(root), kRootCode).bytes), gold,
                 expected ? std::to_string(*expected) : "none"});
        }
    }
}

void AddModCodeCases(std::vector<SetCase>& cases) {
    std::mt19937 random(24);
    std::uniform_int_distribution<std::uint32_t> modCode(0, 28);
    std::uniform_int_distribution<std::uint32_t> selector(0, 1);
    auto sampled = [&](std::uint32_t count) {
        ModCodeFilterRecord record;
        for (std::uint32_t i = 0; i < count; ++i)
            record.Append(modCode(random), selector(random), selector(random));
        return record;
    };
    std::vector<std::pair<std::string, ModCodeFilterRecord>> records;
    // The count: none (filter off), one, a sample, the most that still filter.
    for (const std::uint32_t count : {0u, 1u, 7u, 111u})
        records.push_back({fmt::format("Count{}", count), sampled(count)});
    // Each entry field at its ends, in the first and in the last entry.
    for (const std::uint32_t value : {0u, 1u, 27u, 28u}) {
        ModCodeFilterRecord record;
        record.Append(value, 0, 0);
        records.push_back({fmt::format("ModCode{}", value), record});
        ModCodeFilterRecord last = sampled(110);
        last.Append(value, 1, 1);
        records.push_back({fmt::format("LastEntryModCode{}", value), last});
    }
    for (const auto& [selector1, selector2] :
         {std::pair{0u, 1u}, std::pair{1u, 0u}, std::pair{1u, 1u}}) {
        ModCodeFilterRecord record;
        record.Append(18, selector1, selector2);
        records.push_back({fmt::format("Selectors{}{}", selector1, selector2), record});
    }
    for (const auto& [card, set, id] :
         {std::tuple{kArden, KSPROPSETID_BdaExt, KSPROPERTY_BDA_MODCODES},
          std::tuple{kGlen, KSPROPSETID_Ctrl, KSPROPERTY_CTRL_MODCODES}}) {
        const std::string carrier = card == kGlen ? "Usb" : "PciE";
        for (const auto& [what, record] : records) {
            cases.push_back({"ModCodes" + carrier + "_" + what, card, set, id,
                             ToBytes(record.Encode()), DecodedModCodFilter, EntriesText(record)});
        }
        // A full record is the card's "everything passes": no entries kept.
        cases.push_back({"ModCodes" + carrier + "_Count112", card, set, id,
                         ToBytes(sampled(112).Encode()), DecodedModCodFilter, ""});
    }
}

void AddTunerControlCases(std::vector<SetCase>& cases) {
    struct Number {
        const char* name;
        TunerField field;
        void (TunerControlRecord::*set)(std::uint32_t);
    };
    const Number numbers[] = {
        {"Frequency", TunerField::Frequency, &TunerControlRecord::SetFrequency},
        {"LnbLow", TunerField::LnbLow, &TunerControlRecord::SetLnbLow},
        {"LnbHigh", TunerField::LnbHigh, &TunerControlRecord::SetLnbHigh},
        {"SymbolRate", TunerField::SymbolRate, &TunerControlRecord::SetSymbolRate},
    };
    std::uint32_t seed = 30;
    for (const Number& number : numbers) {
        for (const std::int64_t value : Values({0, 1, 11362, 0xFFFFFFFF}, 0, 0xFFFFFFFF, ++seed)) {
            TunerControlRecord record;
            (record.*number.set)(static_cast<std::uint32_t>(value));
            const TunerField field = number.field;
            cases.push_back({fmt::format("Tuner_{}_{}", number.name, value), kGlen,
                             KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, ToBytes(record.bytes),
                             [field](CSimTestRig& rig) { return DecodedTunerField(rig, field); },
                             std::to_string(value)});
        }
    }
    // The one-byte fields, as the card names them.
    const std::pair<std::uint8_t, const char*> polarities[] = {
        {0, "horizontal"}, {1, "vertical"}, {2, "polarity ?"}, {255, "polarity ?"}};
    for (const auto& [index, text] : polarities) {
        TunerControlRecord record;
        record.SetPolarity(index);
        cases.push_back(
            {fmt::format("Tuner_Polarity_{}", index), kGlen, KSPROPSETID_Ctrl,
             KSPROPERTY_CTRL_TUNER, ToBytes(record.bytes),
             [](CSimTestRig& rig) { return DecodedTunerField(rig, TunerField::Polarity); }, text});
    }
    const std::pair<std::uint8_t, const char*> ports[] = {
        {0, "index 0"}, {1, "A"}, {2, "B"}, {4, "D"}, {5, "index 5"}, {255, "index 255"}};
    for (const auto& [index, text] : ports) {
        TunerControlRecord record;
        record.SetDiseqcPort(index);
        cases.push_back({fmt::format("Tuner_Port_{}", index), kGlen, KSPROPSETID_Ctrl,
                         KSPROPERTY_CTRL_TUNER, ToBytes(record.bytes),
                         [](CSimTestRig& rig) { return DecodedTunerField(rig, TunerField::Port); },
                         text});
    }
    TunerControlRecord constants;
    constants.SetConstants();
    cases.push_back({"Tuner_Constants", kGlen, KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER,
                     ToBytes(constants.bytes),
                     [](CSimTestRig& rig) { return DecodedTunerField(rig, TunerField::Constants); },
                     "01 00 02"});
    // The message at its offset, the shortest and the longest the card reads there.
    const std::pair<const char*, Bytes> messages[] = {
        {"Halt", {0xE0, 0x31, 0x60}},
        {"SwitchPortD", {0xE0, 0x10, 0x38, 0xFF}},
        {"GotoAngle", {0xE1, 0x31, 0x6E, 0xEF, 0xFE}},
    };
    for (const auto& [what, message] : messages) {
        TunerControlRecord record;
        record.SetConstants();
        record.PutMessage(message);
        cases.push_back({fmt::format("Tuner_Message{}", what), kGlen, KSPROPSETID_Ctrl,
                         KSPROPERTY_CTRL_TUNER, ToBytes(record.bytes), DecodedDiseqc,
                         Hex(message)});
    }
}

std::vector<SetCase> SetCases() {
    std::vector<SetCase> cases;
    AddStreamTypeCases(cases);
    AddInputStreamCases(cases);
    AddDiseqcCases(cases);
    AddCodeCases(cases);
    AddModCodeCases(cases);
    AddTunerControlCases(cases);
    return cases;
}

class SystemRecordOnTheCard : public ::testing::TestWithParam<SetCase> {};

TEST_P(SystemRecordOnTheCard, IsReadAsTheSystemWroteIt) {
    const SetCase& c = GetParam();
    CSimTestRig rig(c.card);
    ASSERT_EQ(rig.SetRecord(c.set, c.id, c.record), S_OK);
    EXPECT_EQ(c.decoded(rig), c.expected);
}

INSTANTIATE_TEST_SUITE_P(EveryField, SystemRecordOnTheCard, ::testing::ValuesIn(SetCases()),
                         [](const auto& item) { return item.param.name; });

// The other direction: the carrier report the card writes, read by the system's decoder, in
// states that put different values in every field.
struct ReportCase {
    std::string name;
    std::size_t card;
    char port;
    SimTune tune;
    std::int32_t isi;  // selected first when not -1

    friend void PrintTo(const ReportCase& c, std::ostream* out) { *out << c.name; }
};

class CardReportInTheSystem : public ::testing::TestWithParam<ReportCase> {};

TEST_P(CardReportInTheSystem, IsReadAsTheCardWroteIt) {
    const ReportCase& c = GetParam();
    CSimTestRig rig(c.card);
    const bool usb = c.card == kGlen;
    if (c.isi >= 0) {
        MediaInfoRecord select;
        select.inputStreamId = c.isi;
        ASSERT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID,
                                ToBytes(select.Encode())),
                  S_OK);
    }
    if (c.tune.frequencyMHz != 0) {
        ASSERT_EQ(rig.SendCommittedSwitch(c.port, c.tune), S_OK);
        ASSERT_EQ(rig.Tune(c.tune), S_OK);
        ASSERT_EQ(rig.Run(), S_OK);
        rig.Clock().AdvanceMs(400);
        ASSERT_TRUE(rig.Card().IsLocked());
    }
    Bytes bytes(MediaInfoRecord::kSize, 0xA5);
    ASSERT_EQ(
        rig.GetRecord(usb ? KSPROPSETID_Ctrl : KSPROPSETID_BdaExt,
                      usb ? KSPROPERTY_CTRL_GET_MEDIAINFO : KSPROPERTY_BDA_GET_MEDIAINFO, bytes),
        S_OK);
    const MediaInfoRecord decoded =
        MediaInfoRecord::Decode(std::span<const std::uint8_t, MediaInfoRecord::kSize>(
            bytes.data(), MediaInfoRecord::kSize));
    EXPECT_EQ(decoded, MediaInfoRecord::FromFields(rig.Card().MediaInfo()));
    if (c.isi >= 0) {
        EXPECT_EQ(decoded.inputStreamId, c.isi);
    }
}

INSTANTIATE_TEST_SUITE_P(
    States, CardReportInTheSystem,
    ::testing::Values(ReportCase{"UnlockedPciE", kArden, 'A', SimTune{0}, -1},
                      ReportCase{"UnlockedUsb", kGlen, 'A', SimTune{0}, -1},
                      ReportCase{"DvbS2PciE", kArden, 'B', SimTune{11362, 'H', 22000}, -1},
                      ReportCase{"DvbSUsb", kGlen, 'C', SimTune{10719, 'V', 27500}, -1},
                      ReportCase{"DvbS2xExtendedCodes", kHeath, 'B', SimTune{12516, 'V', 30000},
                                 -1},
                      ReportCase{"MultistreamIsi3", kArden, 'B', SimTune{12590, 'V', 27500}, 3},
                      ReportCase{"GenericStream", kArden, 'B', SimTune{12670, 'V', 10000}, -1}),
    [](const auto& item) { return item.param.name; });

}  // namespace
