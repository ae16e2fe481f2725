#pragma once
// Codes the test card as MPEG-2 video (main profile, main level, 4:2:0, 720x576, 25 frames/s,
// progressive): I-pictures whose blocks carry only their DC value, and P-pictures that repeat
// their reference (each slice's first and last macroblock forward-predicted with a zero motion
// vector and no residual, the others skipped). No B-pictures, so low_delay is set and decode time
// equals presentation time.
#include <cstdint>
#include <vector>

class CMpegBitWriter;
class CTestCard;

struct Mpeg2TimeCode {
    std::uint32_t hours = 0;
    std::uint32_t minutes = 0;
    std::uint32_t seconds = 0;
    std::uint32_t pictures = 0;  // 0..24
};

class CMpeg2VideoEncoder {
public:
    // bitRate goes into the sequence header (an upper bound, in units of 400 bit/s).
    explicit CMpeg2VideoEncoder(std::uint64_t bitRate);

    // Sequence header, sequence extension, GOP header (closed) and the I-picture of the card, in
    // place of what out held.
    void IntraPicture(const CTestCard& card, const Mpeg2TimeCode& timeCode,
                      std::vector<std::uint8_t>& out) const;
    // A P-picture identical to its reference; temporalReference counts from the GOP's I-picture.
    static void RepeatPicture(std::uint32_t temporalReference, std::vector<std::uint8_t>& out);

    // The same in parts that each end on a byte boundary, for callers that keep what does not
    // change: an I-picture is IntraHeaders and one IntraSlice per macroblock row, a P-picture
    // RepeatHeader and RepeatBody. Each appends to out.
    void IntraHeaders(const Mpeg2TimeCode& timeCode, std::vector<std::uint8_t>& out) const;
    static void IntraSlice(const CTestCard& card, int macroblockRow,
                           std::vector<std::uint8_t>& out);
    static void RepeatHeader(std::uint32_t temporalReference, std::vector<std::uint8_t>& out);
    static void RepeatBody(std::vector<std::uint8_t>& out);

    // The variable-length codes, for tests against the code tables: one block's DC difference
    // with its size code and end of block (an intra block without AC coefficients), and a
    // macroblock address increment (escapes for 34 and more).
    static void WriteDcOnlyBlock(CMpegBitWriter& writer, int difference, bool chroma);
    static void WriteAddressIncrement(CMpegBitWriter& writer, int increment);

private:
    std::uint32_t m_nBitRateValue = 1;
};
