#include "drivers/sim/test_card_video.h"

namespace {

constexpr std::uint64_t kSecondsPerDay = 86'400;
constexpr std::uint64_t kTicksPerPicture = 3'600;  // 25 pictures/s
// An I-picture of the card is about 7 KiB, a slice at most 45 macroblocks of 106 bits; reserving
// more keeps Picture() from allocating once the stream runs.
constexpr std::size_t kSliceReserve = 1024;
constexpr std::size_t kPictureReserve = 65'536;

}  // namespace

CTestCardVideo::CTestCardVideo(std::string_view serviceName, std::uint64_t bitRate)
    : m_card(serviceName), m_encoder(bitRate), m_bIntraOnly(bitRate >= kIntraOnlyRate) {
    for (std::vector<std::uint8_t>& slice : m_slices) slice.reserve(kSliceReserve);
    CMpeg2VideoEncoder::RepeatBody(m_repeatBody);
    m_picture.reserve(kPictureReserve);
}

std::span<const std::uint8_t> CTestCardVideo::Picture(std::uint64_t presentation) {
    const std::uint64_t second = presentation / kTicksPerSecond;
    if (m_bIntraOnly || m_nSecond != second) {
        m_nSecond = second;
        m_nTemporalReference = 0;
        CodeIntraPicture(presentation, static_cast<std::uint32_t>(second % kSecondsPerDay));
    } else {
        ++m_nTemporalReference;
        m_picture.clear();
        CMpeg2VideoEncoder::RepeatHeader(m_nTemporalReference, m_picture);
        m_picture.insert(m_picture.end(), m_repeatBody.begin(), m_repeatBody.end());
    }
    return m_picture;
}

void CTestCardVideo::CodeIntraPicture(std::uint64_t presentation, std::uint32_t secondOfDay) {
    m_card.SetClock(secondOfDay);
    Mpeg2TimeCode timeCode;
    timeCode.hours = secondOfDay / 3600;
    timeCode.minutes = secondOfDay / 60 % 60;
    timeCode.seconds = secondOfDay % 60;
    timeCode.pictures =
        static_cast<std::uint32_t>(presentation % kTicksPerSecond / kTicksPerPicture);
    m_picture.clear();
    m_encoder.IntraHeaders(timeCode, m_picture);
    for (int row = 0; row < CTestCard::kMacroblockRows; ++row) {
        RowContent content{};
        std::size_t at = 0;
        for (int blockRow = row * 2; blockRow < row * 2 + 2; ++blockRow) {
            for (int column = 0; column < CTestCard::kBlockColumns; ++column)
                content[at++] = m_card.Luma(blockRow, column);
        }
        for (int column = 0; column < CTestCard::kMacroblockColumns; ++column) {
            content[at++] = m_card.Cb(row, column);
            content[at++] = m_card.Cr(row, column);
        }
        auto& slice = m_slices[static_cast<std::size_t>(row)];
        if (slice.empty() /* not coded yet */ ||
            content != m_codedRows[static_cast<std::size_t>(row)]) {
            m_codedRows[static_cast<std::size_t>(row)] = content;
            slice.clear();
            CMpeg2VideoEncoder::IntraSlice(m_card, row, slice);
        }
        m_picture.insert(m_picture.end(), slice.begin(), slice.end());
    }
}
