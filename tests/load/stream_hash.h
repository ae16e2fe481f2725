#pragma once
// A 64-bit checksum of a byte stream that arrives in pieces of any size: the result depends only
// on the bytes and their order, never on how they were cut. The rounds are those of xxHash64
// (four 64-bit lanes, multiply-rotate-multiply), so a changed, missing or reordered byte anywhere
// in tens of gigabytes changes the result, at several gigabytes per second on one core.
#include <array>
#include <cstddef>
#include <cstdint>

class CStreamHash {
public:
    explicit CStreamHash(std::uint64_t seed = 0);

    void Update(const std::uint8_t* data, std::size_t size);
    // The checksum of everything so far; the stream may go on afterwards.
    std::uint64_t Digest() const;
    std::uint64_t Bytes() const { return m_nBytes; }

private:
    static constexpr std::size_t kBlock = 32;

    void Consume(const std::uint8_t* block);

    std::uint64_t m_nSeed;
    std::array<std::uint64_t, 4> m_lanes;
    std::array<std::uint8_t, kBlock> m_pending{};
    std::size_t m_nPending = 0;
    std::uint64_t m_nBytes = 0;
};
