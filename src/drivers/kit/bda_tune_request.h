#pragma once
// What the control nodes of a BDA tuner collect for the next CommitChanges, as the DVB-S network
// provider hands it over: frequency, LNB oscillators and switch frequency in kHz, polarisation,
// symbol rate in kSps. A value the provider never set keeps the tuning space's "not set", -1.
#include "platform/com/win_types.h"

inline constexpr ULONG kBdaNotSet = 0xFFFFFFFFu;

struct BdaTuneRequest {
    ULONG lowOscillator = kBdaNotSet;   // kHz
    ULONG highOscillator = kBdaNotSet;  // kHz
    ULONG lnbSwitch = kBdaNotSet;       // kHz
    ULONG frequency = kBdaNotSet;       // in units of the multiplier (Hz)
    ULONG multiplier = 1000;
    LONG polarisation = -1;         // Polarisation: 1 H, 2 V, 3 L, 4 R, else not set
    ULONG symbolRate = kBdaNotSet;  // kSps
};
