#include "ts_builder.h"

#include <algorithm>

#include "platform/media/mpeg2_crc32.h"

Bytes Section(std::uint8_t tableId, std::uint16_t extension, std::uint8_t version,
              const Bytes& body, std::uint8_t number, std::uint8_t last) {
    const std::size_t length = 5 + body.size() + 4;
    Bytes s{tableId,
            static_cast<std::uint8_t>(0xB0 | (length >> 8)),
            static_cast<std::uint8_t>(length & 0xFF),
            static_cast<std::uint8_t>(extension >> 8),
            static_cast<std::uint8_t>(extension & 0xFF),
            static_cast<std::uint8_t>(0xC1 | (version << 1)),
            number,
            last};
    Append(s, body);
    AppendMpeg2Crc32(s);
    return s;
}

Bytes Descriptor(std::uint8_t tag, const Bytes& body) {
    Bytes d{tag, static_cast<std::uint8_t>(body.size())};
    Append(d, body);
    return d;
}

Bytes Text(const std::string& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

Bytes CTsBuilder::Sections(std::uint16_t pid, const std::vector<Bytes>& sections) {
    Bytes run;
    std::vector<std::size_t> starts;
    for (const Bytes& section : sections) {
        starts.push_back(run.size());
        Append(run, section);
    }
    Bytes out;
    std::size_t at = 0;
    while (at < run.size()) {
        // The first section that starts in this packet's payload, if any.
        const auto start = std::find_if(starts.begin(), starts.end(),
                                        [&](std::size_t s) { return s >= at && s < at + 183; });
        const bool unitStart = start != starts.end();
        Bytes packet{0x47, static_cast<std::uint8_t>((unitStart ? 0x40 : 0x00) | (pid >> 8)),
                     static_cast<std::uint8_t>(pid & 0xFF),
                     static_cast<std::uint8_t>(0x10 | NextCc(pid))};
        if (unitStart) packet.push_back(static_cast<std::uint8_t>(*start - at));  // pointer_field
        const std::size_t take = std::min(188 - packet.size(), run.size() - at);
        packet.insert(packet.end(), run.begin() + static_cast<std::ptrdiff_t>(at),
                      run.begin() + static_cast<std::ptrdiff_t>(at + take));
        at += take;
        packet.resize(188, 0xFF);
        Append(out, packet);
    }
    return out;
}

Bytes CTsBuilder::Payload(std::uint16_t pid, std::uint8_t scrambling) {
    Bytes packet{0x47, static_cast<std::uint8_t>(pid >> 8), static_cast<std::uint8_t>(pid & 0xFF),
                 static_cast<std::uint8_t>((scrambling << 6) | 0x10 | NextCc(pid))};
    packet.resize(188, 0xA5);
    return packet;
}
