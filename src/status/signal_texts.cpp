#include "status/signal_texts.h"

#include <fmt/format.h>

#include "status/required_cn.h"

namespace {

template <typename T, typename Format>
std::string OrNotReported(const std::optional<T>& value, Format format) {
    return value ? format(*value) : std::string(kNotReported);
}

// One decimal and the unit; a value that rounds to zero reads "0.0", never "-0.0".
std::string OneDecimal(double value, const char* unit) {
    std::string text = fmt::format("{:.1f}", value);
    if (text == "-0.0") text.erase(0, 1);
    return text + unit;
}

}  // namespace

std::string DecibelText(std::optional<double> value) {
    return OrNotReported(value, [](double db) { return OneDecimal(db, " dB"); });
}

std::string DecibelMilliwattText(std::optional<double> value) {
    return OrNotReported(value, [](double dbm) { return OneDecimal(dbm, " dBm"); });
}

SignalTexts DescribeSignal(const SignalMeasureResult& measure,
                           const std::optional<MediaInfoRecord>& carrier) {
    SignalTexts texts;
    texts.carrierToNoise = DecibelText(measure.carrierToNoiseDb);
    texts.level = DecibelMilliwattText(measure.levelDbm);
    texts.bitErrorRate = OrNotReported(measure.bitErrorRate, [](double value) {
        return value == 0.0 ? std::string("0") : fmt::format("{:.1e}", value);
    });
    texts.uncorrected = OrNotReported(measure.uncorrectedBlocks,
                                      [](std::uint64_t value) { return std::to_string(value); });
    if (!carrier) {
        texts.modCod = texts.required = texts.margin = kNoLock;
        return texts;
    }
    texts.modCod = OrNotReported(required_cn::ModCodText(*carrier),
                                 [](const std::string& text) { return text; });
    const std::optional<double> required = required_cn::RequiredCarrierToNoise(*carrier);
    texts.required = DecibelText(required);
    texts.margin = required && measure.carrierToNoiseDb
                       ? fmt::format("{:+.1f} dB", *measure.carrierToNoiseDb - *required)
                       : std::string(kNotReported);
    return texts;
}
