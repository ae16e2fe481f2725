#include "drivers/linuxdvb/dvb_driver_rules.h"

#include <array>
#include <charconv>
#include <optional>
#include <sstream>
#include <string_view>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/dvb_carrier_settings.h"
#include "platform/win/private_profile.h"

namespace linuxdvb {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::optional<std::string> Value(const std::string& path, const std::string& section,
                                 const char* key) {
    std::array<char, 256> buffer{};
    // A default no value can equal tells a missing key from an empty one.
    constexpr const char* kMissing = "\x01";
    GetPrivateProfileStringA(section.c_str(), key, kMissing, buffer.data(),
                             static_cast<DWORD>(buffer.size()), path.c_str());
    const std::string value(buffer.data());
    if (value == kMissing) return std::nullopt;
    return Lower(value);
}

template <typename TFlag>
void ReadFlag(const std::string& path, const std::string& section, const char* key, TFlag& flag) {
    const auto value = Value(path, section, key);
    if (value == "yes") flag = true;
    if (value == "no") flag = false;
}

// The values of a list key ("1/2 3/5 2/3") that `read` understands; none for a missing key.
template <typename Read>
std::optional<std::vector<std::uint32_t>> ReadList(const std::string& path,
                                                   const std::string& section, const char* key,
                                                   Read read) {
    const auto value = Value(path, section, key);
    if (!value) return std::nullopt;
    std::vector<std::uint32_t> list;
    std::istringstream words(*value);
    for (std::string word; words >> word;) {
        if (const auto item = read(word)) list.push_back(*item);
    }
    return list;
}

}  // namespace

DvbDriverRules DvbDriverRules::Generic() {
    return DvbDriverRules{};
}

DvbDriverRules DvbDriverRules::Load(const std::string& path, const std::string& frontendName) {
    DvbDriverRules rules = Generic();
    const std::string section = "Driver " + frontendName;
    ReadFlag(path, section, "AutoFec", rules.autoFec);
    ReadFlag(path, section, "AutoRollOff", rules.autoRollOff);
    ReadFlag(path, section, "AutoPilot", rules.autoPilot);
    ReadFlag(path, section, "S2ReceivesS", rules.s2ReceivesS);
    ReadFlag(path, section, "Apsk", rules.apsk);
    if (const auto form = Value(path, section, "StreamId")) {
        if (*form == "none") rules.streamId = DvbStreamIdForm::None;
        if (*form == "isi") rules.streamId = DvbStreamIdForm::Isi;
        if (*form == "index") rules.streamId = DvbStreamIdForm::Index;
        if (*form == "packed") rules.streamId = DvbStreamIdForm::Packed;
    }
    if (const auto reports = Value(path, section, "Reports")) {
        rules.reports = kReportsNothing;
        std::istringstream words(*reports);
        for (std::string word; words >> word;) {
            if (word == "delivery") rules.reports |= kReportsDelivery;
            if (word == "modulation") rules.reports |= kReportsModulation;
            if (word == "fec") rules.reports |= kReportsFec;
            if (word == "rolloff") rules.reports |= kReportsRollOff;
            if (word == "pilot") rules.reports |= kReportsPilot;
            if (word == "inversion") rules.reports |= kReportsInversion;
        }
    }
    constexpr std::pair<const char*, std::uint32_t> kRateKeys[] = {{"RatesQPSK", QPSK},
                                                                   {"Rates8PSK", PSK_8},
                                                                   {"Rates16APSK", APSK_16},
                                                                   {"Rates32APSK", APSK_32}};
    for (const auto& [key, modulation] : kRateKeys) {
        if (auto rates = ReadList(path, section, key,
                                  [](const std::string& word) { return StatedFecFromText(word); }))
            rules.s2Rates[modulation] = std::move(*rates);
    }
    if (auto rollOffs = ReadList(path, section, "RollOffs", [](const std::string& word) {
            return StatedRollOffFromText(word);
        }))
        rules.rollOffs = std::move(*rollOffs);
    if (const auto hold = Value(path, section, "TuneHoldMs")) {
        int milliseconds = 0;
        const char* end = hold->data() + hold->size();
        const auto [stop, error] = std::from_chars(hold->data(), end, milliseconds);
        if (error == std::errc() && stop == end && milliseconds >= 0 && milliseconds <= 60'000)
            rules.tuneHoldMs = milliseconds;
    }
    return rules;
}

}  // namespace linuxdvb
