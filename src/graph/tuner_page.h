#pragma once
// What tuning needs of the Tuner Setting page: its entered texts and choices, its settings
// file, its two tuning buttons and its way of telling a tune's errors. The page implements it;
// tests fake it.
#include <cstdint>
#include <string>

#include "platform/ks/vendor_records.h"

struct TuneResult;

enum class TunerField { Frequency, SymbolRate, LnbLow, LnbHigh, LnbSwitch };

class ITunerPage {
public:
    virtual ~ITunerPage() = default;

    virtual std::string FieldText(TunerField field) const = 0;
    // 0 "Horizontal", 1 "Vertical".
    virtual std::int32_t PolarityIndex() const = 0;
    // 0 "Diseqc NULL", 1..4 ports A..D, -1 nothing selected.
    virtual std::int32_t DiseqcPortIndex() const = 0;
    virtual StreamTypeRecord StreamType() const = 0;
    // Keeps the switch frequency parsed by the last "Lock TP".
    virtual void SetLnbSwitch(std::int32_t mhz) = 0;
    virtual void SaveSettings() = 0;
    // The hidden "Send" button and "Lock TP".
    virtual void EnableTuneButtons(bool enable) = 0;
    // Tells the user what went wrong in a "Lock TP", before its buttons are enabled again.
    virtual void ShowTuneResult(const TuneResult& result) = 0;
};
