#include "drivers/sim/mpeg2_video_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "drivers/sim/mpeg_bit_writer.h"
#include "drivers/sim/test_card.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string BitsOf(const Bytes& bytes) {
    std::string bits;
    for (std::uint8_t byte : bytes) {
        for (int bit = 7; bit >= 0; --bit) bits.push_back((byte >> bit) & 1 ? '1' : '0');
    }
    return bits;
}

// The bits written (expected given in groups split by spaces), then zero bits to the byte boundary.
template <typename Write>
void ExpectBits(Write write, std::string expected, const std::string& what) {
    std::erase(expected, ' ');
    Bytes out;
    {
        CMpegBitWriter writer(out);
        write(writer);
    }
    const std::string bits = BitsOf(out);
    ASSERT_EQ(bits.size(), (expected.size() + 7) / 8 * 8) << what;
    EXPECT_EQ(bits.substr(0, expected.size()), expected) << what;
    EXPECT_EQ(bits.find('1', expected.size()), std::string::npos) << what;
}

struct DcCase {
    int difference;
    bool chroma;
    const char* bits;  // size code, difference bits, end of block "10"
};

// Every size that an 8-bit DC difference needs, both signs, from the luminance and chrominance
// size tables; a negative difference goes as difference + 2^size - 1.
const DcCase kDcCases[] = {
    {0, false, "100 10"},
    {1, false, "00 1 10"},
    {-1, false, "00 0 10"},
    {3, false, "01 11 10"},
    {-2, false, "01 01 10"},
    {7, false, "101 111 10"},
    {-8, false, "110 0111 10"},
    {20, false, "1110 10100 10"},
    {-52, false, "11110 001011 10"},
    {100, false, "111110 1100100 10"},
    {-219, false, "1111110 00100100 10"},
    {0, true, "00 10"},
    {1, true, "01 1 10"},
    {-3, true, "10 00 10"},
    {4, true, "110 100 10"},
    {-9, true, "1110 0110 10"},
    {31, true, "11110 11111 10"},
    {-40, true, "111110 010111 10"},
    {-84, true, "1111110 0101011 10"},
    {128, true, "11111110 10000000 10"},
    {-255, true, "11111110 00000000 10"},
};

TEST(Mpeg2VideoEncoder, DcOnlyBlocksUseTheDcSizeTables) {
    for (const DcCase& c : kDcCases) {
        ExpectBits(
            [&](CMpegBitWriter& w) {
                CMpeg2VideoEncoder::WriteDcOnlyBlock(w, c.difference, c.chroma);
            },
            c.bits, (c.chroma ? "chroma " : "luma ") + std::to_string(c.difference));
    }
}

// Increments 1..33 have codes of their own; beyond, escapes of 33 come first.
TEST(Mpeg2VideoEncoder, AddressIncrementsEscapeBeyond33) {
    const std::pair<int, const char*> cases[] = {
        {1, "1"},
        {2, "011"},
        {5, "0010"},
        {8, "0000111"},
        {16, "0000010111"},
        {22, "00000100011"},
        {33, "00000011000"},
        {34, "00000001000 1"},
        {44, "00000001000 00001010"},  // the last macroblock of a P-picture's slice
        {67, "00000001000 00000001000 1"},
    };
    for (const auto& [increment, bits] : cases) {
        ExpectBits(
            [&](CMpegBitWriter& w) { CMpeg2VideoEncoder::WriteAddressIncrement(w, increment); },
            bits, std::to_string(increment));
    }
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

TEST(Mpeg2VideoEncoder, IntraPictureHeadersByteForByte) {
    const CTestCard card("Alpen TV");
    Bytes out;
    CMpeg2VideoEncoder(4'000'000).IntraPicture(card, {1, 2, 3, 4}, out);
    ASSERT_GT(out.size(), 60u);
    // 720x576, 4:3, 25 frames/s, 10000 * 400 bit/s, marker, VBV 112, default matrices.
    EXPECT_EQ(Slice(out, 0, 12),
              Bytes({0x00, 0x00, 0x01, 0xB3, 0x2D, 0x02, 0x40, 0x23, 0x09, 0xC4, 0x23, 0x80}));
    // Sequence extension: main profile at main level, progressive, 4:2:0, low delay.
    EXPECT_EQ(Slice(out, 12, 10),
              Bytes({0x00, 0x00, 0x01, 0xB5, 0x14, 0x8A, 0x00, 0x01, 0x00, 0x80}));
    // GOP at 01:02:03 picture 4, closed.
    EXPECT_EQ(Slice(out, 22, 8), Bytes({0x00, 0x00, 0x01, 0xB8, 0x04, 0x28, 0x62, 0x40}));
    // Picture header: temporal reference 0, I, vbv_delay 0xFFFF.
    EXPECT_EQ(Slice(out, 30, 8), Bytes({0x00, 0x00, 0x01, 0x00, 0x00, 0x0F, 0xFF, 0xF8}));
    // Picture coding extension: f_codes 15, 8-bit DC, frame, frame_pred_frame_dct, progressive.
    EXPECT_EQ(Slice(out, 38, 9), Bytes({0x00, 0x00, 0x01, 0xB5, 0x8F, 0xFF, 0xF3, 0x41, 0x80}));
    // First slice: row 1, quantiser 1; its first macroblock is the 75 % white bar (Y 180, no
    // colour): luma 180 - 128 = 52 (size 6), three zero differences, two zero chroma ones.
    EXPECT_EQ(Slice(out, 47, 4), Bytes({0x00, 0x00, 0x01, 0x01}));
    std::string mb = "000010 1 1 11110 110100 10 10010 10010 10010 0010 0010";
    std::erase(mb, ' ');
    EXPECT_EQ(BitsOf(Slice(out, 51, 6)).substr(0, mb.size()), mb);
}

TEST(Mpeg2VideoEncoder, RepeatPictureCodesOnlyTheEndsOfEachSlice) {
    Bytes out;
    CMpeg2VideoEncoder::RepeatPicture(5, out);
    // Picture header: temporal reference 5, P, vbv_delay 0xFFFF, '0' and '111' of MPEG-1.
    EXPECT_EQ(Slice(out, 0, 9), Bytes({0x00, 0x00, 0x01, 0x00, 0x01, 0x57, 0xFF, 0xFB, 0x80}));
    // Forward f_code 1, no backward.
    EXPECT_EQ(Slice(out, 9, 9), Bytes({0x00, 0x00, 0x01, 0xB5, 0x81, 0x1F, 0xF3, 0x41, 0x80}));
    // Each slice: increment 1, forward not coded, zero vector; increment 44, the same.
    const Bytes slice = {0x0A, 0x70, 0x10, 0x14, 0x70};
    ASSERT_EQ(out.size(), 18u + 36u * 9u);
    for (std::size_t row = 0; row < 36; ++row) {
        const std::size_t at = 18 + row * 9;
        EXPECT_EQ(Slice(out, at, 4), Bytes({0x00, 0x00, 0x01, static_cast<std::uint8_t>(row + 1)}));
        EXPECT_EQ(Slice(out, at + 4, 5), slice) << row;
    }
}

}  // namespace
