#include "services/service_texts.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace services {

namespace {

// Descriptor tags of the PMT's ES_info loop.
constexpr std::uint8_t kRegistrationTag = 0x05;
constexpr std::uint8_t kLanguageTag = 0x0A;
constexpr std::uint8_t kVbiTeletextTag = 0x46;
constexpr std::uint8_t kTeletextTag = 0x56;
constexpr std::uint8_t kSubtitlingTag = 0x59;
constexpr std::uint8_t kAc3Tag = 0x6A;
constexpr std::uint8_t kEnhancedAc3Tag = 0x7A;
constexpr std::uint8_t kDtsTag = 0x7B;
constexpr std::uint8_t kAacTag = 0x7C;
constexpr std::uint8_t kExtensionTag = 0x7F;
constexpr std::uint8_t kAc4ExtensionTag = 0x15;

std::string Hex(const char* prefix, std::uint8_t value) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%s0x%02X", prefix, value);
    return text.data();
}

struct StreamTypeRow {
    std::uint8_t streamType;
    StreamKind kind;
    const char* codec;
};

constexpr std::array kStreamTypes{
    StreamTypeRow{0x01, StreamKind::Video, "MPEG-1 video"},
    StreamTypeRow{0x02, StreamKind::Video, "MPEG-2 video"},
    StreamTypeRow{0x03, StreamKind::Audio, "MPEG audio"},
    StreamTypeRow{0x04, StreamKind::Audio, "MPEG audio"},
    StreamTypeRow{0x05, StreamKind::Data, "Private sections"},
    StreamTypeRow{0x0B, StreamKind::Data, "DSM-CC"},
    StreamTypeRow{0x0D, StreamKind::Data, "DSM-CC"},
    StreamTypeRow{0x0F, StreamKind::Audio, "AAC"},
    StreamTypeRow{0x10, StreamKind::Video, "MPEG-4 video"},
    StreamTypeRow{0x11, StreamKind::Audio, "AAC (LATM)"},
    StreamTypeRow{0x1B, StreamKind::Video, "H.264"},
    StreamTypeRow{0x24, StreamKind::Video, "HEVC"},
    StreamTypeRow{0x81, StreamKind::Audio, "AC-3"},
    StreamTypeRow{0x87, StreamKind::Audio, "E-AC-3"},
};

// What a private-data PES (stream_type 0x06) carries, by the first descriptor that tells.
struct PrivateRow {
    std::uint8_t tag;
    StreamKind kind;
    const char* codec;
};

constexpr std::array kPrivateDescriptors{
    PrivateRow{kAc3Tag, StreamKind::Audio, "AC-3"},
    PrivateRow{kEnhancedAc3Tag, StreamKind::Audio, "E-AC-3"},
    PrivateRow{kAacTag, StreamKind::Audio, "AAC"},
    PrivateRow{kDtsTag, StreamKind::Audio, "DTS"},
    PrivateRow{kTeletextTag, StreamKind::Teletext, "Teletext"},
    PrivateRow{kVbiTeletextTag, StreamKind::Teletext, "VBI teletext"},
    PrivateRow{kSubtitlingTag, StreamKind::Subtitles, "DVB subtitles"},
};

template <typename Visit>
void ForEachDescriptor(std::span<const std::uint8_t> loop, Visit visit) {
    std::size_t pos = 0;
    while (pos + 2 <= loop.size()) {
        const std::size_t length = loop[pos + 1];
        if (pos + 2 + length > loop.size()) return;
        visit(loop[pos], loop.subspan(pos + 2, length));
        pos += 2 + length;
    }
}

bool DescribePrivate(std::span<const std::uint8_t> descriptors, ElementaryStreamInfo* stream) {
    bool found = false;
    ForEachDescriptor(descriptors, [&](std::uint8_t tag, std::span<const std::uint8_t> body) {
        if (found) return;
        const auto* row = std::find_if(kPrivateDescriptors.begin(), kPrivateDescriptors.end(),
                                       [tag](const PrivateRow& r) { return r.tag == tag; });
        if (row != kPrivateDescriptors.end()) {
            stream->kind = row->kind;
            stream->codec = row->codec;
            found = true;
        } else if (tag == kExtensionTag && !body.empty() && body[0] == kAc4ExtensionTag) {
            stream->kind = StreamKind::Audio;
            stream->codec = "AC-4";
            found = true;
        } else if (tag == kRegistrationTag && body.size() >= 4) {
            const std::string format(body.begin(), body.begin() + 4);
            if (format == "AC-3" || format == "EAC3") {
                stream->kind = StreamKind::Audio;
                stream->codec = format == "AC-3" ? "AC-3" : "E-AC-3";
                found = true;
            }
        }
    });
    return found;
}

}  // namespace

std::string ServiceTypeText(std::uint8_t serviceType) {
    switch (serviceType) {
        case 0x01:
        case 0x16:
            return "TV";
        case 0x11:
        case 0x19:
            return "HD TV";
        case 0x1F:
        case 0x20:
            return "UHD TV";
        case 0x02:
        case 0x0A:
            return "Radio";
        case 0x07:
            return "FM radio";
        case 0x03:
            return "Teletext";
        case 0x0C:
            return "Data";
        case 0x04:
        case 0x05:
        case 0x13:
        case 0x14:
        case 0x15:
        case 0x18:
        case 0x1B:
        case 0x1C:
        case 0x1D:
        case 0x1E:
            return "NVOD";
        case 0x06:
        case 0x0B:
        case 0x12:
        case 0x17:
        case 0x1A:
            return "Mosaic";
        default:
            return Hex("Type ", serviceType);
    }
}

void DescribeStream(std::uint8_t streamType, std::span<const std::uint8_t> descriptors,
                    ElementaryStreamInfo* stream) {
    stream->streamType = streamType;
    const auto* row =
        std::find_if(kStreamTypes.begin(), kStreamTypes.end(),
                     [streamType](const StreamTypeRow& r) { return r.streamType == streamType; });
    if (row != kStreamTypes.end()) {
        stream->kind = row->kind;
        stream->codec = row->codec;
    } else if (streamType != 0x06 || !DescribePrivate(descriptors, stream)) {
        stream->kind = StreamKind::Data;
        stream->codec = streamType == 0x06 ? "Private data" : Hex("Stream type ", streamType);
    }
    stream->language.clear();
    ForEachDescriptor(descriptors, [&](std::uint8_t tag, std::span<const std::uint8_t> body) {
        const bool carriesLanguage =
            tag == kLanguageTag || tag == kTeletextTag || tag == kSubtitlingTag;
        if (!stream->language.empty() || !carriesLanguage || body.size() < 3) return;
        for (std::size_t i = 0; i < 3; ++i) {
            // A code outside printable ASCII is a broken descriptor, not a language.
            if (body[i] < 0x20 || body[i] > 0x7E) return;
        }
        stream->language.assign(body.begin(), body.begin() + 3);
    });
}

std::string GuessServiceTypeText(const ServiceInfo& service) {
    const auto has = [&](StreamKind kind) {
        return std::any_of(service.streams.begin(), service.streams.end(),
                           [kind](const ElementaryStreamInfo& s) { return s.kind == kind; });
    };
    if (!service.pmtSeen) return {};
    if (has(StreamKind::Video)) return "TV";
    if (has(StreamKind::Audio)) return "Radio";
    return "Data";
}

}  // namespace services
