#pragma once
// One carrier in the simulated sky: where it is (orbital position, frequency, polarisation),
// how it is modulated, and what its baseband carries.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/useful_bit_rate.h"

enum class SimSystem { DvbS, DvbS2, DvbS2X };
enum class SimPayload { Transport, GenericContinuous };

struct SimCarrier {
    int orbitalTenthsEast = 0;  // 0..3599, as in the satellite files
    std::string satellite;
    std::uint32_t frequencyKHz = 0;  // RF
    char polarisation = 'H';         // 'H', 'V', 'L' or 'R'
    std::uint32_t symbolRate = 0;    // symbols per second
    SimSystem system = SimSystem::DvbS;
    dvb_rate::Modulation modulation = dvb_rate::Modulation::Qpsk;
    dvb_rate::CodeRate rate = dvb_rate::CodeRate::R3_4;  // DVB-S and DVB-S2
    int s2xPlsCode = 0;  // DVB-S2X only: the PLS code without its pilot bit
    bool pilots = false;
    int rollOff = 0;  // MATYPE roll-off code: 0 = 0.35, 1 = 0.25, 2 = 0.20
    dvb_rate::FrameLength frame = dvb_rate::FrameLength::Normal;
    SimPayload payload = SimPayload::Transport;
    std::vector<int> inputStreams;  // ISIs of a multiple-input-stream carrier; empty: single
    bool nullPacketDeletion = false;
    std::uint32_t plsGold = 0;  // physical-layer scrambling, gold form
    bool extra = false;         // added by the card, not read from a satellite file
};
