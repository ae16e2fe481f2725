#pragma once
// What the Tuner Setting page keeps in its settings file, as a value: read from the page on the
// window's thread, written from any thread.
#include <array>
#include <cstdint>
#include <string>

#include "graph/tuner_page.h"

inline constexpr const char* kTunerSettingsSection = "Config";

struct TunerSettings {
    // The entered texts, by TunerField, byte for byte as the settings file holds them.
    std::array<std::string, 5> fields;
    std::int32_t polarity = 0;
    std::int32_t diseqc = 0;
    std::int32_t codeValue = 0;
    std::int32_t codeType = 0;

    const std::string& Field(TunerField field) const {
        return fields[static_cast<std::size_t>(field)];
    }
};

// Writes every key of the page's section; a failure is told as every settings write tells it.
void SaveTunerSettings(const std::string& path, const TunerSettings& settings);
