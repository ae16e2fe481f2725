#pragma once
// The useful transport-stream bit rate of the carrier the card reports locked (the report of
// GET_MEDIAINFO), by the shared rate arithmetic of platform/media/useful_bit_rate.h. It is the
// most the tuned carrier can bring, so a page can set the stream's measured rate against it.
#include <optional>

#include "platform/ks/vendor_records.h"

namespace stream_info {

// Bits per second of 188-byte packets; none when the report does not tell enough to know it:
// a standard, code rate or (DVB-S2) pilots and frame length the driver cannot tell (a real card
// on Linux reports those as -1), a DVB-S2X code, a symbol rate of 0, or a stream whose rate is
// not the carrier's (a generic stream, several input streams sharing the carrier, deleted null
// packets put back by the demodulator).
std::optional<double> CarrierUsefulRate(const MediaInfoRecord& report);

}  // namespace stream_info
