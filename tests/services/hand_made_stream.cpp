#include "hand_made_stream.h"

namespace hand_made {

namespace {

Bytes EsEntry(std::uint8_t type, std::uint16_t pid, const Bytes& descriptors) {
    Bytes e{type, static_cast<std::uint8_t>(0xE0 | (pid >> 8)), static_cast<std::uint8_t>(pid),
            static_cast<std::uint8_t>(0xF0 | (descriptors.size() >> 8)),
            static_cast<std::uint8_t>(descriptors.size())};
    Append(e, descriptors);
    return e;
}

Bytes PmtBody(std::uint16_t pcrPid, const Bytes& programInfo, const std::vector<Bytes>& streams) {
    Bytes body{static_cast<std::uint8_t>(0xE0 | (pcrPid >> 8)), static_cast<std::uint8_t>(pcrPid),
               static_cast<std::uint8_t>(0xF0 | (programInfo.size() >> 8)),
               static_cast<std::uint8_t>(programInfo.size())};
    Append(body, programInfo);
    for (const Bytes& stream : streams) Append(body, stream);
    return body;
}

Bytes SdtEntryBytes(std::uint16_t id, bool freeCa, std::uint8_t type, const std::string& provider,
                    const std::string& name) {
    Bytes service{type, static_cast<std::uint8_t>(provider.size())};
    Append(service, Text(provider));
    service.push_back(static_cast<std::uint8_t>(name.size()));
    Append(service, Text(name));
    const Bytes descriptors = Descriptor(0x48, service);
    // running_status 4 (running) in the top bits, free_CA_mode below them.
    Bytes e{static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id), 0xFC,
            static_cast<std::uint8_t>(0x80 | (freeCa ? 0x10 : 0x00) | (descriptors.size() >> 8)),
            static_cast<std::uint8_t>(descriptors.size())};
    Append(e, descriptors);
    return e;
}

}  // namespace

Bytes PatSection(std::uint8_t version, std::uint16_t transportStreamId) {
    // program 0 names the NIT's PID.
    return Section(0x00, transportStreamId, version,
                   {0x00, 0x00, 0xE0, 0x10, 0x01, 0x01, 0xE1, 0x00, 0x02, 0x02, 0xE2, 0x00});
}

Bytes FirstPmt() {
    // CA descriptor: CA_system_id 0x0B00, CA_PID 0x1FF0.
    const Bytes ca = Descriptor(0x09, {0x0B, 0x00, 0xFF, 0xF0});
    Bytes ac3 = Descriptor(0x6A, {0x00});
    Append(ac3, Descriptor(0x0A, {'d', 'e', 'u', 0x00}));
    return Section(
        0x02, kFirst, 0,
        PmtBody(0x0111, ca,
                {EsEntry(0x1B, 0x0111, {}), EsEntry(0x06, 0x0112, ac3),
                 EsEntry(0x06, 0x0113, Descriptor(0x56, {'d', 'e', 'u', 0x09, 0x00})),
                 EsEntry(0x06, 0x0114, Descriptor(0x59, {'e', 'n', 'g', 0x10, 0, 1, 0, 1}))}));
}

Bytes SecondPmt(std::uint8_t version, bool withAac) {
    std::vector<Bytes> streams{EsEntry(0x24, 0x0221, {}),
                               EsEntry(0x06, 0x0222, Descriptor(0x7A, {0x00}))};
    if (withAac) streams.push_back(EsEntry(0x0F, 0x0223, {}));
    streams.push_back(EsEntry(0x03, 0x0224, {}));
    return Section(0x02, kSecond, version, PmtBody(0x0221, {}, streams));
}

Bytes SdtSection(std::uint8_t number, std::uint8_t version, const std::string& secondName) {
    Bytes body{0x00, 0x01, 0xFF};  // original_network_id 1, reserved
    if (number == 0) {
        // ISO 6937: the accent comes before its letter.
        Append(body, SdtEntryBytes(kFirst, true, 0x19, "ARD",
                                   "Caf\xC2"
                                   "e Pl\xC8us"));
    } else {
        Append(body, SdtEntryBytes(kSecond, false, 0x1F,
                                   "Hellenic Broadcasting Corporation, satellite services for "
                                   "Europe and the Near East",
                                   secondName));
        Append(body, SdtEntryBytes(0x0303, false, 0x02, "Nobody", "Not in the PAT"));
    }
    return Section(0x42, kTsid, version, body, number, 1);
}

Bytes Stream(CTsBuilder& ts) {
    Bytes out = ts.Sections(0x0000, {PatSection()});
    Append(out, ts.Sections(0x0100, {FirstPmt()}));
    Append(out, ts.Sections(0x0200, {SecondPmt()}));
    Append(out, ts.Sections(0x0011, {SdtSection(0), SdtSection(1)}));
    return out;
}

}  // namespace hand_made
