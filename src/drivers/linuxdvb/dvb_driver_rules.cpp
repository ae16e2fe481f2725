#include "drivers/linuxdvb/dvb_driver_rules.h"

#include <array>
#include <optional>
#include <sstream>
#include <string_view>

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
    return rules;
}

}  // namespace linuxdvb
