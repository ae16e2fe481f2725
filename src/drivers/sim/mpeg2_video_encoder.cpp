#include "drivers/sim/mpeg2_video_encoder.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "drivers/sim/mpeg_bit_writer.h"
#include "drivers/sim/test_card.h"

namespace {

constexpr std::uint8_t kPictureStartCode = 0x00;
constexpr std::uint8_t kSequenceHeaderCode = 0xB3;
constexpr std::uint8_t kExtensionStartCode = 0xB5;
constexpr std::uint8_t kGroupStartCode = 0xB8;
constexpr std::uint32_t kSequenceExtensionId = 1;
constexpr std::uint32_t kPictureCodingExtensionId = 8;
constexpr std::uint32_t kPictureI = 1;
constexpr std::uint32_t kPictureP = 2;
constexpr std::uint32_t kMaxBitRateValue = (1u << 18) - 1;
constexpr int kDcReset = 128;  // predictor at a slice start, 8-bit DC precision

struct Vlc {
    std::uint32_t code = 0;
    int length = 0;
};

constexpr Vlc Code(const char* bits) {
    Vlc vlc;
    for (; bits[vlc.length] != '\0'; ++vlc.length)
        vlc.code = (vlc.code << 1) | (bits[vlc.length] == '1' ? 1u : 0u);
    return vlc;
}

// dct_dc_size_luminance and dct_dc_size_chrominance, sizes 0 to 11.
constexpr std::array<Vlc, 12> kDcSizeLuma = {
    Code("100"),     Code("00"),       Code("01"),        Code("101"),
    Code("110"),     Code("1110"),     Code("11110"),     Code("111110"),
    Code("1111110"), Code("11111110"), Code("111111110"), Code("111111111")};
constexpr std::array<Vlc, 12> kDcSizeChroma = {
    Code("00"),       Code("01"),        Code("10"),         Code("110"),
    Code("1110"),     Code("11110"),     Code("111110"),     Code("1111110"),
    Code("11111110"), Code("111111110"), Code("1111111110"), Code("1111111111")};

// macroblock_address_increment 1 to 33; 34 and more are escapes of 33 before one of these.
constexpr std::array<Vlc, 33> kAddressIncrement = {
    Code("1"),           Code("011"),         Code("010"),         Code("0011"),
    Code("0010"),        Code("00011"),       Code("00010"),       Code("0000111"),
    Code("0000110"),     Code("00001011"),    Code("00001010"),    Code("00001001"),
    Code("00001000"),    Code("00000111"),    Code("00000110"),    Code("0000010111"),
    Code("0000010110"),  Code("0000010101"),  Code("0000010100"),  Code("0000010011"),
    Code("0000010010"),  Code("00000100011"), Code("00000100010"), Code("00000100001"),
    Code("00000100000"), Code("00000011111"), Code("00000011110"), Code("00000011101"),
    Code("00000011100"), Code("00000011011"), Code("00000011010"), Code("00000011001"),
    Code("00000011000")};
constexpr Vlc kAddressEscape = Code("00000001000");

constexpr Vlc kEndOfBlock = Code("10");        // intra blocks, first coefficient table
constexpr Vlc kIntraMacroblock = Code("1");    // I-picture: intra, no quantiser change
constexpr Vlc kForwardNotCoded = Code("001");  // P-picture: forward prediction, no residual
constexpr Vlc kZeroMotion = Code("1");         // motion_code 0

void Put(CMpegBitWriter& writer, const Vlc& vlc) {
    writer.Put(vlc.code, vlc.length);
}

void PictureHeader(CMpegBitWriter& w, std::uint32_t temporalReference, std::uint32_t type) {
    w.StartCode(kPictureStartCode);
    w.Put(temporalReference & 0x3FF, 10);
    w.Put(type, 3);
    w.Put(0xFFFF, 16);  // vbv_delay: variable bit rate
    if (type == kPictureP) {
        w.Put(0, 1);  // full_pel_forward_vector, '0' in MPEG-2
        w.Put(7, 3);  // forward_f_code, '111' in MPEG-2 (the extension carries the real ones)
    }
    w.Put(0, 1);  // extra_bit_picture
}

void PictureCodingExtension(CMpegBitWriter& w, std::uint32_t forwardFCode) {
    w.StartCode(kExtensionStartCode);
    w.Put(kPictureCodingExtensionId, 4);
    w.Put(forwardFCode, 4);  // f_code[0][0], horizontal
    w.Put(forwardFCode, 4);  // f_code[0][1], vertical
    w.Put(15, 4);            // no backward prediction
    w.Put(15, 4);
    w.Put(0, 2);  // intra_dc_precision: 8 bits
    w.Put(3, 2);  // picture_structure: frame
    w.Put(0, 1);  // top_field_first
    w.Put(1, 1);  // frame_pred_frame_dct
    w.Put(0, 1);  // concealment_motion_vectors
    w.Put(0, 1);  // q_scale_type
    w.Put(0, 1);  // intra_vlc_format
    w.Put(0, 1);  // alternate_scan
    w.Put(0, 1);  // repeat_first_field
    w.Put(1, 1);  // chroma_420_type, as progressive_frame
    w.Put(1, 1);  // progressive_frame
    w.Put(0, 1);  // composite_display_flag
}

void SliceHeader(CMpegBitWriter& w, int macroblockRow) {
    w.StartCode(static_cast<std::uint8_t>(macroblockRow + 1));  // slice_vertical_position
    w.Put(1, 5);                                                // quantiser_scale_code
    w.Put(0, 1);                                                // extra_bit_slice
}

}  // namespace

CMpeg2VideoEncoder::CMpeg2VideoEncoder(std::uint64_t bitRate)
    : m_nBitRateValue(static_cast<std::uint32_t>(
          std::clamp<std::uint64_t>((bitRate + 399) / 400, 1, kMaxBitRateValue))) {}

void CMpeg2VideoEncoder::WriteDcOnlyBlock(CMpegBitWriter& writer, int difference, bool chroma) {
    const int magnitude = std::abs(difference);
    int size = 0;
    while ((magnitude >> size) != 0) ++size;
    Put(writer, chroma ? kDcSizeChroma[static_cast<std::size_t>(size)]
                       : kDcSizeLuma[static_cast<std::size_t>(size)]);
    if (size > 0) {
        // Negative differences go as difference + 2^size - 1, so their top bit is 0.
        const int bits = difference > 0 ? difference : difference + (1 << size) - 1;
        writer.Put(static_cast<std::uint32_t>(bits), size);
    }
    Put(writer, kEndOfBlock);
}

void CMpeg2VideoEncoder::WriteAddressIncrement(CMpegBitWriter& writer, int increment) {
    for (; increment > 33; increment -= 33) Put(writer, kAddressEscape);
    Put(writer, kAddressIncrement[static_cast<std::size_t>(increment - 1)]);
}

void CMpeg2VideoEncoder::IntraPicture(const CTestCard& card, const Mpeg2TimeCode& timeCode,
                                      std::vector<std::uint8_t>& out) const {
    out.clear();
    IntraHeaders(timeCode, out);
    for (int row = 0; row < CTestCard::kMacroblockRows; ++row) IntraSlice(card, row, out);
}

void CMpeg2VideoEncoder::RepeatPicture(std::uint32_t temporalReference,
                                       std::vector<std::uint8_t>& out) {
    out.clear();
    RepeatHeader(temporalReference, out);
    RepeatBody(out);
}

void CMpeg2VideoEncoder::IntraHeaders(const Mpeg2TimeCode& timeCode,
                                      std::vector<std::uint8_t>& out) const {
    CMpegBitWriter w(out);
    w.StartCode(kSequenceHeaderCode);
    w.Put(CTestCard::kWidth, 12);
    w.Put(CTestCard::kHeight, 12);
    w.Put(2, 4);                 // aspect_ratio_information: 4:3
    w.Put(3, 4);                 // frame_rate_code: 25 frames/s
    w.Put(m_nBitRateValue, 18);  // bit_rate_value, 400 bit/s units
    w.Put(1, 1);                 // marker_bit
    w.Put(112, 10);              // vbv_buffer_size_value: 112 * 16 kbit, the main level's limit
    w.Put(0, 1);                 // constrained_parameters_flag
    w.Put(0, 1);                 // default intra quantiser matrix
    w.Put(0, 1);                 // default non-intra quantiser matrix

    w.StartCode(kExtensionStartCode);
    w.Put(kSequenceExtensionId, 4);
    w.Put(0x48, 8);  // profile_and_level_indication: main profile, main level
    w.Put(1, 1);     // progressive_sequence
    w.Put(1, 2);     // chroma_format: 4:2:0
    w.Put(0, 2);     // horizontal_size_extension
    w.Put(0, 2);     // vertical_size_extension
    w.Put(0, 12);    // bit_rate_extension
    w.Put(1, 1);     // marker_bit
    w.Put(0, 8);     // vbv_buffer_size_extension
    w.Put(1, 1);     // low_delay: no B-pictures, nothing is reordered
    w.Put(0, 2);     // frame_rate_extension_n
    w.Put(0, 5);     // frame_rate_extension_d

    w.StartCode(kGroupStartCode);
    w.Put(0, 1);  // drop_frame_flag
    w.Put(timeCode.hours, 5);
    w.Put(timeCode.minutes, 6);
    w.Put(1, 1);  // marker_bit
    w.Put(timeCode.seconds, 6);
    w.Put(timeCode.pictures, 6);
    w.Put(1, 1);  // closed_gop: nothing refers across it
    w.Put(0, 1);  // broken_link

    PictureHeader(w, 0, kPictureI);
    PictureCodingExtension(w, 15);  // no motion vectors in an I-picture
}

void CMpeg2VideoEncoder::IntraSlice(const CTestCard& card, int macroblockRow,
                                    std::vector<std::uint8_t>& out) {
    CMpegBitWriter w(out);
    SliceHeader(w, macroblockRow);
    int luma = kDcReset;
    int cb = kDcReset;
    int cr = kDcReset;
    for (int column = 0; column < CTestCard::kMacroblockColumns; ++column) {
        WriteAddressIncrement(w, 1);
        Put(w, kIntraMacroblock);
        // Luma blocks top left, top right, bottom left, bottom right, with one predictor.
        for (int block = 0; block < 4; ++block) {
            const int value = card.Luma(macroblockRow * 2 + block / 2, column * 2 + block % 2);
            WriteDcOnlyBlock(w, value - luma, false);
            luma = value;
        }
        const int blue = card.Cb(macroblockRow, column);
        WriteDcOnlyBlock(w, blue - cb, true);
        cb = blue;
        const int red = card.Cr(macroblockRow, column);
        WriteDcOnlyBlock(w, red - cr, true);
        cr = red;
    }
}

void CMpeg2VideoEncoder::RepeatHeader(std::uint32_t temporalReference,
                                      std::vector<std::uint8_t>& out) {
    CMpegBitWriter w(out);
    PictureHeader(w, temporalReference, kPictureP);
}

void CMpeg2VideoEncoder::RepeatBody(std::vector<std::uint8_t>& out) {
    CMpegBitWriter w(out);
    PictureCodingExtension(w, 1);  // smallest range: zero vectors need no residual
    // A slice must begin and end with a coded macroblock; those in between are skipped, which in
    // a P-picture means copied from the reference.
    for (int row = 0; row < CTestCard::kMacroblockRows; ++row) {
        SliceHeader(w, row);
        for (int increment : {1, CTestCard::kMacroblockColumns - 1}) {
            WriteAddressIncrement(w, increment);
            Put(w, kForwardNotCoded);
            Put(w, kZeroMotion);  // horizontal
            Put(w, kZeroMotion);  // vertical
        }
    }
}
