#include "pages/health/health_texts.h"

#include <fmt/format.h>

#include <string_view>

#include "core/csv_line.h"
#include "services/service_info.h"
#include "services/service_texts.h"

namespace health_texts {

namespace {

constexpr std::uint16_t kNullPid = 0x1FFF;

bool NeedsStreamTime(HealthIndicator indicator) {
    switch (indicator) {
        case HealthIndicator::SyncByte:
        case HealthIndicator::Continuity:
        case HealthIndicator::TransportError:
        case HealthIndicator::Crc:
            return false;
        default:
            return true;
    }
}

// The tables of the fixed PIDs (ISO/IEC 13818-1, EN 300 468).
std::optional<std::string_view> FixedTable(std::uint16_t pid) {
    switch (pid) {
        case 0x0000:
            return "PAT";
        case 0x0001:
            return "CAT";
        case 0x0010:
            return "NIT";
        case 0x0011:
            return "SDT/BAT";
        case 0x0012:
            return "EIT";
        case 0x0014:
            return "TDT/TOT";
        default:
            return std::nullopt;
    }
}

std::string YesNo(bool value) {
    return value ? "yes" : "no";
}

}  // namespace

Light LightOf(const StreamHealth& health, HealthIndicator indicator) {
    const IndicatorReading& reading = health[indicator];
    if (reading.count > 0 || reading.inError) return Light::Bad;
    // A reset empties the counts, not what the stream taught: a rate still known is a stream seen.
    const bool streamSeen = health.packets > 0 || health.bitRate.has_value();
    if (!streamSeen || (NeedsStreamTime(indicator) && !health.bitRate)) return Light::Unknown;
    return Light::Good;
}

std::string LightText(const StreamHealth& health, HealthIndicator indicator) {
    if (LightOf(health, indicator) == Light::Unknown)
        return fmt::format("{}: -", IndicatorName(indicator));
    return fmt::format("{}: {}", IndicatorName(indicator), health[indicator].count);
}

std::string SpokenText(const StreamHealth& health, HealthIndicator indicator) {
    if (LightOf(health, indicator) == Light::Unknown)
        return fmt::format("{}: not judged yet", IndicatorName(indicator));
    const IndicatorReading& reading = health[indicator];
    return fmt::format("{}: {} error{}{}", IndicatorName(indicator), reading.count,
                       reading.count == 1 ? "" : "s", reading.inError ? ", in error now" : "");
}

std::array<const char*, kPidColumns> PidHeadings() {
    // Two lines where the heading is wider than the column's numbers, so every column shows in
    // the page's width.
    return {"PID",      "Service",    "Stream type", "Mbit/s",
            "Share\n%", "CC\nerrors", "Scrambled",   "PCR"};
}

std::string StreamTypeText(const PidHealth& pid) {
    if (const auto table = FixedTable(pid.pid)) return std::string(*table);
    // A table on a PID the PAT names for a service: its PMT.
    if (pid.psi && pid.service) return "PMT";
    if (pid.pid == kNullPid) return "Null packets";
    if (!pid.streamType) return "-";
    ElementaryStreamInfo stream;
    services::DescribeStream(*pid.streamType, {}, &stream);
    return stream.codec;
}

std::vector<PidRow> PidRows(const StreamHealth& health) {
    std::vector<PidRow> rows;
    rows.reserve(health.pids.size());
    for (const PidHealth& pid : health.pids) {
        rows.push_back({
            fmt::format("{} (0x{:04X})", pid.pid, pid.pid),
            pid.service ? std::to_string(*pid.service) : std::string("-"),
            StreamTypeText(pid),
            health.bitRate ? fmt::format("{:.3f}", pid.share * *health.bitRate / 1e6)
                           : std::string("-"),
            fmt::format("{:.2f}", pid.share * 100),
            std::to_string(pid.continuityErrors),
            YesNo(pid.scrambled),
            YesNo(pid.carriesPcr),
        });
    }
    return rows;
}

std::string RateText(std::optional<double> bitRate, std::optional<double> usefulRate) {
    if (!bitRate) return "not known yet";
    if (!usefulRate) return fmt::format("{:.2f} Mbit/s", *bitRate / 1e6);
    return fmt::format("{:.2f} of {:.2f} Mbit/s useful", *bitRate / 1e6, *usefulRate / 1e6);
}

std::string Csv(const StreamHealth& health) {
    std::string text = CsvLine({"Indicator", "Count", "In error now"});
    for (std::size_t i = 0; i < kHealthIndicators; ++i) {
        const auto indicator = static_cast<HealthIndicator>(i);
        text += CsvLine({IndicatorName(indicator), std::to_string(health[indicator].count),
                         YesNo(health[indicator].inError)});
    }
    text += "\r\n";
    text += CsvLine({"PID", "PID (hex)", "Service", "Stream type", "Bit rate (bit/s)", "Share (%)",
                     "CC errors", "Scrambled", "PCR"});
    for (const PidHealth& pid : health.pids) {
        text += CsvLine({
            std::to_string(pid.pid),
            fmt::format("0x{:04X}", pid.pid),
            pid.service ? std::to_string(*pid.service) : std::string(),
            StreamTypeText(pid),
            health.bitRate ? fmt::format("{:.0f}", pid.share * *health.bitRate) : std::string(),
            fmt::format("{:.3f}", pid.share * 100),
            std::to_string(pid.continuityErrors),
            YesNo(pid.scrambled),
            YesNo(pid.carriesPcr),
        });
    }
    return text;
}

}  // namespace health_texts
