#include "pages/settings/tuner_settings.h"

#include <utility>

#include "core/settings_file.h"

void SaveTunerSettings(const std::string& path, const TunerSettings& settings) {
    const std::array<std::pair<const char*, std::int32_t>, 4> numbers{{
        {"polarity", settings.polarity},
        {"diseqc", settings.diseqc},
        {"goldcode", settings.codeValue},
        {"goldtype", settings.codeType},
    }};
    for (const auto& [key, value] : numbers)
        WriteSettingsString(path, kTunerSettingsSection, key, std::to_string(value));
    const std::array<std::pair<const char*, TunerField>, 5> texts{{
        {"freq", TunerField::Frequency},
        {"symbol", TunerField::SymbolRate},
        {"lnblow", TunerField::LnbLow},
        {"lnbhigh", TunerField::LnbHigh},
        {"lnbswitch", TunerField::LnbSwitch},
    }};
    for (const auto& [key, field] : texts)
        WriteSettingsString(path, kTunerSettingsSection, key, settings.Field(field));
}
