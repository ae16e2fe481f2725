#pragma once
// Whatever takes the live transport stream from the tap: the service scanner, the player feed.
#include <cstddef>
#include <cstdint>
#include <span>

class ITransportPacketConsumer {
public:
    static constexpr std::size_t kPacketSize = 188;

    // Whole 188-byte packets, one after another, valid during the call only. Called on the
    // tap's worker thread; it must not block for long (a slow consumer only makes the tap drop
    // data, but the tap's stop waits for the call under way).
    virtual void OnPackets(std::span<const std::uint8_t> packets) = 0;

    // Consumers are shared between the page and the tap.
    virtual ~ITransportPacketConsumer() = default;
};
