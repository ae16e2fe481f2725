#include "load/stream_hash.h"

#include <bit>
#include <cstring>

namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ull;
constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ull;
constexpr std::uint64_t kPrime5 = 0x27D4EB2F165667C5ull;

std::uint64_t Read64(const std::uint8_t* p) {
    std::uint64_t value = 0;
    std::memcpy(&value, p, sizeof value);
    if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
    return value;
}

std::uint32_t Read32(const std::uint8_t* p) {
    std::uint32_t value = 0;
    std::memcpy(&value, p, sizeof value);
    if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap32(value);
    return value;
}

std::uint64_t Round(std::uint64_t lane, std::uint64_t input) {
    lane += input * kPrime2;
    return std::rotl(lane, 31) * kPrime1;
}

std::uint64_t MergeRound(std::uint64_t hash, std::uint64_t lane) {
    hash ^= Round(0, lane);
    return hash * kPrime1 + kPrime4;
}

}  // namespace

CStreamHash::CStreamHash(std::uint64_t seed)
    : m_nSeed(seed), m_lanes{seed + kPrime1 + kPrime2, seed + kPrime2, seed, seed - kPrime1} {}

void CStreamHash::Consume(const std::uint8_t* block) {
    for (std::size_t lane = 0; lane < m_lanes.size(); ++lane) {
        m_lanes[lane] = Round(m_lanes[lane], Read64(block + 8 * lane));
    }
}

void CStreamHash::Update(const std::uint8_t* data, std::size_t size) {
    m_nBytes += size;
    if (m_nPending > 0) {
        const std::size_t take = std::min(size, kBlock - m_nPending);
        std::memcpy(m_pending.data() + m_nPending, data, take);
        m_nPending += take;
        data += take;
        size -= take;
        if (m_nPending < kBlock) return;
        Consume(m_pending.data());
        m_nPending = 0;
    }
    for (; size >= kBlock; data += kBlock, size -= kBlock) Consume(data);
    std::memcpy(m_pending.data(), data, size);
    m_nPending = size;
}

std::uint64_t CStreamHash::Digest() const {
    std::uint64_t hash = 0;
    if (m_nBytes >= kBlock) {
        hash = std::rotl(m_lanes[0], 1) + std::rotl(m_lanes[1], 7) + std::rotl(m_lanes[2], 12) +
               std::rotl(m_lanes[3], 18);
        for (std::uint64_t lane : m_lanes) hash = MergeRound(hash, lane);
    } else {
        hash = m_nSeed + kPrime5;
    }
    hash += m_nBytes;

    const std::uint8_t* p = m_pending.data();
    std::size_t left = m_nPending;
    for (; left >= 8; p += 8, left -= 8)
        hash = std::rotl(hash ^ Round(0, Read64(p)), 27) * kPrime1 + kPrime4;
    if (left >= 4) {
        hash = std::rotl(hash ^ (std::uint64_t{Read32(p)} * kPrime1), 23) * kPrime2 + kPrime3;
        p += 4;
        left -= 4;
    }
    for (; left > 0; ++p, --left) hash = std::rotl(hash ^ (*p * kPrime5), 11) * kPrime1;

    // Final avalanche.
    hash ^= hash >> 33;
    hash *= kPrime2;
    hash ^= hash >> 29;
    hash *= kPrime3;
    hash ^= hash >> 32;
    return hash;
}
