#include "load/stream_hash.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string_view>
#include <vector>

namespace {

std::uint64_t HashOf(std::string_view text, std::uint64_t seed = 0) {
    CStreamHash hash(seed);
    hash.Update(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return hash.Digest();
}

std::uint64_t HashOf(const std::vector<std::uint8_t>& bytes) {
    CStreamHash hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.Digest();
}

std::vector<std::uint8_t> Bytes(std::size_t size) {
    std::mt19937_64 random(42);
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// xxHash64's published values: the short-input path, the four-lane path with its tail.
TEST(StreamHash, GivesTheReferenceValues) {
    EXPECT_EQ(HashOf(""), 0xEF46DB3751D8E999ull);
    EXPECT_EQ(HashOf("abc"), 0x44BC2CF5AD770999ull);
    EXPECT_EQ(HashOf("Nobody inspects the spammish repetition"), 0xFBCEA83C8A378BF1ull);
}

TEST(StreamHash, DoesNotDependOnHowTheStreamIsCut) {
    const std::vector<std::uint8_t> bytes = Bytes(188 * 348 + 77);
    const std::uint64_t whole = HashOf(bytes);
    for (std::size_t piece : {1u, 3u, 7u, 31u, 32u, 33u, 188u, 4096u, 65424u}) {
        CStreamHash hash;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            hash.Update(bytes.data() + at, std::min(piece, bytes.size() - at));
        }
        EXPECT_EQ(hash.Digest(), whole) << "pieces of " << piece;
        EXPECT_EQ(hash.Bytes(), bytes.size());
    }
    CStreamHash hash;
    hash.Update(bytes.data(), 100);
    EXPECT_EQ(hash.Digest(), HashOf(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 100)))
        << "a digest on the way leaves the stream going";
    hash.Update(bytes.data() + 100, bytes.size() - 100);
    EXPECT_EQ(hash.Digest(), whole);
}

TEST(StreamHash, ChangesWithAnyByteTheOrderAndTheLength) {
    const std::vector<std::uint8_t> bytes = Bytes(188 * 40);
    const std::uint64_t whole = HashOf(bytes);
    for (std::size_t at = 0; at < bytes.size(); at += 37) {
        std::vector<std::uint8_t> changed = bytes;
        changed[at] ^= 0x01;
        EXPECT_NE(HashOf(changed), whole) << "bit 0 of byte " << at;
    }
    std::vector<std::uint8_t> last = bytes;
    last.back() ^= 0x80;
    EXPECT_NE(HashOf(last), whole);

    std::vector<std::uint8_t> swapped = bytes;  // two packets in the wrong order
    std::swap_ranges(swapped.begin() + 188 * 3, swapped.begin() + 188 * 4,
                     swapped.begin() + 188 * 4);
    EXPECT_NE(HashOf(swapped), whole);

    std::vector<std::uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_NE(HashOf(longer), whole) << "a trailing zero byte counts";
    EXPECT_NE(HashOf(std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 188)), whole)
        << "a lost packet";
    EXPECT_NE(HashOf("abc", 1), HashOf("abc", 0)) << "the seed counts";
}

}  // namespace
