#pragma once
// What the simulated card's transport-stream generator puts into one transport stream.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One elementary stream of a service.
struct SimElementaryStream {
    std::uint8_t stream_type = 0x02;  // ISO/IEC 13818-1 stream_type (0x02 MPEG-2 video, 0x04 audio)
    std::uint16_t pid = 0;
    // Share of the multiplex this PID takes, in bit/s of whole 188-byte packets (what a TS
    // analyser shows per PID), PES and TS headers included.
    std::uint64_t bit_rate = 0;
    std::vector<std::uint8_t> descriptors;  // ES_info descriptors of the PMT, raw
};

struct SimServiceConfig {
    std::uint16_t service_id = 0;  // program_number
    std::uint16_t pmt_pid = 0;
    std::uint16_t pcr_pid = 0;  // one of the streams, or a PID of its own
    std::string service_name;   // UTF-8; sent with the DVB UTF-8 selector when not plain ASCII
    std::string provider_name;
    std::uint8_t service_type = 0x01;  // digital television
    std::uint8_t running_status = 4;   // running
    std::vector<SimElementaryStream> streams;
};

struct SimStreamConfig {
    std::uint16_t transport_stream_id = 1;
    std::uint16_t original_network_id = 1;
    std::uint16_t network_id = 1;
    std::string network_name;
    bool with_nit = true;  // NIT actual on PID 0x10, listed in the PAT as program 0
    // Raw descriptors for this transport stream's entry in the NIT (a delivery system descriptor).
    std::vector<std::uint8_t> nit_transport_descriptors;
    std::vector<SimServiceConfig> services;
    std::uint64_t bit_rate = 0;  // useful bit rate of the transport stream, bit/s
    std::uint64_t seed = 1;      // payload bytes derive from it, so streams are reproducible
};

// A plausible multiplex: serviceCount television services named "<prefix> <n>", each with one
// MPEG-2 video (PCR on it; the test card) and one MPEG audio stream (the tone, at the rate it
// takes), filling about 90 % of bitRate (video capped at 12 Mbit/s, so wide carriers keep null
// packets). PMT of service n on 0x100 + 0x20 * n, video
// and audio on the two PIDs after it; service_id = n + 100 * (transportStreamId % 655), n from 1.
SimStreamConfig MakeSimStreamConfig(std::uint16_t transportStreamId,
                                    std::uint16_t originalNetworkId, std::uint64_t bitRate,
                                    std::size_t serviceCount, const std::string& namePrefix,
                                    std::uint64_t seed);
