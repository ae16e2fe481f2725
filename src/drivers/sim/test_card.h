#pragma once
// The picture every simulated television service shows: colour bars, the service's name in large
// letters, a clock and a grey scale, 720x576. Drawn in whole 8x8 blocks (one font pixel is one
// block) with colour only in whole 16x16 macroblocks, so every block the encoder codes is flat and
// the picture is fully described by one luma value per block and one Cb/Cr pair per macroblock.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CTestCard {
public:
    static constexpr int kWidth = 720;
    static constexpr int kHeight = 576;
    static constexpr int kBlockColumns = kWidth / 8;
    static constexpr int kBlockRows = kHeight / 8;
    static constexpr int kMacroblockColumns = kWidth / 16;
    static constexpr int kMacroblockRows = kHeight / 16;
    static constexpr auto kBlockCount = static_cast<std::size_t>(kBlockRows) * kBlockColumns;
    static constexpr auto kMacroblockCount =
        static_cast<std::size_t>(kMacroblockRows) * kMacroblockColumns;
    static constexpr std::size_t kMaxLineLength = 15;  // glyphs of 5 blocks and a gap across 90
    static constexpr std::size_t kMaxNameLines = 2;

    // Names are UTF-8; characters the font lacks show as '?'. Long names wrap at spaces onto a
    // second line; what does not fit on two lines is cut.
    explicit CTestCard(std::string_view serviceName);

    // Shows the clock at this second of the day (taken modulo a day) as HH:MM:SS.
    void SetClock(std::uint32_t secondOfDay);

    std::uint8_t Luma(int blockRow, int blockColumn) const {
        return m_luma[Index(blockRow, blockColumn, kBlockColumns)];
    }
    std::uint8_t Cb(int macroblockRow, int macroblockColumn) const {
        return m_cb[Index(macroblockRow, macroblockColumn, kMacroblockColumns)];
    }
    std::uint8_t Cr(int macroblockRow, int macroblockColumn) const {
        return m_cr[Index(macroblockRow, macroblockColumn, kMacroblockColumns)];
    }
    // The name as drawn, one entry per line.
    const std::vector<std::string>& NameLines() const { return m_nameLines; }
    // The luma plane as a decoder shows it, row by row, for comparing with decoded frames.
    std::vector<std::uint8_t> LumaPlane() const;

private:
    static std::size_t Index(int row, int column, int width) {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(column);
    }
    void DrawText(std::string_view text, int blockRow);

    std::array<std::uint8_t, kBlockCount> m_luma{};
    std::array<std::uint8_t, kBlockCount> m_withoutClock{};
    std::array<std::uint8_t, kMacroblockCount> m_cb{};
    std::array<std::uint8_t, kMacroblockCount> m_cr{};
    std::vector<std::string> m_nameLines;
};
