#pragma once
// The programme of one simulated transport stream: which services a carrier (or one input stream
// of it) carries and what they are called, derived only from the carrier, the input stream and
// the card's seed, so the same transponder always carries the same services.
//
// One television service per started 5 Mbit/s (at least 1, at most 12), built by
// MakeSimStreamConfig, renamed from a list of plausible names ("Alpen News", "Nova Kino", ...),
// provider "<first word> Media". Transport stream id: (MHz mod 16000) * 4 + polarisation (H 0,
// V 1, L 2, R 3), plus 1000 * ISI on a multiple-input-stream carrier; original network id by
// position (19.2 E 1, 13.0 E 318, 28.2 E 2, else 0x1000 + tenths east).
#include <cstdint>

#include "drivers/sim/sim_carrier.h"
#include "drivers/sim/sim_stream_config.h"

// Throws std::invalid_argument when the bit rate cannot carry one service.
SimStreamConfig MakeCarrierMultiplex(const SimCarrier& carrier, int inputStreamId,
                                     std::uint64_t bitRate, std::uint64_t seed);

// The seed of the stream's payload bytes and names: a hash of the carrier, the ISI and the seed.
std::uint64_t MultiplexSeed(const SimCarrier& carrier, int inputStreamId, std::uint64_t seed);
