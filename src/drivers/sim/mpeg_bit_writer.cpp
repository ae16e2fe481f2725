#include "drivers/sim/mpeg_bit_writer.h"

void CMpegBitWriter::Put(std::uint32_t value, int count) {
    const std::uint64_t mask = count >= 32 ? 0xFFFFFFFFull : (std::uint64_t{1} << count) - 1;
    m_nPending = (m_nPending << count) | (value & mask);
    m_nPendingBits += count;
    while (m_nPendingBits >= 8) {
        m_nPendingBits -= 8;
        m_out.push_back(static_cast<std::uint8_t>(m_nPending >> m_nPendingBits));
    }
    m_nPending &= (std::uint64_t{1} << m_nPendingBits) - 1;
}

void CMpegBitWriter::AlignWithZeros() {
    if (m_nPendingBits > 0) Put(0, 8 - m_nPendingBits);
}

void CMpegBitWriter::StartCode(std::uint8_t code) {
    AlignWithZeros();
    m_out.insert(m_out.end(), {0x00, 0x00, 0x01, code});
}
