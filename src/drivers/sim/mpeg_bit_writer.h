#pragma once
// Appends bit fields most significant bit first, as the video and audio syntaxes send them, to a
// byte buffer the caller owns (and reserves, so that writing does not allocate).
#include <cstdint>
#include <vector>

class CMpegBitWriter {
public:
    explicit CMpegBitWriter(std::vector<std::uint8_t>& out) : m_out(out) {}
    ~CMpegBitWriter() { AlignWithZeros(); }
    CMpegBitWriter(const CMpegBitWriter&) = delete;
    CMpegBitWriter& operator=(const CMpegBitWriter&) = delete;

    // The low `count` bits of value (count at most 32).
    void Put(std::uint32_t value, int count);
    // Zero bits up to the next byte boundary: the stuffing before a start code.
    void AlignWithZeros();
    // 0x000001 and the code's last byte; aligns first.
    void StartCode(std::uint8_t code);

private:
    std::vector<std::uint8_t>& m_out;
    std::uint64_t m_nPending = 0;  // bits not yet flushed, right-aligned
    int m_nPendingBits = 0;
};
