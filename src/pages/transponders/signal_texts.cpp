#include "pages/transponders/signal_texts.h"

#include <fmt/format.h>

#include "status/required_cn.h"

namespace {

template <typename T, typename Format>
std::string OrNotReported(const std::optional<T>& value, Format format) {
    return value ? format(*value) : std::string(kNotReported);
}

}  // namespace

SignalTexts DescribeSignal(const SignalMeasureResult& measure,
                           const std::optional<MediaInfoRecord>& carrier) {
    SignalTexts texts;
    const auto decibels = [](double value) { return fmt::format("{:.1f} dB", value); };
    texts.carrierToNoise = OrNotReported(measure.carrierToNoiseDb, decibels);
    texts.level = OrNotReported(measure.levelDbm,
                                [](double value) { return fmt::format("{:.1f} dBm", value); });
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
    texts.required = OrNotReported(required, decibels);
    texts.margin = required && measure.carrierToNoiseDb
                       ? fmt::format("{:+.1f} dB", *measure.carrierToNoiseDb - *required)
                       : std::string(kNotReported);
    return texts;
}
