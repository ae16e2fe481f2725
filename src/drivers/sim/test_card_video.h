#pragma once
// The video of one simulated service: its test card with a clock of the presentation time, coded
// picture by picture. Where the stream's rate allows (kIntraOnlyRate), every picture is an
// I-picture behind a sequence and GOP header of its own, so that a recording or a player that
// joins anywhere decodes from its first picture on. Narrower streams open a GOP with an
// I-picture at each second of the clock, so a receiver that joins anywhere has a picture within a
// second; the pictures in between repeat it. The first picture asked for always opens a GOP.
//
// Only what changes is coded again: an I-picture re-codes the slices whose macroblock row changed
// since the last one (the clock's), a P-picture is its header before a body coded once.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "drivers/sim/mpeg2_video_encoder.h"
#include "drivers/sim/test_card.h"

class CTestCardVideo {
public:
    static constexpr std::uint64_t kTicksPerSecond = 90'000;
    // An I-picture of the card is about 7.3 KiB: 25 a second take about 1.5 Mbit/s with the PES
    // and TS headers.
    static constexpr std::uint64_t kIntraOnlyRate = 2'000'000;

    CTestCardVideo(std::string_view serviceName, std::uint64_t bitRate);

    // The coded picture presented at `presentation` (90 kHz ticks from the stream's epoch, not
    // wrapped at 33 bits); calls go in presentation order, one per picture. Valid until the next
    // call.
    std::span<const std::uint8_t> Picture(std::uint64_t presentation);

    const CTestCard& Card() const { return m_card; }

private:
    // What a macroblock row of the card shows: its luma blocks, then its Cb and Cr values.
    using RowContent =
        std::array<std::uint8_t, static_cast<std::size_t>(CTestCard::kBlockColumns) * 2 +
                                     static_cast<std::size_t>(CTestCard::kMacroblockColumns) * 2>;
    void CodeIntraPicture(std::uint64_t presentation, std::uint32_t secondOfDay);

    CTestCard m_card;
    CMpeg2VideoEncoder m_encoder;
    std::array<RowContent, CTestCard::kMacroblockRows> m_codedRows{};
    std::array<std::vector<std::uint8_t>, CTestCard::kMacroblockRows> m_slices;
    std::vector<std::uint8_t> m_repeatBody;
    std::vector<std::uint8_t> m_picture;
    std::optional<std::uint64_t> m_nSecond;  // of the current GOP
    std::uint32_t m_nTemporalReference = 0;
    bool m_bIntraOnly = false;
};
