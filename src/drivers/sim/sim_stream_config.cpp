#include "drivers/sim/sim_stream_config.h"

#include <algorithm>
#include <stdexcept>

#include "drivers/sim/ts_generator.h"

SimStreamConfig MakeSimStreamConfig(std::uint16_t transportStreamId,
                                    std::uint16_t originalNetworkId, std::uint64_t bitRate,
                                    std::size_t serviceCount, const std::string& namePrefix,
                                    std::uint64_t seed) {
    constexpr std::uint64_t kVideoCap = 12'000'000;
    constexpr std::uint64_t kMinimumVideo = CTsGenerator::kTestCardMinimumRate;
    if (serviceCount > 99) throw std::invalid_argument("at most 99 services");

    SimStreamConfig config;
    config.transport_stream_id = transportStreamId;
    config.original_network_id = originalNetworkId;
    config.network_id = originalNetworkId;
    config.network_name = namePrefix + " network";
    config.bit_rate = bitRate;
    config.seed = seed;
    if (serviceCount == 0) return config;

    // Leave a tenth for PSI/SI, PCR and nulls, as a real multiplexer keeps headroom.
    const std::uint64_t perService = bitRate / 10 * 9 / serviceCount;
    // The audio PID gets what its tone takes, so that it runs at its configured rate.
    const std::uint64_t audio = CTsGenerator::ToneStreamRate();
    if (perService < audio + kMinimumVideo) {
        throw std::invalid_argument("bit rate too low for " + std::to_string(serviceCount) +
                                    " services");
    }
    const std::uint64_t video = std::min(perService - audio, kVideoCap);
    for (std::size_t n = 1; n <= serviceCount; ++n) {
        SimServiceConfig service;
        service.service_id =
            static_cast<std::uint16_t>(n + std::size_t{100} * (transportStreamId % 655u));
        service.pmt_pid = static_cast<std::uint16_t>(0x100 + 0x20 * n);
        service.pcr_pid = static_cast<std::uint16_t>(service.pmt_pid + 1);
        service.service_name = namePrefix + " " + std::to_string(n);
        service.provider_name = namePrefix;
        service.streams.push_back(
            {0x02, static_cast<std::uint16_t>(service.pmt_pid + 1), video, {}});
        service.streams.push_back(
            {0x04, static_cast<std::uint16_t>(service.pmt_pid + 2), audio, {}});
        config.services.push_back(std::move(service));
    }
    return config;
}
