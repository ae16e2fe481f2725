#pragma once
// The words the services page shows for the codes of the tables.
#include <cstdint>
#include <span>
#include <string>

#include "services/service_info.h"

namespace services {

// service_type of the service descriptor: "TV", "Radio", "HD TV", "UHD TV", "Data", "Teletext",
// "NVOD", "Mosaic", "FM radio"; "Type 0xNN" for any other value.
std::string ServiceTypeText(std::uint8_t serviceType);

// A stream's kind and codec from its stream_type and its ES_info descriptors (a PES of private
// data, 0x06, is told apart by its descriptors: AC-3, E-AC-3, AAC, DTS, teletext, subtitles).
// The language comes from an ISO 639 language descriptor.
void DescribeStream(std::uint8_t streamType, std::span<const std::uint8_t> descriptors,
                    ElementaryStreamInfo* stream);

// What a service without a service descriptor most likely is: "TV" with a video stream,
// "Radio" with audio only, "Data" otherwise; empty before its PMT was seen.
std::string GuessServiceTypeText(const ServiceInfo& service);

}  // namespace services
