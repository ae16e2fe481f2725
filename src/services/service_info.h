#pragma once
// What the service scanner knows about one service of the tuned transport stream.
#include <cstdint>
#include <string>
#include <vector>

enum class StreamKind { Video, Audio, Subtitles, Teletext, Data };

struct ElementaryStreamInfo {
    std::uint16_t pid = 0;
    std::uint8_t streamType = 0;  // stream_type of the PMT
    StreamKind kind = StreamKind::Data;
    std::string codec;           // "MPEG-2 video", "H.264", "AC-3", ...
    std::string language;        // ISO 639 code of the stream's language descriptor, or empty
    bool caDescriptor = false;   // a CA descriptor in the stream's own loop
    bool scrambledSeen = false;  // a packet of the PID had its scrambling bits set

    friend bool operator==(const ElementaryStreamInfo&, const ElementaryStreamInfo&) = default;
};

struct ServiceInfo {
    static constexpr std::uint16_t kNoPid = 0x1FFF;

    std::uint16_t serviceNumber = 0;  // program_number, service_id of the SDT
    std::string name;                 // UTF-8, empty without a service descriptor
    std::string provider;             // UTF-8
    std::uint8_t serviceType = 0;     // of the service descriptor; 0 without one
    std::string serviceTypeText;      // "TV", "Radio", "HD TV", ...; guessed from the streams
                                      // when the SDT does not say
    std::uint16_t pmtPid = kNoPid;
    std::uint16_t pcrPid = kNoPid;
    std::vector<ElementaryStreamInfo> streams;
    bool pmtSeen = false;
    bool sdtSeen = false;        // the SDT actual lists the service
    bool freeCaMode = false;     // SDT: one or more streams are controlled by a CA system
    bool caDescriptor = false;   // PMT: a CA descriptor for the program or one of its streams
    bool scrambledSeen = false;  // some packet of one of its streams was scrambled

    // What a viewer needs to know: it will not play without a CA module.
    bool IsScrambled() const { return freeCaMode || caDescriptor || scrambledSeen; }

    friend bool operator==(const ServiceInfo&, const ServiceInfo&) = default;
};
