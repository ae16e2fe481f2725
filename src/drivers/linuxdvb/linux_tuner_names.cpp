#include "drivers/linuxdvb/linux_tuner_names.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>

#include "drivers/linuxdvb/dvb_api.h"

namespace linuxdvb {

namespace {

constexpr std::string_view kGenericModel = "VLK Arden DVBS/S2 Tuner";

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
    };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

std::optional<std::uint16_t> ParseHex16(std::string_view text) {
    text = Trim(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

// "14f1:8852" -> (0x14F1, 0x8852).
std::optional<std::pair<std::uint16_t, std::uint16_t>> ParseBusId(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto vendor = ParseHex16(text.substr(0, colon));
    const auto product = ParseHex16(text.substr(colon + 1));
    if (!vendor || !product) return std::nullopt;
    return std::pair{*vendor, *product};
}

enum class Section { None, Pci, Usb, Name, Default };

Section SectionNamed(std::string_view name) {
    if (EqualsIgnoringCase(name, "ByPci")) return Section::Pci;
    if (EqualsIgnoringCase(name, "ByUsb")) return Section::Usb;
    if (EqualsIgnoringCase(name, "ByName")) return Section::Name;
    if (EqualsIgnoringCase(name, "Default")) return Section::Default;
    return Section::None;
}

bool Contains(const DvbFrontendDescription& frontend, std::uint32_t system) {
    return std::find(frontend.deliverySystems.begin(), frontend.deliverySystems.end(), system) !=
           frontend.deliverySystems.end();
}

}  // namespace

bool HasDvbS2(const DvbFrontendDescription& frontend) {
    return Contains(frontend, SYS_DVBS2);
}

bool IsSatelliteFrontend(const DvbFrontendDescription& frontend) {
    return Contains(frontend, SYS_DVBS) || Contains(frontend, SYS_DVBS2);
}

CLinuxTunerNames CLinuxTunerNames::Defaults() {
    CLinuxTunerNames names;
    names.m_defaultS2 = std::string(kGenericModel);
    names.m_defaultS = std::string(kGenericModel);
    return names;
}

CLinuxTunerNames CLinuxTunerNames::Parse(std::string_view text) {
    CLinuxTunerNames names;
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    Section section = Section::None;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            section = close == std::string_view::npos
                          ? Section::None
                          : SectionNamed(Trim(line.substr(1, close - 1)));
            continue;
        }
        const std::size_t equals = line.rfind('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string value(Trim(line.substr(equals + 1)));
        if (key.empty()) continue;
        switch (section) {
            case Section::Pci:
            case Section::Usb:
                if (const auto id = ParseBusId(key)) {
                    (section == Section::Pci ? names.m_pci : names.m_usb).emplace(*id, value);
                }
                break;
            case Section::Name:
                names.m_byName.emplace(std::string(key), value);
                break;
            case Section::Default:
                if (key == "DVB-S2" && !names.m_defaultS2) names.m_defaultS2 = value;
                if (key == "DVB-S" && !names.m_defaultS) names.m_defaultS = value;
                break;
            case Section::None:
                break;
        }
    }
    return names;
}

CLinuxTunerNames CLinuxTunerNames::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Defaults();
    std::string text;
    text.resize(kMaxFileBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    const auto count = static_cast<std::size_t>(in.gcount());
    if (count > kMaxFileBytes || in.bad()) return Defaults();
    text.resize(count);
    return Parse(text);
}

std::optional<CLinuxTunerNames::Match> CLinuxTunerNames::Find(
    const DvbFrontendDescription& frontend) const {
    const BusId id{frontend.vendor, frontend.product};
    if (frontend.bus == "pci") {
        if (const auto it = m_pci.find(id); it != m_pci.end()) {
            return Match{fmt::format("pci:{:04x}:{:04x}", id.first, id.second), it->second};
        }
    }
    if (frontend.bus == "usb") {
        if (const auto it = m_usb.find(id); it != m_usb.end()) {
            return Match{fmt::format("usb:{:04x}:{:04x}", id.first, id.second), it->second};
        }
    }
    if (const auto it = m_byName.find(frontend.name); it != m_byName.end()) {
        return Match{"name:" + frontend.name, it->second};
    }
    if (HasDvbS2(frontend) && m_defaultS2) return Match{"default:DVB-S2", *m_defaultS2};
    if (!HasDvbS2(frontend) && Contains(frontend, SYS_DVBS) && m_defaultS)
        return Match{"default:DVB-S", *m_defaultS};
    return std::nullopt;
}

std::string CLinuxTunerNames::Expand(const std::string& pattern, int port) {
    static constexpr std::string_view kPort = "{port}";
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = pattern.find(kPort); at != std::string::npos;
         at = pattern.find(kPort, from)) {
        out.append(pattern, from, at - from);
        out += std::to_string(port);
        from = at + kPort.size();
    }
    out.append(pattern, from, std::string::npos);
    return out;
}

std::string CLinuxTunerNames::ListedName(const std::string& model,
                                         const DvbFrontendDescription& frontend) {
    std::string where = fmt::format("adapter {}", frontend.adapter);
    if (frontend.frontend != 0) where += fmt::format(", frontend {}", frontend.frontend);
    if (model.empty()) return fmt::format("{} ({})", frontend.name, where);
    return fmt::format("{} ({}, {})", model, frontend.name, where);
}

}  // namespace linuxdvb
