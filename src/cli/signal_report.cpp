#include "cli/signal_report.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "graph/tuner_session.h"
#include "status/required_cn.h"
#include "status/signal_texts.h"
#include "status/stream_info.h"

namespace cli {

namespace {

using namespace stream_info_ids;

// The carrier report's boxes by the names a script reads them by, in the order they are told.
using CarrierField = std::pair<int, const char*>;
const std::vector<CarrierField>& CarrierFieldNames() {
    static const std::vector<CarrierField> names{
        {kStandard, "standard"},
        {kModulation, "modulation"},
        {kFec, "fec"},
        {kRollOff, "roll_off"},
        {kPilots, "pilots"},
        {kFrameLength, "frame_length"},
        {kSymbolRate, "symbol_rate"},
        {kIfFrequency, "if_frequency_khz"},
        {kInputStream, "input_stream"},
        {kInputStreamList, "input_stream_id"},
        {kCodingModulation, "coding_modulation"},
        {kInputSynchro, "input_synchro"},
        {kNullPacketDeletion, "null_packet_deletion"},
        {kStreamType, "stream_type"},
        {kMatype, "matype"},
        {kSpectrum, "spectrum"},
    };
    return names;
}

class CCarrierTexts final : public IStreamInfoView {
public:
    explicit CCarrierTexts(std::map<std::string, std::string>& texts) : m_texts(texts) {}

    void SetText(int controlId, const std::string& text) override {
        const auto& names = CarrierFieldNames();
        const auto name = std::find_if(names.begin(), names.end(), [controlId](const auto& field) {
            return field.first == controlId;
        });
        if (name == names.end()) return;
        if (text.empty()) {
            m_texts.erase(name->second);
        } else {
            m_texts[name->second] = text;
        }
    }
    void AddInputStreamId(const std::string& identifier, std::uint64_t /*tune*/) override {
        SetText(kInputStreamList, identifier);
    }
    // A failed read leaves the report empty: the reading says "not reported".
    void ShowDriverReports(const DriverReports& /*reports*/) override {}

private:
    std::map<std::string, std::string>& m_texts;
};

std::optional<double> Margin(const SignalReport& report) {
    if (!report.carrier || !report.measure.carrierToNoiseDb) return std::nullopt;
    const auto required = required_cn::RequiredCarrierToNoise(*report.carrier);
    if (!required) return std::nullopt;
    return *report.measure.carrierToNoiseDb - *required;
}

std::string JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20) {
            quoted += fmt::format("\\u{:04x}", byte);
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

template <typename T>
std::string JsonNumber(const std::optional<T>& value, const char* format = "{}") {
    if (!value) return "null";
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(*value)) return "null";
    }
    return fmt::format(fmt::runtime(format), *value);
}

// "missing_pid" for "Missing PID".
std::string JsonName(HealthIndicator indicator) {
    std::string name(IndicatorName(indicator));
    for (char& c : name) {
        c = c == ' ' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

std::string StreamJson(const StreamHealth& stream) {
    std::string counts;
    std::string inError;
    for (std::size_t i = 0; i < kHealthIndicators; ++i) {
        const auto indicator = static_cast<HealthIndicator>(i);
        counts += fmt::format("{}{}:{}", counts.empty() ? "" : ",", JsonString(JsonName(indicator)),
                              stream[indicator].count);
        if (stream[indicator].inError)
            inError += (inError.empty() ? "" : ",") + JsonString(JsonName(indicator));
    }
    return fmt::format(
        "{{\"bit_rate\":{},\"packets\":{},\"pids\":{},\"errors\":{{{}}},\"in_error\":[{}]}}",
        JsonNumber(stream.bitRate, "{:.0f}"), stream.packets, stream.pids.size(), counts, inError);
}

// "6.0 Mbit/s, no errors" or "6.0 Mbit/s, CC 3, PAT 1 (now)".
std::string StreamText(const StreamHealth& stream) {
    std::string text = stream.bitRate ? fmt::format("{:.1f} Mbit/s", *stream.bitRate / 1e6)
                                      : std::string("rate not known yet");
    bool any = false;
    for (std::size_t i = 0; i < kHealthIndicators; ++i) {
        const auto indicator = static_cast<HealthIndicator>(i);
        if (stream[indicator].count == 0 && !stream[indicator].inError) continue;
        text += fmt::format(", {} {}{}", IndicatorName(indicator), stream[indicator].count,
                            stream[indicator].inError ? " (now)" : "");
        any = true;
    }
    return text + (any ? "" : ", no errors");
}

std::string LockWord(const SignalReading& reading) {
    if (reading.locked == 1) return "locked";
    return reading.locked == 0 ? "not locked" : "lock unknown";
}

}  // namespace

SignalReport ReadSignalReport(CTunerSession& session) {
    SignalReport report;
    report.reading = QueryTunerSignal(session).reading;
    report.measure = GetSignalMeasure(session);
    const bool locked = report.reading.locked == 1;
    CCarrierTexts view(report.carrierTexts);
    if (locked && UpdateStreamInfo(session, true, view) == 1)
        report.carrier = session.m_MediaInfoRecord;
    return report;
}

std::string LockLine(const SignalReport& report) {
    const SignalTexts texts = DescribeSignal(report.measure, report.carrier);
    return fmt::format("{}, C/N {}, margin {}, {}", LockWord(report.reading), texts.carrierToNoise,
                       texts.margin, texts.modCod);
}

std::string StatusLine(const SignalReport& report) {
    const SignalTexts texts = DescribeSignal(report.measure, report.carrier);
    std::string line = fmt::format(
        "{}, strength {} %, quality {} %, C/N {}, needed {}, margin {}, level {}, BER {}, UNC {}, "
        "{}",
        LockWord(report.reading), report.reading.strength, report.reading.quality,
        texts.carrierToNoise, texts.required, texts.margin, texts.level, texts.bitErrorRate,
        texts.uncorrected, texts.modCod);
    for (const auto& [id, name] : CarrierFieldNames()) {
        const auto text = report.carrierTexts.find(name);
        if (text != report.carrierTexts.end()) line += fmt::format(", {} {}", name, text->second);
    }
    if (report.stream) line += ", stream " + StreamText(*report.stream);
    return line;
}

std::string StatusJson(const SignalReport& report) {
    const std::optional<double> required =
        report.carrier ? required_cn::RequiredCarrierToNoise(*report.carrier) : std::nullopt;
    const std::optional<std::string> modCod =
        report.carrier ? required_cn::ModCodText(*report.carrier) : std::nullopt;
    const bool known = report.reading.locked <= 1;
    std::string json = fmt::format(
        "{{\"lock\":{},\"strength\":{},\"quality\":{},\"cn_db\":{},\"needed_cn_db\":{},"
        "\"margin_db\":{},\"level_dbm\":{},\"ber\":{},\"unc\":{},\"modcod\":{},\"carrier\":",
        known ? (report.reading.locked == 1 ? "true" : "false") : "null",
        known ? std::to_string(report.reading.strength) : "null",
        known ? std::to_string(report.reading.quality) : "null",
        JsonNumber(report.measure.carrierToNoiseDb, "{:.2f}"), JsonNumber(required, "{:.2f}"),
        JsonNumber(Margin(report), "{:.2f}"), JsonNumber(report.measure.levelDbm, "{:.2f}"),
        JsonNumber(report.measure.bitErrorRate, "{:.3e}"),
        JsonNumber(report.measure.uncorrectedBlocks), modCod ? JsonString(*modCod) : "null");
    const std::string stream = report.stream ? ",\"stream\":" + StreamJson(*report.stream) : "";
    if (report.carrierTexts.empty()) return json + "null" + stream + "}";
    std::string carrier;
    for (const auto& [id, name] : CarrierFieldNames()) {
        const auto text = report.carrierTexts.find(name);
        carrier +=
            fmt::format("{}{}:{}", carrier.empty() ? "" : ",", JsonString(name),
                        text == report.carrierTexts.end() ? "null" : JsonString(text->second));
    }
    return json + "{" + carrier + "}" + stream + "}";
}

}  // namespace cli
